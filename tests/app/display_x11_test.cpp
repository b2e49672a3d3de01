// The display on a real X server: run by scripts/xvfb-display-check under Xvfb with SDL's
// X11 driver (skipped otherwise). The program opens its 1024 x 768 window, presents a known
// pattern, goes full screen and back, and a screenshot of the screen is taken at each step.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/Graphics.h"
#include "framework/widgets/Widget.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/DirectDraw.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "platform/Time.h"
#include "platform/Window.h"
#include "tests/app/ProgramSandbox.h"

using namespace Orvo;

namespace {

// Eight vertical colour bars over a grey ground, a white frame at the edges and a black
// square in the middle: each corner and edge of the frame is easy to check by eye.
class BarsWidget : public Widget {
 public:
  void Draw(Graphics* g) override {
    static const Color bars[] = {Color(255, 255, 255), Color(255, 255, 0), Color(0, 255, 255), Color(0, 255, 0),
                                 Color(255, 0, 255),   Color(255, 0, 0),   Color(0, 0, 255),   Color(40, 40, 40)};
    g->SetColor(Color(128, 128, 128));
    g->FillRect(0, 0, mWidth, mHeight);
    for (int i = 0; i < 8; ++i) {
      g->SetColor(bars[i]);
      g->FillRect(64 + i * 112, 64, 100, mHeight - 128);
    }
    g->SetColor(Color(255, 255, 255));
    g->FillRect(0, 0, mWidth, 4);
    g->FillRect(0, mHeight - 4, mWidth, 4);
    g->FillRect(0, 0, 4, mHeight);
    g->FillRect(mWidth - 4, 0, 4, mHeight);
    g->SetColor(Color(0, 0, 0));
    g->FillRect(mWidth / 2 - 50, mHeight / 2 - 50, 100, 100);
  }
};

class DisplayX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* shot = std::getenv("QUORVANE_SCREENSHOT");
    if (shot == nullptr) GTEST_SKIP() << "run by scripts/xvfb-display-check";
    screenshot = shot;
    sandbox = std::make_unique<ProgramSandbox>("orvo_x11");
  }
  void TearDown() override { sandbox.reset(); }
  // Lets the X server map and expose the window, then draws and presents a frame.
  void Settle() {
    for (int i = 0; i < 3; ++i) {
      for (int k = 0; k < 10; ++k) {
        app->PumpWindowMessages();
        plat::Sleep(20);
      }
      app->MarkAllDirty();
      app->mWidgetManager->DrawScreen();
      app->Redraw();
    }
    app->PumpWindowMessages();
  }
  void Shot(const std::string& name) {
    const std::string command = screenshot + " " + name;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  }
  plat::DWORD Shown(int x, int y) {
    plat::POINT o;
    if (app->mIsWindowedNow) plat::ClientToScreen(app->mHWnd, &o);
    return app->mDDInterface->mPrimarySurface->PixelAt(o.x + x, o.y + y);
  }

  std::string screenshot;
  std::unique_ptr<ProgramSandbox> sandbox;
  std::unique_ptr<OrvoAppBase> app;
};

TEST_F(DisplayX11Test, WindowFullScreenAndBack) {
  ASSERT_FALSE(plat::IsHeadless()) << "needs SDL's x11 driver";
  app = std::make_unique<OrvoAppBase>();
  app->mProductName = "DisplayX11" + std::to_string(std::random_device{}());
  app->mRegKey = "DisplayX11";
  app->mWidth = 1024;
  app->mHeight = 768;
  app->mColorDepth = 32;
  app->mWindowed = true;
  app->Init();
  BarsWidget bars;
  bars.Resize(0, 0, 1024, 768);
  app->mWidgetManager->AddWidget(&bars);
  plat::ShowWindow(app->mHWnd, plat::SW_SHOW);  // as the main loop does when it starts

  Settle();
  EXPECT_TRUE(app->mIsWindowedNow);
  EXPECT_EQ(Shown(512, 384), 0x000000u);
  EXPECT_EQ(Shown(100, 300), 0xFEFEFEu);
  Shot("1-windowed");

  app->SetWindowed(false);
  Settle();
  EXPECT_FALSE(app->mIsWindowedNow);
  EXPECT_EQ(Shown(512, 384), 0x000000u);
  EXPECT_EQ(Shown(0, 0), 0xFEFEFEu);
  Shot("2-fullscreen");

  app->SetWindowed(true);
  Settle();
  EXPECT_TRUE(app->mIsWindowedNow);
  EXPECT_EQ(Shown(100, 300), 0xFEFEFEu);
  Shot("3-windowed-again");

  app->mWidgetManager->RemoveWidget(&bars);
  app->Shutdown();
  app.reset();
}

}  // namespace
