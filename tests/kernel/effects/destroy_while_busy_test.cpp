// Effects destroyed from inside their own calls: from an observer they report to, or from
// the show or leave report of an object they show or hide. The effect must touch nothing of
// itself or of its timer once that call returns to it, report nothing more, and still be
// freed (the address sanitizer build sees any read of freed memory and any effect never
// freed). Also what an observer may do to the effect before it destroys it: stop, pause or
// restart it from its own report.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "FakeVisualObjects.h"
#include "kernel/effects/EffectSystem_impl.h"
#include "kernel/effects/TimerEffects.h"
#include "kernel/time/TimeSystem_impl.h"

using namespace EffectLibrary;
namespace fs = std::filesystem;

namespace {

// An object under the mouse: hiding it sends its leave report, as the factory does; a
// dialog's show report comes when it is shown.
class HoveredVO : public FakeVO {
 public:
  void SetVisible(bool v) override {
    const bool leaves = visible && !v;
    const bool shows = !visible && v;
    visible = v;
    if (leaves && onLeave) onLeave();
    if (shows && onShow) onShow();
  }
  std::function<void()> onLeave;
  std::function<void()> onShow;
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
  // The ways a game gets rid of an effect: on its own, or with all others at shut-down,
  // where the kernel deletes every time object next.
  struct Way {
    const char* name;
    std::function<void(EffectSystem_impl&, IEffect*)> destroy;
  };
  std::vector<Way> Ways() {
    return {{"DestroyEffect", [](EffectSystem_impl& s, IEffect* e) { s.DestroyEffect(e); }},
            {"DeleteAllEffects", [](EffectSystem_impl& s, IEffect*) { s.DeleteAllEffects(); }},
            {"DeleteAllEffects, then DeleteAllTimeObjects", [this](EffectSystem_impl& s, IEffect*) {
               s.DeleteAllEffects();
               time.DeleteAllTimeObjects();
             }}};
  }
  // The effect's slot is free again, so the effect itself is gone.
  void ExpectSlotFree(std::uint32_t id, const std::string& name) {
    Log quiet;
    IEffect* probe = effects.CreateSwitcherEffect(&quiet);
    ASSERT_NE(probe, nullptr) << name;
    EXPECT_EQ(probe->GetId(), id) << name;
    effects.DestroyEffect(probe);
  }

  // Kinds that more than one test sets going.
  IEffect* Clock(EffectMessageObserver* o) { return effects.CreateTimerEffect(o, &text, 1000); }
  IEffect* Switcher(EffectMessageObserver* o) {
    ISwitcherVoEffect* e = effects.CreateSwitcherEffect(o);
    e->AddVO(&other);
    e->SetPeriod(5);
    return e;
  }
  IEffect* SpeedMove(EffectMessageObserver* o, ControlLibrary::IVisibleObject* vo) {
    IState2MoveEffect* e = effects.CreateState2MoveEffect(o, vo, 100);
    e->SetEndPoint(40, 0);
    e->SetSpeed(1000);
    return e;
  }

