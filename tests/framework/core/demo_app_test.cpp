// Whole-program demo test: a headless application records a session of left, right and
// middle clicks, double clicks, keys, characters, the wheel, the mouse leaving the window,
// a stall, random numbers, a registry read and an HTTP transfer, then a second process
// replays the recording. The same input must reach the widgets at the same updates, the
// same values must come back, and the frames drawn must be the same.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/Demo.h"
#include "framework/core/DemoWindows.h"
#include "framework/core/HTTPTransfer.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/Graphics.h"
#include "framework/widgets/Widget.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/Process.h"
#include "platform/Random.h"
#include "platform/Time.h"
#include "platform/Window.h"
#include "tests/framework/core/LoopbackServer.h"

namespace {

// One folder per test process, so that tests run side by side never share a session.
// Fixed on first use, before any death test forks, so parent and child agree.
std::filesystem::path SessionDir() {
  static const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quorvane_demo_app_test_" + std::to_string(plat::CurrentProcessId()));
  return dir;
}

class SessionApp;

volatile int* volatile gNowhere = nullptr;

// The fault is meant: the undefined-behaviour checker must let it happen.
[[gnu::noinline, gnu::no_sanitize("undefined")]] void FaultDuringUpdate() { *gNowhere = 1; }

// A full-window widget that logs every input call with the update it arrived in, and
// draws a picture of everything it has seen so far.
class LogWidget : public Orvo::Widget {
 public:
  explicit LogWidget(SessionApp* app) : mApp(app) {}
  void Log(const std::string& text);

  void MouseMove(int x, int y) override { Log("move " + P(x, y)); }
  void MouseDownButton(int x, int y, int button, int count) override {
    Log("down " + P(x, y) + " " + P(button, count));
    mMarks.push_back({x, y, button});
  }
  void MouseUpButton(int x, int y, int button, int count) override { Log("up " + P(x, y) + " " + P(button, count)); }
  void MouseDrag(int x, int y) override { Log("drag " + P(x, y)); }
  void MouseWheel(int delta) override { Log("wheel " + std::to_string(delta)); }
  void MouseLeave() override { Log("leave"); }
  void KeyDown(int key) override { Log("keydown " + std::to_string(key)); }
  void KeyUp(int key) override { Log("keyup " + std::to_string(key)); }
  void KeyChar(char c) override { Log("char " + std::to_string(static_cast<unsigned char>(c))); }

  void Draw(Orvo::Graphics* g) override {
    g->SetColor(Orvo::Color(20 + static_cast<int>(mMarks.size()) * 10, 40, 60));
    g->FillRect(0, 0, mWidth, mHeight);
    for (const Mark& m : mMarks) {
      g->SetColor(m.button < 0 ? Orvo::Color(255, 0, 0) : m.button > 0 ? Orvo::Color(0, 255, 0) : Orvo::Color(0, 0, 255));
      g->FillRect(m.x - 3, m.y - 3, 7, 7);
    }
  }

 private:
  struct Mark {
    int x, y, button;
  };
  static std::string P(int a, int b) { return std::to_string(a) + "," + std::to_string(b); }
  SessionApp* mApp;
  std::vector<Mark> mMarks;
};

class SessionApp : public Orvo::OrvoAppBase {
 public:
  // `playbackKey`: 'j' or 'l' opens that demo window at update 10 of a playback.
  // `refusingCloses`: the session also closes the window at updates 35 and 60, and the
  // application refuses both closes, as the game does when the player answers "No".
  SessionApp(bool recording, int crashAt, char playbackKey = 0, bool refusingCloses = false)
      : mRecordingRun(recording),
        mCrashAt(crashAt),
        mPlaybackKey(playbackKey),
        mRefusingCloses(refusingCloses),
        mRefusalsLeft(refusingCloses ? 2 : 0) {
    mProductName = "QuorvaneDemoTest";
    mRegKey = "Quorvane\\DemoTest";
    mSingleInstance = false;  // sessions of tests running side by side must not refuse each other
    mWidth = 320;
    mHeight = 240;
  }
  ~SessionApp() override { delete mServer; }

  std::vector<std::string> mLog;
  std::map<int, std::uint64_t> mFrames;  // update count -> hash of the frame drawn then
  std::filesystem::path mLogFile;

  void Shutdown() override {
    if (mUserCloseRequest && mRefusalsLeft > 0 && !mShutdownDone) {
      --mRefusalsLeft;
      Log("close refused");
      return;
    }
    OrvoAppBase::Shutdown();
  }

