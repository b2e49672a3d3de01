// The application's main loop run for real, headless, on a simulated clock: the update
// rate, the bounded catch-up after a stall, presenting only when something changed, and
// frames without updates that still end, sleep and read input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "framework/widgets/Widget.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "platform/Time.h"
#include "tests/framework/core/AppSandbox.h"

namespace fs = std::filesystem;
using namespace Orvo;

namespace {

// A widget that changes every update, so every frame has something to show.
class BusyWidget : public Widget {
 public:
  void Update() override {
    Widget::Update();
    MarkDirty();
  }
};

// An application that records what the loop does and ends itself when told to.
class LoopApp : public OrvoAppBase {
 public:
  explicit LoopApp(plat::SimulatedClock* clock) : mClock(clock) {
    mProductName = "LoopTest" + std::to_string(std::random_device{}());
    mRegKey = "LoopTest";
  }

  void UpdateApp() override {
    OrvoAppBase::UpdateApp();
    mUpdateTimes.push_back(plat::timeGetTime());
    if (mOnUpdate) mOnUpdate(this);
  }
  bool DrawFrame() override {
    mUpdatesAtDraw.push_back(mUpdateCount);
    return OrvoAppBase::DrawFrame();
  }
  bool PaceFrame(bool allowSleep) override {
    // A loop that spins would never move the simulated clock: stop it and say so.
    if (++mPaceCalls > 2000000) {
      mSpun = true;
      Shutdown();
    }
    const DWORD now = plat::timeGetTime();
    if (mStopAt != 0 && now >= mStopAt) Shutdown();
    // Runs measured from the end of loading do not depend on how fast the loading thread
    // got going.
    if (mRunAfterLoaded != 0 && mLoadingCompletedAt >= 0 && now >= mLoadedAt + mRunAfterLoaded) Shutdown();
    return OrvoAppBase::PaceFrame(allowSleep);
  }
  bool HandleKeyCombo(int key, bool ctrl, bool alt) override {
    mKeysSeen.push_back(key);
    return false;
  }
  void LoadingCompleted() override {
    mLoadingCompletedAt = mUpdateCount;
    mLoadedAt = plat::timeGetTime();
    mDrawsAtLoaded = mDrawCount.load();
  }
  // Frames presented since loading completed.
  int DrawsSinceLoaded() const { return mLoadingCompletedAt < 0 ? 0 : mDrawCount.load() - mDrawsAtLoaded; }

  // Updates whose time lies in [from, to).
  int UpdatesBetween(DWORD from, DWORD to) const {
    return static_cast<int>(std::count_if(mUpdateTimes.begin(), mUpdateTimes.end(),
                                          [&](DWORD t) { return t >= from && t < to; }));
  }

  plat::SimulatedClock* mClock;
  std::vector<DWORD> mUpdateTimes;
  std::vector<int> mUpdatesAtDraw;
  std::vector<int> mKeysSeen;
  std::function<void(LoopApp*)> mOnUpdate;
  DWORD mStopAt = 0;
  DWORD mRunAfterLoaded = 0;
  DWORD mLoadedAt = 0;
  long mPaceCalls = 0;
  bool mSpun = false;
  int mLoadingCompletedAt = -1;
  int mDrawsAtLoaded = 0;
};

class AppLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::SetClockSource(&clock); }
  void TearDown() override { plat::SetClockSource(nullptr); }
  AppSandbox sandbox;
  plat::SimulatedClock clock{100000};
};

}  // namespace

TEST_F(AppLoopTest, RunsAHundredUpdatesPerSecondAndSleepsBetweenThem) {
  auto app = std::make_unique<LoopApp>(&clock);
  app->Init();
  app->mRunAfterLoaded = 2000;
  app->Start();
  ASSERT_FALSE(app->mSpun);
  ASSERT_GE(app->mLoadingCompletedAt, 0);
  // A second after loading: 100 updates.
  int perSecond = app->UpdatesBetween(app->mLoadedAt + 500, app->mLoadedAt + 1500);
  EXPECT_GE(perSecond, 98);
  EXPECT_LE(perSecond, 102);
  // The loop slept its frames away rather than spinning.
  EXPECT_GE(clock.SleepCalls(), 150);
  EXPECT_EQ(plat::OutstandingTimePeriods(), 0);
}

