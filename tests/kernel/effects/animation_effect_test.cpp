// Effect description files and the animation effect that plays them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "FakeVisualObjects.h"
#include "kernel/effects/AnimationEffect.h"
#include "kernel/time/TimeSystem_impl.h"

using namespace EffectLibrary;
namespace fs = std::filesystem;

namespace {

const char* const kSparkle =
    "[animation]\n"
    "image=\"sparkle.png\"\n"
    "frame_w=32\n"
    "frame_h=24\n"
    "[effect]=\"shine\"\n"
    "autohide=1\n"
    "time=80\n"
    "[frame]\n"
    "index=1\n"
    "[frame]\n"
    "index=2\n"
    "time=120\n";

}  // namespace

TEST(EffectDescription, ReadsTheSparkleExample) {
  AnimationRecord record;
  ASSERT_TRUE(ParseEffectDescription(kSparkle, record));
  EXPECT_EQ(record.image, "sparkle.png");
  EXPECT_EQ(record.frameW, 32);
  EXPECT_EQ(record.frameH, 24);
  ASSERT_EQ(record.effects.size(), 1u);
  const EffectRecord& shine = record.effects[0];
  EXPECT_EQ(shine.name, "shine");
  EXPECT_TRUE(shine.autohide);
  EXPECT_EQ(shine.time, 80);
  ASSERT_EQ(shine.frames.size(), 2u);
  EXPECT_EQ(shine.frames[0].index, 1);
  EXPECT_EQ(shine.frames[0].time, 80);
  EXPECT_EQ(shine.frames[1].index, 2);
  EXPECT_EQ(shine.frames[1].time, 120);
}

TEST(EffectDescription, AcceptsAndRejects) {
  const std::string head = "[animation] image=\"a.png\" frame_w=8 frame_h=8\r\n";
  struct Case {
    const char* name;
    std::string text;
    bool ok;
    bool autohide;
  };
  const Case cases[] = {
      {"keys in any order, CR line ends", "frame_h=8\r\n[animation]\r\nframe_w=8\r\nimage=\"a.png\"\r\n[effect]=\"e\"\r\n[frame] index=1 time=5", true, false},
      {"no [animation]", "image=\"a.png\" frame_w=8 frame_h=8 [effect]=\"e\" time=5 [frame] index=1", false, false},
      {"no [effect]", head + "[frame] index=1 time=5", false, false},
      {"no frame_w=", "[animation] image=\"a.png\" frame_h=8 [effect]=\"e\" time=5 [frame] index=1", false, false},
      {"empty image name", "[animation] image=\"\" frame_w=8 frame_h=8 [effect]=\"e\" time=5 [frame] index=1", false, false},
      {"effect without a name", head + "[effect]=\"\" time=5 [frame] index=1", false, false},
      {"autohide=0", head + "[effect]=\"e\" autohide=0 time=5 [frame] index=1", true, false},
      {"autohide=yes", head + "[effect]=\"e\" autohide=yes time=5 [frame] index=1", true, false},
      {"autohide=1", head + "[effect]=\"e\" autohide=1 time=5 [frame] index=1", true, true},
      {"frame without time in an effect without time", head + "[effect]=\"e\" [frame] index=1", false, false},
      {"a later frame's time is not the effect's", head + "[effect]=\"e\" [frame] index=1 [frame] index=2 time=9", false, false},
      {"frame without index", head + "[effect]=\"e\" time=5 [frame] time=5", false, false},
      {"cell 0 does not exist", head + "[effect]=\"e\" time=5 [frame] index=0", false, false},
      {"text ends at a NUL", std::string("image=\"a.png\" frame_w=8 frame_h=8 [effect]=\"e\" time=5 [frame] index=1\0[animation]", 81), false, false},
  };
  for (const Case& c : cases) {
    AnimationRecord record;
    record.image = "untouched";
    EXPECT_EQ(ParseEffectDescription(c.text, record), c.ok) << c.name;
    if (c.ok) {
      ASSERT_FALSE(record.effects.empty()) << c.name;
      EXPECT_EQ(record.effects[0].autohide, c.autohide) << c.name;
    } else {
      EXPECT_EQ(record.image, "untouched") << c.name;
    }
  }
}

