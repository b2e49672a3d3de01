// The time library's interfaces: the time system, which owns up to 2,047 time objects and
// advances them in steps of exactly 5 ms on its timing thread, the time objects, and the
// observer through which a time object reports its start, ticks and finish.
#pragma once

#include <cstdint>

namespace TimeLibrary {

// Callbacks carry the id of the time object, so one observer can tell its timers apart.
// They run on the timing thread, except a start reported from ITimeObject::Start.
class TimeObjectMessageObserver {
 public:
  virtual ~TimeObjectMessageObserver() = default;
  virtual void OnTimerStarted(std::uint32_t id) {}
  virtual void OnTimerUnused(std::uint32_t id) {}  // never sent by the time system
  virtual void OnTimerFinished(std::uint32_t id) {}
  virtual void OnTimerTick(std::uint32_t id) {}
};

class ITimeObject {
 public:
  virtual ~ITimeObject() = default;
  virtual std::uint32_t GetId() = 0;
  virtual void SetTimes(std::int32_t limitMs, std::int32_t periodMs) = 0;
  virtual void SetLimit(std::int32_t limitMs) = 0;
  virtual void SetPeriod(std::int32_t periodMs) = 0;
  virtual void SetEndless(bool endless) = 0;
  // Refused when running, when the period is below 1, or when the limit is below 1 and the
  // object is not endless. Unless paused, OnTimerStarted is called at once; a delay is
  // counted down first and reported with a second OnTimerStarted.
  virtual bool Start(bool paused, std::uint16_t delayMs) = 0;
  virtual bool IsRunning() = 0;
  virtual void SetPaused(bool paused) = 0;
  virtual bool IsPaused() = 0;
  virtual void Stop() = 0;
  virtual std::int32_t GetLimit() = 0;
  virtual std::int32_t GetPeriod() = 0;
  virtual bool IsEndless() = 0;
};

class ITimeSystem {
 public:
  virtual ~ITimeSystem() = default;
  // Timer time: 5 ms for every tick since the timing thread started.
  virtual std::uint64_t GetTimeMs() = 0;
  // Null when all 2,047 ids are in use.
  virtual ITimeObject* CreateTimeObject(TimeObjectMessageObserver* observer, std::int32_t limitMs,
                                        std::int32_t periodMs) = 0;
  // Null and objects this system does not hold are ignored.
  virtual void DestroyTimeObject(ITimeObject* object) = 0;
  // Every timer callback runs while the time system's lock is held. A thread that holds it
  // keeps them out: the main thread does while it draws, dispatches input or starts and
  // stops the game, so what callbacks change never races with it. The lock may be taken
  // again by its holder. Lock order: this lock first, then the control factory's.
  virtual void LockCallbacks() = 0;
  virtual void UnlockCallbacks() = 0;
};

// Holds the time system's callback lock for a scope (nothing without a time system).
class CallbackLock {
 public:
  explicit CallbackLock(ITimeSystem* system) : mSystem(system) {
    if (mSystem != nullptr) mSystem->LockCallbacks();
  }
  ~CallbackLock() {
    if (mSystem != nullptr) mSystem->UnlockCallbacks();
  }
  CallbackLock(const CallbackLock&) = delete;
  CallbackLock& operator=(const CallbackLock&) = delete;

 private:
  ITimeSystem* mSystem;
};

// The one time system of the process. It is destroyed last, outside every timer callback
// and every call of an effect: they hold its lock and return into it.
void CreateTimeSystem();
ITimeSystem* GetTimeSystem();
void DestroyTimeSystem();
// Forward to the instance; they do nothing when there is none.
bool StartTimerThread();
void StopTimerThread();
void DeleteAllTimeObjects();

}  // namespace TimeLibrary
