// The seconds clock and the object switcher over a time system ticked by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeVisualObjects.h"
#include "kernel/effects/TimerEffects.h"
#include "kernel/time/TimeSystem_impl.h"

using namespace EffectLibrary;

namespace {

struct Log : EffectMessageObserver {
  void OnEffectStarted(std::uint32_t) override { ++started; }
  void OnEffectFinished(std::uint32_t) override { ++finished; }
  void OnEffectStep(std::uint32_t) override { ++steps; }
  int started = 0, finished = 0, steps = 0;
};

constexpr int kTicksPerSecond = 200;

void Ticks(TimeLibrary::TimeSystem_impl& time, int n) {
  for (int i = 0; i < n; ++i) time.TickTimeObjects();
}

}  // namespace

TEST(TimerEffect, FormatsMinutesAndSeconds) {
  struct Case { std::uint32_t seconds; const char* text; };
  for (const Case& c : {Case{0, "00 : 00"}, Case{9, "00 : 09"}, Case{75, "01 : 15"}, Case{89, "01 : 29"},
                        Case{3599, "59 : 59"}, Case{6000, "100 : 00"}}) {
    EXPECT_EQ(FormatMinutesSeconds(c.seconds), c.text);
  }
}

TEST(TimerEffect, CountsDownFromTheLimitAndUpFromZero) {
  TimeLibrary::TimeSystem_impl time;
  Log log;
  FakeStringVO text;
  TimerEffectImpl down(1, &log, &time, &text, 90000);
  down.SetCountDown(true);
  ASSERT_TRUE(down.Start(false, 0));
  EXPECT_EQ(down.GetSeconds(), 90);
  EXPECT_EQ(log.started, 1);
  Ticks(time, kTicksPerSecond);
  EXPECT_EQ(text.texts, std::vector<std::string>{"01 : 29"});
  EXPECT_EQ(log.steps, 1);
  down.Stop();

  FakeStringVO upText;
  TimerEffectImpl up(2, &log, &time, nullptr, 5000);
  up.SetCountDown(true);
  up.SetEndless(true);  // an endless clock counts up, whatever the direction asked
  up.SetVO(&upText);
  ASSERT_TRUE(up.Start(false, 0));
  Ticks(time, 3 * kTicksPerSecond);
  EXPECT_EQ(upText.texts, (std::vector<std::string>{"00 : 01", "00 : 02", "00 : 03"}));
}

// The time system sends one more tick at the limit: a count-down whose limit is not a whole
// number of seconds stops at zero instead of wrapping to 65,535 seconds.
TEST(TimerEffect, CountDownStopsAtZero) {
  TimeLibrary::TimeSystem_impl time;
  Log log;
  FakeStringVO text;
  TimerEffectImpl clock(1, &log, &time, &text, 2500);
  clock.SetCountDown(true);
  ASSERT_TRUE(clock.Start(false, 0));
  Ticks(time, 3 * kTicksPerSecond);
  EXPECT_EQ(text.texts, (std::vector<std::string>{"00 : 01", "00 : 00", "00 : 00"}));
  EXPECT_EQ(log.finished, 1);
  EXPECT_FALSE(clock.IsRunning());
}

TEST(TimerEffect, PositionAndVisibilityGoToTheText) {
  TimeLibrary::TimeSystem_impl time;
  Log log;
  FakeStringVO text;
  TimerEffectImpl clock(1, &log, &time, nullptr, 1000);
  clock.SetPosition(30, 40);  // no text yet: remembered
  clock.SetVisible(true);
  clock.SetVO(nullptr);
  clock.SetVO(&text);
  EXPECT_EQ(text.pos, (ControlLibrary::VOPoint{30, 40}));
  clock.SetPosition(5, 6);
  EXPECT_EQ(text.pos, (ControlLibrary::VOPoint{5, 6}));
  clock.SetVisible(true);
  EXPECT_TRUE(text.visible);
}

TEST(SwitcherEffect, ShowsObjectsInTurn) {
  TimeLibrary::TimeSystem_impl time;
  Log log;
  FakeVO vos[3];
  SwitcherEffectImpl switcher(1, &log, &time);
  EXPECT_FALSE(switcher.Start(false, 0));  // no objects, no period
  for (FakeVO& vo : vos) switcher.AddVO(&vo);
  EXPECT_FALSE(switcher.Start(false, 0));  // no period yet
  switcher.SetPeriod(100);
  vos[0].visible = true;
  ASSERT_TRUE(switcher.Start(false, 0));
  std::vector<int> shown;
  for (int i = 0; i < 4; ++i) {
    Ticks(time, 20);
    for (int k = 0; k < 3; ++k) {
      if (vos[k].visible) shown.push_back(k);
    }
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 0, 1}));
  EXPECT_EQ(log.steps, 4);

  // Hiding pauses the switch and keeps the current object shown.
  switcher.SetVisible(false);
  Ticks(time, 40);
  EXPECT_TRUE(vos[1].visible);
  EXPECT_EQ(log.steps, 4);
  switcher.SetPaused(false);
  Ticks(time, 20);
  EXPECT_TRUE(vos[2].visible);
  EXPECT_FALSE(vos[1].visible);
}