  // The working folder stays the session folder, where "crash.txt" is written.
  bool ChangeDirHook(const std::string&) override { return true; }

  void WriteLog() {
    std::ofstream out(mLogFile);
    for (const std::string& line : mLog) out << line << "\n";
    out << "frames\n";
    for (const auto& [update, hash] : mFrames) out << update << " " << hash << "\n";
  }

  void LoadingCompleted() override {
    mWidget = new LogWidget(this);
    mWidget->Resize(0, 0, mWidth, mHeight);
    mWidgetManager->AddWidget(mWidget);
    mWidgetManager->SetFocus(mWidget);
    Log("loaded");
  }

  void UpdateApp() override {
    OrvoAppBase::UpdateApp();
    const int u = mUpdateCount;
    if (u == 3) {
      const int first = plat::rand();
      Log("rand " + std::to_string(first) + " " + std::to_string(plat::rand()));
    }
    if (u == 4) {
      RegWriteNumber("DemoTestValue", mRecordingRun ? 1234 : 999);
      int value = -1;
      const bool found = RegReadNumber("DemoTestValue", &value);
      Log("registry " + std::to_string(found) + " " + std::to_string(value));
    }
    if (u == 5) {
      std::string url = "http://127.0.0.1:1/";
      if (mRecordingRun) {
        mServer = new testing_http::LoopbackServer({{"HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nreplied", 30}});
        url = mServer->Url("/ping");
      }
      mTransfer.SendRequest(url, "GET /ping HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    }
    if (u >= 5) {
      const int result = mTransfer.GetResult();
      if (result != mLastHttpResult) {
        Log("http " + std::to_string(result) + " " + (result == 0 ? mTransfer.GetContent() : std::string()));
        mLastHttpResult = result;
      }
    }
    if (mRefusingCloses && u == 70) {
      // After the refused closes the registry still answers from the recording.
      RegWriteNumber("AfterClose", mRecordingRun ? 77 : 11);
      int value = -1;
      const bool found = RegReadNumber("AfterClose", &value);
      Log("registry after close " + std::to_string(found) + " " + std::to_string(value));
    }
    if (mRecordingRun) Script(u);
    if (mRecordingRun && (u == 50 || u == 100)) mDemo->AddMarker(u == 50 ? "fifty" : "hundred", u);
    if (!mRecordingRun && u == 10 && mPlaybackKey == 'j') {
      // "Jump To Time": the window's field takes the text typed next, Enter confirms it.
      Post(plat::WM_CHAR, 'j', 0, 0);
      for (char c : std::string("0:00")) Post(plat::WM_CHAR, static_cast<unsigned char>(c), 0, 0);
      Post(plat::WM_KEYDOWN, plat::VK_RETURN, 0, 0);
    }
    if (!mRecordingRun && u == 10 && mPlaybackKey == 'l') Post(plat::WM_CHAR, 'L', 0, 0);
    if (mRecordingRun && u == mCrashAt) {
      WriteLog();
      FaultDuringUpdate();
    }
    // A playback of a recording that ended in a crash runs on without input: stop there.
    if (!mRecordingRun && mDemo->PlaybackEnded() && mCrashAt > 0) Shutdown();
    if (u > 3000) {
      Log("gave up");
      Shutdown();
    }
  }

  bool DrawFrame() override {
    const int before = mDrawCount;
    const bool result = OrvoAppBase::DrawFrame();
    if (mDrawCount != before && mDDInterface != nullptr && mDDInterface->GetScreenImage() != nullptr) {
      Orvo::DDImage* screen = mDDInterface->GetScreenImage();
      const std::uint32_t* bits = screen->GetBits();
      std::uint64_t hash = 1469598103934665603ull;
      for (int i = 0; bits != nullptr && i < screen->GetWidth() * screen->GetHeight(); ++i) {
        hash ^= bits[i] & 0xFFFFFF;
        hash *= 1099511628211ull;
      }
      mFrames[mUpdateCount] = hash;
    }
    return result;
  }

  void Log(const std::string& text) { mLog.push_back(std::to_string(mUpdateCount) + " " + text); }

  // The marker list is open: a double click on its second entry, as a user would.
  void ModalOpenHook() override {
    auto* list = dynamic_cast<Orvo::MarkerListWindow*>(GetDemoWindow());
    if (list == nullptr) return;
    mListed.clear();
    for (const auto& entry : list->GetEntries()) mListed.push_back(entry.text);
    int x = 0, y = 0;
    if (!list->FindEntry(1, &x, &y)) return;
    Post(plat::WM_LBUTTONDOWN, plat::MK_LBUTTON, x, y);
    Post(plat::WM_LBUTTONUP, 0, x, y);
    Post(plat::WM_LBUTTONDBLCLK, plat::MK_LBUTTON, x, y);
    Post(plat::WM_LBUTTONUP, 0, x, y);
  }
  std::vector<std::string> mListed;  // the marker list's entries when it opened

 private:
  void Post(plat::UINT message, plat::WPARAM wParam, int x, int y) {
    plat::PostMessageA(mHWnd, message, wParam, plat::MAKELPARAM(x, y));
  }

  // A move to (x, y), then a press and a release there.
  void Click(plat::UINT down, plat::UINT up, plat::WPARAM held, int x, int y) {
    Post(plat::WM_MOUSEMOVE, 0, x, y);
    Post(down, held, x, y);
    Post(up, 0, x, y);
  }

  // The recorded session's input, posted to the main window as the system would.
  void Script(int u) {
    using namespace plat;
    switch (u) {
      case 20:
        Click(WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, 100, 100);
        Click(WM_LBUTTONDBLCLK, WM_LBUTTONUP, MK_LBUTTON, 100, 100);
        break;
      case 24:
        Click(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, 110, 95);
        Click(WM_RBUTTONDBLCLK, WM_RBUTTONUP, MK_RBUTTON, 110, 95);
        break;
      case 27:
        Click(WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON, 250, 200);
        break;
      case 30:
        Post(WM_KEYDOWN, 'A', 0, 0);
        Post(WM_CHAR, 'a', 0, 0);
        Post(WM_KEYUP, 'A', 0, 0);
        Post(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<std::uint16_t>(-240)) << 16, 250, 200);
        break;
      case 33:
        // The stall: an update that takes a quarter of a second.
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        break;
      case 40: {
        // The mouse leaves the window; the timer's check notices it.
        POINT outside{-40, -40};
        ClientToScreen(mHWnd, &outside);
        SetCursorPos(outside.x, outside.y);
        break;
      }
      case 35:
      case 60:
        if (mRefusingCloses) Post(WM_CLOSE, 0, 0, 0);
        break;
      case 90:
        // A drag past the top-left corner: the window holds the capture, so the positions
        // are negative.
        Post(WM_MOUSEMOVE, 0, 60, 70);
        Post(WM_LBUTTONDOWN, MK_LBUTTON, 60, 70);
        Post(WM_MOUSEMOVE, MK_LBUTTON, -20, -300);
        Post(WM_LBUTTONUP, 0, -20, -300);
        break;
      default:
        break;
    }
    // The reply comes from a real thread while updates follow the simulated clock: end only
    // once it is in, so that the recording holds it however busy the machine is.
    if (u >= 120 && !mClosePosted) {
      using Orvo::HTTPTransfer;
      if (mLastHttpResult == HTTPTransfer::RESULT_NOT_STARTED || mLastHttpResult == HTTPTransfer::RESULT_NOT_COMPLETED) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      } else {
        Post(WM_CLOSE, 0, 0, 0);
        mClosePosted = true;
      }
    }
  }

