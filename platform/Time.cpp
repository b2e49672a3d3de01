// The millisecond clocks, the performance counter and Sleep over CLOCK_MONOTONIC, with a
// replaceable clock source for tests.
#include "platform/Time.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/Threads.h"

namespace plat {

namespace {

constexpr std::uint64_t kNanosecondsPerSecond = 1000000000ull;

// CLOCK_MONOTONIC throughout, so a deadline read from the clock is one the kernel's
// absolute sleep understands.
class RealClock : public ClockSource {
 public:
  std::uint64_t NowNanoseconds() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * kNanosecondsPerSecond + static_cast<std::uint64_t>(now.tv_nsec);
  }
  void SleepMilliseconds(DWORD milliseconds) override {
    if (milliseconds == 0) {
      std::this_thread::yield();
      return;
    }
    SleepUntilNanoseconds(NowNanoseconds() + milliseconds * 1000000ull);
  }
  void SleepUntilNanoseconds(std::uint64_t deadline) override {
    timespec until{};
    until.tv_sec = static_cast<time_t>(deadline / kNanosecondsPerSecond);
    until.tv_nsec = static_cast<long>(deadline % kNanosecondsPerSecond);
    // Interrupted by a signal: sleep on to the same deadline.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
  }
};

RealClock gRealClock;
std::atomic<ClockSource*> gSource{&gRealClock};
std::atomic<int> gPeriods{0};

}  // namespace

void SetClockSource(ClockSource* source) { gSource.store(source ? source : &gRealClock); }

DWORD timeGetTime() { return static_cast<DWORD>(gSource.load()->NowNanoseconds() / 1000000ull); }
DWORD GetTickCount() { return timeGetTime(); }

BOOL QueryPerformanceCounter(LARGE_INTEGER* counter) {
  if (!counter) return FALSE;
  counter->QuadPart = static_cast<LONGLONG>(gSource.load()->NowNanoseconds());
  return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (!frequency) return FALSE;
  frequency->QuadPart = 1000000000;
  return TRUE;
}

void Sleep(DWORD milliseconds) { gSource.load()->SleepMilliseconds(milliseconds); }

void SleepUntilCounter(LONGLONG deadline) {
  if (deadline <= 0) return;
  gSource.load()->SleepUntilNanoseconds(static_cast<std::uint64_t>(deadline));
}

UINT timeBeginPeriod(UINT) {
  gPeriods.fetch_add(1);
  return TIMERR_NOERROR;
}

UINT timeEndPeriod(UINT) {
  gPeriods.fetch_sub(1);
  return TIMERR_NOERROR;
}

int OutstandingTimePeriods() { return gPeriods.load(); }

SimulatedClock::SimulatedClock(std::uint64_t startMilliseconds)
    : mNow(startMilliseconds * 1000000ull), mOwner(GetCurrentThreadId()) {}

void SimulatedClock::SleepMilliseconds(DWORD milliseconds) {
  if (GetCurrentThreadId() == mOwner) {
    mSleepCalls.fetch_add(1);
    mSlept.fetch_add(milliseconds);
    Advance(milliseconds);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

void SimulatedClock::SleepUntilNanoseconds(std::uint64_t deadline) {
  const std::uint64_t now = mNow.load();
  if (deadline <= now) return;
  if (GetCurrentThreadId() == mOwner) {
    mSleepCalls.fetch_add(1);
    mSlept.fetch_add((deadline - now) / 1000000ull);
    std::uint64_t seen = mNow.load();
    while (seen < deadline && !mNow.compare_exchange_weak(seen, deadline)) {
    }
    return;
  }
  const std::uint64_t wait = std::min<std::uint64_t>(deadline - now, 4000000ull);
  std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
}

}  // namespace plat
