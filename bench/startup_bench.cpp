// Start-up and idle cost of the application's main loop, beside what a program written
// straight on SDL2 would do: the time from constructing the application to its first
// finished frame, and the CPU time the loop burns per wall-clock second while idle (it
// must sleep, not spin). Runs headless unless SDL_VIDEODRIVER says otherwise.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <random>

#include "framework/core/OrvoAppBase.h"
#include "framework/widgets/Widget.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/Registry.h"
#include "platform/Time.h"

namespace {

using Clock = std::chrono::steady_clock;

void HeadlessByDefault() {
  static bool done = false;
  if (done) return;
  done = true;
  if (!SDL_getenv("SDL_VIDEODRIVER")) SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
  if (!SDL_getenv("SDL_AUDIODRIVER")) SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
  // Settings go to a scratch folder, not the user's.
  auto dir = std::filesystem::temp_directory_path() / "quorvane_bench_settings";
  plat::SetRegistryFolder(dir.string());
}

// Something on screen changes at once, so the first frame is presented at once.
class DirtyWidget : public Orvo::Widget {
 public:
  void Update() override {
    Orvo::Widget::Update();
    MarkDirty();
  }
};

class FirstFrameApp : public Orvo::OrvoAppBase {
 public:
  FirstFrameApp() { mProductName = "QuorvaneBench" + std::to_string(std::random_device{}()); }
  bool DrawFrame() override {
    bool presented = Orvo::OrvoAppBase::DrawFrame();
    if (presented) {
      mFirstFrame = Clock::now();
      Shutdown();
    }
    return presented;
  }
  Clock::time_point mFirstFrame;
};

void BM_AppStartToFirstFrame(benchmark::State& state) {
  HeadlessByDefault();
  for (auto _ : state) {
    auto start = Clock::now();
    auto* app = new FirstFrameApp();
    DirtyWidget widget;
    widget.Resize(0, 0, 16, 16);
    app->Init();
    app->mWidgetManager->AddWidget(&widget);
    app->Start();
    app->mWidgetManager->RemoveWidget(&widget);
    state.SetIterationTime(std::chrono::duration<double>(app->mFirstFrame - start).count());
    delete app;
  }
}

// The same on bare SDL2: a window, a renderer and one presented frame.
void BM_BareSDLStartToFirstFrame(benchmark::State& state) {
  HeadlessByDefault();
  for (auto _ : state) {
    auto start = Clock::now();
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_Window* window = SDL_CreateWindow("bench", 64, 64, 640, 480, 0);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    SDL_RenderClear(renderer);
    SDL_RenderPresent(renderer);
    auto end = Clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
  }
}

class IdleApp : public Orvo::OrvoAppBase {
 public:
  IdleApp() { mProductName = "QuorvaneBenchIdle" + std::to_string(std::random_device{}()); }
  bool PaceFrame(bool allowSleep) override {
    if (Clock::now() >= mStopAt) Shutdown();
    return Orvo::OrvoAppBase::PaceFrame(allowSleep);
  }
  Clock::time_point mStopAt;
};

// CPU seconds per wall second while the loop idles for `seconds`.
template <typename Run>
void MeasureIdle(benchmark::State& state, Run run) {
  const double seconds = 2.0;
  double cpuPerWall = 0;
  for (auto _ : state) {
    std::clock_t cpu0 = std::clock();
    auto wall0 = Clock::now();
    run(seconds);
    double cpu = static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
    double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    cpuPerWall = cpu / wall;
    state.SetIterationTime(wall);
  }
  state.counters["cpu_percent"] = cpuPerWall * 100.0;
}

void BM_AppIdleLoopCpu(benchmark::State& state) {
  HeadlessByDefault();
  MeasureIdle(state, [](double seconds) {
    auto* app = new IdleApp();
    app->Init();
    app->mStopAt = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    app->Start();
    delete app;
  });
}
BENCHMARK(BM_AppIdleLoopCpu)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// What a program on SDL2 would do: wait for events with a 10 ms time-out.
void BM_SDLWaitEventLoopCpu(benchmark::State& state) {
  HeadlessByDefault();
  MeasureIdle(state, [](double seconds) {
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_Window* window = SDL_CreateWindow("bench", 64, 64, 640, 480, 0);
    auto stop = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < stop) {
      SDL_Event e;
      SDL_WaitEventTimeout(&e, 10);
    }
    SDL_DestroyWindow(window);
  });
}
BENCHMARK(BM_SDLWaitEventLoopCpu)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// Registered after the idle ones: the CSV reporter takes its columns from the first result,
// so the results that carry "cpu_percent" must come before those that do not.
BENCHMARK(BM_AppStartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_BareSDLStartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
