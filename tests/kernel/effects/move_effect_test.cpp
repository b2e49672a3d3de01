// The move effect over a time system ticked by hand: steps and periods, time and speed
// modes, holding, blocked objects, destruction through the effect system, and the reference
// it holds on an object of the control factory.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FakeVisualObjects.h"
#include "kernel/effects/EffectSystem_impl.h"
#include "kernel/effects/MoveEffect.h"
#include "kernel/time/TimeSystem_impl.h"
#include "tests/kernel/controls/ControlsFixture.h"

using namespace EffectLibrary;
using ControlLibrary::VOPoint;

namespace {

struct Log : EffectMessageObserver {
  void OnEffectStarted(std::uint32_t) override { events.push_back("started"); }
  void OnEffectFinished(std::uint32_t) override { events.push_back("finished"); }
  void OnEffectStep(std::uint32_t) override { ++steps; }
  void OnEffectBlocked(std::uint32_t) override { ++blocked; }
  std::vector<std::string> events;
  int steps = 0;
  int blocked = 0;
};

class MoveEffectTest : public ::testing::Test {
 protected:
  MoveEffectTest() { effects.SetTimeSystem(&time); }
  State2MoveEffectImpl* Make(std::int32_t limit, VOPoint from, VOPoint to) {
    auto* e = effects.CreateState2MoveEffect(&log, &vo, limit);
    e->SetStartPoint(from.x, from.y);
    e->SetEndPoint(to.x, to.y);
    return dynamic_cast<State2MoveEffectImpl*>(e);
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) time.TickTimeObjects();
  }

  // The objects outlive the effects that hold them.
  FakeVO vo;
  Log log;
  TimeLibrary::TimeSystem_impl time;
  EffectSystem_impl effects;
};

}  // namespace

TEST_F(MoveEffectTest, StepsAndPeriodsFollowDistanceAndTime) {
  struct Case {
    VOPoint from, to;
    std::int32_t limit;
    float stepX, stepY;
    int ticksPerPixelStep;  // ticks between two moves
  };
  const Case cases[] = {
      {{100, 50}, {200, 50}, 1000, 1.0f, 0.0f, 2},    // 5r = 0.5: a 10 ms period, 1 px a tick
      {{0, 0}, {300, 0}, 500, 3.0f, 0.0f, 1},         // 5r = 3: every 5 ms, 3 px
      {{300, 0}, {0, 100}, 500, -3.0f, 1.0f, 1},      // leftwards: negative x
      {{0, 300}, {30, 0}, 500, 0.3f, -3.0f, 1},       // upwards: negative y
  };
  for (const Case& c : cases) {
    State2MoveEffectImpl* e = Make(c.limit, c.from, c.to);
    ASSERT_TRUE(e->Start(false, 0));
    EXPECT_FLOAT_EQ(e->GetStepX(), c.stepX);
    EXPECT_FLOAT_EQ(e->GetStepY(), c.stepY);
    vo.positions.clear();
    Ticks(c.ticksPerPixelStep);
    ASSERT_EQ(vo.positions.size(), 1u);
    EXPECT_EQ(vo.positions[0].x, static_cast<int>(c.from.x + c.stepX));
    effects.DestroyEffect(e);
  }
}

TEST_F(MoveEffectTest, TimeModeRunsToTheLimitAndHides) {
  State2MoveEffectImpl* e = Make(1000, {100, 50}, {200, 50});
  ASSERT_TRUE(e->Start(false, 0));
  EXPECT_TRUE(vo.visible);
  EXPECT_EQ(vo.pos, (VOPoint{100, 50}));
  Ticks(200);
  EXPECT_EQ(log.events, (std::vector<std::string>{"started", "finished"}));
  EXPECT_FALSE(e->IsRunning());
  EXPECT_FALSE(vo.visible);
  EXPECT_EQ(vo.pos.x, 200);
  EXPECT_TRUE(e->HasMoved());
}

TEST_F(MoveEffectTest, TimeModeAfterSpeedModeFinishesAtItsLimit) {
  State2MoveEffectImpl* e = Make(1000, {0, 0}, {100, 0});
  e->SetSpeed(1000);  // 100 px at 1,000 px/s: done in about 100 ms
  ASSERT_TRUE(e->Start(false, 0));
  Ticks(40);
  ASSERT_EQ(log.events, (std::vector<std::string>{"started", "finished"}));
  log.events.clear();
  e->SetDuration(200);
  ASSERT_TRUE(e->Start(false, 0));
  Ticks(60);
  EXPECT_EQ(log.events, (std::vector<std::string>{"started", "finished"}));
  EXPECT_FALSE(e->IsRunning());
  EXPECT_EQ(vo.pos.x, 100);
}

