// Performance-counter stopwatch and time-stamp-counter speed.
#include "framework/core/PerfTimer.h"

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

#include "platform/Threads.h"
#include "platform/Time.h"

namespace Orvo {

namespace {

std::int64_t PerfCounterNow() {
  plat::LARGE_INTEGER now;
  plat::QueryPerformanceCounter(&now);
  return now.QuadPart;
}

std::int64_t gCpuSpeed = 0;

constexpr long kMaxSpins = 50000000;

}  // namespace

void PerformanceTimer::Start() {
  mRunning = true;
  mStart = PerfCounterNow();
}

void PerformanceTimer::Stop() {
  if (!mRunning) return;
  CalcDuration();
  mRunning = false;
}

double PerformanceTimer::GetDuration() {
  if (mRunning) CalcDuration();
  return mDuration;
}

void PerformanceTimer::CalcDuration() {
  plat::LARGE_INTEGER frequency;
  if (!plat::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return;
  const std::int64_t elapsed = PerfCounterNow() - mStart;
  mDuration = static_cast<double>(elapsed * 1000) / static_cast<double>(frequency.QuadPart);
}

std::int64_t ReadTimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
  return static_cast<std::int64_t>(__rdtsc());
#else
  return PerfCounterNow();
#endif
}

std::int64_t MeasureCpuSpeed() {
  plat::LARGE_INTEGER frequency;
  if (!plat::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return 0;
  // The priority is raised only for the measurement and restored on every path.
  const int oldPriority = plat::GetThreadPriority();
  plat::SetThreadPriority(plat::THREAD_PRIORITY_HIGHEST);
  const std::int64_t span = frequency.QuadPart / 100;
  const std::int64_t startCounter = PerfCounterNow();
  const std::int64_t startStamp = ReadTimeStampCounter();
  // The spin is bounded, so a performance counter that stands still (a simulated clock)
  // cannot hang the caller; the speed is then scaled from the time that did pass, if any.
  std::int64_t elapsed = 0;
  for (long spins = 0; elapsed < span && spins < kMaxSpins; ++spins) elapsed = PerfCounterNow() - startCounter;
  const std::int64_t endStamp = ReadTimeStampCounter();
  plat::SetThreadPriority(oldPriority);
  if (elapsed >= span) return (endStamp - startStamp) * 100;
  if (elapsed <= 0) return 0;
  return static_cast<std::int64_t>(static_cast<double>(endStamp - startStamp) * frequency.QuadPart / elapsed);
}

std::int64_t GetCpuSpeed() {
  if (gCpuSpeed > 0) return gCpuSpeed;
  std::int64_t speed = MeasureCpuSpeed();
  if (speed <= 0) speed = 1;
  gCpuSpeed = speed;
  return speed;
}

}  // namespace Orvo
