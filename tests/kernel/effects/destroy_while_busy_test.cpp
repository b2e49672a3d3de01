// Effects destroyed from inside their own calls: from an observer they report to, or from
// the leave report of an object they hide. The effect must touch nothing of itself once
// that call returns to it, report nothing more, and still be freed (the address sanitizer
// build sees any read of a freed effect and any effect never freed).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "FakeVisualObjects.h"
#include "kernel/effects/EffectSystem_impl.h"
#include "kernel/effects/TimerEffects.h"
#include "kernel/time/TimeSystem_impl.h"

using namespace EffectLibrary;
namespace fs = std::filesystem;

namespace {

// An object under the mouse: hiding it sends its leave report, as the factory does.
class HoveredVO : public FakeVO {
 public:
  void SetVisible(bool v) override {
    const bool leaves = visible && !v;
    visible = v;
    if (leaves && onLeave) onLeave();
  }
  std::function<void()> onLeave;
};

struct Log : EffectMessageObserver {
  void OnEffectStarted(std::uint32_t) override { heard.push_back("started"); }
  void OnEffectFinished(std::uint32_t) override { heard.push_back("finished"); }
  void OnEffectStep(std::uint32_t) override { heard.push_back("step"); }
  void OnEffectBlocked(std::uint32_t) override { heard.push_back("blocked"); }
  std::vector<std::string> heard;
};

class DestroyWhileBusy : public ::testing::Test {
 protected:
  DestroyWhileBusy() { effects.SetTimeSystem(&time); }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) time.TickTimeObjects();
  }
  // The ways a game gets rid of an effect: on its own, or with all others at shut-down.
  struct Way {
    const char* name;
    std::function<void(EffectSystem_impl&, IEffect*)> destroy;
  };
  static std::vector<Way> Ways() {
    return {{"DestroyEffect", [](EffectSystem_impl& s, IEffect* e) { s.DestroyEffect(e); }},
            {"DeleteAllEffects", [](EffectSystem_impl& s, IEffect*) { s.DeleteAllEffects(); }}};
  }
  // The effect's slot is free again, so the effect itself is gone.
  void ExpectSlotFree(std::uint32_t id, const std::string& name) {
    Log quiet;
    IEffect* probe = effects.CreateSwitcherEffect(&quiet);
    ASSERT_NE(probe, nullptr) << name;
    EXPECT_EQ(probe->GetId(), id) << name;
    effects.DestroyEffect(probe);
  }

  // The objects outlive the effects that hold them.
  HoveredVO hovered;
  FakeVO other;
  Log log;
  TimeLibrary::TimeSystem_impl time;
  EffectSystem_impl effects;
};

}  // namespace

// The switcher's tick hides the hovered object, whose leave report destroys the switcher:
// it shows nothing more and reports no step.
TEST_F(DestroyWhileBusy, SwitcherTickHidesTheObjectWhoseLeaveDestroysIt) {
  for (const Way& way : Ways()) {
    ISwitcherVoEffect* sw = effects.CreateSwitcherEffect(&log);
    ASSERT_NE(sw, nullptr);
    const std::uint32_t id = sw->GetId();
    sw->AddVO(&hovered);
    sw->AddVO(&other);
    sw->SetPeriod(5);
    hovered.visible = true;
    other.visible = false;
    hovered.onLeave = [&] { way.destroy(effects, sw); };
    log.heard.clear();
    ASSERT_TRUE(sw->Start(false, 0)) << way.name;
    Ticks(5);
    EXPECT_FALSE(hovered.visible) << way.name;
    EXPECT_FALSE(other.visible) << way.name;
    EXPECT_EQ(log.heard, std::vector<std::string>{"started"}) << way.name;
    hovered.onLeave = nullptr;
    ExpectSlotFree(id, way.name);
  }
}

// The same when the switcher's timer finishes with hide-on-stop: no finish is reported.
TEST_F(DestroyWhileBusy, SwitcherFinishHidesTheObjectWhoseLeaveDestroysIt) {
  for (const Way& way : Ways()) {
    auto* sw = dynamic_cast<SwitcherEffectImpl*>(effects.CreateSwitcherEffect(&log));
    ASSERT_NE(sw, nullptr);
    const std::uint32_t id = sw->GetId();
    sw->AddVO(&hovered);
    sw->SetPeriod(5);
    hovered.visible = true;
    hovered.onLeave = [&] { way.destroy(effects, sw); };
    log.heard.clear();
    ASSERT_TRUE(sw->Start(false, 0)) << way.name;
    sw->OnTimerFinished(id);  // as its time object reports the end
    EXPECT_FALSE(hovered.visible) << way.name;
    EXPECT_EQ(log.heard, std::vector<std::string>{"started"}) << way.name;
    hovered.onLeave = nullptr;
    ExpectSlotFree(id, way.name);
  }
}