TEST_F(AppLoopTest, StallIsCaughtUpOnlyBoundedly) {
  auto app = std::make_unique<LoopApp>(&clock);
  app->Init();
  DWORD stallEnd = 0;
  app->mOnUpdate = [&](LoopApp* a) {
    if (a->mLoadingCompletedAt >= 0 && stallEnd == 0 && a->mUpdateCount == a->mLoadingCompletedAt + 50) {
      clock.Advance(5000);  // the program hangs for five seconds inside an update
      stallEnd = plat::timeGetTime();
    }
  };
  app->mRunAfterLoaded = 8000;
  app->Start();
  ASSERT_NE(stallEnd, 0u);
  // Only 200 ms of the stall are caught up: about 20 extra updates, not 500.
  int after = app->UpdatesBetween(stallEnd, stallEnd + 1000);
  EXPECT_GE(after, 100);
  EXPECT_LE(after, 125);
  // Once loading completed, no more than 10 updates run between two drawn frames.
  int worst = 0;
  for (std::size_t i = 1; i < app->mUpdatesAtDraw.size(); ++i)
    if (app->mUpdatesAtDraw[i - 1] > app->mLoadingCompletedAt)
      worst = std::max(worst, app->mUpdatesAtDraw[i] - app->mUpdatesAtDraw[i - 1]);
  EXPECT_GE(worst, 5);
  EXPECT_LE(worst, 10);
}

// Both halves count from the end of loading: while the loader thread (on real time) runs,
// the loop presents at most every 50 ms, however the screen changes.
TEST_F(AppLoopTest, PresentsOnlyWhenSomethingChanged) {
  auto app = std::make_unique<LoopApp>(&clock);
  app->Init();
  app->mRunAfterLoaded = 5000;
  app->Start();
  ASSERT_GE(app->mLoadingCompletedAt, 0);
  // Nothing on screen changes: one present a second.
  EXPECT_GE(app->DrawsSinceLoaded(), 4);
  EXPECT_LE(app->DrawsSinceLoaded(), 6);

  auto busy = std::make_unique<LoopApp>(&clock);
  busy->Init();
  BusyWidget widget;
  widget.Resize(0, 0, 10, 10);
  busy->mWidgetManager->AddWidget(&widget);
  busy->mRunAfterLoaded = 2000;
  busy->Start();
  ASSERT_GE(busy->mLoadingCompletedAt, 0);
  // Something changes every update: a present every frame (100 a second).
  EXPECT_GE(busy->DrawsSinceLoaded(), 150);
  busy->mWidgetManager->RemoveWidget(&widget);
}