TEST_F(MoveEffectTest, RefusedStarts) {
  State2MoveEffectImpl* e = Make(500, {10, 10}, {10, 10});
  EXPECT_FALSE(e->Start(false, 0));
  EXPECT_FALSE(vo.visible);
  EXPECT_TRUE(vo.positions.empty());
  e->SetEndPoint(20, 10);
  e->SetDuration(-1);  // time mode without a time
  EXPECT_FALSE(e->Start(false, 0));
  auto* noObject = effects.CreateState2MoveEffect(&log, nullptr, 500);
  noObject->SetEndPoint(5, 5);
  EXPECT_FALSE(noObject->Start(false, 0));
}

TEST_F(MoveEffectTest, HeldStartShowsTheObjectWhenTheTimerStarts) {
  State2MoveEffectImpl* e = Make(100, {0, 0}, {50, 0});
  ASSERT_TRUE(e->Start(true, 10));
  EXPECT_FALSE(vo.visible);
  Ticks(3);
  EXPECT_FALSE(vo.visible);  // paused: the delay does not count down
  EXPECT_TRUE(log.events.empty());
  e->SetPaused(false);
  Ticks(2);
  EXPECT_TRUE(vo.visible);
  EXPECT_EQ(log.events, std::vector<std::string>{"started"});
  EXPECT_EQ(vo.pos.x, 0);  // the delay's periods move nothing
  Ticks(1);
  EXPECT_GT(vo.pos.x, 0);
}

// A held start without a delay is never reported by the timer; resuming it shows the
// object and reports the start all the same.
TEST_F(MoveEffectTest, HeldStartWithoutDelayShowsTheObjectOnResume) {
  State2MoveEffectImpl* e = Make(100, {0, 0}, {50, 0});
  ASSERT_TRUE(e->Start(true, 0));
  Ticks(2);
  EXPECT_FALSE(vo.visible);
  e->SetPaused(false);
  EXPECT_TRUE(vo.visible);
  EXPECT_EQ(log.events, std::vector<std::string>{"started"});
  Ticks(1);
  EXPECT_GT(vo.pos.x, 0);
  e->SetPaused(true);
  e->SetPaused(false);  // reported once only
  EXPECT_EQ(log.events, std::vector<std::string>{"started"});
}

TEST_F(MoveEffectTest, SpeedModeSnapsToTheEndPoint) {
  struct Case { std::int32_t speed; int ticks; };
  // 1,000 px/s over 10 px: 5 px a tick, the third tick passes the end. A speed that would
  // make the move time 0 ms still arrives, on the first tick.
  for (const Case& c : {Case{1000, 3}, Case{100000, 1}}) {
    log = Log{};
    State2MoveEffectImpl* e = Make(-1, {0, 7}, {10, 7});
    e->SetSpeed(c.speed);
    ASSERT_TRUE(e->Start(false, 0));
    Ticks(c.ticks - 1);
    EXPECT_TRUE(log.events.size() == 1u) << c.speed;
    Ticks(1);
    EXPECT_EQ(log.events, (std::vector<std::string>{"started", "finished"})) << c.speed;
    EXPECT_EQ(vo.positions.back(), (VOPoint{10, 7}));
    EXPECT_FALSE(vo.visible);
    EXPECT_FALSE(e->IsRunning());
    effects.DestroyEffect(e);
  }
}

TEST_F(MoveEffectTest, ChangeSpeedScalesStepsOnlyInSpeedMode) {
  State2MoveEffectImpl* timed = Make(500, {0, 0}, {300, 0});
  ASSERT_TRUE(timed->Start(false, 0));
  timed->ChangeSpeed(50);  // no speed to scale from: ignored
  EXPECT_FLOAT_EQ(timed->GetStepX(), 3.0f);
  EXPECT_EQ(timed->GetSpeed(), 0);
  effects.DestroyEffect(timed);

  State2MoveEffectImpl* e = Make(-1, {0, 0}, {1000, 0});
  e->SetSpeed(200);
  ASSERT_TRUE(e->Start(false, 0));
  EXPECT_FLOAT_EQ(e->GetStepX(), 1.0f);
  e->ChangeSpeed(400);
  EXPECT_FLOAT_EQ(e->GetStepX(), 2.0f);
  e->ChangeSpeed(0);
  EXPECT_EQ(e->GetSpeed(), 1);
  EXPECT_FLOAT_EQ(e->GetStepX(), 2.0f);
  e->RestoreState();
  EXPECT_EQ(e->GetSpeed(), 200);
  EXPECT_FLOAT_EQ(e->GetStepX(), 1.0f);
}

