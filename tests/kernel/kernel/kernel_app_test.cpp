// The whole kernel, headless: a small game with a button and an image runs under
// KernelStart; real mouse input posted to the main window travels through the bridge widget
// and the factory's dispatch to the game's observer, the factory draws onto the screen,
// and the close handshake asks the game until it confirms with Quit.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <random>
#include <thread>
#include <string>
#include <vector>

#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/widgets/WidgetManager.h"
#include "kernel/controls/IFactory.h"
#include "kernel/kernel/Kernel.h"
#include "kernel/kernel/MainApp.h"
#include "kernel/time/ITimeSystem.h"
#include "platform/Messages.h"
#include "tests/framework/core/AppSandbox.h"

namespace {

using namespace ControlLibrary;

class TestGame : public KernelLibrary::IGame,
                 public MouseMessageObserver,
                 public TimeLibrary::TimeObjectMessageObserver {
 public:
  void SetSysApp(KernelLibrary::ISysApp* app) override {
    sysApp = app;
    log.push_back("sysapp");
  }
  void Init() override {
    log.push_back("init");
    IFactory* factory = GetControlFactory();
    button = factory->CreateButtonVO();
    button->SetPosition(100, 100);
    button->SetSize(80, 30);
    button->AddMouseObserver(this);
    image = factory->CreateImageVO();  // no picture: drawn as a block of its colour
    image->SetPosition(300, 100);
    image->SetColor({0, 200, 0});
  }
  void Start() override {
    log.push_back("start");
    button->SetVisible(true);
    image->SetVisible(true);
    Post(plat::WM_MOUSEMOVE, 0, 120, 110);
    Post(plat::WM_LBUTTONDOWN, plat::MK_LBUTTON, 120, 110);
    Post(plat::WM_LBUTTONUP, 0, 120, 110);
  }
  void Stop() override {
    log.push_back("stop");
    button->SetVisible(false);
  }
  void Shutdown() override {
    log.push_back("shutdown");
    GetControlFactory()->DeleteVO(button);
    GetControlFactory()->DeleteVO(image);
  }
  void GetTitle(std::string& out) override { out = title; }
  void GetVersion(std::string& out) override { out = "1.0"; }
  void OnCloseRequest() override {
    log.push_back("close request");
    auto* app = KernelLibrary::GetMainApp();
    bridgeDuringFirstRequest = bridgeDuringFirstRequest || (app->GetBridge() != nullptr);
    // The first close box press is refused; the second is confirmed.
    if (++closeRequests == 1)
      Post(plat::WM_CLOSE, 0, 0, 0);
    else
      sysApp->Quit();
  }

  void OnMouseDown(std::uint32_t id, int b) override { log.push_back("down " + std::to_string(b)); }
  void OnMouseClick(std::uint32_t id, int b) override {
    log.push_back("click " + std::to_string(b));
    clickedId = id;
    // Give the timing thread and the frame loop time to draw, then ask to close.
    closeTimer = TimeLibrary::GetTimeSystem()->CreateTimeObject(this, 300, 300);
    closeTimer->Start(false, 0);
  }
  void OnTimerFinished(std::uint32_t id) override { Post(plat::WM_CLOSE, 0, 0, 0); }

  void Post(plat::UINT message, plat::WPARAM wParam, int x, int y) {
    plat::PostMessageA(KernelLibrary::GetMainApp()->mHWnd, message, wParam, plat::MAKELPARAM(x, y));
  }

  std::string title = "KernelTest" + std::to_string(std::random_device{}());
  KernelLibrary::ISysApp* sysApp = nullptr;
  IButtonVO* button = nullptr;
  IImageVO* image = nullptr;
  TimeLibrary::ITimeObject* closeTimer = nullptr;
  std::vector<std::string> log;
  std::uint32_t clickedId = 0;
  int closeRequests = 0;
  bool bridgeDuringFirstRequest = false;
};

std::uint32_t ScreenPixel(KernelLibrary::MainApp* app, int x, int y) {
  Orvo::DDImage* screen = app->mDDInterface != nullptr ? app->mDDInterface->GetScreenImage() : nullptr;
  if (screen == nullptr || screen->GetBits() == nullptr) return 0xDEADBEEF;
  return screen->GetBits()[y * screen->GetWidth() + x] & 0xFFFFFF;
}

bool Near(std::uint32_t rgb, std::uint32_t expected) {
  for (int shift : {0, 8, 16}) {
    const int a = static_cast<int>((rgb >> shift) & 0xFF), b = static_cast<int>((expected >> shift) & 0xFF);
    if (a - b > 8 || b - a > 8) return false;
  }
  return true;
}

TEST(KernelApp, ClickReachesTheGameAndTheCloseIsConfirmedByQuit) {
  AppSandbox sandbox;
  TestGame game;
  ASSERT_TRUE(KernelLibrary::KernelStart(reinterpret_cast<plat::HINSTANCE>(1), &game));
  KernelLibrary::MainApp* app = KernelLibrary::GetMainApp();
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(app->mTitle, game.title);
  EXPECT_EQ(app->mProductVersion, "1.0");
  EXPECT_EQ(app->mWidth, 1024);  // no option file: the first screen size
  EXPECT_EQ(app->mHeight, 768);

  EXPECT_EQ(game.log, (std::vector<std::string>{"sysapp", "init", "start", "down -1", "click -1", "close request",
                                                "close request", "stop", "shutdown"}));
  EXPECT_EQ(game.clickedId, 2u);  // the first object the factory made
  EXPECT_TRUE(game.bridgeDuringFirstRequest);
  EXPECT_EQ(app->GetBridge(), nullptr);
  // The last frame drawn before the shut-down shows the image block and the hovered button.
  EXPECT_TRUE(Near(ScreenPixel(app, 305, 105), 0x00C800)) << std::hex << ScreenPixel(app, 305, 105);
  EXPECT_TRUE(Near(ScreenPixel(app, 150, 115), 0xF8D057)) << std::hex << ScreenPixel(app, 150, 115);

  KernelLibrary::KernelStop();
  EXPECT_EQ(KernelLibrary::GetMainApp(), nullptr);
  EXPECT_EQ(GetControlFactory(), nullptr);
  EXPECT_EQ(TimeLibrary::GetTimeSystem(), nullptr);
  KernelLibrary::KernelStop();  // without an application: nothing
}

// A game that asks for nothing: once started, something other than the user ends the
// program. It must end without the exit question.
struct EndedGame : KernelLibrary::IGame {
  explicit EndedGame(std::function<void(KernelLibrary::MainApp*)> end) : endRequest(std::move(end)) {}
  void SetSysApp(KernelLibrary::ISysApp*) override {}
  void Init() override { log.push_back("init"); }
  void Start() override {
    log.push_back("start");
    endRequest(KernelLibrary::GetMainApp());
  }
  void Stop() override { log.push_back("stop"); }
  void Shutdown() override { log.push_back("shutdown"); }
  void GetTitle(std::string& out) override { out = title; }
  void GetVersion(std::string& out) override { out = "1.0"; }
  void OnCloseRequest() override { log.push_back("close request"); }

