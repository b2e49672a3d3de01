// Time objects, the time system's table and its timing thread.
#include "kernel/time/TimeSystem_impl.h"

#include <algorithm>
#include <new>

#include "platform/Time.h"

namespace TimeLibrary {

// ---- time objects ----

TimeObject_impl::TimeObject_impl(std::recursive_mutex& lock, std::uint32_t id, TimeObjectMessageObserver* observer,
                                 std::int32_t limitMs, std::int32_t periodMs)
    : mLock(lock), mId(id), mObserver(observer), mPeriod(periodMs), mLimit(limitMs) {}

void TimeObject_impl::SetTimes(std::int32_t limitMs, std::int32_t periodMs) {
  mLimit = limitMs;
  mPeriod = periodMs;
}

bool TimeObject_impl::Start(bool paused, std::uint16_t delayMs) {
  std::unique_lock<std::recursive_mutex> guard(mLock);
  if (mRunning || mPeriod < 1 || (mLimit < 1 && !mEndless)) return false;
  mElapsed = 0;
  mTotal = -1;
  mStartDelay = delayMs;
  mPaused = paused;
  ++mRun;
  // Running before the start is reported, so that a stop, a pause or a restart from the
  // report holds.
  mRunning = true;
  if (paused || mObserver == nullptr) return true;
  ++mReportingStart;
  mObserver->OnTimerStarted(mId);
  --mReportingStart;
  // Destroyed from the report: it has left the table. The outermost Start that reports
  // deletes it; nothing of it may be touched after the lock is given back.
  if (mDestroyed && mReportingStart == 0) {
    const bool deleteNow = mDeleteAfterStart;
    guard.unlock();
    if (deleteNow) delete this;
  }
  return true;
}

void TimeObject_impl::Stop() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  mRunning = false;
}

void TimeObject_impl::Advance() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  // Stopped or paused between the walk's check and taking the lock: once Stop has returned,
  // no callback may follow.
  if (!mRunning || mPaused) return;
  if (mStartDelay > 0) {
    mStartDelay -= TimeSystem_impl::kStepMs;
    if (mStartDelay <= 0 && mObserver != nullptr) mObserver->OnTimerStarted(mId);
    return;
  }
  if (mTotal == -1) mTotal = 0;
  mTotal += TimeSystem_impl::kStepMs;
  if (mTotal >= mLimit && !mEndless) {
    mRunning = false;
    if (mObserver == nullptr) return;
    const std::uint32_t run = mRun;
    mObserver->OnTimerTick(mId);
    // Not when the tick destroyed the object, nor when it started a new run: this finish
    // is the old run's.
    if (!mDestroyed && mRun == run) mObserver->OnTimerFinished(mId);
    return;
  }
  mElapsed += TimeSystem_impl::kStepMs;
  if (mElapsed >= mPeriod) {
    mElapsed = 0;
    if (mObserver != nullptr) mObserver->OnTimerTick(mId);
  }
}

// ---- period timing ----

PeriodConstants PeriodConstants::FromFrequency(std::uint64_t countsPerSecond) {
  PeriodConstants c;
  c.perMs = countsPerSecond / 1000;
  c.eighthMs = c.perMs >> 3;
  c.ms5 = c.perMs * 5;
  return c;
}

std::uint64_t PeriodSchedule::Next(std::uint64_t wake) {
  mDue += mC.ms5;
  // Held up for longer than a millisecond: the wake counts as on time, and the time lost
  // becomes the lead of the deadlines over the due times, paid back below.
  if (wake > mDeadline + mC.perMs) mDeadline = wake;
  mDeadline = std::max(mDue, mDeadline + mC.ms5 - mC.eighthMs);
  return mDeadline;
}

// ---- the system ----

TimeSystem_impl::TimeSystem_impl() { plat::timeBeginPeriod(1); }

TimeSystem_impl::~TimeSystem_impl() {
  StopTimerThread();
  DeleteAllTimeObjects();
  plat::timeEndPeriod(1);
}

ITimeObject* TimeSystem_impl::CreateTimeObject(TimeObjectMessageObserver* observer, std::int32_t limitMs,
                                               std::int32_t periodMs) {
  std::lock_guard<std::recursive_mutex> guard(mSystemLock);
  for (std::uint32_t id = 1; id < kSlots; ++id) {
    if (mTable[id] != nullptr) continue;
    auto* object = new (std::nothrow) TimeObject_impl(mSystemLock, id, observer, limitMs, periodMs);
    mTable[id] = object;
    return object;
  }
  return nullptr;
}

