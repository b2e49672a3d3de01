// The application's start-up and shutdown around the loop: settings kept between runs,
// the command line, the single running instance, string properties, the dialog button
// mapping and the input queue's rules.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include <unistd.h>

#include "framework/core/Demo.h"
#include "framework/core/OrvoAppBase.h"
#include "platform/DirectDraw.h"
#include "platform/MessageBox.h"
#include "platform/Module.h"
#include "platform/Process.h"
#include "platform/Random.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "platform/Time.h"
#include "tests/framework/core/AppSandbox.h"
#include "tests/platform/FileFaults.h"

namespace fs = std::filesystem;
using namespace Orvo;

namespace {

struct ExitCalled {
  UINT code;
};

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetExitProcessHook([](UINT code) { throw ExitCalled{code}; });
    plat::SetMessageBoxHook([this](const std::string& text, const std::string& caption, UINT flags) {
      boxes.push_back(caption + "|" + text);
      return plat::DefaultMessageBoxAnswer(flags);
    });
    product = "StartTest" + std::to_string(std::random_device{}());
  }
  void TearDown() override {
    plat::SetExitProcessHook(nullptr);
    plat::SetMessageBoxHook(nullptr);
  }
  std::unique_ptr<OrvoAppBase> NewApp(const std::string& regKey = "StartTest") {
    auto app = std::make_unique<OrvoAppBase>();
    app->mProductName = product;
    app->mRegKey = regKey;
    return app;
  }
  fs::path RegistryFile() const { return root / "config" / "quorvane" / "starttest.reg"; }

  AppSandbox sandbox;
  const fs::path& root = sandbox.root;
  std::string product;
  std::vector<std::string> boxes;
};

}  // namespace

TEST_F(StartupTest, SettingsWrittenAtShutdownAreReadAtTheNextStart) {
  {
    auto app = NewApp();
    app->Init();
    int inProgress = -1;
    EXPECT_TRUE(app->RegReadNumber("InProgress", &inProgress));
    EXPECT_EQ(inProgress, 1);  // this run is under way
    app->mMusicVolume = 0.57;
    app->mSfxVolume = 0.3;
    app->mWindowed = false;
    app->mPreferredX = 120;
    app->mPreferredY = 80;
    app->mWaitForVSync = true;
    app->Mute(true);  // an automatic mute (minimised) is not saved as muted
    app->Shutdown();
  }
  auto app = NewApp();
  app->Init();
  EXPECT_DOUBLE_EQ(app->mMusicVolume, 0.56);  // stored truncated, as 56
  EXPECT_DOUBLE_EQ(app->mSfxVolume, 0.30);
  EXPECT_FALSE(app->mWindowed);
  EXPECT_EQ(app->mPreferredX, 120);
  EXPECT_EQ(app->mPreferredY, 80);
  EXPECT_TRUE(app->mWaitForVSync);
  EXPECT_EQ(app->mMuteCount, 0);
  EXPECT_TRUE(app->mLastRunEndedCleanly);
}

TEST_F(StartupTest, ARunThatDidNotEndInOrderIsNoticed) {
  {
    auto app = NewApp();
    app->Init();
    app->mSettingsLoaded = false;  // no orderly save: as if the program died
    app->mRegKey.clear();
  }
  auto app = NewApp();
  app->Init();
  EXPECT_FALSE(app->mLastRunEndedCleanly);
}

TEST_F(StartupTest, CorruptOrMissingSettingsGiveTheDefaults) {
  fs::create_directories(RegistryFile().parent_path());
  std::ofstream(RegistryFile()) << "\x01\x02garbage\nV\t\tMusicVolume\t4\t0a000000\n";
  auto app = NewApp();
  app->Init();
  EXPECT_DOUBLE_EQ(app->mMusicVolume, 0.85);
  EXPECT_DOUBLE_EQ(app->mSfxVolume, 0.85);
  EXPECT_TRUE(app->mWindowed);
  EXPECT_EQ(app->mPreferredX, -1);

  // Out-of-range values written by hand are brought into range.
  app->RegWriteNumber("MusicVolume", 5000);
  app->RegWriteNumber("Muted", -3);
  app->LoadSettings();
  EXPECT_DOUBLE_EQ(app->mMusicVolume, 1.0);
  EXPECT_EQ(app->mMuteCount, 0);
}

