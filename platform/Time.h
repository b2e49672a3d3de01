// Time as the framework reads it: millisecond clocks that wrap at 32 bits, a nanosecond
// performance counter, Sleep and the timer-resolution calls. All of them go through one
// clock source, which a test can replace with a simulated clock to drive time by hand.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/Types.h"

namespace plat {

struct LARGE_INTEGER {
  LONGLONG QuadPart = 0;
};

constexpr UINT TIMERR_NOERROR = 0;

// Milliseconds since an arbitrary start, wrapping at 32 bits.
DWORD timeGetTime();
DWORD GetTickCount();
// Nanoseconds; the frequency is 1,000,000,000.
BOOL QueryPerformanceCounter(LARGE_INTEGER* counter);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
// Sleep(0) gives up the rest of the time slice, as on Windows; it never waits.
void Sleep(DWORD milliseconds);
// Sleeps until the performance counter reaches `deadline`: an absolute time, so waits that
// follow one another never add up their oversleeps. A deadline already passed returns at once.
void SleepUntilCounter(LONGLONG deadline);
// The system's timer already has a resolution below 1 ms; these only keep the count of
// outstanding requests so a caller's pairing can be checked.
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);
int OutstandingTimePeriods();

// Where the time comes from.
class ClockSource {
 public:
  virtual ~ClockSource() = default;
  virtual std::uint64_t NowNanoseconds() = 0;
  virtual void SleepMilliseconds(DWORD milliseconds) = 0;
  // Until NowNanoseconds reaches the deadline.
  virtual void SleepUntilNanoseconds(std::uint64_t deadline) = 0;
};

// Installs a clock source for the whole process; nullptr restores the real clock.
void SetClockSource(ClockSource* source);

// A clock that stands still until told to move. Sleep on the thread that owns the clock
// (the one that created it, normally the test's main thread) advances it by the time slept
// instead of waiting; other threads really sleep, so their polling loops do not spin.
class SimulatedClock : public ClockSource {
 public:
  explicit SimulatedClock(std::uint64_t startMilliseconds = 1000);
  std::uint64_t NowNanoseconds() override { return mNow.load(); }
  void SleepMilliseconds(DWORD milliseconds) override;
  // The owning thread jumps to the deadline; other threads wait a little in real time
  // (at most a few milliseconds), so a loop waiting for the deadline does not spin.
  void SleepUntilNanoseconds(std::uint64_t deadline) override;

  void Advance(std::uint64_t milliseconds) { mNow.fetch_add(milliseconds * 1000000ull); }
  void AdvanceNanoseconds(std::uint64_t ns) { mNow.fetch_add(ns); }
  // Total milliseconds slept by the owning thread, and how many Sleep calls it made.
  std::uint64_t SleptMilliseconds() const { return mSlept.load(); }
  int SleepCalls() const { return mSleepCalls.load(); }

 private:
  std::atomic<std::uint64_t> mNow;
  std::atomic<std::uint64_t> mSlept{0};
  std::atomic<int> mSleepCalls{0};
  DWORD mOwner;
};

}  // namespace plat
