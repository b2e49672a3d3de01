// The application object without its main loop: the screen size from "resolution.opt",
// the game's view through ISysApp, and no bridge (so no game start) once a shut-down has
// been requested.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "framework/widgets/WidgetManager.h"
#include "kernel/kernel/MainApp.h"
#include "kernel/kernel/ScreenOptions.h"
#include "tests/framework/core/AppSandbox.h"

namespace {

struct QuietGame : KernelLibrary::IGame {
  void SetSysApp(KernelLibrary::ISysApp*) override {}
  void Init() override { log.push_back("init"); }
  void Shutdown() override { log.push_back("shutdown"); }
  void Start() override { log.push_back("start"); }
  void Stop() override { log.push_back("stop"); }
  void GetTitle(std::string& out) override { out = "MainAppTest"; }
  void GetVersion(std::string& out) override { out = "2.5"; }
  void OnCloseRequest() override { log.push_back("close request"); }
  std::vector<std::string> log;
};

TEST(ScreenOptions, ResolutionFileChoosesTheSizeAndFullScreen) {
  AppSandbox sandbox;
  const std::string prefix = sandbox.root.string() + "/";
  const struct {
    std::vector<unsigned char> bytes;
    int width, height;
    int fullScreen;
  } cases[] = {
      {{0, 1, 1}, 1280, 800, 1},
      {{0, 2, 0}, 1024, 768, 0},  // an index outside the table falls back to the first size
      {{0, 0, 0}, 1024, 768, 0},
  };
  for (const auto& c : cases) {
    std::ofstream(prefix + "resolution.opt", std::ios::binary)
        .write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
    KernelLibrary::LoadResolution(prefix);
    int width = 0, height = 0;
    KernelLibrary::GetResolutionSize(width, height);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
    EXPECT_EQ(KernelLibrary::GetDisplayModeFlag(), c.fullScreen);
  }
  KernelLibrary::SetDisplayModeFlag(0);
}

TEST(MainAppAlone, GameSeesTheApplicationThroughSysApp) {
  AppSandbox sandbox;
  QuietGame game;
  KernelLibrary::MainApp app(&game);
  EXPECT_EQ(app.mProductName, "MainAppTest");
  EXPECT_EQ(app.mProductVersion, "2.5");
  EXPECT_TRUE(app.mVSyncSteppingEnabled);
  KernelLibrary::ISysApp* sys = app.AsSysApp();
  EXPECT_FALSE(sys->SetWindowed(true));  // full screen: no longer windowed
  EXPECT_FALSE(app.mWindowed);
  EXPECT_TRUE(sys->SetWindowed(false));
  sys->SetSize(800, 600);
  EXPECT_EQ(sys->GetSize(), (std::pair<int, int>{800, 600}));
  // A close request of the user before Quit only asks the game.
  app.mUserCloseRequest = true;
  app.Shutdown();
  app.mUserCloseRequest = false;
  EXPECT_EQ(game.log, std::vector<std::string>{"close request"});
  EXPECT_FALSE(app.mShutdownDone);
}

TEST(MainAppAlone, NoBridgeOnceAShutDownWasRequested) {
  AppSandbox sandbox;
  QuietGame game;
  KernelLibrary::MainApp app(&game);
  app.mShutdownRequested = true;
  app.LoadingCompleted();
  EXPECT_EQ(app.GetBridge(), nullptr);
  EXPECT_TRUE(game.log.empty());
  app.mShutdownRequested = false;
  app.LoadingCompleted();
  ASSERT_NE(app.GetBridge(), nullptr);
  EXPECT_EQ(app.GetBridge()->mWidth, app.mWidth);
  EXPECT_EQ(game.log, (std::vector<std::string>{"init", "start"}));
  // Deleting the application takes the bridge out, which stops the game.
}

}  // namespace