TEST_F(AppLoopTest, FramesWithoutUpdatesStillEndAndReadInput) {
  struct Case { const char* what; std::function<void(LoopApp*)> stopTime; };
  const Case cases[] = {
      {"speed factor 0", [](LoopApp* a) { a->mSpeedFactor = 0.0; }},
      {"negative speed factor", [](LoopApp* a) { a->mSpeedFactor = -1.0; }},
      {"paused", [](LoopApp* a) { a->mDemoPaused = true; }},
  };
  for (const auto& c : cases) {
    auto app = std::make_unique<LoopApp>(&clock);
    app->Init();
    int stoppedAt = -1;
    DWORD stoppedTime = 0;
    long paceCallsAtStop = 0;
    app->mOnUpdate = [&](LoopApp* a) {
      if (a->mLoadingCompletedAt >= 0 && stoppedAt < 0) {
        c.stopTime(a);
        stoppedAt = a->mUpdateCount;
        stoppedTime = plat::timeGetTime();
        paceCallsAtStop = a->mPaceCalls;
        a->mStopAt = stoppedTime + 500;
        plat::PostMessageA(a->mHWnd, plat::WM_KEYDOWN, 'Q', 0);
      }
    };
    app->Start();
    EXPECT_FALSE(app->mSpun) << c.what;
    EXPECT_EQ(app->mUpdateCount.load(), stoppedAt) << c.what;  // time stood still
    EXPECT_NE(std::find(app->mKeysSeen.begin(), app->mKeysSeen.end(), 'Q'), app->mKeysSeen.end()) << c.what;
    // About one frame of 10 ms per loop pass while stopped (500 ms), not thousands of passes.
    EXPECT_LT(app->mPaceCalls - paceCallsAtStop, 200) << c.what;
  }
}

// The playback keys "-" and "+" change the speed by half again per press, as far as five
// presses from normal speed either way. However often they are pressed, updates go on at
// the bounded speed, and no pass of the loop sleeps longer than one update period, so input
// (and the quit request a signal turns into) is read at least that often.
TEST_F(AppLoopTest, PlaybackSpeedKeysStopAtTheirBoundsAndTheLoopKeepsReadingInput) {
  struct Case {
    char key;
    int presses;
    double speed;
  };
  const double slowest = 1.0 / 7.59375, fastest = 7.59375;  // 1.5 to the power of -5 and 5
  const Case cases[] = {{'-', 5, slowest}, {'-', 10, slowest}, {'-', 30, slowest}, {'-', 60, slowest},
                        {'+', 5, fastest}, {'+', 60, fastest}};
  for (const auto& c : cases) {
    const std::string what = std::to_string(c.presses) + " x " + c.key;
    struct SpeedApp : LoopApp {
      using LoopApp::LoopApp;
      bool PaceFrame(bool allowSleep) override {
        const DWORD before = plat::timeGetTime();
        const bool result = LoopApp::PaceFrame(allowSleep);
        // The pass that shuts down waits for the other threads: not a loop step.
        if (mPressedAt != 0 && !mQuit) mLongestPass = std::max<DWORD>(mLongestPass, plat::timeGetTime() - before);
        return result;
      }
      DWORD mPressedAt = 0;
      DWORD mLongestPass = 0;
    };
    auto app = std::make_unique<SpeedApp>(&clock);
    app->Init();
    int updatesAtPress = 0;
    app->mOnUpdate = [&](LoopApp* a) {
      auto* s = static_cast<SpeedApp*>(a);
      if (a->mLoadingCompletedAt < 0 || s->mPressedAt != 0) return;
      for (int i = 0; i < c.presses; ++i) a->HandlePlaybackKey(c.key);
      s->mPressedAt = plat::timeGetTime();
      updatesAtPress = a->mUpdateCount;
      a->mStopAt = s->mPressedAt + 3000;
    };
    app->Start();
    ASSERT_NE(app->mPressedAt, 0u) << what;
    EXPECT_FALSE(app->mSpun) << what;
    EXPECT_NEAR(app->mSpeedFactor, c.speed, 1e-9) << what;
    EXPECT_LE(app->mLongestPass, static_cast<DWORD>(app->mUpdatePeriod)) << what;
    // Three seconds at the bounded speed: 100 updates a second times the speed, give or take.
    const double expected = 300.0 * c.speed;
    const int updates = app->mUpdateCount - updatesAtPress;
    EXPECT_GE(updates, expected * 0.8) << what;
    EXPECT_LE(updates, expected * 1.2 + 2) << what;
    // "=" brings normal speed back.
    app->HandlePlaybackKey('=');
    EXPECT_EQ(app->mSpeedFactor, 1.0) << what;
  }
}

