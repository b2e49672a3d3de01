// The shared part of the effect kinds.
#include "kernel/effects/EffectBase.h"

namespace EffectLibrary {

EffectBase::EffectBase(std::uint32_t id, EffectMessageObserver* observer, TimeLibrary::ITimeSystem* timeSystem)
    : mObserver(observer), mTimeSystem(timeSystem), mId(id) {
  if (mTimeSystem != nullptr) mTimer = mTimeSystem->CreateTimeObject(this, -1, 0);
}

EffectBase::~EffectBase() {
  if (mTimer != nullptr) mTimeSystem->DestroyTimeObject(mTimer);
}

void EffectBase::OnTimerStarted(std::uint32_t) {
  if (mObserver != nullptr) mObserver->OnEffectStarted(mId);
}

void EffectBase::OnTimerUnused(std::uint32_t) {
  if (mObserver != nullptr) mObserver->OnEffectUnused(mId);
}

void EffectBase::QuiesceTimer() {
  if (mTimer != nullptr) mTimer->Stop();
}

void EffectBase::NotifyStep() {
  if (mObserver != nullptr) mObserver->OnEffectStep(mId);
}

void EffectBase::NotifyFinished() {
  if (mObserver != nullptr) mObserver->OnEffectFinished(mId);
}

}  // namespace EffectLibrary
