// The performance timer, the section profiler fed with hand-made samples, and the leak
// report written to disk and to the debugger output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "framework/core/LeakReport.h"
#include "framework/core/PerfTimer.h"
#include "framework/core/Profiler.h"
#include "platform/Debug.h"
#include "platform/Time.h"

namespace fs = std::filesystem;
using namespace Orvo;

namespace {

std::int64_t gFakeStamp = 0;
std::int64_t FakeClock() { return gFakeStamp; }

// A clock that reads a script: each read gives the next stamp, the last one repeating.
std::vector<std::int64_t> gClockScript;
std::size_t gClockReads = 0;
std::int64_t ScriptedClock() {
  const std::size_t i = std::min(gClockReads++, gClockScript.size() - 1);
  return gClockScript[i];
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(PerformanceTimerTest, MeasuresMillisecondsOnThePerformanceCounter) {
  plat::SimulatedClock clock(5000);
  plat::SetClockSource(&clock);
  PerformanceTimer never;
  EXPECT_EQ(never.GetDuration(), 0.0);
  never.Stop();  // stopping a timer that never ran changes nothing
  EXPECT_EQ(never.GetDuration(), 0.0);

  PerformanceTimer timer;
  timer.Start();
  clock.AdvanceNanoseconds(250500000);
  EXPECT_DOUBLE_EQ(timer.GetDuration(), 250.5);  // running: measured up to now
  timer.Stop();
  clock.Advance(1000);
  EXPECT_DOUBLE_EQ(timer.GetDuration(), 250.5);  // stopped: frozen
  timer.Start();
  clock.Advance(7);
  EXPECT_DOUBLE_EQ(timer.GetDuration(), 7.0);  // a restart measures afresh
  plat::SetClockSource(nullptr);
}

TEST(PerformanceTimerTest, CpuSpeedIsMeasuredOnceAndPositive) {
  const std::int64_t speed = GetCpuSpeed();
  EXPECT_GT(speed, 1000000);  // any real counter runs faster than 1 MHz
  EXPECT_EQ(GetCpuSpeed(), speed);
}

TEST(ProfilerTest, NestedEntriesAreCountedButOnlyTheOutermostIsTimed) {
  Profiler p(&FakeClock);
  gFakeStamp = 0;
  p.Start(false);
  EXPECT_TRUE(p.IsProfiling());
  p.AddSample("Draw", 100, true);
  p.AddSample("Draw", 200, true);  // nested entry into the same section
  p.AddSample("Draw", 300, false);
  p.AddSample("Draw", 600, false);
  p.AddSample("Update", 600, true);
  p.AddSample("Update", 700, false);
  p.AddSample("Update", 700, true);
  p.AddSample("Update", 900, false);
  p.AddSample("Orphan", 950, false);  // an end without a start is ignored
  gFakeStamp = 1000;
  p.Stop(1000);  // 1000 ticks per second: one tick is a millisecond

  EXPECT_FALSE(p.IsProfiling());
  const auto& sections = p.GetSections();
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections.at("Draw").mCalls, 2);
  EXPECT_EQ(sections.at("Draw").mTotalTicks, 500);
  EXPECT_EQ(sections.at("Update").mCalls, 2);
  EXPECT_EQ(sections.at("Update").mTotalTicks, 300);
  EXPECT_EQ(sections.at("Update").mLongest, 200.0);
  EXPECT_EQ(p.ReportText(),
            "Total Time: 1000.00\n"
            "Draw (2 calls, %50.00 time): 500.00 (250.00 avg, 500.00 longest)\n"
            "Update (2 calls, %30.00 time): 300.00 (150.00 avg, 200.00 longest)\n");
}

TEST(ProfilerTest, StartClearsAndSuppressedOrZeroLengthRunsStaySane) {
  Profiler p(&FakeClock);
  gFakeStamp = 0;
  p.Start(false);
  p.AddSample("A", 0, true);
  p.AddSample("A", 0, false);
  p.Stop(1000);  // no time passed: the share must not divide by zero
  EXPECT_EQ(p.ReportText(), "Total Time: 0.00\nA (1 calls, %0.00 time): 0.00 (0.00 avg, 0.00 longest)\n");

  p.Start(true);  // suppressed: cleared, nothing recorded
  EXPECT_FALSE(p.IsProfiling());
  p.AddSample("A", 5, true);
  EXPECT_TRUE(p.GetSections().empty());

  // More samples than the buffer holds are folded in as they come.
  p.Start(false);
  for (int i = 0; i < 20000; ++i) {
    p.AddSample("Loop", i * 2, true);
    p.AddSample("Loop", i * 2 + 1, false);
  }
  gFakeStamp = 40000;
  p.Stop(1000);
  EXPECT_EQ(p.GetSections().at("Loop").mCalls, 20000);
  EXPECT_EQ(p.GetSections().at("Loop").mTotalTicks, 20000);
}

// The run lasts from the start stamp to the stop stamp, less the flushes inside it. Folding in
// the samples left at the stop happens after it: it neither lengthens nor shortens the run.
TEST(ProfilerTest, TheTotalLeavesOutTheProfilersOwnWorkAndIsNeverNegative) {
  struct Case {
    const char* name;
    int samplePairs;  // enough to fill the buffer makes a flush inside the run
    std::vector<std::int64_t> clock;
    double total;
  };
  const Case cases[] = {
      // start, stop, then the last fold-in (if it reads the clock) takes 300 ticks.
      {"empty run, slow fold-in after the stop", 0, {0, 100, 100, 400}, 100.0},
      {"few samples, slow fold-in after the stop", 3, {0, 100, 100, 400}, 100.0},
      // start, a flush inside the run of 50 ticks, stop, then a fold-in after it.
      {"a flush inside the run is taken off", 5000, {0, 200, 250, 1000, 1000, 5000}, 950.0},
      // a counter that steps back gives an empty run, not a negative one.
      {"the counter steps back", 0, {500, 200, 200, 200}, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gClockScript = c.clock;
    gClockReads = 0;
    Profiler p(&ScriptedClock);
    p.Start(false);
    for (int i = 0; i < c.samplePairs; ++i) {
      p.AddSample("S", 10, true);
      p.AddSample("S", 20, false);
    }
    p.Stop(1000);
    EXPECT_DOUBLE_EQ(p.GetTotalTime(), c.total);
    EXPECT_EQ(p.GetSections().empty(), c.samplePairs == 0);
  }
}

TEST(ProfilerTest, ProcessWideProfilerRecordsScopedSections) {
  ProfilerStart(false);
  ASSERT_TRUE(IsProfiling());
  for (int i = 0; i < 3; ++i) ScopedProfileSection section("Scoped");
  {
    ScopedProfileSection outer("Outer");
    ScopedProfileSection inner("Inner");
    EXPECT_EQ(ProfilerNesting(), 2);
  }
  EXPECT_EQ(ProfilerNesting(), 0);
  ProfilerRelease();  // a release with nothing acquired stays at 0
  EXPECT_EQ(ProfilerNesting(), 0);
  ProfilerStop();
  EXPECT_FALSE(IsProfiling());
  const std::string report = ProfilerReportText();
  EXPECT_EQ(report.rfind("Total Time: ", 0), 0u);
  EXPECT_NE(report.find("Scoped (3 calls, %"), std::string::npos);
}

// The counter's speed is measured on first use, a spin of 10 ms. The first run of a fresh
// process must not count it: an empty run lasts next to nothing, whichever run it is.
TEST(ProfilerDeathTest, TheFirstRunOfAProcessDoesNotCountTheSpeedMeasurement) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: the speed is not known yet
  EXPECT_EXIT(
      {
        ProfilerStart(false);
        ProfilerStop();
        const std::string report = ProfilerReportText();
        double total = -1.0;
        std::sscanf(report.c_str(), "Total Time: %lf", &total);
        std::fprintf(stderr, "%s", report.c_str());
        std::exit(total >= 0.0 && total < 1.0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "Total Time: ");
}

TEST(LeakReportTest, RemainingAllocationsAreWrittenWithTheirTotal) {
  const fs::path dir = fs::temp_directory_path() / ("orvo_leaks_" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  std::string debugOutput;
  plat::SetDebugOutputSink([&](const std::string& line) { debugOutput += line; });

  ClearTrackedAllocations();
  int a, b, c, freed;
  TrackAllocation(&a, 1, "widget.cpp", 10);
  TrackAllocation(&b, 2, "image.cpp", 20);
  TrackAllocation(&c, 2997, "sound.cpp", 30);
  TrackAllocation(&freed, 500, "font.cpp", 40);
  ForgetAllocation(&freed);
  ForgetAllocation(&debugOutput);  // never tracked: ignored

  const std::string file = (dir / "mem_leaks.txt").string();
  WriteLeakReport(file);
  plat::SetDebugOutputSink(nullptr);
  const std::string text = ReadFile(file);

  EXPECT_EQ(text.rfind("Memory Leak Report for ", 0), 0u);
  EXPECT_NE(text.find("widget.cpp(10) : Leak 1 byte\n"), std::string::npos);
  EXPECT_NE(text.find("image.cpp(20) : Leak 2 bytes\n"), std::string::npos);
  EXPECT_NE(text.find("sound.cpp(30) : Leak 2997 bytes\n"), std::string::npos);
  EXPECT_EQ(text.find("font.cpp"), std::string::npos);
  EXPECT_NE(text.find(std::string(59, '-') + "\nTotal Unfreed: 3000 bytes (2KB)\n\n"), std::string::npos);
  EXPECT_EQ(debugOutput, "\n" + text);
  EXPECT_FALSE(fs::exists(file + ".tmp"));

  // An unwritable place loses nothing but the file: the debugger output still has it.
  debugOutput.clear();
  plat::SetDebugOutputSink([&](const std::string& line) { debugOutput += line; });
  WriteLeakReport((dir / "missing" / "mem_leaks.txt").string());
  plat::SetDebugOutputSink(nullptr);
  EXPECT_NE(debugOutput.find("Total Unfreed: 3000 bytes"), std::string::npos);

  ClearTrackedAllocations();
  fs::remove_all(dir);
}

TEST(LeakReportTest, ThreadsTrackAndForgetSideBySide) {
  ClearTrackedAllocations();
  static char blocks[4][1000];
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 1000; ++i) TrackAllocation(&blocks[t][i], 1, "thread.cpp", t);
      for (int i = 0; i < 1000; i += 2) ForgetAllocation(&blocks[t][i]);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_NE(LeakReportText("now\n").find("Total Unfreed: 2000 bytes (1KB)"), std::string::npos);
  ClearTrackedAllocations();
}

// A program that links the tracker reports at its exit even when nothing was tracked, so a
// clean run leaves a report that says so.
TEST(LeakReportDeathTest, EveryExitWritesTheReport) {
  GTEST_FLAG_SET(death_test_style, "fast");
  const fs::path dir = fs::temp_directory_path() / ("orvo_exit_leaks_" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  EXPECT_EXIT(
      {
        fs::current_path(dir);
        ClearTrackedAllocations();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_NE(ReadFile(dir / "mem_leaks.txt").find("Total Unfreed: 0 bytes (0KB)"), std::string::npos);
  fs::remove_all(dir);
}
