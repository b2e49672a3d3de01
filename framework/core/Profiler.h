// The section profiler: code marks the start and end of named sections, the samples are
// buffered while recording and folded into per-section totals (calls, time of the
// outermost entry, longest entry), and the result reads as the "Perf Results" text.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Orvo {

class Profiler {
 public:
  // Every section's figures, in time-stamp ticks.
  struct Section {
    std::int64_t mStartStamp = 0;
    std::int64_t mTotalTicks = 0;
    double mLongest = 0.0;
    int mDepth = 0;
    int mCalls = 0;
  };

  // `clock` reads the time-stamp counter; it also measures the profiler's own overhead.
  using Clock = std::int64_t (*)();
  explicit Profiler(Clock clock);

  // Clears every figure; records from now on unless `suppress`.
  void Start(bool suppress);
  // Ends recording and turns the figures into milliseconds at `ticksPerSecond`.
  void Stop(std::int64_t ticksPerSecond);
  // The same with the speed asked of `ticksPerSecond` once the run's stop time is taken, so
  // that a speed measured on first use is no part of the run.
  void Stop(Clock ticksPerSecond);
  bool IsProfiling() const { return mRecording; }

  // One sample at the time-stamp `stamp` (ignored while not recording). `key` must stay
  // valid until the next flush: section names are string literals.
  void AddSample(const char* key, std::int64_t stamp, bool isStart);
  // Folds the buffered samples into the sections; the time it takes counts as overhead.
  void Flush();

  // The nesting counter: how many profiled scopes are open. A release below 0 is ignored,
  // and starting a run leaves the count alone (scopes open at the start still close).
  void Acquire() { ++mNesting; }
  void Release() {
    if (mNesting > 0) --mNesting;
  }
  int GetNesting() const { return mNesting; }

  // "Total Time: ..." and one line per section, sections sorted by name.
  std::string ReportText() const;

  double GetTotalTime() const { return mTotalTime; }
  std::int64_t GetOverhead() const { return mOverhead; }
  const std::map<std::string, Section>& GetSections() const { return mSections; }

 private:
  struct Sample {
    const char* mKey;
    std::int64_t mStamp;
    bool mIsStart;
  };
  static constexpr std::size_t kBufferSize = 8192;

  void ProcessSample(const Sample& sample);
  // Folds the buffered samples into the sections without counting the time it takes.
  void ProcessBufferedSamples();
  // Takes the stop time, folds in the samples and ends recording.
  void EndRecording();
  // The totals in milliseconds at `ticksPerSecond`.
  void SetSpeed(std::int64_t ticksPerSecond);

  Clock mClock;
  bool mRecording = false;
  std::int64_t mStartStamp = 0;
  std::int64_t mStopStamp = 0;
  std::int64_t mOverhead = 0;
  std::int64_t mTicksPerSecond = 1;
  double mTotalTime = 0.0;
  int mNesting = 0;
  std::vector<Sample> mSamples;
  std::map<std::string, Section> mSections;
};

// ---- The process-wide profiler (main thread only) ----
void ProfilerStart(bool suppress);
void ProfilerStop();
bool IsProfiling();
std::string ProfilerReportText();
void ProfilerBeginSection(const char* name);
void ProfilerEndSection(const char* name);
// The process-wide profiler's nesting counter (open ScopedProfileSections).
void ProfilerAcquire();
void ProfilerRelease();
int ProfilerNesting();

// Profiles the enclosing scope as the section `name` (a string literal).
class ScopedProfileSection {
 public:
  explicit ScopedProfileSection(const char* name) : mName(name) {
    ProfilerAcquire();
    ProfilerBeginSection(mName);
  }
  ~ScopedProfileSection() {
    ProfilerEndSection(mName);
    ProfilerRelease();
  }
  ScopedProfileSection(const ScopedProfileSection&) = delete;
  ScopedProfileSection& operator=(const ScopedProfileSection&) = delete;

 private:
  const char* mName;
};

}  // namespace Orvo