TEST_F(StartupTest, WithoutARegistryKeyNothingIsReadOrWritten) {
  auto app = NewApp("");
  app->Init();
  EXPECT_FALSE(app->RegWriteNumber("X", 1));
  int v = 0;
  EXPECT_FALSE(app->RegReadNumber("X", &v));
  app->Shutdown();
  EXPECT_FALSE(fs::exists(root / "config" / "quorvane"));
}

TEST_F(StartupTest, ScreensaverRunLeavesNoInProgressMark) {
  {
    auto app = NewApp();
    app->Init();
    app->Shutdown();  // InProgress = 0
  }
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-screensaver"});
  auto app = NewApp();
  app->Init();
  EXPECT_TRUE(app->mScreenSaverMode);
  int inProgress = -1;
  EXPECT_TRUE(app->RegReadNumber("InProgress", &inProgress));
  EXPECT_EQ(inProgress, 0);
}

TEST_F(StartupTest, EveryOptionParsesWithAndWithoutAValue) {
  struct Case {
    const char* text;
    std::function<bool(OrvoAppBase&)> check;
  };
  const Case cases[] = {
      {"-play", [](OrvoAppBase& a) { return a.mPlayingDemo && !a.mRecordingDemo; }},
      {"-play=x", [](OrvoAppBase& a) { return a.mPlayingDemo; }},
      {"-record", [](OrvoAppBase& a) { return a.mRecordingDemo && !a.mPlayingDemo; }},
      {"-record=1", [](OrvoAppBase& a) { return a.mRecordingDemo; }},
      {"-recnum", [](OrvoAppBase& a) { return a.mRecordingDemo && a.mDemoFileName.ends_with("orvoapp1.dmo"); }},
      {"-recnum=3", [](OrvoAppBase& a) { return a.mRecordingDemo && a.mDemoFileName.ends_with("orvoapp1.dmo"); }},
      {"-playnum", [](OrvoAppBase& a) { return a.mPlayingDemo && a.mDemoFileName.ends_with(".dmo"); }},
      {"-playnum=1", [](OrvoAppBase& a) { return a.mPlayingDemo; }},
      {"-demofile=/tmp/x.dmo", [](OrvoAppBase& a) { return a.mDemoFileName == "/tmp/x.dmo"; }},
      {"-demofile=\"my run.dmo\"",
       [](OrvoAppBase& a) { return a.mDemoFileName == GetAppDataFolder() + "my run.dmo"; }},
      {"-demofile", [](OrvoAppBase& a) { return a.mDemoFileName == GetAppDataFolder(); }},
      {"-crash", [](OrvoAppBase& a) { return a.mCrashRequested; }},
      {"-crash=1", [](OrvoAppBase& a) { return a.mCrashRequested; }},
      {"-screensaver", [](OrvoAppBase& a) { return a.mScreenSaverMode; }},
      {"-screensaver=yes", [](OrvoAppBase& a) { return a.mScreenSaverMode; }},
      {"-changedir=/srv/game", [](OrvoAppBase& a) { return a.mProgramFolder == "/srv/game"; }},
      {"-changedir", [](OrvoAppBase& a) { return a.mProgramFolder.empty(); }},
      {"-recnum=-2", [](OrvoAppBase& a) { return a.mRecordingDemo && a.mDemoFileName.ends_with("orvoapp1.dmo"); }},
      {"-playnum=0x2", [](OrvoAppBase& a) { return a.mPlayingDemo; }},
  };
  SetAppDataFolder((root / "data").string());
  for (const auto& c : cases) {
    OrvoAppBase app;
    app.mProductName = product;
    app.ParseParam(c.text);
    EXPECT_TRUE(c.check(app)) << c.text;
  }
  EXPECT_TRUE(boxes.empty());
}

