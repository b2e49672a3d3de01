// The time system behind ITimeSystem: a fixed table of time objects indexed by id, and a
// timing thread that advances every running object by exactly 5 ms per period, its periods
// held to a fixed schedule of the real clock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "kernel/time/ITimeSystem.h"
#include "platform/Threads.h"

namespace TimeLibrary {

class TimeObject_impl : public ITimeObject {
 public:
  // `lock` is the time system's lock, which guards the object's counters and its callbacks.
  TimeObject_impl(std::recursive_mutex& lock, std::uint32_t id, TimeObjectMessageObserver* observer,
                  std::int32_t limitMs, std::int32_t periodMs);

  std::uint32_t GetId() override { return mId; }
  void SetTimes(std::int32_t limitMs, std::int32_t periodMs) override;
  void SetLimit(std::int32_t limitMs) override { mLimit = limitMs; }
  void SetPeriod(std::int32_t periodMs) override { mPeriod = periodMs; }
  void SetEndless(bool endless) override { mEndless = endless; }
  bool Start(bool paused, std::uint16_t delayMs) override;
  bool IsRunning() override { return mRunning; }
  void SetPaused(bool paused) override { mPaused = paused; }
  bool IsPaused() override { return mPaused; }
  void Stop() override;
  std::int32_t GetLimit() override { return mLimit; }
  std::int32_t GetPeriod() override { return mPeriod; }
  bool IsEndless() override { return mEndless; }

  // One 5 ms step of timer time (timing thread, system lock held).
  void Advance();
  // Set when the object is destroyed from inside one of its own callbacks: the step that
  // is running then calls nothing more and the object is deleted once it has returned, by
  // the system's walk, or with `startDeletes` by the Start that reported the start.
  void MarkDestroyed(bool startDeletes) {
    mDeleteAfterStart = startDeletes;
    mDestroyed = true;
  }
  // Whether Start is reporting the start to the observer right now.
  bool IsReportingStart() const { return mReportingStart > 0; }

 private:
  std::recursive_mutex& mLock;
  const std::uint32_t mId;
  TimeObjectMessageObserver* const mObserver;
  std::atomic<bool> mRunning{false};
  std::atomic<bool> mPaused{false};
  std::atomic<bool> mEndless{false};
  std::atomic<bool> mDestroyed{false};
  int mReportingStart = 0;         // Starts reporting the start, one inside another; mLock
  bool mDeleteAfterStart = false;  // mLock
  std::uint32_t mRun = 0;          // counts the starts; mLock
  std::int32_t mElapsed = 0;  // in the current period; guarded by mLock
  std::atomic<std::int32_t> mPeriod;
  std::int32_t mTotal = -1;  // -1 until the first counted step after a start; mLock
  std::atomic<std::int32_t> mLimit;
  std::int32_t mStartDelay = 0;  // mLock
};

// Counts of the performance counter that steer the timing thread's periods.
struct PeriodConstants {
  std::uint64_t perMs = 0;
  std::uint64_t eighthMs = 0;
  std::uint64_t ms5 = 0;

  static PeriodConstants FromFrequency(std::uint64_t countsPerSecond);
};

// The timing thread's deadlines, on a fixed schedule: period n is due at the thread's start
// plus n times 5 ms, so that timer time keeps pace with the real clock. Waking late does not
// push the later deadlines back: a lateness of up to a millisecond is made up by the next
// period. A later wake is a stall (the thread was held up); the missed time is not sent as a
// burst of ticks but paid back by periods at most an eighth of a millisecond shorter, on a
// schedule of their own, until the due times are reached again.
class PeriodSchedule {
 public:
  PeriodSchedule(const PeriodConstants& c, std::uint64_t start) : mC(c), mDue(start), mDeadline(start) {}

  // The deadline of the period whose tick ran after the wait that ended at `wake`.
  std::uint64_t Next(std::uint64_t wake);
  // How far the deadlines are still behind the due times.
  std::uint64_t Owed() const { return mDeadline > mDue ? mDeadline - mDue : 0; }

 private:
  PeriodConstants mC;
  std::uint64_t mDue = 0;       // start + 5 ms for every period so far
  std::uint64_t mDeadline = 0;  // the deadline given last
};

class TimeSystem_impl : public ITimeSystem {
 public:
  static constexpr std::uint32_t kSlots = 2048;  // slot 0 unused: ids 1 to 2,047
  static constexpr std::int32_t kStepMs = 5;

  TimeSystem_impl();
  ~TimeSystem_impl() override;

  std::uint64_t GetTimeMs() override { return mMs; }
  ITimeObject* CreateTimeObject(TimeObjectMessageObserver* observer, std::int32_t limitMs,
                                std::int32_t periodMs) override;
  void DestroyTimeObject(ITimeObject* object) override;
  void DeleteAllTimeObjects();
  void LockCallbacks() override { mSystemLock.lock(); }
  void UnlockCallbacks() override { mSystemLock.unlock(); }

  // False when the thread runs already or the performance counter is unavailable.
  bool StartTimerThread();
  // Waits until the thread has ended. From inside a callback (on the timing thread) it only
  // asks the thread to end.
  void StopTimerThread();
  bool IsTimerThreadRunning() const { return mThread.Joinable(); }

  // One period: advances every running, unpaused object by 5 ms, then the counter.
  void TickTimeObjects();

 private:
  void TimerThreadProc();
  void Discard(std::uint32_t slot);

  std::atomic<bool> mRunning{false};
  std::atomic<std::uint64_t> mMs{0};
  std::array<TimeObject_impl*, kSlots> mTable{};
  std::recursive_mutex mSystemLock;  // the table, every object's counters and every callback
  std::recursive_mutex mGlobalLock;  // held by the timing thread for its whole life
  plat::Thread mThread;
  PeriodConstants mConstants;
  TimeObject_impl* mAdvancing = nullptr;  // the object inside Advance; system lock
  TimeObject_impl* mDeferredDelete = nullptr;
};

}  // namespace TimeLibrary