// A move with hide-on-stop hides its object when it arrives, at its time limit or, in speed
// mode, past its end point; the object's leave report destroys the move, which reports no
// finish and gives its reference on the object back.
TEST_F(DestroyWhileBusy, MoveHidesItsObjectOnArrivalAndItsLeaveDestroysIt) {
  for (bool speedMode : {false, true}) {
    for (const Way& way : Ways()) {
      const std::string name = std::string(speedMode ? "speed mode, " : "time mode, ") + way.name;
      IState2MoveEffect* move = effects.CreateState2MoveEffect(&log, &hovered, 100);
      ASSERT_NE(move, nullptr) << name;
      const std::uint32_t id = move->GetId();
      move->SetEndPoint(40, 0);
      if (speedMode) move->SetSpeed(1000);
      hovered.onLeave = [&] { way.destroy(effects, move); };
      log.heard.clear();
      ASSERT_TRUE(move->Start(false, 0)) << name;
      ASSERT_TRUE(hovered.visible) << name;
      Ticks(40);
      EXPECT_FALSE(hovered.visible) << name;
      ASSERT_FALSE(log.heard.empty()) << name;
      EXPECT_EQ(log.heard.back(), "step") << name << ": the finish was reported";
      EXPECT_EQ(hovered.refs, 1) << name;
      hovered.onLeave = nullptr;
      ExpectSlotFree(id, name);
    }
  }
}

// Every kind, destroyed by its observer in each report it sends: that report is its last,
// and it is gone once the report has returned to it.
TEST_F(DestroyWhileBusy, EveryKindMayBeDestroyedFromEachReport) {
  const fs::path dir = fs::path(QUORVANE_BINARY_DIR) / "test_sandbox" / "destroy_while_busy";
  fs::create_directories(dir);
  const std::string description = (dir / "fx.txt").string();
  std::ofstream(description, std::ios::binary) << "[animation] image=\"a.png\" frame_w=8 frame_h=8 "
                                                  "[effect]=\"e\" time=20 [frame] index=1 [frame] index=2";

  struct DestroyOn : Log {
    void OnEffectStarted(std::uint32_t) override { Heard("started"); }
    void OnEffectFinished(std::uint32_t) override { Heard("finished"); }
    void OnEffectStep(std::uint32_t) override { Heard("step"); }
    void OnEffectBlocked(std::uint32_t) override { Heard("blocked"); }
    void Heard(const char* what) {
      heard.push_back(what);
      if (effect != nullptr && when == what) {
        IEffect* doomed = effect;
        effect = nullptr;
        system->DestroyEffect(doomed);
      }
    }
    EffectSystem_impl* system = nullptr;
    IEffect* effect = nullptr;
    std::string when;
  };
  FakeVO mover;
  FakeStringVO text;
  using Make = std::function<IEffect*(EffectMessageObserver*)>;
  const Make move = [&](EffectMessageObserver* o) {
    IState2MoveEffect* e = effects.CreateState2MoveEffect(o, &mover, 100);
    e->SetEndPoint(40, 0);
    return e;
  };
  const Make speedMove = [&](EffectMessageObserver* o) {
    IState2MoveEffect* e = effects.CreateState2MoveEffect(o, &mover, 100);
    e->SetEndPoint(40, 0);
    e->SetSpeed(1000);
    return e;
  };
  const Make clock = [&](EffectMessageObserver* o) { return effects.CreateTimerEffect(o, &text, 1000); };
  const Make switcher = [&](EffectMessageObserver* o) {
    ISwitcherVoEffect* e = effects.CreateSwitcherEffect(o);
    e->AddVO(&other);
    e->SetPeriod(5);
    return e;
  };
  const Make animation = [&](EffectMessageObserver* o) {
    IAnimationEffect* e = effects.CreateAnimationEffect(o);
    EXPECT_TRUE(e->Load(description));
    return e;
  };
  struct Case {
    const char* kind;
    const Make& make;
    const char* when;
    bool blocked = false;  // the moved object refuses to move
  };
  const Case cases[] = {
      {"move", move, "started"},           {"move", move, "step"},
      {"move", move, "finished"},          {"move", move, "blocked", true},
      {"speed move", speedMove, "step"},   {"speed move", speedMove, "finished"},
      {"clock", clock, "started"},         {"clock", clock, "step"},
      {"clock", clock, "finished"},        {"switcher", switcher, "started"},
      {"switcher", switcher, "step"},      {"animation", animation, "started"},
      {"animation", animation, "step"},    {"animation", animation, "finished"},
  };
  for (const Case& c : cases) {
    const std::string name = std::string(c.kind) + " destroyed on " + c.when;
    mover.frozen = c.blocked;
    DestroyOn observer;
    observer.system = &effects;
    observer.when = c.when;
    IEffect* effect = c.make(&observer);
    ASSERT_NE(effect, nullptr) << name;
    const std::uint32_t id = effect->GetId();
    observer.effect = effect;
    if (auto* frames = dynamic_cast<IAnimationEffect*>(effect)) {
      frames->StartEffect(0);
    } else {
      effect->Start(false, 0);
    }
    Ticks(250);
    EXPECT_EQ(observer.effect, nullptr) << name << ": never destroyed";
    ASSERT_FALSE(observer.heard.empty()) << name;
    EXPECT_EQ(observer.heard.back(), c.when) << name << ": reported after its destruction";
    EXPECT_EQ(mover.refs, 1) << name;
    ExpectSlotFree(id, name);
  }
  fs::remove_all(dir);
}
