// What a profiled section costs: one start and one end sample through the process-wide
// profiler (the sample buffer and its folding included), against the pair of
// std::chrono::steady_clock readings a user would time a section with instead, and the
// bare pair of time-stamp reads as the floor.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

#include "framework/core/PerfTimer.h"
#include "framework/core/Profiler.h"

namespace {

void BM_ProfilerSection(benchmark::State& state) {
  Orvo::ProfilerStart(false);
  for (auto _ : state) {
    Orvo::ScopedProfileSection section("Bench");
    benchmark::ClobberMemory();
  }
  Orvo::ProfilerStop();
  state.SetItemsProcessed(state.iterations());
}

void BM_NestedProfilerSections(benchmark::State& state) {
  Orvo::ProfilerStart(false);
  for (auto _ : state) {
    Orvo::ScopedProfileSection outer("Outer");
    Orvo::ScopedProfileSection inner("Inner");
    benchmark::ClobberMemory();
  }
  Orvo::ProfilerStop();
  state.SetItemsProcessed(state.iterations());
}

void BM_ProfilerSectionNotRecording(benchmark::State& state) {
  for (auto _ : state) {
    Orvo::ScopedProfileSection section("Bench");
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_SteadyClockPair(benchmark::State& state) {
  std::chrono::steady_clock::duration total{};
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::ClobberMemory();
    total += std::chrono::steady_clock::now() - start;
  }
  benchmark::DoNotOptimize(total);
  state.SetItemsProcessed(state.iterations());
}

void BM_TimeStampPair(benchmark::State& state) {
  std::int64_t total = 0;
  for (auto _ : state) {
    const std::int64_t start = Orvo::ReadTimeStampCounter();
    benchmark::ClobberMemory();
    total += Orvo::ReadTimeStampCounter() - start;
  }
  benchmark::DoNotOptimize(total);
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_ProfilerSection);
BENCHMARK(BM_NestedProfilerSections);
BENCHMARK(BM_ProfilerSectionNotRecording);
BENCHMARK(BM_SteadyClockPair);
BENCHMARK(BM_TimeStampPair);

}  // namespace

BENCHMARK_MAIN();
