// What every effect kind shares: its id, observer, user value and the one time object it
// owns on the time system, whose start and unused reports it forwards to the observer.
#pragma once

#include <cstdint>

#include "kernel/effects/IEffectSystem.h"
#include "kernel/time/ITimeSystem.h"

namespace EffectLibrary {

class EffectBase : public TimeLibrary::TimeObjectMessageObserver {
 public:
  // The timer is made with limit -1 and period 0; check HasTimer afterwards.
  EffectBase(std::uint32_t id, EffectMessageObserver* observer, TimeLibrary::ITimeSystem* timeSystem);
  ~EffectBase() override;
  EffectBase(const EffectBase&) = delete;
  EffectBase& operator=(const EffectBase&) = delete;

  bool HasTimer() const { return mTimer != nullptr; }

  void OnTimerStarted(std::uint32_t) override;
  void OnTimerUnused(std::uint32_t) override;

 protected:
  // Waits for a timer callback that is running on the timing thread and lets no further one
  // start. Every kind's destructor calls it first, so no callback reaches a half-destroyed
  // effect.
  void QuiesceTimer();
  void NotifyStep();
  void NotifyFinished();

  std::int32_t mUserValue = 0;
  EffectMessageObserver* const mObserver;
  TimeLibrary::ITimeSystem* const mTimeSystem;
  const std::uint32_t mId;
  TimeLibrary::ITimeObject* mTimer = nullptr;
};

// The IEffect operations that every kind answers from its timer and its fields alike.
template <typename Interface>
class EffectImplBase : public Interface, public EffectBase {
 public:
  EffectImplBase(std::uint32_t id, EffectMessageObserver* observer, TimeLibrary::ITimeSystem* timeSystem)
      : EffectBase(id, observer, timeSystem) {}

  std::uint32_t GetId() override { return mId; }
  void SetPaused(bool paused) override { mTimer->SetPaused(paused); }
  void Stop() override { mTimer->Stop(); }
  bool IsRunning() override { return mTimer->IsRunning(); }
  void SetUserValue(std::int32_t value) override { mUserValue = value; }
  std::int32_t GetUserValue() override { return mUserValue; }
};

}  // namespace EffectLibrary