  bool mRecordingRun;
  int mCrashAt;
  char mPlaybackKey;
  bool mRefusingCloses;
  int mRefusalsLeft;
  LogWidget* mWidget = nullptr;
  testing_http::LoopbackServer* mServer = nullptr;
  Orvo::HTTPTransfer mTransfer;
  int mLastHttpResult = Orvo::HTTPTransfer::RESULT_NOT_STARTED;
  bool mClosePosted = false;
};

void LogWidget::Log(const std::string& text) {
  mApp->Log(text);
  MarkDirty();
}

std::string KeyName(char key) { return key != 0 ? std::string(1, key) : std::string(); }

// Runs one phase in this (child) process and writes what it saw to a file. With crashAt
// the recording faults at that update.
[[noreturn]] void RunSession(bool recording, int crashAt = 0, char playbackKey = 0, bool refusingCloses = false) {
  const auto dir = SessionDir();
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  std::filesystem::current_path(dir);
  const std::string demo = (dir / "session.dmo").string();
  plat::SetCommandLineArgs({"demo_app_test", "-demofile=" + demo, recording ? "-record" : "-play"});
  // The loop runs on a simulated clock, so that which updates get drawn follows the session
  // rather than how busy the machine is.
  static plat::SimulatedClock clock(100000);
  plat::SetClockSource(&clock);
  {
    SessionApp app(recording, crashAt, playbackKey, refusingCloses);
    app.mLogFile = dir / (recording ? "recorded.txt" : "replayed" + KeyName(playbackKey) + ".txt");
    app.Init();
    app.Start();
    app.Log("ended");
    app.WriteLog();
    std::ofstream(dir / ("extra" + KeyName(playbackKey) + ".txt"))
        << "jumptime=" << app.ReadDemoJumpTime() << "\n" << [&] {
             std::string listed;
             for (const std::string& entry : app.mListed) listed += "listed=" + entry + "\n";
             return listed;
           }();
  }
  std::exit(0);
}

struct Session {
  std::vector<std::string> log;
  std::map<int, std::uint64_t> frames;
};

Session ReadSession(const std::filesystem::path& file) {
  Session s;
  std::ifstream in(file);
  std::string line;
  bool inFrames = false;
  while (std::getline(in, line)) {
    if (line == "frames") {
      inFrames = true;
    } else if (inFrames) {
      std::istringstream fields(line);
      int update = 0;
      std::uint64_t hash = 0;
      fields >> update >> hash;
      s.frames[update] = hash;
    } else {
      s.log.push_back(line);
    }
  }
  return s;
}

bool Contains(const std::vector<std::string>& log, const std::string& part) {
  for (const std::string& line : log)
    if (line.find(part) != std::string::npos) return true;
  return false;
}

}  // namespace

