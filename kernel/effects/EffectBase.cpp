// The shared part of the effect kinds.
#include "kernel/effects/EffectBase.h"

namespace EffectLibrary {

namespace {

// The timer of a retired effect: stopped for good, it starts nothing and reports nothing.
class NoTimer final : public TimeLibrary::ITimeObject {
 public:
  std::uint32_t GetId() override { return 0; }
  void SetTimes(std::int32_t, std::int32_t) override {}
  void SetLimit(std::int32_t) override {}
  void SetPeriod(std::int32_t) override {}
  void SetEndless(bool) override {}
  bool Start(bool, std::uint16_t) override { return false; }
  bool IsRunning() override { return false; }
  void SetPaused(bool) override {}
  bool IsPaused() override { return false; }
  void Stop() override {}
  std::int32_t GetLimit() override { return 0; }
  std::int32_t GetPeriod() override { return 0; }
  bool IsEndless() override { return false; }
};

NoTimer gNoTimer;

}  // namespace

EffectBase::EffectBase(std::uint32_t id, EffectMessageObserver* observer, TimeLibrary::ITimeSystem* timeSystem)
    : mObserver(observer), mTimeSystem(timeSystem), mId(id) {
  if (mTimeSystem != nullptr) mTimer = mTimeSystem->CreateTimeObject(this, -1, 0);
}

EffectBase::~EffectBase() { ReleaseTimer(); }

void EffectBase::ReleaseTimer() {
  if (mTimer == nullptr || mTimer == &gNoTimer) return;
  TimeLibrary::ITimeObject* timer = mTimer;
  mTimer = &gNoTimer;
  mTimeSystem->DestroyTimeObject(timer);
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
  ReleaseTimer();
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