TEST(EffectDescription, OnlyTheFirstEffectDecides) {
  const std::string head = "[animation] image=\"a.png\" frame_w=8 frame_h=8 ";
  AnimationRecord record;
  ASSERT_TRUE(ParseEffectDescription(
      head + "[effect]=\"one\" time=5 [frame] index=1 [effect]=\"\" [effect]=\"three\" time=7 [frame] index=3", record));
  ASSERT_EQ(record.effects.size(), 2u);  // the broken second effect is left out
  EXPECT_EQ(record.effects[1].name, "three");
  EXPECT_EQ(record.effects[1].frames[0].time, 7);
  EXPECT_FALSE(ParseEffectDescription(head + "[effect]=\"one\" [frame] index=1 [effect]=\"two\" time=5 [frame] index=1", record));
}

namespace {

struct Log : EffectMessageObserver {
  void OnEffectFinished(std::uint32_t) override { ++finished; }
  void OnEffectStep(std::uint32_t) override { ++steps; }
  int finished = 0, steps = 0;
};

class AnimationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // One folder per test: tests run side by side and each removes its folder at the end.
    dir = fs::path(QUORVANE_BINARY_DIR) / "test_sandbox" /
          ("animation_effect_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir);
    FrameObjectSource source;
    source.create = [this] {
      made.push_back(std::make_unique<FakeImageVO>());
      return made.back().get();
    };
    source.destroy = [this](ControlLibrary::IImageVO*) { ++destroyed; };
    anim = std::make_unique<AnimationEffectImpl>(1, &log, &time, source);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Write(const std::string& text) {
    const std::string path = (dir / "fx.txt").string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) time.TickTimeObjects();
  }
  std::vector<bool> Shown() {
    std::vector<bool> v;
    for (auto& vo : made) v.push_back(vo->visible);
    return v;
  }

  fs::path dir;
  TimeLibrary::TimeSystem_impl time;
  Log log;
  std::vector<std::unique_ptr<FakeImageVO>> made;
  int destroyed = 0;
  std::unique_ptr<AnimationEffectImpl> anim;
};

}  // namespace

TEST_F(AnimationTest, LoadMakesOneHiddenFramePerCell) {
  EXPECT_EQ(anim->GetEffectCount(), 0);
  EXPECT_FALSE(anim->Load((dir / "missing.txt").string()));
  // A file longer than one 512-byte chunk.
  ASSERT_TRUE(anim->Load(Write(kSparkle + std::string(600, ' '))));
  EXPECT_EQ(anim->GetEffectCount(), 1);
  ASSERT_EQ(made.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(made[i]->image, "effects/sparkle.png");
    EXPECT_EQ(made[i]->size, (ControlLibrary::VOSize{32, 24}));
    EXPECT_EQ(made[i]->source, (ControlLibrary::VORect{i * 32, 0, 32, 24}));
    EXPECT_FALSE(made[i]->visible);
  }
  anim->SetPosition(3, 4);
  anim->SetLayer(7);
  EXPECT_EQ(made[1]->pos, (ControlLibrary::VOPoint{3, 4}));
  EXPECT_EQ(made[1]->layer, 7);
  // A broken file keeps what was loaded; a good one replaces it and gives the old frames back.
  EXPECT_FALSE(anim->Load(Write("[animation]")));
  EXPECT_EQ(anim->GetEffectCount(), 1);
  ASSERT_TRUE(anim->Load(Write(kSparkle)));
  EXPECT_EQ(destroyed, 2);
  anim.reset();
  EXPECT_EQ(destroyed, 4);
}

TEST_F(AnimationTest, PlaysFramesForTheirTimesAndAutohides) {
  ASSERT_TRUE(anim->Load(Write(kSparkle)));
  EXPECT_FALSE(anim->Start(false, 0));
  anim->StartEffect(0);
  EXPECT_EQ(Shown(), (std::vector<bool>{true, false}));
  Ticks(15);  // 75 ms
  EXPECT_EQ(Shown(), (std::vector<bool>{true, false}));
  Ticks(1);  // 80 ms: the second frame
  EXPECT_EQ(Shown(), (std::vector<bool>{false, true}));
  EXPECT_EQ(anim->GetPlayingFrame(), 1);
  Ticks(23);
  EXPECT_EQ(log.finished, 0);
  Ticks(1);  // 120 ms later: done, and the last frame goes away
  EXPECT_EQ(Shown(), (std::vector<bool>{false, false}));
  EXPECT_EQ(log.finished, 1);
  EXPECT_EQ(anim->GetPlayingEffect(), -1);
  EXPECT_EQ(log.steps, 2);
}