TEST(DemoAppDeathTest, ARecordedSessionReplaysTheSameInputValuesAndFrames) {
  // Each phase runs in a child forked from this process at the same state, as two fresh
  // runs of the program would start.
  GTEST_FLAG_SET(death_test_style, "fast");
  const auto dir = SessionDir();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);

  EXPECT_EXIT(RunSession(true), testing::ExitedWithCode(0), "");
  ASSERT_TRUE(std::filesystem::exists(dir / "session.dmo"));
  EXPECT_EXIT(RunSession(false), testing::ExitedWithCode(0), "");

  const Session recorded = ReadSession(dir / "recorded.txt");
  const Session replayed = ReadSession(dir / "replayed.txt");
  // The recording saw everything the session was meant to exercise.
  for (const char* part : {"down 100,100 -1,1", "down 100,100 -1,2", "down 110,95 1,1", "down 110,95 1,2",
                           "down 250,200 0,1", "keydown 65", "char 97", "keyup 65", "wheel -2", "leave",
                           "registry 1 1234", "http 0 replied", "rand ", "drag -20,-300", "up -20,-300 -1,1"})
    EXPECT_TRUE(Contains(recorded.log, part)) << part;
  EXPECT_EQ(replayed.log, recorded.log);

  // Frames are drawn when time allows, so the two runs draw at different updates; every
  // update that both drew must show the same picture, and both drew the last one.
  int common = 0;
  for (const auto& [update, hash] : recorded.frames) {
    auto it = replayed.frames.find(update);
    if (it == replayed.frames.end()) continue;
    ++common;
    EXPECT_EQ(it->second, hash) << "frame of update " << update;
  }
  EXPECT_GE(common, 4);
  ASSERT_FALSE(recorded.frames.empty());
  ASSERT_FALSE(replayed.frames.empty());
  EXPECT_EQ(recorded.frames.rbegin()->second, replayed.frames.rbegin()->second) << "last frame";
  std::filesystem::remove_all(dir);
}

// The player closed the window twice and answered "No" both times: the playback asks the
// application again at the same updates, is refused again, and plays the whole session,
// with the registry still answering from the recording after the closes.
TEST(DemoAppDeathTest, RefusedClosesAreRefusedAgainAndThePlaybackRunsToTheEnd) {
  GTEST_FLAG_SET(death_test_style, "fast");
  const auto dir = SessionDir();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);

  EXPECT_EXIT(RunSession(true, 0, 0, true), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(RunSession(false, 0, 0, true), testing::ExitedWithCode(0), "");
  const Session recorded = ReadSession(dir / "recorded.txt");
  const Session replayed = ReadSession(dir / "replayed.txt");
  for (const char* line : {"35 close refused", "60 close refused", "70 registry after close 1 77"})
    EXPECT_TRUE(Contains(recorded.log, line)) << line;
  ASSERT_FALSE(recorded.log.empty());
  EXPECT_GE(std::stoi(recorded.log.back()), 120) << recorded.log.back();  // "<update> ended"
  EXPECT_EQ(replayed.log, recorded.log);
  std::filesystem::remove_all(dir);
}

