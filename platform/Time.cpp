// The millisecond clocks, the performance counter and Sleep over CLOCK_MONOTONIC, with a
// replaceable clock source for tests.
#include "platform/Time.h"

#include <chrono>
#include <thread>

#include "platform/Threads.h"

namespace plat {

namespace {

class RealClock : public ClockSource {
 public:
  std::uint64_t NowNanoseconds() override {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  }
  void SleepMilliseconds(DWORD milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
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

}  // namespace plat
