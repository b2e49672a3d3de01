// A millisecond stopwatch on the high-resolution performance counter, and the speed of the
// processor's time-stamp counter, which the profiler counts its samples in.
#pragma once

#include <cstdint>

namespace Orvo {

class PerformanceTimer {
 public:
  void Start();
  // Keeps the duration measured up to now; a timer that is not running is left alone.
  void Stop();
  // Milliseconds from Start to Stop, or to now while running; 0 for a timer never started.
  double GetDuration();

 private:
  void CalcDuration();

  std::int64_t mStart = 0;
  double mDuration = 0.0;
  bool mRunning = false;
};

// The time-stamp counter (the processor's cycle counter where there is one, else the
// nanosecond performance counter).
std::int64_t ReadTimeStampCounter();
// Time-stamp ticks per second, measured over 10 ms of the performance counter; 0 when the
// performance counter is unavailable.
std::int64_t MeasureCpuSpeed();
// The measured speed, cached after the first call; never below 1.
std::int64_t GetCpuSpeed();

}  // namespace Orvo