  std::function<void(KernelLibrary::MainApp*)> endRequest;
  std::string title = "KernelEndTest" + std::to_string(std::random_device{}());
  std::vector<std::string> log;
};

void ExpectEndedWithoutAsking(std::function<void(KernelLibrary::MainApp*)> end) {
  AppSandbox sandbox;
  EndedGame game(std::move(end));
  ASSERT_TRUE(KernelLibrary::KernelStart(reinterpret_cast<plat::HINSTANCE>(1), &game));
  EXPECT_EQ(game.log, (std::vector<std::string>{"init", "start", "stop", "shutdown"}));
  EXPECT_TRUE(KernelLibrary::GetMainApp()->mShutdownDone);
  KernelLibrary::KernelStop();
}

TEST(KernelAppEnds, WhenTheDesktopLogsOff) {
  ExpectEndedWithoutAsking([](KernelLibrary::MainApp* app) {
    plat::PostMessageA(app->mHWnd, plat::WM_ENDSESSION, 1, 0);
  });
}

TEST(KernelAppEnds, WhenAnotherThreadAsks) {
  ExpectEndedWithoutAsking([](KernelLibrary::MainApp* app) { std::thread([app] { app->Shutdown(); }).join(); });
}

// The player closes the window three times and answers "No" to the first two: a playback
// of the recording asks the game at the same updates, is refused the same way, and plays
// on until the confirmed close.
struct RefusingGame : KernelLibrary::IGame {
  void SetSysApp(KernelLibrary::ISysApp* app) override { sysApp = app; }
  void Init() override {}
  void Start() override {
    log.push_back("start " + Updates());
    CloseBoxAsThePlayer();
    if (viewerCloses) plat::PostMessageA(KernelLibrary::GetMainApp()->mHWnd, plat::WM_CLOSE, 0, 0);
  }
  void Stop() override { log.push_back("stop " + Updates()); }
  void Shutdown() override {}
  void GetTitle(std::string& out) override { out = title; }
  void GetVersion(std::string& out) override { out = "1.0"; }
  void OnCloseRequest() override {
    log.push_back("close request " + Updates());
    if (++requests < 3)
      CloseBoxAsThePlayer();
    else
      sysApp->Quit();
  }
  // The player's input is live only while recording; a playback replays it.
  void CloseBoxAsThePlayer() {
    KernelLibrary::MainApp* app = KernelLibrary::GetMainApp();
    if (app->mRecordingDemo) plat::PostMessageA(app->mHWnd, plat::WM_CLOSE, 0, 0);
  }
  std::string Updates() { return std::to_string(KernelLibrary::GetMainApp()->mUpdateCount.load()); }