// A fault while recording leaves "crash.txt" with the application's facts, and a complete
// demo that plays back the session up to the fault.
TEST(DemoAppDeathTest, ACrashWhileRecordingLeavesADemoThatPlaysUpToTheCrash) {
  GTEST_FLAG_SET(death_test_style, "fast");
  const auto dir = SessionDir();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);

  EXPECT_EXIT(RunSession(true, 95), testing::KilledBySignal(SIGSEGV), "Fatal Error!");
  const std::string report = [&] {
    std::ifstream in(dir / "crash.txt");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }();
  EXPECT_EQ(report.rfind("Exception: Access Violation (code 0xc0000005)", 0), 0u) << report;
  EXPECT_NE(report.find("FaultDuringUpdate"), std::string::npos) << report;
  EXPECT_NE(report.find("SessionApp::UpdateApp"), std::string::npos) << report;
  EXPECT_NE(report.find("Product: QuorvaneDemoTest\r\n"), std::string::npos) << report;

  EXPECT_EXIT(RunSession(false, 95), testing::ExitedWithCode(0), "");
  const Session recorded = ReadSession(dir / "recorded.txt");
  const Session replayed = ReadSession(dir / "replayed.txt");
  ASSERT_TRUE(Contains(recorded.log, "down 60,70 -1,1"));
  ASSERT_GE(replayed.log.size(), recorded.log.size());
  EXPECT_EQ(std::vector<std::string>(replayed.log.begin(), replayed.log.begin() + recorded.log.size()), recorded.log);
  std::filesystem::remove_all(dir);
}

// The demo player's windows, opened with J and L through the window's input during a
// playback: "Jump To Time" with 0:00 fast-forwards to one second before the end, the
// marker list jumps to the marker chosen with a double click. Every input still arrives,
// and the frames after the jump are those of a playback straight through.
TEST(DemoAppDeathTest, JumpToTimeAndMarkerListReachTheFramesOfAStraightPlayback) {
  GTEST_FLAG_SET(death_test_style, "fast");
  const auto dir = SessionDir();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);

  EXPECT_EXIT(RunSession(true), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(RunSession(false), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(RunSession(false, 0, 'j'), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(RunSession(false, 0, 'l'), testing::ExitedWithCode(0), "");
  const Session straight = ReadSession(dir / "replayed.txt");
  const std::string extraJ = [&] {
    std::ifstream in(dir / "extraj.txt");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }();
  const std::string extraL = [&] {
    std::ifstream in(dir / "extral.txt");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }();
  EXPECT_NE(extraJ.find("jumptime=0:00\n"), std::string::npos) << extraJ;
  EXPECT_NE(extraL.find("listed=fifty (00:00:0"), std::string::npos) << extraL;
  EXPECT_NE(extraL.find("listed=hundred (00:00:0"), std::string::npos) << extraL;

  for (const char* name : {"replayedj.txt", "replayedl.txt"}) {
    const Session jumped = ReadSession(dir / name);
    EXPECT_EQ(jumped.log, straight.log) << name;
    ASSERT_FALSE(jumped.frames.empty()) << name;
    // Nothing is drawn while fast-forwarding: the first frame after the window is at the
    // jump target or later.
    const auto after = jumped.frames.upper_bound(10);
    ASSERT_NE(after, jumped.frames.end()) << name;
    EXPECT_GE(after->first, name[8] == 'l' ? 100 : straight.frames.rbegin()->first - 101) << name;
    // Frames are drawn when time allows, so the runs share only some updates; those must match.
    for (auto it = after; it != jumped.frames.end(); ++it) {
      auto same = straight.frames.find(it->first);
      if (same != straight.frames.end()) {
        EXPECT_EQ(same->second, it->second) << name << " frame of update " << it->first;
      }
    }
    EXPECT_EQ(jumped.frames.rbegin()->second, straight.frames.rbegin()->second) << name << " last frame";
  }
  std::filesystem::remove_all(dir);
}
