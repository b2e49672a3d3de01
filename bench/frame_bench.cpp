// Whole frames of the game's real screens: the start screen and the puzzle screen, built by
// the game from the data of the built archives (build/run/), drawn in full at 1024 x 768 on
// the 2D display (software blits into the surface) and on the 3D display (the software
// Direct3D device), beside memcpy of one frame's bytes as the bandwidth ceiling.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/resources/PakInterface.h"
#include "framework/widgets/Widget.h"
#include "framework/widgets/WidgetManager.h"
#include "game/GameMgr.h"
#include "game/LevelSelectDlg.h"
#include "game/Player.h"
#include "game/StartMgr.h"
#include "kernel/controls/Factory.h"
#include "kernel/time/TimeSystem_impl.h"
#include "platform/DirectDraw.h"
#include "platform/Registry.h"

using namespace Orvo;

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

// Draws the factory's objects, as the kernel's bridge widget does each frame.
class FactoryWidget : public Widget {
 public:
  void Draw(Graphics* g) override { ControlLibrary::GetFactoryImpl()->DrawAll(g); }
};

// The game's two screens, built once for the whole run on an application that is never
// started (its time objects are ticked by hand), in a scratch game folder.
struct Screens {
  std::unique_ptr<OrvoAppBase> app;
  Doduderor::GameModuleObserver observer;
  Doduderor::StartMgr* start = nullptr;
  Doduderor::GameMgr* game = nullptr;
  FactoryWidget widget;
  bool ok = false;

  Screens() {
    namespace fs = std::filesystem;
    const fs::path scratch = fs::temp_directory_path() / ("quorvane_frame_bench_" + std::to_string(std::random_device{}()));
    fs::create_directories(scratch / "save");
    plat::SetRegistryFolder((scratch / "settings").string());
    fs::current_path(QUORVANE_RUN_DIR);
    app = std::make_unique<OrvoAppBase>();
    app->mWidth = kWidth;
    app->mHeight = kHeight;
    TimeLibrary::CreateTimeSystem();
    ControlLibrary::CreateControlFactory(app.get());
    PakInterface* pak = FindPakInterface();
    if (pak == nullptr || !pak->AddPakFile("main.pak") || !pak->AddPakFile("data.pak")) return;
    fs::copy_file(fs::path(QUORVANE_RUN_DIR) / "data.pak", scratch / "data.pak");
    fs::current_path(scratch);

    auto* player = new Doduderor::Player();
    player->name = "Pat";
    player->current = 1;
    player->tutorialPending = 0;
    player->mapIndex = 0;
    Doduderor::AddPlayer(Doduderor::GetPlayerList(), player);
    start = new Doduderor::StartMgr(&observer, Doduderor::kStartModuleId);
    start->Init();
    game = new Doduderor::GameMgr(&observer, Doduderor::kGameModuleId);
    game->Init();
    widget.Resize(0, 0, kWidth, kHeight);
    app->mWidgetManager->AddWidget(&widget);
    ok = true;
  }

  // Shows one screen alone, as the game does, and lets its opening effects run out.
  void Show(bool puzzle) {
    if (puzzle) {
      start->Hide();
      game->Show();
      game->GetLevelSelectDialog()->Show(false);  // the player's map starts
    } else {
      game->Hide();
      start->Show();
    }
    auto* time = static_cast<TimeLibrary::TimeSystem_impl*>(TimeLibrary::GetTimeSystem());
    for (int i = 0; i < 400; ++i) time->TickTimeObjects();
  }
};

Screens& TheScreens() {
  static Screens* screens = new Screens();  // kept to the end: the game's managers are process-wide
  return *screens;
}

// A windowed 32-bit display of 1024 x 768 for the screens, in 2D or 3D.
struct Display {
  std::unique_ptr<DDInterface> dd;
  OrvoAppBase* app;
  Display(OrvoAppBase* owner, bool is3D) : app(owner) {
    plat::DirectDrawTestBehaviour().desktopBitCount = 32;
    dd = std::make_unique<DDInterface>(app);
    dd->mRequest.width = kWidth;
    dd->mRequest.height = kHeight;
    dd->mIs3D = is3D;
    dd->Init(reinterpret_cast<plat::HWND>(0x10), true);
    app->mDDInterface = dd.get();
    app->mWidgetManager->mImage = dd->GetScreenImage();
  }
  ~Display() {
    app->mWidgetManager->mImage = nullptr;
    app->mDDInterface = nullptr;
  }
  bool Is3D() const { return dd->GetScreenImage()->Check3D(); }
  // One full frame: every widget drawn, and on 3D the scene ended.
  void Frame() {
    app->MarkAllDirty();
    app->mWidgetManager->DrawScreen();
    if (dd->mD3DInterface != nullptr) dd->mD3DInterface->Flush();
  }
};

void DrawScreen(benchmark::State& state, bool puzzle, bool is3D) {
  Screens& screens = TheScreens();
  if (!screens.ok) {
    state.SkipWithError("the game's archives are missing: build the project first");
    return;
  }
  screens.Show(puzzle);
  Display display(screens.app.get(), is3D);
  if (display.Is3D() != is3D) {
    state.SkipWithError("the display did not open in the mode asked for");
    return;
  }
  display.Frame();  // textures and caches made before timing
  for (auto _ : state) display.Frame();
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_FrameMemcpy(benchmark::State& state) {
  std::vector<std::uint32_t> a(static_cast<std::size_t>(kWidth) * kHeight, 1), b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size() * 4);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_StartScreen2D(benchmark::State& state) { DrawScreen(state, false, false); }
void BM_StartScreen3D(benchmark::State& state) { DrawScreen(state, false, true); }
void BM_PuzzleScreen2D(benchmark::State& state) { DrawScreen(state, true, false); }
void BM_PuzzleScreen3D(benchmark::State& state) { DrawScreen(state, true, true); }

}  // namespace

BENCHMARK(BM_FrameMemcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartScreen2D)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartScreen3D)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PuzzleScreen2D)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PuzzleScreen3D)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