  // The objects outlive the effects that hold them.
  HoveredVO hovered;
  FakeVO other;
  FakeStringVO text;
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

// Every kind, destroyed by its observer in each report it sends, each way: that report is
// its last, and it is gone once the report has returned to it. Some reports come from the
// timing thread's walk, others from a call on this thread (Start, a resumed held start, a
// series of frames of time 0 that ends inside StartEffect, the unused report).
TEST_F(DestroyWhileBusy, EveryKindMayBeDestroyedFromEachReport) {
  const fs::path dir = fs::path(QUORVANE_BINARY_DIR) / "test_sandbox" / "destroy_while_busy";
  fs::create_directories(dir);
  const std::string description = (dir / "fx.txt").string();
  std::ofstream(description, std::ios::binary) << "[animation] image=\"a.png\" frame_w=8 frame_h=8 "
                                                  "[effect]=\"e\" time=20 [frame] index=1 [frame] index=2 "
                                                  "[effect]=\"now\" time=0 [frame] index=1 [frame] index=2";

  struct DestroyOn : Log {
    void OnEffectStarted(std::uint32_t) override { Heard("started"); }
    void OnEffectFinished(std::uint32_t) override { Heard("finished"); }
    void OnEffectStep(std::uint32_t) override { Heard("step"); }
    void OnEffectBlocked(std::uint32_t) override { Heard("blocked"); }
    void OnEffectUnused(std::uint32_t) override { Heard("unused"); }
    void Heard(const char* what) {
      heard.push_back(what);
      if (effect != nullptr && when == what) {
        IEffect* doomed = effect;
        effect = nullptr;
        destroy(doomed);
      }
    }
    std::function<void(IEffect*)> destroy;
    IEffect* effect = nullptr;
    std::string when;
  };
  FakeVO mover;
  using Make = std::function<IEffect*(EffectMessageObserver*)>;
  const Make move = [&](EffectMessageObserver* o) {
    IState2MoveEffect* e = effects.CreateState2MoveEffect(o, &mover, 100);
    e->SetEndPoint(40, 0);
    return e;
  };
  const Make speedMove = [&](EffectMessageObserver* o) { return SpeedMove(o, &mover); };
  const Make clock = [&](EffectMessageObserver* o) { return Clock(o); };
  const Make switcher = [&](EffectMessageObserver* o) { return Switcher(o); };
  const Make animation = [&](EffectMessageObserver* o) {
    IAnimationEffect* e = effects.CreateAnimationEffect(o);
    EXPECT_TRUE(e->Load(description));
    return e;
  };
  // How the effect is set going.
  enum Run { kStart, kHeldThenResumed, kSeries0, kSeries1, kUnusedReport };
  struct Case {
    const char* kind;
    const Make& make;
    const char* when;
    Run run = kStart;
    bool blocked = false;  // the moved object refuses to move
  };
  const Case cases[] = {
      {"move", move, "started"},
      {"held move", move, "started", kHeldThenResumed},
      {"move", move, "step"},
      {"move", move, "finished"},
      {"move", move, "blocked", kStart, true},
      {"move", move, "unused", kUnusedReport},
      {"speed move", speedMove, "step"},
      {"speed move", speedMove, "finished"},
      {"clock", clock, "started"},
      {"clock", clock, "step"},
      {"clock", clock, "finished"},
      {"switcher", switcher, "started"},
      {"switcher", switcher, "step"},
      {"animation", animation, "started", kSeries0},
      {"animation", animation, "step", kSeries0},
      {"animation", animation, "finished", kSeries0},
      {"animation of frames of time 0", animation, "finished", kSeries1},
  };
  for (const Way& way : Ways()) {
    for (const Case& c : cases) {
      const std::string name = std::string(c.kind) + " destroyed on " + c.when + " by " + way.name;
      mover.frozen = c.blocked;
      DestroyOn observer;
      observer.destroy = [&](IEffect* e) { way.destroy(effects, e); };
      observer.when = c.when;
      IEffect* effect = c.make(&observer);
      ASSERT_NE(effect, nullptr) << name;
      const std::uint32_t id = effect->GetId();
      observer.effect = effect;
      switch (c.run) {
        case kStart: effect->Start(false, 0); break;
        case kHeldThenResumed:
          effect->Start(true, 0);
          effect->SetPaused(false);
          break;
        case kSeries0: dynamic_cast<IAnimationEffect*>(effect)->StartEffect(0); break;
        case kSeries1: dynamic_cast<IAnimationEffect*>(effect)->StartEffect(1); break;
        case kUnusedReport:
          effect->Start(false, 0);
          dynamic_cast<EffectBase*>(effect)->OnTimerUnused(id);  // the time system never sends it
          break;
      }
      Ticks(250);
      EXPECT_EQ(observer.effect, nullptr) << name << ": never destroyed";
      ASSERT_FALSE(observer.heard.empty()) << name;
      EXPECT_EQ(observer.heard.back(), c.when) << name << ": reported after its destruction";
      EXPECT_EQ(mover.refs, 1) << name;
      ExpectSlotFree(id, name);
    }
  }
  fs::remove_all(dir);
}

// The move destroyed from the show report of its object (as a dialog sends it) while Start
// shows it, or from the leave report while it hides it (Stop, SetVisible, or the stop that
// comes with its destruction); or, while it runs, from outside any report. Whichever way it
// goes, its object ends up hidden, and the finish is never reported.
TEST_F(DestroyWhileBusy, MoveDestroyedWhileItShowsOrHidesItsObject) {
  enum Path { kStartShows, kStopHides, kSetVisibleHides, kDestroyHides, kRunning };
  const struct {
    const char* name;
    Path path;
  } paths[] = {{"Start shows it", kStartShows},
               {"Stop hides it", kStopHides},
               {"SetVisible hides it", kSetVisibleHides},
               {"its destruction hides it", kDestroyHides},
               {"it runs", kRunning}};
  for (const Way& way : Ways()) {
    for (const auto& p : paths) {
      const std::string name = std::string("destroyed by ") + way.name + " while " + p.name;
      IState2MoveEffect* move = effects.CreateState2MoveEffect(&log, &hovered, 100);
      ASSERT_NE(move, nullptr) << name;
      const std::uint32_t id = move->GetId();
      move->SetEndPoint(40, 0);
      hovered.visible = false;
      log.heard.clear();
      auto destroy = [&] { way.destroy(effects, move); };
      if (p.path == kStartShows) hovered.onShow = destroy;
      if (p.path != kStartShows && p.path != kRunning) hovered.onLeave = destroy;
      move->Start(false, 0);
      Ticks(3);
      if (p.path == kStopHides) move->Stop();
      if (p.path == kSetVisibleHides) move->SetVisible(false);
      if (p.path == kDestroyHides || p.path == kRunning) destroy();
      Ticks(40);
      EXPECT_FALSE(hovered.visible) << name;
      EXPECT_TRUE(std::find(log.heard.begin(), log.heard.end(), "finished") == log.heard.end()) << name;
      EXPECT_EQ(hovered.refs, 1) << name;
      hovered.onShow = nullptr;
      hovered.onLeave = nullptr;
      ExpectSlotFree(id, name);
    }
  }
}

// Every kind stopped, paused or restarted by its observer from one of its own reports: what
// the observer did holds (a stop from the start report that Start sends is not undone by
// the timer's start), the run it replaced reports nothing more, and the effect is destroyed
// as any other afterwards.
TEST_F(DestroyWhileBusy, EveryKindMayBeStoppedPausedOrRestartedFromItsOwnReport) {
  struct ActOn : Log {
    void OnEffectStarted(std::uint32_t) override { Heard("started"); }
    void OnEffectFinished(std::uint32_t) override { Heard("finished"); }
    void OnEffectStep(std::uint32_t) override { Heard("step"); }
    void Heard(const char* what) {
      heard.push_back(what);
      if (act && when == what) std::exchange(act, nullptr)();
    }
    std::string when;
    std::function<void()> act;
  };
  using Make = std::function<IEffect*(EffectMessageObserver*)>;
  const Make clock = [&](EffectMessageObserver* o) { return Clock(o); };
  const Make switcher = [&](EffectMessageObserver* o) { return Switcher(o); };
  const Make speedMove = [&](EffectMessageObserver* o) { return SpeedMove(o, &hovered); };
  // One tick: its step and its finish come together.
  const Make shortMove = [&](EffectMessageObserver* o) {
    IState2MoveEffect* e = effects.CreateState2MoveEffect(o, &hovered, 5);
    e->SetEndPoint(40, 0);
    return e;
  };
  enum Act { kStop, kPause, kRestart };
  struct Case {
    const char* kind;
    const Make& make;
    const char* when;
    Act act;
    std::vector<std::string> heard;
    bool running;  // afterwards
  };
  const Case cases[] = {
      {"clock", clock, "started", kStop, {"started"}, false},
      {"switcher", switcher, "started", kStop, {"started"}, false},
      {"speed move", speedMove, "started", kStop, {"started"}, false},
      {"switcher", switcher, "started", kPause, {"started"}, true},
      {"speed move", speedMove, "started", kPause, {"started"}, true},
      // The clock's only step comes at its limit; the run that replaces it has not ended yet.
      {"clock", clock, "step", kRestart, {"started", "step", "started"}, true},
      {"move", shortMove, "step", kRestart, {"started", "step", "started", "step", "finished"}, false},
  };
  for (const Case& c : cases) {
    const std::string name = std::string(c.kind) + " on " + c.when + ", act " + std::to_string(c.act);
    ActOn observer;
    IEffect* effect = c.make(&observer);
    ASSERT_NE(effect, nullptr) << name;
    const std::uint32_t id = effect->GetId();
    observer.when = c.when;
    observer.act = [&] {
      if (c.act == kStop) effect->Stop();
      if (c.act == kPause) effect->SetPaused(true);
      if (c.act == kRestart) effect->Start(false, 0);
    };
    hovered.visible = false;
    ASSERT_TRUE(effect->Start(false, 0)) << name;
    Ticks(250);
    EXPECT_EQ(observer.heard, c.heard) << name;
    EXPECT_EQ(effect->IsRunning(), c.running) << name;
    effects.DestroyEffect(effect);
    ExpectSlotFree(id, name);
  }
}