// An unknown option, and a count of recordings that is no number of the int range (which
// would otherwise pick other recordings, or delete the oldest one to make room).
TEST_F(StartupTest, RefusedOptionShowsItsNameAndEndsWithCodeZero) {
  const std::string longName = "-" + std::string(5000, 'x');
  for (const std::string& option :
       {std::string("-bogus"), std::string("-Play"), longName, std::string("-recnum=4294967297"),
        std::string("-recnum=99999999999999999999"), std::string("-playnum=2147483648"), std::string("-recnum=5x"),
        std::string("-playnum=-")}) {
    boxes.clear();
    plat::SetCommandLineArgs({"/opt/q/quorvane", "-record", option});
    auto app = NewApp();
    try {
      app->Init();
      ADD_FAILURE() << "no exit for " << option.substr(0, 20);
    } catch (const ExitCalled& e) {
      EXPECT_EQ(e.code, 0u);
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("FATAL ERROR|Invalid command line parameter: " + option.substr(0, 200), 0), 0u);
    EXPECT_LT(boxes[0].size(), 300u);
  }
}

TEST_F(StartupTest, CommandLineSplitting) {
  struct Case { std::vector<std::string> args; bool parsedPlay; };
  const Case cases[] = {
      {{"/opt/my games/quorvane"}, false},             // quoted path, no arguments
      {{"/opt/my games/quorvane", "-play"}, true},     // quoted path, then options
      {{"/opt/q/quorvane", "-screensaver", "-play"}, true},
  };
  for (const auto& c : cases) {
    plat::SetCommandLineArgs(c.args);
    OrvoAppBase app;
    app.SplitCommandLine();
    EXPECT_TRUE(app.mCommandLineParsed);
    EXPECT_EQ(app.mPlayingDemo, c.parsedPlay) << c.args.size();
  }
}

TEST_F(StartupTest, SecondInstanceIsRefusedAndTheFirstIsTold) {
  struct RaisingApp : OrvoAppBase {
    void RaiseMainWindow(WPARAM wParam, LPARAM lParam) override { ++raised; }
    int raised = 0;
  };
  auto first = std::make_unique<RaisingApp>();
  first->mProductName = product;
  first->Init();
  {
    auto second = NewApp();
    try {
      second->Init();
      ADD_FAILURE() << "the second instance started";
    } catch (const ExitCalled& e) {
      EXPECT_EQ(e.code, 0u);
    }
  }
  // The first instance's main window receives the notify message.
  plat::MSG msg;
  while (plat::PeekMessageA(&msg, nullptr, 0, 0, plat::PM_REMOVE)) plat::DispatchMessageA(&msg);
  EXPECT_GE(first->raised, 1);

  // In screensaver mode there is no single instance.
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-screensaver"});
  auto saver = NewApp();
  EXPECT_NO_THROW(saver->Init());
  EXPECT_TRUE(saver->mInitialised);
}

TEST_F(StartupTest, StringPropertiesGiveEveryTextWithItsDefault) {
  OrvoAppBase app;
  EXPECT_EQ(app.GetString("DIALOG_BUTTON_OK", "x"), "OK");
  EXPECT_EQ(app.GetString("NEW_VERSION_BODY", "x"),
            "There is an update available for this product.  Would you like to visit the web site to download it?");
  EXPECT_EQ(app.GetString("INVALID_COMMANDLINE_PARAM", "Invalid command line parameter: "),
            "Invalid command line parameter: ");
  app.SetString("FATAL_ERROR", L"first");
  app.SetString("FATAL_ERROR", L"Erreur \u00E9");
  EXPECT_EQ(app.GetString("FATAL_ERROR", "FATAL ERROR"), "Erreur \xE9");
  app.SetString("EMPTY", L"");
  EXPECT_EQ(app.GetString("EMPTY", "default"), "");
  EXPECT_EQ(app.GetString("fatal_error", "case matters"), "case matters");
}

TEST_F(StartupTest, DialogButtonsMapOntoApplicationButtons) {
  struct Recorder : OrvoAppBase {
    using OrvoAppBase::ButtonPressed;
    void ButtonPressed(int id) override { pressed.push_back(id); }
    void ButtonReleased(int id) override { released.push_back(id); }
    std::vector<int> pressed, released;
  };
  Recorder app;
  app.DialogButtonPressed(5, 1000);
  app.DialogButtonPressed(5, 1001);
  app.DialogButtonPressed(5, 7);
  app.DialogButtonReleased(9, 1000);
  app.DialogButtonReleased(9, 1002);
  EXPECT_EQ(app.pressed, (std::vector<int>{2005, 3005}));
  EXPECT_EQ(app.released, (std::vector<int>{2009}));
  app.ButtonPressed(42, 2);  // the click-count form reaches the plain one
  EXPECT_EQ(app.pressed.back(), 42);
}