void TimeSystem_impl::Discard(std::uint32_t slot) {
  TimeObject_impl* object = mTable[slot];
  mTable[slot] = nullptr;
  if (object == mAdvancing) {
    // Deleting it now would pull the object out from under its own running step.
    object->MarkDestroyed(false);
    object->Stop();
    mDeferredDelete = object;
    return;
  }
  if (object->IsReportingStart()) {
    // Destroyed from its own OnTimerStarted inside Start: Start deletes it on its way out.
    object->MarkDestroyed(true);
    object->Stop();
    return;
  }
  delete object;
}

void TimeSystem_impl::DestroyTimeObject(ITimeObject* object) {
  if (object == nullptr) return;
  std::lock_guard<std::recursive_mutex> guard(mSystemLock);
  // Found by address, never through the object: a pointer to an object that is already
  // gone (deleted with all the others at shut-down) is then simply not found.
  for (std::uint32_t id = 1; id < kSlots; ++id) {
    if (mTable[id] == object) {
      Discard(id);
      return;
    }
  }
}

void TimeSystem_impl::DeleteAllTimeObjects() {
  std::lock_guard<std::recursive_mutex> guard(mSystemLock);
  for (std::uint32_t id = 1; id < kSlots; ++id) {
    if (mTable[id] != nullptr) Discard(id);
  }
}

void TimeSystem_impl::TickTimeObjects() {
  {
    std::lock_guard<std::recursive_mutex> guard(mSystemLock);
    for (std::uint32_t id = 1; id < kSlots; ++id) {
      TimeObject_impl* object = mTable[id];
      if (object == nullptr || !object->IsRunning() || object->IsPaused()) continue;
      mAdvancing = object;
      object->Advance();
      mAdvancing = nullptr;
      delete mDeferredDelete;
      mDeferredDelete = nullptr;
    }
  }
  mMs += kStepMs;
}

bool TimeSystem_impl::StartTimerThread() {
  if (mThread.Joinable()) return false;
  const int priority = plat::GetThreadPriority();
  plat::SetThreadPriority(plat::THREAD_PRIORITY_HIGHEST);
  plat::LARGE_INTEGER frequency;
  const bool haveCounter = plat::QueryPerformanceFrequency(&frequency) && frequency.QuadPart >= 1000;
  plat::SetThreadPriority(priority);
  if (!haveCounter) return false;
  mConstants = PeriodConstants::FromFrequency(static_cast<std::uint64_t>(frequency.QuadPart));
  mMs = 0;
  mRunning = true;
  mThread = plat::Thread([this] { TimerThreadProc(); });
  return true;
}

void TimeSystem_impl::StopTimerThread() {
  if (!mThread.Joinable()) return;
  mRunning = false;
  if (plat::GetCurrentThreadId() == mThread.Id()) return;  // a callback: the loop ends by itself
  mThread.Join();
  // The thread held the global lock until it left its loop; taking both locks here orders
  // this return after anything it was still doing.
  std::lock_guard<std::recursive_mutex> global(mGlobalLock);
  std::lock_guard<std::recursive_mutex> system(mSystemLock);
}

namespace {
std::uint64_t Counter() {
  plat::LARGE_INTEGER now;
  plat::QueryPerformanceCounter(&now);
  return static_cast<std::uint64_t>(now.QuadPart);
}
}  // namespace

void TimeSystem_impl::TimerThreadProc() {
  std::lock_guard<std::recursive_mutex> global(mGlobalLock);
  plat::SetThreadPriority(plat::THREAD_PRIORITY_HIGHEST);
  PeriodSchedule schedule(mConstants, Counter());
  while (mRunning) {
    const std::uint64_t wake = Counter();
    TickTimeObjects();
    // One sleep to the period's deadline, an absolute time on the schedule: the thread never
    // polls the clock in between, and waking a little late is made up by the next period.
    const std::uint64_t deadline = schedule.Next(wake);
    std::uint64_t now = Counter();
    while (mRunning && now + mConstants.eighthMs < deadline) {
      plat::SleepUntilCounter(static_cast<plat::LONGLONG>(deadline));
      now = Counter();
    }
  }
}

// ---- the process-wide instance ----

namespace {
TimeSystem_impl* gTimeSystem = nullptr;
}

void CreateTimeSystem() {
  if (gTimeSystem == nullptr) gTimeSystem = new (std::nothrow) TimeSystem_impl;
}

ITimeSystem* GetTimeSystem() { return gTimeSystem; }

void DestroyTimeSystem() {
  delete gTimeSystem;
  gTimeSystem = nullptr;
}

bool StartTimerThread() { return gTimeSystem != nullptr && gTimeSystem->StartTimerThread(); }

void StopTimerThread() {
  if (gTimeSystem != nullptr) gTimeSystem->StopTimerThread();
}

void DeleteAllTimeObjects() {
  if (gTimeSystem != nullptr) gTimeSystem->DeleteAllTimeObjects();
}

}  // namespace TimeLibrary
