// The screensaver-idle check of a windowed application, on the window system's own
// screensaver state: idle past the time-out less 2 s, drawing and updates stop; the next
// input brings them back.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "framework/core/OrvoAppBase.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "tests/framework/core/AppSandbox.h"

namespace {

class IdleApp : public Orvo::OrvoAppBase {
 public:
  IdleApp() {
    mProductName = "QuorvaneScreensaverTest";
    mWidth = 320;
    mHeight = 240;
    mSingleInstance = false;
  }
  bool ChangeDirHook(const std::string&) override { return true; }
  plat::HWND Window() const { return mHWnd; }
};

}  // namespace

TEST(ScreenSaverIdleTest, IdleBlanksTheProgramAndInputWakesIt) {
  AppSandbox sandbox;
  // Idle limit 2 s. Input counts from the last timer tick, which may lag up to a check.
  plat::SetScreenSaverTimeout(4);
  IdleApp app;
  app.Init();
  plat::BOOL active = plat::FALSE;
  plat::SystemParametersInfoA(plat::SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
  ASSERT_TRUE(active) << "a windowed program leaves the screensaver to the system";

  std::atomic<bool> blanked{false}, woke{false};
  std::thread watcher([&] {
    using namespace std::chrono_literals;
    for (int i = 0; i < 1000 && !Orvo::OrvoAppBase::sScreenSaverBlank; ++i) std::this_thread::sleep_for(10ms);
    blanked = Orvo::OrvoAppBase::sScreenSaverBlank.load();
    plat::PostMessageA(app.Window(), plat::WM_MOUSEMOVE, 0, plat::MAKELPARAM(20, 20));
    for (int i = 0; i < 1000 && Orvo::OrvoAppBase::sScreenSaverBlank; ++i) std::this_thread::sleep_for(10ms);
    woke = !Orvo::OrvoAppBase::sScreenSaverBlank;
    app.Shutdown();
  });
  app.Start();
  watcher.join();
  EXPECT_TRUE(blanked);
  EXPECT_TRUE(woke);
  plat::SetScreenSaverTimeout(600);
}