TEST_F(AnimationTest, IgnoresEffectsThatCannotPlay) {
  anim->StartEffect(0);  // nothing loaded
  ASSERT_TRUE(anim->Load(Write(std::string(kSparkle) + "[effect]=\"empty\" time=5")));
  ASSERT_EQ(anim->GetEffectCount(), 2);
  for (std::int16_t index : {std::int16_t{2}, std::int16_t{-1}, std::int16_t{1}}) {
    anim->StartEffect(index);
    anim->ShowFirstFrame(index, true);
    EXPECT_EQ(anim->GetPlayingEffect(), -1) << index;
    EXPECT_FALSE(anim->IsRunning()) << index;
  }
  EXPECT_EQ(Shown(), (std::vector<bool>{false, false}));
  anim->ShowFirstFrame(0, true);
  EXPECT_EQ(Shown(), (std::vector<bool>{true, false}));
  anim->StartEffect(0);
  Ticks(16);
  anim->Stop();
  EXPECT_EQ(Shown(), (std::vector<bool>{false, false}));
  Ticks(40);
  EXPECT_EQ(log.finished, 0);
}

// The timer takes no period of 0: a frame of time 0 passes at once instead of stalling the
// series, wherever it stands.
TEST_F(AnimationTest, FramesOfTimeZeroPassAtOnce) {
  const std::string head = "[animation] image=\"a.png\" frame_w=8 frame_h=8 ";
  struct Case {
    const char* name;
    std::string effect;
    int ticksToFinish;  // 0: finished inside StartEffect
    std::vector<bool> shownAtEnd;
  };
  std::string longSeries = "[effect]=\"e\" time=0";
  for (int i = 0; i < 32769; ++i) longSeries += " [frame] index=1";
  std::vector<bool> lastReachableShown(32769, false);
  lastReachableShown[32767] = true;
  const Case cases[] = {
      {"between two frames of 10 ms", "[effect]=\"e\" autohide=1 time=10 [frame] index=1 [frame] index=2 time=0 [frame] index=3",
       4, {false, false, false}},
      {"the only frame", "[effect]=\"e\" autohide=1 [frame] index=1 time=0", 0, {false}},
      {"every frame, by the effect's time; the last stays shown",
       "[effect]=\"e\" time=0 [frame] index=1 [frame] index=2", 0, {false, true}},
      {"the last frame after one of 5 ms", "[effect]=\"e\" autohide=1 [frame] index=1 time=5 [frame] index=2 time=0",
       1, {false, false}},
      {"more frames than the frame index reaches: the series ends at the last it can", longSeries, 0,
       lastReachableShown},
  };
  for (const Case& c : cases) {
    log = Log{};
    const std::size_t first = made.size();
    ASSERT_TRUE(anim->Load(Write(head + c.effect))) << c.name;
    anim->StartEffect(0);
    if (c.ticksToFinish > 0) {
      Ticks(c.ticksToFinish - 1);
      EXPECT_EQ(log.finished, 0) << c.name;
      Ticks(1);
    }
    EXPECT_EQ(log.finished, 1) << c.name;
    EXPECT_EQ(anim->GetPlayingEffect(), -1) << c.name;
    EXPECT_FALSE(anim->IsRunning()) << c.name;
    const std::vector<bool> shown = Shown();
    EXPECT_EQ(std::vector<bool>(shown.begin() + static_cast<std::ptrdiff_t>(first), shown.end()), c.shownAtEnd)
        << c.name;
  }
}

// A series of time 0 started over one that is playing ends at once, and so does the frame
// time of the one it replaced: no step and no running timer are left behind it.
TEST_F(AnimationTest, ASeriesOfTimeZeroStartedOverAPlayingOneLeavesNoTimerRunning) {
  ASSERT_TRUE(anim->Load(Write("[animation] image=\"a.png\" frame_w=8 frame_h=8 "
                               "[effect]=\"slow\" time=100 [frame] index=1 [frame] index=2 "
                               "[effect]=\"instant\" time=0 [frame] index=3")));
  anim->StartEffect(0);
  Ticks(3);
  anim->StartEffect(1);
  EXPECT_EQ(log.finished, 1);
  EXPECT_FALSE(anim->IsRunning());
  Ticks(40);  // past the slow series' first frame time
  EXPECT_EQ(log.steps, 0);
  EXPECT_EQ(log.finished, 1);
  EXPECT_EQ(Shown(), (std::vector<bool>{false, false, true}));
}
