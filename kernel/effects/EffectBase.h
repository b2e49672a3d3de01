// What every effect kind shares: its id, observer, user value and the one time object it
// owns on the time system; the entry points through which that timer calls the effect; and
// the effect's lifetime while it is busy, which every kind gets from here.
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

  // The timer's reports. Each runs the kind's reaction while the effect is busy; an effect
  // that has been retired ignores them.
  void OnTimerStarted(std::uint32_t) final;
  void OnTimerUnused(std::uint32_t) final;
  void OnTimerTick(std::uint32_t) final;
  void OnTimerFinished(std::uint32_t) final;

  // The effect system lets go of the effect (it has left the table): its timer goes back to
  // the time system at once, it reports nothing more, and it is deleted now, or, when it is
  // busy, once the outermost busy call returns. Either way the effect must not be used after
  // this call. What the busy call still does to the timer goes to a stand-in that does
  // nothing, so the time objects may all be deleted meanwhile (as the kernel does next).
  void Retire();

 protected:
  // Held around each of the effect's own calls that may reach an observer: its timer
  // reactions, and the operations that show or hide objects or start the timer. An effect
  // retired meanwhile stays alive until the outermost one ends, and is deleted then. It
  // holds the time system's callback lock, under which every timer report already runs, so
  // the busy count and the retired flag are only ever touched by one thread at a time.
  class Busy {
   public:
    explicit Busy(EffectBase* effect);
    ~Busy();
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

   private:
    TimeLibrary::CallbackLock mCallbacks;  // first in, last out: still held for the delete
    EffectBase* mEffect;
  };

  // The kinds' reactions to their timer. The start reaction reports the start by default.
  virtual void TimerStarted() { NotifyStarted(); }
  virtual void TimerTicked() {}
  virtual void TimerFinished() {}

  // Set once the effect system has let go of the effect; read it while busy. A kind checks
  // it only where it would otherwise go on touching objects it does not own after a call
  // that may have reached an observer.
  bool IsRetired() const { return mRetired; }

  // Waits for a timer callback that is running on the timing thread and lets no further one
  // start. Every kind's destructor calls it first, so no callback reaches a half-destroyed
  // effect.
  void QuiesceTimer();
  // Reports to the observer; a retired effect reports nothing.
  void NotifyStarted();
  void NotifyStep();
  void NotifyFinished();
  void NotifyBlocked();

  std::int32_t mUserValue = 0;
  EffectMessageObserver* const mObserver;
  TimeLibrary::ITimeSystem* const mTimeSystem;
  const std::uint32_t mId;
  TimeLibrary::ITimeObject* mTimer = nullptr;

 private:
  // Gives the timer back to the time system, which defers deleting it while one of its own
  // calls runs; mTimer becomes the stand-in.
  void ReleaseTimer();

  int mBusy = 0;           // callback lock
  bool mRetired = false;   // callback lock
  bool mDeleting = false;  // callback lock; busy calls inside the destructor delete nothing
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
