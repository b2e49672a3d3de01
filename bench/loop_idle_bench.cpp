// What the program costs while nothing happens: the whole kernel (main loop at 100 updates
// a second, the timing thread at 200 ticks a second, the factory's redraw check) running
// a small game that shows a few objects and waits, beside a bare SDL loop that wakes as
// often (SDL_WaitEventTimeout every 10 ms) and the timing thread alone. Each reports the
// share of one core the whole process used over two seconds ("cpu_pct"), measured after
// start-up. SDL's dummy drivers are used unless SDL_VIDEODRIVER / SDL_AUDIODRIVER say otherwise.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "kernel/controls/IFactory.h"
#include "kernel/kernel/Kernel.h"
#include "kernel/kernel/MainApp.h"
#include "kernel/time/TimeSystem_impl.h"

namespace {

constexpr auto kSettle = std::chrono::milliseconds(500);
constexpr auto kMeasured = std::chrono::seconds(2);

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Share of one core used by the process while `idle` runs for the measured time.
template <class Idle>
double CpuPercentWhile(Idle idle) {
  std::this_thread::sleep_for(kSettle);
  const double before = ProcessCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  idle(start + kMeasured);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return 100.0 * (ProcessCpuSeconds() - before) / seconds;
}

void UseDummyDrivers() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
}

// Shows a backdrop and a button, then waits; a thread measures and asks the program to end.
class IdleGame : public KernelLibrary::IGame {
 public:
  void SetSysApp(KernelLibrary::ISysApp*) override {}
  void Init() override {
    ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory();
    backdrop = factory->CreateRectVO();
    backdrop->SetSize(1024, 768);
    backdrop->SetColor({20, 40, 80});
    button = factory->CreateButtonVO();
    button->SetPosition(400, 300);
    button->SetSize(120, 40);
  }
  void Start() override {
    backdrop->SetVisible(true);
    button->SetVisible(true);
    KernelLibrary::MainApp* app = KernelLibrary::GetMainApp();
    measurer = std::thread([this, app] {
      cpuPercent = CpuPercentWhile([](auto until) { std::this_thread::sleep_until(until); });
      app->Shutdown();  // from another thread: the main loop ends the program
    });
  }
  void Stop() override {}
  void Shutdown() override {
    if (measurer.joinable()) measurer.join();
    ControlLibrary::GetControlFactory()->DeleteVO(button);
    ControlLibrary::GetControlFactory()->DeleteVO(backdrop);
  }
  void GetTitle(std::string& out) override { out = "QuorvaneIdleBench" + std::to_string(std::random_device{}()); }
  void GetVersion(std::string& out) override { out = "1.0"; }
  void OnCloseRequest() override {}

  ControlLibrary::IRectVO* backdrop = nullptr;
  ControlLibrary::IButtonVO* button = nullptr;
  std::thread measurer;
  double cpuPercent = 0;
};

void BM_KernelLoopIdle(benchmark::State& state) {
  UseDummyDrivers();
  for (auto _ : state) {
    IdleGame game;
    if (!KernelLibrary::KernelStart(reinterpret_cast<plat::HINSTANCE>(1), &game)) {
      state.SkipWithError("the kernel did not start");
      return;
    }
    KernelLibrary::KernelStop();
    state.counters["cpu_pct"] = game.cpuPercent;
  }
}

// What an SDL program that polls for input 100 times a second costs.
void BM_SdlWaitLoopIdle(benchmark::State& state) {
  UseDummyDrivers();
  SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  SDL_Window* window = SDL_CreateWindow("bench", 0, 0, 1024, 768, SDL_WINDOW_HIDDEN);
  for (auto _ : state) {
    state.counters["cpu_pct"] = CpuPercentWhile([](auto until) {
      SDL_Event event;
      while (std::chrono::steady_clock::now() < until) SDL_WaitEventTimeout(&event, 10);
    });
  }
  SDL_DestroyWindow(window);
  SDL_Quit();
}

// The timing thread alone, ticking an empty table every 5 ms. "timer_pct" is the timer time
// that passed over the measured real time, in percent: 100 when timer time keeps pace.
void BM_TimingThreadIdle(benchmark::State& state) {
  for (auto _ : state) {
    TimeLibrary::TimeSystem_impl time;
    time.StartTimerThread();
    std::uint64_t timerMs = 0;
    double realMs = 0;
    state.counters["cpu_pct"] = CpuPercentWhile([&](auto until) {
      const std::uint64_t timerBefore = time.GetTimeMs();
      const auto realBefore = std::chrono::steady_clock::now();
      std::this_thread::sleep_until(until);
      timerMs = time.GetTimeMs() - timerBefore;
      realMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - realBefore).count();
    });
    state.counters["timer_pct"] = 100.0 * static_cast<double>(timerMs) / realMs;
    time.StopTimerThread();
  }
}

// The timing thread's run comes first: CSV output takes its columns from the first run, and
// that run has a counter the others lack.
BENCHMARK(BM_TimingThreadIdle)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_KernelLoopIdle)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_SdlWaitLoopIdle)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