TEST_F(MoveEffectTest, BlockedObjectUndoesTheStepAndKeepsTicking) {
  State2MoveEffectImpl* e = Make(500, {0, 0}, {300, 0});
  ASSERT_TRUE(e->Start(false, 0));
  vo.frozen = true;
  Ticks(2);
  EXPECT_EQ(log.blocked, 2);
  EXPECT_FALSE(e->HasMoved());
  vo.frozen = false;
  Ticks(1);
  EXPECT_EQ(vo.pos.x, 3);  // the undone steps are not carried over
  EXPECT_TRUE(e->HasMoved());
  EXPECT_TRUE(e->IsRunning());
}

TEST_F(MoveEffectTest, DestroyingARunningEffectStopsAndHidesSilently) {
  State2MoveEffectImpl* e = Make(1000, {0, 0}, {100, 0});
  EXPECT_EQ(vo.refs, 2);
  ASSERT_TRUE(e->Start(false, 0));
  Ticks(4);
  effects.DestroyEffect(e);
  effects.DestroyEffect(nullptr);
  EXPECT_FALSE(vo.visible);
  EXPECT_EQ(log.events, std::vector<std::string>{"started"});
  EXPECT_EQ(vo.refs, 1);  // the effect's reference went back
  vo.positions.clear();
  Ticks(10);
  EXPECT_TRUE(vo.positions.empty());
}

TEST_F(MoveEffectTest, ObserverMayDestroyTheEffectWhenItFinishes) {
  struct Destroyer : EffectMessageObserver {
    EffectSystem_impl* system = nullptr;
    IEffect* effect = nullptr;
    int finished = 0;
    void OnEffectFinished(std::uint32_t) override {
      ++finished;
      system->DestroyEffect(effect);
    }
  } destroyer;
  destroyer.system = &effects;
  auto* e = effects.CreateState2MoveEffect(&destroyer, &vo, 10);
  destroyer.effect = e;
  e->SetEndPoint(40, 0);
  ASSERT_TRUE(e->Start(false, 0));
  Ticks(5);
  EXPECT_EQ(destroyer.finished, 1);
  EXPECT_EQ(vo.refs, 1);
}

// Each way a start is reported: the effect touches neither itself nor its timer after the
// observer destroyed it (the address sanitizer build sees any such read).
TEST_F(MoveEffectTest, ObserverMayDestroyTheEffectWhenItStarts) {
  struct Destroyer : EffectMessageObserver {
    EffectSystem_impl* system = nullptr;
    IEffect* effect = nullptr;
    int started = 0;
    void OnEffectStarted(std::uint32_t) override {
      ++started;
      system->DestroyEffect(effect);
    }
  };
  struct Case {
    const char* name;
    bool hold;
    std::uint16_t delay;
    bool resume;  // SetPaused(false) after the held start
  };
  const Case cases[] = {
      {"reported by Start", false, 0, false},
      {"reported when the delay has run out", false, 10, false},
      {"reported when a held start is resumed", true, 0, true},
  };
  for (const Case& c : cases) {
    Destroyer destroyer;
    destroyer.system = &effects;
    auto* e = effects.CreateState2MoveEffect(&destroyer, &vo, 100);
    ASSERT_NE(e, nullptr);
    destroyer.effect = e;
    e->SetEndPoint(40, 0);
    ASSERT_TRUE(e->Start(c.hold, c.delay)) << c.name;
    if (c.resume) e->SetPaused(false);
    Ticks(4);
    EXPECT_EQ(destroyer.started, 1) << c.name;
    EXPECT_EQ(vo.refs, 1) << c.name;  // destroyed, its reference given back
    EXPECT_EQ(effects.CreateSwitcherEffect(&log)->GetId(), 1u) << c.name;  // its slot is free
    effects.DeleteAllEffects();
  }
}