TEST_F(StartupTest, InputQueueKeepsOneTimerAndNothingAfterClose) {
  auto app = NewApp();
  app->Init();
  app->mInputQueue.clear();
  auto send = [&](UINT m, WPARAM w = 0) { app->HandleWindowMessage(app->mHWnd, m, w, 0); };
  for (int i = 0; i < 5; ++i) send(plat::WM_TIMER, 100);
  send(plat::WM_KEYDOWN, 'A');
  send(plat::WM_SYSCOLORCHANGE);
  send(plat::WM_DISPLAYCHANGE);
  send(plat::WM_TIMER, 100);
  send(plat::WM_TIMER, 100);
  send(plat::WM_CLOSE);
  send(plat::WM_KEYDOWN, 'B');
  std::vector<UINT> kinds;
  for (const auto& q : app->mInputQueue) kinds.push_back(q.mMessage);
  EXPECT_EQ(kinds, (std::vector<UINT>{plat::WM_TIMER, plat::WM_KEYDOWN, plat::WM_SYSCOLORCHANGE, plat::WM_TIMER,
                                      plat::WM_CLOSE}));
  // Alt+F4 closes through default processing; other Alt combinations are swallowed.
  EXPECT_EQ(app->HandleWindowMessage(app->mHWnd, plat::WM_SYSCHAR, 'r', 0), 0);
  plat::ResetMessageQueue();
  app->HandleWindowMessage(app->mHWnd, plat::WM_SYSKEYDOWN, 'X', 0);
  plat::MSG posted;
  EXPECT_FALSE(plat::PeekMessageA(&posted, app->mHWnd, plat::WM_CLOSE, plat::WM_CLOSE, plat::PM_REMOVE));
  app->HandleWindowMessage(app->mHWnd, plat::WM_SYSKEYDOWN, plat::VK_F4, 0);
  EXPECT_TRUE(plat::PeekMessageA(&posted, app->mHWnd, plat::WM_CLOSE, plat::WM_CLOSE, plat::PM_REMOVE));
  // Processing the close ends the application.
  while (app->ProcessQueuedMessages(true)) {
  }
  EXPECT_TRUE(app->mQuit.load());
  EXPECT_TRUE(app->mClosing);
}

TEST_F(StartupTest, ReplayedRegistryReadNeverOverrunsTheCallersBuffer) {
  const std::string demoFile = (root / "reg.dmo").string();
  {
    Demo recording;
    recording.SetFileName(demoFile);
    recording.SetRecording(true);
    std::vector<std::uint8_t> big(100, 0xAB);
    recording.SetUpdateCount(0);
    recording.RecordRegistryRead(true, plat::REG_BINARY, big.data(), static_cast<int>(big.size()));
    recording.RecordRegistryRead(true, plat::REG_DWORD, big.data(), 4);
    ASSERT_TRUE(recording.WriteDemoFile());
  }
  OrvoAppBase app;
  app.mRegKey = "Replay";
  app.mPlayingDemo = true;
  app.mDemo->SetFileName(demoFile);
  app.mDemo->SetPlaying(true);
  std::string error;
  ASSERT_TRUE(app.mDemo->ReadDemoFile(&error)) << error;

  std::uint8_t buffer[8];
  std::memset(buffer, 0x11, sizeof(buffer));
  DWORD type = 0, size = 4;
  EXPECT_FALSE(app.RegReadValue("Big", &type, buffer, &size));
  EXPECT_EQ(size, 100u);  // the size it would need
  for (std::uint8_t b : buffer) EXPECT_EQ(b, 0x11);
  int v = 0;
  EXPECT_TRUE(app.RegReadNumber("Small", &v));
  EXPECT_EQ(static_cast<std::uint32_t>(v), 0xABABABABu);
}