TEST_F(AppLoopTest, ShutdownFromAnotherThreadOnlyAsksTheLoop) {
  auto app = std::make_unique<LoopApp>(&clock);
  app->Init();
  app->mOnUpdate = [](LoopApp* a) {
    if (a->mUpdateCount == 20) {
      std::thread([a] { a->Shutdown(); }).join();
      EXPECT_FALSE(a->mQuit.load());
    }
  };
  app->Start();
  EXPECT_TRUE(app->mQuit.load());
  EXPECT_LE(app->mUpdateCount.load(), 22);
}

TEST_F(AppLoopTest, RefreshPacedFramesCarryFractionalUpdates) {
  struct VsyncApp : LoopApp {
    using LoopApp::LoopApp;
    void UpdateFraction(float fraction) override {
      if (VSyncSteppingApplies()) mFractions.push_back(fraction);
      LoopApp::UpdateFraction(fraction);
    }
    std::vector<float> mFractions;
  };
  auto app = std::make_unique<VsyncApp>(&clock);
  app->mWindowed = false;  // frames follow the refresh only in full screen
  app->mVSyncSteppingEnabled = true;
  app->Init();
  BusyWidget widget;
  widget.Resize(0, 0, 10, 10);
  app->mWidgetManager->AddWidget(&widget);
  app->mRefreshRate = 60;
  app->mRunAfterLoaded = 2000;
  app->Start();
  app->mWidgetManager->RemoveWidget(&widget);
  ASSERT_FALSE(app->mSpun);
  // At 60 Hz each frame runs one whole update and a fractional one of 1000 / 600.
  ASSERT_FALSE(app->mFractions.empty());
  for (float f : app->mFractions) EXPECT_FLOAT_EQ(f, static_cast<float>(1000.0 / 600.0));
  // Whether presents wait for the refresh or the too-fast check turns the stepping off,
  // logic still advances at about 100 updates a second.
  int lastSecond = app->UpdatesBetween(app->mLoadedAt + 1000, app->mLoadedAt + 2000);
  EXPECT_GE(lastSecond, 90);
  EXPECT_LE(lastSecond, 110);
}

TEST_F(AppLoopTest, ScreenModeSwitchesWhileTheCursorThreadRuns) {
  auto app = std::make_unique<LoopApp>(&clock);
  app->Init();
  int switches = 0;
  app->mOnUpdate = [&](LoopApp* a) {
    if (a->mUpdateCount % 10 == 0 && switches < 6) {
      a->SetWindowed(!a->mWindowed);
      ++switches;
      plat::PostMessageA(a->mHWnd, plat::WM_MOUSEMOVE, 0, plat::MAKELPARAM(5 * switches, 7));
    }
  };
  app->mStopAt = plat::timeGetTime() + 1500;
  app->Start();
  EXPECT_EQ(switches, 6);
  EXPECT_TRUE(app->mWindowed);
  EXPECT_TRUE(plat::IsWindow(app->mHWnd));
}

// The cursor poller draws a moved cursor at once only when more than a frame interval and
// 5 ms have passed since the last present; sooner, the next present draws it.
TEST(CursorPollerRule, AMoveIsDrawnAtOnceOnlyAFrameAndFiveMillisecondsAfterThePresent) {
  const struct {
    DWORD sincePresent;
    int refreshRate;
    bool due;
  } cases[] = {
      {21, 60, false}, {22, 60, true},   // 16 ms frames
      {15, 100, false}, {16, 100, true},  // 10 ms frames
      {5, 0, false},   {6, 0, true},      // no refresh rate known: 5 ms
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Orvo::CursorMoveIsDue(1000 + c.sincePresent, 1000, c.refreshRate), c.due) << c.sincePresent;
    // The millisecond clock wraps at 32 bits.
    EXPECT_EQ(Orvo::CursorMoveIsDue(c.sincePresent - 8, 0xFFFFFFF8u, c.refreshRate), c.due) << c.sincePresent;
  }
}