TEST_F(MoveEffectTest, TableOfEffectIds) {
  std::vector<IEffect*> all;
  for (int i = 0; i < 2047; ++i) {
    IEffect* e = effects.CreateSwitcherEffect(&log);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetId(), static_cast<std::uint32_t>(i + 1));
    all.push_back(e);
  }
  EXPECT_EQ(effects.CreateTimerEffect(&log, nullptr, 1000), nullptr);
  effects.DestroyEffect(all[41]);
  IEffect* again = effects.CreateState2MoveEffect(&log, &vo, 100);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->GetId(), 42u);
  effects.DeleteAllEffects();
  EXPECT_EQ(vo.refs, 1);
  // Without a time system nothing can be made.
  EffectSystem_impl bare;
  EXPECT_EQ(bare.CreateSwitcherEffect(&log), nullptr);
}

// Effects made, started and destroyed on this thread while the timing thread ticks them,
// some destroying themselves from their own finish callback on the timing thread.
TEST(MoveEffectThreads, CreateStartDestroyWhileTicking) {
  struct SelfDestroying : EffectMessageObserver {
    EffectSystem_impl* system = nullptr;
    std::array<std::atomic<IEffect*>, EffectSystem_impl::kSlots> byId{};
    std::atomic<int> finished{0};
    void OnEffectFinished(std::uint32_t id) override {
      ++finished;
      system->DestroyEffect(byId[id].exchange(nullptr));
    }
  } observer;
  TimeLibrary::TimeSystem_impl time;
  EffectSystem_impl effects;
  effects.SetTimeSystem(&time);
  observer.system = &effects;
  ASSERT_TRUE(time.StartTimerThread());
  std::vector<std::unique_ptr<FakeVO>> objects;
  for (int round = 0; round < 50; ++round) {
    objects.push_back(std::make_unique<FakeVO>());
    auto* e = effects.CreateState2MoveEffect(&observer, objects.back().get(), 10);
    ASSERT_NE(e, nullptr);
    if (round % 2 == 1) observer.byId[e->GetId()] = e;
    e->SetEndPoint(30, 30);
    ASSERT_TRUE(e->Start(false, 0));
    if (round % 2 == 0) effects.DestroyEffect(e);
  }
  for (int i = 0; i < 2000 && observer.finished < 25; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  time.StopTimerThread();
  EXPECT_EQ(observer.finished.load(), 25);
  effects.DeleteAllEffects();
  for (auto& vo : objects) EXPECT_EQ(vo->refs, 1);
}

// The process-wide effect system as the kernel builds and removes it.
TEST(EffectSystemSingleton, LifecycleInKernelOrder) {
  EXPECT_EQ(GetEffectSystem(), nullptr);
  DeleteAllEffects();  // nothing to do without a system
  TimeLibrary::TimeSystem_impl time;
  CreateEffectSystem();
  ASSERT_NE(GetEffectSystem(), nullptr);
  Log log;
  EXPECT_EQ(GetEffectSystem()->CreateSwitcherEffect(&log), nullptr);  // no time system yet
  SetEffectTimeSystem(&time);
  IEffect* e = GetEffectSystem()->CreateSwitcherEffect(&log);
  ASSERT_NE(e, nullptr);
  const std::uint32_t id = e->GetId();
  DeleteAllEffects();
  EXPECT_EQ(GetEffectSystem()->CreateSwitcherEffect(&log)->GetId(), id);
  DestroyEffectSystem();
  EXPECT_EQ(GetEffectSystem(), nullptr);
}

// The process-wide effect system destroyed while a move runs: the move's object is hidden,
// and whoever observes it finds no effect system any more, not one half destroyed.
TEST(EffectSystemSingleton, TeardownHidesRunningMovesAndIsNotReachedMeanwhile) {
  class LeavingVO : public FakeVO {
   public:
    void SetVisible(bool v) override {
      const bool leaves = visible && !v;
      visible = v;
      if (!leaves) return;
      reached = GetEffectSystem();
      DestroyEffectSystem();  // a second teardown from inside the first does nothing
      DeleteAllEffects();
    }
    IEffectSystem* reached = nullptr;
  } vo;
  TimeLibrary::TimeSystem_impl time;
  CreateEffectSystem();
  SetEffectTimeSystem(&time);
  Log log;
  IState2MoveEffect* move = GetEffectSystem()->CreateState2MoveEffect(&log, &vo, 100);
  ASSERT_NE(move, nullptr);
  move->SetEndPoint(40, 0);
  ASSERT_TRUE(move->Start(false, 0));
  time.TickTimeObjects();
  DestroyEffectSystem();
  EXPECT_EQ(GetEffectSystem(), nullptr);
  EXPECT_FALSE(vo.visible);
  EXPECT_EQ(vo.reached, nullptr);
  EXPECT_EQ(vo.refs, 1);
}

// Effects destroyed on this thread at the moment their timer finishes on the timing thread:
// no callback may reach an effect that is being destroyed.
TEST(MoveEffectThreads, DestroyRacingTheFinish) {
  struct Quiet : EffectMessageObserver {
    std::atomic<int> calls{0};
    void OnEffectStep(std::uint32_t) override { ++calls; }
    void OnEffectFinished(std::uint32_t) override { ++calls; }
  } observer;
  TimeLibrary::TimeSystem_impl time;
  EffectSystem_impl effects;
  effects.SetTimeSystem(&time);
  ASSERT_TRUE(time.StartTimerThread());
  FakeVO vo;
  for (int round = 0; round < 200; ++round) {
    auto* e = effects.CreateState2MoveEffect(&observer, &vo, 5);
    ASSERT_NE(e, nullptr);
    e->SetEndPoint(10, 0);
    ASSERT_TRUE(e->Start(false, 0));
    while (e->IsRunning()) std::this_thread::yield();
    effects.DestroyEffect(e);
  }
  time.StopTimerThread();
  EXPECT_EQ(vo.refs, 1);
}

// The move holds a reference on an object of the control factory. When the game has
// deleted the object meanwhile, the reference the effect gives back is its last, and the
// object goes then: it is neither left in the factory's tables nor left on the screen.
class MoveEffectOnFactoryObjects : public controls_test::FactoryTest {
 protected:
  MoveEffectOnFactoryObjects() { effects.SetTimeSystem(&time); }
  TimeLibrary::TimeSystem_impl time;
  EffectSystem_impl effects;
};

TEST_F(MoveEffectOnFactoryObjects, TheObjectGoesWithItsLastReference) {
  struct Finish : EffectMessageObserver {
    void OnEffectFinished(std::uint32_t) override {
      if (onFinish) onFinish();
    }
    std::function<void()> onFinish;
  };
  struct Case {
    const char* name;
    // Gets rid of the object and of the move (the move's destruction is left to the case).
    std::function<void(IState2MoveEffect*, ControlLibrary::IImageVO*, Finish&)> play;
    bool deleted;
  };
  ControlLibrary::Factory_impl* f = factory;
  EffectSystem_impl& system = effects;
  TimeLibrary::TimeSystem_impl& clock = time;
  auto ticks = [&clock](int n) {
    for (int i = 0; i < n; ++i) clock.TickTimeObjects();
  };
  const Case cases[] = {
      {"deleted by the game, then the move destroyed",
       [&](IState2MoveEffect* move, ControlLibrary::IImageVO* vo, Finish&) {
         f->DeleteVO(vo);
         system.DestroyEffect(move);
       },
       true},
      // A cell of the game destroys its move and its objects, in that order, from the finish.
      {"the move destroyed, then the object deleted, from the move's finish report",
       [&](IState2MoveEffect* move, ControlLibrary::IImageVO* vo, Finish& finish) {
         finish.onFinish = [&system, f, move, vo] {
           system.DestroyEffect(move);
           f->DeleteVO(vo);
         };
         ticks(40);
       },
       true},
      {"deleted by the game, then replaced on the move",
       [&](IState2MoveEffect* move, ControlLibrary::IImageVO* vo, Finish&) {
         ControlLibrary::IImageVO* next = f->CreateImageVO();
         f->DeleteVO(vo);
         move->SetVO(next);
         system.DestroyEffect(move);
         f->DeleteVO(next);
       },
       true},
      {"kept by the game",
       [&](IState2MoveEffect* move, ControlLibrary::IImageVO*, Finish&) { system.DestroyEffect(move); }, false},
  };
  for (const Case& c : cases) {
    ControlLibrary::IImageVO* vo = factory->CreateImageVO();
    ASSERT_NE(vo, nullptr) << c.name;
    const std::uint32_t id = vo->GetId();
    Finish finish;
    IState2MoveEffect* move = effects.CreateState2MoveEffect(&finish, vo, 100);
    ASSERT_NE(move, nullptr) << c.name;
    move->SetEndPoint(40, 0);
    move->SetHideOnStop(false);
    ASSERT_TRUE(move->Start(false, 0)) << c.name;
    ticks(3);
    c.play(move, vo, finish);
    EXPECT_EQ(factory->FindVO(id) == nullptr, c.deleted) << c.name;
    EXPECT_EQ(factory->ShownCount(), c.deleted ? 0 : 1) << c.name;
    if (!c.deleted) factory->DeleteVO(vo);
  }
}
