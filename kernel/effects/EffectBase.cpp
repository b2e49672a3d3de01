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

EffectBase::Busy::Busy(EffectBase* effect) : mCallbacks(effect->mTimeSystem), mEffect(effect) { ++mEffect->mBusy; }

EffectBase::Busy::~Busy() {
  EffectBase* effect = mEffect;
  if (--effect->mBusy > 0 || !effect->mRetired || effect->mDeleting) return;
  effect->mDeleting = true;
  delete effect;
}

void EffectBase::Retire() {
  Busy busy(this);
  if (mRetired) return;
  mRetired = true;
  QuiesceTimer();
}

void EffectBase::OnTimerStarted(std::uint32_t) {
  Busy busy(this);
  if (!mRetired) TimerStarted();
}

void EffectBase::OnTimerUnused(std::uint32_t) {
  Busy busy(this);
  if (!mRetired && mObserver != nullptr) mObserver->OnEffectUnused(mId);
}

void EffectBase::OnTimerTick(std::uint32_t) {
  Busy busy(this);
  if (!mRetired) TimerTicked();
}

void EffectBase::OnTimerFinished(std::uint32_t) {
  Busy busy(this);
  if (!mRetired) TimerFinished();
}

void EffectBase::QuiesceTimer() {
  if (mTimer != nullptr) mTimer->Stop();
}

void EffectBase::NotifyStarted() {
  if (!mRetired && mObserver != nullptr) mObserver->OnEffectStarted(mId);
}

void EffectBase::NotifyStep() {
  if (!mRetired && mObserver != nullptr) mObserver->OnEffectStep(mId);
}

void EffectBase::NotifyFinished() {
  if (!mRetired && mObserver != nullptr) mObserver->OnEffectFinished(mId);
}

void EffectBase::NotifyBlocked() {
  if (!mRetired && mObserver != nullptr) mObserver->OnEffectBlocked(mId);
}

}  // namespace EffectLibrary
