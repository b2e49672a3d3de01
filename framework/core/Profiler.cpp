// Section profiler: sample buffer, nesting-aware totals and the report text.
#include "framework/core/Profiler.h"

#include <algorithm>

#include "framework/core/Common.h"
#include "framework/core/PerfTimer.h"

namespace Orvo {

Profiler::Profiler(Clock clock) : mClock(clock) { mSamples.reserve(kBufferSize); }

void Profiler::Start(bool suppress) {
  mSections.clear();
  mSamples.clear();
  mOverhead = 0;
  mTotalTime = 0.0;
  mStopStamp = 0;
  mRecording = !suppress;
  mStartStamp = mClock();
}

void Profiler::AddSample(const char* key, std::int64_t stamp, bool isStart) {
  if (!mRecording || key == nullptr) return;
  if (mSamples.size() >= kBufferSize) Flush();
  mSamples.push_back(Sample{key, stamp, isStart});
}

void Profiler::ProcessSample(const Sample& sample) {
  if (sample.mIsStart) {
    Section& section = mSections[sample.mKey];
    ++section.mCalls;
    if (++section.mDepth == 1) section.mStartStamp = sample.mStamp;
    return;
  }
  auto it = mSections.find(sample.mKey);
  if (it == mSections.end()) return;  // an end without its start (recording began inside it)
  Section& section = it->second;
  if (section.mDepth <= 0) return;
  if (--section.mDepth == 0) {
    const std::int64_t ticks = sample.mStamp - section.mStartStamp;
    section.mTotalTicks += ticks;
    if (static_cast<double>(ticks) > section.mLongest) section.mLongest = static_cast<double>(ticks);
  }
}

void Profiler::ProcessBufferedSamples() {
  for (const Sample& sample : mSamples) ProcessSample(sample);
  mSamples.clear();
}

void Profiler::Flush() {
  const std::int64_t begin = mClock();
  ProcessBufferedSamples();
  mOverhead += mClock() - begin;
}

void Profiler::Stop(std::int64_t ticksPerSecond) {
  EndRecording();
  SetSpeed(ticksPerSecond);
}

void Profiler::Stop(Clock ticksPerSecond) {
  EndRecording();
  SetSpeed(ticksPerSecond());
}

void Profiler::EndRecording() {
  mStopStamp = mClock();
  // What is left is folded in after the stop time, so its cost is no part of the run and is
  // not taken off it either.
  ProcessBufferedSamples();
  mRecording = false;
}

void Profiler::SetSpeed(std::int64_t ticksPerSecond) {
  mTicksPerSecond = ticksPerSecond > 0 ? ticksPerSecond : 1;
  // Only flushes inside the run are taken off; a counter that steps back between cores still
  // gives no negative run.
  const std::int64_t runTicks = std::max<std::int64_t>(0, mStopStamp - mStartStamp - mOverhead);
  mTotalTime = static_cast<double>(runTicks) * 1000.0 / mTicksPerSecond;
}

std::string Profiler::ReportText() const {
  std::string text = FormatString("Total Time: %.2f\n", mTotalTime);
  const double toMs = 1000.0 / static_cast<double>(mTicksPerSecond);
  for (const auto& [name, section] : mSections) {
    const double ms = static_cast<double>(section.mTotalTicks) * toMs;
    // A total of 0 (a stop right after the start) gives a share of 0, not a division by 0.
    const double share = mTotalTime > 0.0 ? ms * 100.0 / mTotalTime : 0.0;
    const double average = section.mCalls > 0 ? ms / section.mCalls : 0.0;
    text += FormatString("%s (%d calls, %%%.2f time): %.2f (%.2f avg, %.2f longest)\n", name.c_str(), section.mCalls,
                         share, ms, average, section.mLongest * toMs);
  }
  return text;
}

namespace {

Profiler& TheProfiler() {
  static Profiler profiler(&ReadTimeStampCounter);
  return profiler;
}

}  // namespace

void ProfilerStart(bool suppress) { TheProfiler().Start(suppress); }
// The first call measures the counter's speed, a spin of 10 ms: the run has ended before.
void ProfilerStop() { TheProfiler().Stop(&GetCpuSpeed); }
bool IsProfiling() { return TheProfiler().IsProfiling(); }
std::string ProfilerReportText() { return TheProfiler().ReportText(); }

void ProfilerAcquire() { TheProfiler().Acquire(); }
void ProfilerRelease() { TheProfiler().Release(); }
int ProfilerNesting() { return TheProfiler().GetNesting(); }

void ProfilerBeginSection(const char* name) {
  Profiler& profiler = TheProfiler();
  if (profiler.IsProfiling()) profiler.AddSample(name, ReadTimeStampCounter(), true);
}

void ProfilerEndSection(const char* name) {
  Profiler& profiler = TheProfiler();
  if (profiler.IsProfiling()) profiler.AddSample(name, ReadTimeStampCounter(), false);
}

}  // namespace Orvo