  KernelLibrary::ISysApp* sysApp = nullptr;
  std::string title = "KernelDemoTest" + std::to_string(std::random_device{}());
  std::vector<std::string> log;
  int requests = 0;
  bool viewerCloses = false;
};

TEST(KernelAppDemo, RefusedClosesAreAskedAgainOnPlayback) {
  AppSandbox sandbox;
  const std::string demo = (sandbox.root / "refused.dmo").string();
  std::vector<std::string> logs[2];
  for (int playing = 0; playing < 2; ++playing) {
    plat::SetCommandLineArgs({"/opt/q/quorvane", "-demofile=" + demo, playing ? "-play" : "-record"});
    RefusingGame game;
    ASSERT_TRUE(KernelLibrary::KernelStart(reinterpret_cast<plat::HINSTANCE>(1), &game));
    KernelLibrary::KernelStop();  // a recording is written here
    logs[playing] = game.log;
  }
  ASSERT_EQ(logs[0].size(), 5u);  // start, three close requests, stop
  EXPECT_EQ(logs[1], logs[0]);

}

// The viewer's own close during a playback (the close box, a quit signal) ends it without
// asking the game: its question could never be answered, since only the recording gives the
// game its input.
TEST(KernelAppDemo, TheViewersCloseEndsAPlaybackWithoutAsking) {
  AppSandbox sandbox;
  const std::string demo = (sandbox.root / "viewer.dmo").string();
  std::vector<std::string> logs[2];
  for (int playing = 0; playing < 2; ++playing) {
    plat::SetCommandLineArgs({"/opt/q/quorvane", "-demofile=" + demo, playing ? "-play" : "-record"});
    RefusingGame game;
    // The recorded player confirms the first close; the replayed game refuses every one, so
    // only the viewer's close can end the playback (before the mend it never ended).
    game.requests = playing ? -1000 : 2;
    game.viewerCloses = playing != 0;
    ASSERT_TRUE(KernelLibrary::KernelStart(reinterpret_cast<plat::HINSTANCE>(1), &game));
    KernelLibrary::KernelStop();
    logs[playing] = game.log;
  }
  EXPECT_EQ(logs[0], (std::vector<std::string>{"start 0", "close request 1", "stop 1"}));
  // The replayed game is asked for the recorded closes (the player's and the one its
  // confirmation sent) and never for the viewer's.
  EXPECT_EQ(logs[1], (std::vector<std::string>{"start 0", "close request 1", "close request 1", "stop 1"}));
}

}  // namespace