TEST_F(StartupTest, TheLoaderHasFinishedBeforeAnythingItUsesIsFreed) {
  static std::atomic<bool> sawManager{false};
  struct SlowLoader : OrvoAppBase {
    void LoadingProcedure() override {
      plat::Sleep(100);
      sawManager = mWidgetManager != nullptr;  // still there while loading runs
    }
  };
  sawManager = false;
  auto app = std::make_unique<SlowLoader>();
  app->mProductName = product;
  app->Init();
  app->StartLoader();
  app->Shutdown();  // as the owner ends it: Shutdown waits for the loader
  EXPECT_TRUE(sawManager.load());
  app.reset();
}

TEST_F(StartupTest, PlaybackSeedsTheRuntimeGeneratorWithTheRecordedSeed) {
  const std::string demoFile = (root / "seed.dmo").string();
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-play", "-demofile=" + demoFile});
  auto app = NewApp();
  {
    Demo recording;
    recording.SetFileName(demoFile);
    recording.SetProductVersion(app->mProductVersion);
    recording.SetRecording(true);
    recording.SetSeed(123456789u);
    recording.RecordMouseEnter();  // a demo holds at least one record
    ASSERT_TRUE(recording.WriteDemoFile());
  }
  plat::srand(123456789u);
  const int expected[3] = {plat::rand(), plat::rand(), plat::rand()};
  plat::srand(1);
  try {
    app->Init();
  } catch (const ExitCalled&) {
    FAIL() << "playback refused: " << (boxes.empty() ? "" : boxes[0]);
  }
  ASSERT_TRUE(app->mPlayingDemo);
  EXPECT_EQ(app->mRandSeed, 123456789u);
  EXPECT_EQ(plat::rand(), expected[0]);
  EXPECT_EQ(plat::rand(), expected[1]);
  EXPECT_EQ(plat::rand(), expected[2]);

  // An unreadable demo ends start-up with its message and exit code 0.
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-play", "-demofile=" + (root / "missing.dmo").string()});
  auto broken = NewApp();
  broken->mSingleInstance = false;
  boxes.clear();
  try {
    broken->Init();
    ADD_FAILURE() << "a missing demo was played";
  } catch (const ExitCalled& e) {
    EXPECT_EQ(e.code, 0u);
  }
  EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(StartupTest, ADesktopNoLargerThanTheWindowForcesFullScreen) {
  struct Case { int desktopW, desktopH; bool windowed, forced; };
  const Case cases[] = {{640, 480, false, true}, {1024, 480, false, true}, {1024, 768, true, false}};
  for (const auto& c : cases) {
    plat::SetHeadlessDesktopSize(c.desktopW, c.desktopH);
    auto app = NewApp("");  // no stored screen mode from the case before
    app->Init();
    EXPECT_EQ(app->mWindowed, c.windowed) << c.desktopW << "x" << c.desktopH;
    EXPECT_EQ(app->mFullScreenForced, c.forced) << c.desktopW << "x" << c.desktopH;
  }
  plat::SetHeadlessDesktopSize(1920, 1080);
}

// Asked to give the desktop the window's mode: a desktop already in that mode keeps the
// request (the window covers it); one in another mode cannot be switched here, so the
// request is dropped and the window goes full screen on the desktop as it is.
TEST_F(StartupTest, ChangingTheDesktopModeFallsBackToFullScreenWhenItCannot) {
  struct Case { int desktopW, desktopH, depth; bool changeKept, windowed; };
  // The headless desktop has 32 bits per pixel.
  const Case cases[] = {{640, 480, 32, true, true}, {800, 600, 32, false, false}, {640, 480, 16, false, false}};
  for (const auto& c : cases) {
    plat::SetHeadlessDesktopSize(c.desktopW, c.desktopH);
    auto app = NewApp("");
    app->mWidth = 640;
    app->mHeight = 480;
    app->mColorDepth = c.depth;
    app->mChangeDesktopMode = true;
    app->Init();
    EXPECT_EQ(app->mChangeDesktopMode, c.changeKept) << c.desktopW << "x" << c.desktopH << "x" << c.depth;
    EXPECT_EQ(app->mWindowed, c.windowed) << c.desktopW << "x" << c.desktopH << "x" << c.depth;
    EXPECT_FALSE(app->mFullScreenForced);
  }
  plat::SetHeadlessDesktopSize(1920, 1080);
}

TEST_F(StartupTest, AltEnterAndMaximiseSwitchToFullScreenUnlessForced) {
  auto app = NewApp();
  app->Init();
  auto process = [&](UINT message, WPARAM wParam) {
    app->mInputQueue.clear();
    app->HandleWindowMessage(app->mHWnd, message, wParam, 0);
    while (app->ProcessQueuedMessages(true)) {
    }
  };
  ASSERT_TRUE(app->mWindowed);
  process(plat::WM_SYSKEYDOWN, plat::VK_RETURN);
  EXPECT_FALSE(app->mWindowed);
  process(plat::WM_SYSKEYDOWN, plat::VK_RETURN);
  EXPECT_TRUE(app->mWindowed);
  process(plat::WM_SIZE, plat::SIZE_MAXIMIZED);
  EXPECT_FALSE(app->mWindowed);
  app->mFullScreenForced = true;
  process(plat::WM_SYSKEYDOWN, plat::VK_RETURN);
  EXPECT_FALSE(app->mWindowed);
}

TEST_F(StartupTest, AWriteThatCannotBeStoredIsReportedAsFailed) {
  auto app = NewApp();
  ASSERT_TRUE(app->RegWriteNumber("MusicVolume", 50));  // the key exists and opens
  {
    file_faults::Scoped full(file_faults::DiskFull());  // the store can no longer be replaced
    EXPECT_FALSE(app->RegWriteNumber("MusicVolume", 60));
  }
  int v = 0;
  EXPECT_TRUE(app->RegReadNumber("MusicVolume", &v));
  EXPECT_EQ(v, 50);  // the old value is still there
  EXPECT_TRUE(app->RegWriteNumber("MusicVolume", 60));
}

TEST_F(StartupTest, ScreensaverSwallowsThreeMovesAndEndsOnTheFourth) {
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-screensaver"});
  auto app = NewApp();
  app->Init();
  ASSERT_TRUE(app->mScreenSaverMode);
  // Window switching and closing commands are swallowed.
  EXPECT_EQ(app->HandleWindowMessage(app->mHWnd, plat::WM_SYSCOMMAND, plat::SC_CLOSE, 0), 0);
  app->mInputQueue.clear();
  plat::ResetMessageQueue();
  plat::MSG posted;
  for (int move = 1; move <= 4; ++move) {
    plat::SetCursorPos(100 + move * 10, 100);
    app->HandleWindowMessage(app->mHWnd, plat::WM_MOUSEMOVE, 0, plat::MAKELPARAM(move * 10, 5));
    bool closing = plat::PeekMessageA(&posted, app->mHWnd, plat::WM_CLOSE, plat::WM_CLOSE, plat::PM_NOREMOVE);
    EXPECT_EQ(closing, move == 4) << move;
  }
  EXPECT_TRUE(app->mInputQueue.empty());  // none of the moves reached the queue
}

TEST_F(StartupTest, WithoutTheDisplayLibraryStartUpEndsWithTheDirectXMessage) {
  plat::FreeLibrary(plat::LoadLibrary("ddraw.dll"));  // the built-in libraries are registered now
  plat::UnregisterModule("ddraw.dll");
  auto app = NewApp();
  try {
    app->Init();
    ADD_FAILURE() << "started without the display library";
  } catch (const ExitCalled& e) {
    EXPECT_EQ(e.code, 0u);
  }
  plat::RegisterDirectDrawModule();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("You need DirectX|This application requires DirectX to run.  You can get DirectX at ", 0), 0u);
}

TEST_F(StartupTest, AProgramMutedByThePlayerStartsMuted) {
  {
    auto app = NewApp();
    app->Init();
    app->Mute(false);  // the player's own mute
    app->Mute(true);   // and an automatic one on top
    app->Shutdown();
  }
  auto app = NewApp();
  app->Init();
  // One mute from the settings; until its window is shown and active the program also
  // holds an automatic one.
  EXPECT_EQ(app->mMuteCount - app->mAutoMuteCount, 1);
  EXPECT_TRUE(app->IsMuted());
}
