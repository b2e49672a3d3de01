// Time objects driven step by step through the time system's tick, the id table, the
// timing thread's period arithmetic, and the real timing thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "kernel/time/TimeSystem_impl.h"
#include "platform/Time.h"

using namespace TimeLibrary;

namespace {

// Writes every callback as "<event><id>@<timer ms>".
class Recorder : public TimeObjectMessageObserver {
 public:
  explicit Recorder(TimeSystem_impl& sys) : sys_(sys) {}
  void OnTimerStarted(std::uint32_t id) override { Add("S", id); }
  void OnTimerFinished(std::uint32_t id) override { Add("F", id); }
  void OnTimerTick(std::uint32_t id) override { Add("T", id); }
  std::vector<std::string> events;

 private:
  void Add(const char* what, std::uint32_t id) {
    events.push_back(std::string(what) + std::to_string(id) + "@" + std::to_string(sys_.GetTimeMs()));
  }
  TimeSystem_impl& sys_;
};

void Ticks(TimeSystem_impl& sys, int n) {
  for (int i = 0; i < n; ++i) sys.TickTimeObjects();
}

using Events = std::vector<std::string>;

}  // namespace

TEST(TimeObject, CallbackOrderForLimitsPeriodsAndDelays) {
  // Each case: limit, period, start paused, delay, ticks, expected events. A callback's time
  // is the counter before the tick that sends it (the counter grows after the walk).
  struct Case {
    const char* name;
    std::int32_t limit, period;
    std::uint16_t delay;
    int ticks;
    Events expected;
  };
  const Case cases[] = {
      {"limit 12 period 5", 12, 5, 0, 5, {"S1@0", "T1@0", "T1@5", "T1@10", "F1@10"}},
      {"period 7 acts as 10", 100, 7, 0, 6, {"S1@0", "T1@5", "T1@15", "T1@25"}},
      {"delay 12: second start at tick 3, counting from tick 4", 10, 5, 12, 5,
       {"S1@0", "S1@10", "T1@15", "T1@20", "F1@20"}},
  };
  for (const Case& c : cases) {
    TimeSystem_impl sys;
    Recorder rec(sys);
    ITimeObject* t = sys.CreateTimeObject(&rec, c.limit, c.period);
    ASSERT_NE(t, nullptr);
    ASSERT_TRUE(t->Start(false, c.delay));
    Ticks(sys, c.ticks);
    EXPECT_EQ(rec.events, c.expected) << c.name;
  }
}

TEST(TimeObject, FinishesAndCanBeStartedAgain) {
  TimeSystem_impl sys;
  Recorder rec(sys);
  ITimeObject* t = sys.CreateTimeObject(&rec, 12, 5);
  ASSERT_TRUE(t->Start(false, 0));
  Ticks(sys, 3);
  EXPECT_FALSE(t->IsRunning());
  rec.events.clear();
  Ticks(sys, 2);
  EXPECT_TRUE(rec.events.empty());
  ASSERT_TRUE(t->Start(false, 0));  // counters reset
  Ticks(sys, 3);
  EXPECT_EQ(rec.events, (Events{"S1@25", "T1@25", "T1@30", "T1@35", "F1@35"}));
}

TEST(TimeObject, StartRefusals) {
  TimeSystem_impl sys;
  Recorder rec(sys);
  ITimeObject* noPeriod = sys.CreateTimeObject(&rec, 100, 0);
  EXPECT_FALSE(noPeriod->Start(false, 0));
  ITimeObject* caret = sys.CreateTimeObject(&rec, -1, 500);
  EXPECT_FALSE(caret->Start(false, 0));
  caret->SetEndless(true);
  EXPECT_TRUE(caret->Start(false, 0));
  Ticks(sys, 400);  // 2 s: four ticks, never finished
  EXPECT_TRUE(caret->IsRunning());
  EXPECT_EQ(rec.events, (Events{"S2@0", "T2@495", "T2@995", "T2@1495", "T2@1995"}));
  EXPECT_TRUE(rec.events.back().find('F') == std::string::npos);

  // A second start on a running object changes nothing, its counters included.
  Recorder rec2(sys);
  ITimeObject* t = sys.CreateTimeObject(&rec2, 1000, 20);
  ASSERT_TRUE(t->Start(false, 0));
  Ticks(sys, 3);
  EXPECT_FALSE(t->Start(false, 0));
  Ticks(sys, 1);  // 20 ms since the real start
  EXPECT_EQ(rec2.events, (Events{"S3@2000", "T3@2015"}));
}

TEST(TimeObject, PausedStartCountsNothingUntilResumed) {
  TimeSystem_impl sys;
  Recorder rec(sys);
  ITimeObject* t = sys.CreateTimeObject(&rec, 100, 10);
  ASSERT_TRUE(t->Start(true, 0));
  Ticks(sys, 5);
  EXPECT_TRUE(rec.events.empty());
  EXPECT_TRUE(t->IsRunning());
  t->SetPaused(false);
  Ticks(sys, 2);
  t->SetPaused(true);
  Ticks(sys, 4);
  t->SetPaused(false);
  Ticks(sys, 2);
  EXPECT_EQ(rec.events, (Events{"T1@30", "T1@60"}));
  t->Stop();
  EXPECT_FALSE(t->IsRunning());
}

TEST(TimeSystem, IdTableFillsAndReusesFreedIds) {
  TimeSystem_impl sys;
  std::vector<ITimeObject*> all;
  for (int i = 0; i < 2047; ++i) {
    ITimeObject* t = sys.CreateTimeObject(nullptr, 10, 5);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetId(), static_cast<std::uint32_t>(i + 1));
    all.push_back(t);
  }
  EXPECT_EQ(sys.CreateTimeObject(nullptr, 10, 5), nullptr);
  sys.DestroyTimeObject(all[99]);
  sys.DestroyTimeObject(nullptr);
  ITimeObject* again = sys.CreateTimeObject(nullptr, 10, 5);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->GetId(), 100u);
  sys.DeleteAllTimeObjects();
  // A pointer to an object deleted with all the others is ignored without being followed.
  sys.DestroyTimeObject(again);
  EXPECT_EQ(sys.CreateTimeObject(nullptr, 10, 5)->GetId(), 1u);
}

// Callbacks may create, stop and destroy time objects, their own one included.
TEST(TimeSystem, CallbacksMayDestroyTheirOwnTimer) {
  struct SelfDestroyer : TimeObjectMessageObserver {
    TimeSystem_impl* sys = nullptr;
    ITimeObject* mine = nullptr;
    ITimeObject* created = nullptr;
    int ticks = 0, finishes = 0;
    void OnTimerTick(std::uint32_t) override {
      ++ticks;
      created = sys->CreateTimeObject(nullptr, 10, 5);
      sys->DestroyTimeObject(mine);
    }
    void OnTimerFinished(std::uint32_t) override { ++finishes; }
  } obs;
  TimeSystem_impl sys;
  obs.sys = &sys;
  obs.mine = sys.CreateTimeObject(&obs, 5, 5);  // ticks and finishes in the same step
  ASSERT_TRUE(obs.mine->Start(false, 0));
  Ticks(sys, 3);
  EXPECT_EQ(obs.ticks, 1);
  EXPECT_EQ(obs.finishes, 0);  // gone before its finish could be sent
  ASSERT_NE(obs.created, nullptr);
  EXPECT_EQ(obs.created->GetId(), 2u);

  // Destroyed from the start report that Start itself sends: Start touches it no more (the
  // address sanitizer build sees any write or unlock of the freed object).
  struct StartDestroyer : TimeObjectMessageObserver {
    TimeSystem_impl* sys = nullptr;
    ITimeObject* mine = nullptr;
    int starts = 0;
    void OnTimerStarted(std::uint32_t) override {
      ++starts;
      sys->DestroyTimeObject(mine);
    }
  } starter;
  starter.sys = &sys;
  starter.mine = sys.CreateTimeObject(&starter, 50, 5);
  const std::uint32_t id = starter.mine->GetId();
  EXPECT_TRUE(starter.mine->Start(false, 0));
  EXPECT_EQ(starter.starts, 1);
  Ticks(sys, 3);
  EXPECT_EQ(sys.CreateTimeObject(nullptr, 10, 5)->GetId(), id);  // its slot is free again
}

// A callback that stops, pauses or restarts its own timer: what it did holds, and the run it
// replaced reports nothing more.
TEST(TimeSystem, CallbacksMayStopPauseOrRestartTheirOwnTimer) {
  // Acts once, on the callback written as `on` (without its time).
  struct Actor : Recorder {
    using Recorder::Recorder;
    void OnTimerStarted(std::uint32_t id) override {
      Recorder::OnTimerStarted(id);
      Act("S" + std::to_string(id));
    }
    void OnTimerTick(std::uint32_t id) override {
      Recorder::OnTimerTick(id);
      Act("T" + std::to_string(id) + "#" + std::to_string(++ticks));
    }
    void Act(const std::string& event) {
      if (event != on || !act) return;
      auto once = std::move(act);
      act = nullptr;
      once();
    }
    std::string on;
    std::function<void()> act;
    int ticks = 0;
  };
  struct Case {
    const char* name;
    const char* on;
    std::function<void(TimeSystem_impl&, ITimeObject*)> act;
    Events expected;
    bool running;
  };
  const Case cases[] = {
      {"stopped from the start report of Start", "S1", [](TimeSystem_impl&, ITimeObject* t) { t->Stop(); },
       {"S1@0"}, false},
      {"paused from the start report of Start", "S1", [](TimeSystem_impl&, ITimeObject* t) { t->SetPaused(true); },
       {"S1@0"}, true},
      {"restarted from the tick its finish follows", "T1#2",
       [](TimeSystem_impl&, ITimeObject* t) { EXPECT_TRUE(t->Start(false, 0)); },
       {"S1@0", "T1@0", "T1@5", "S1@5", "T1@10", "T1@15", "F1@15"}, false},
      {"restarted and destroyed from the start report of Start", "S1",
       [](TimeSystem_impl& sys, ITimeObject* t) {
         t->Stop();
         EXPECT_TRUE(t->Start(false, 0));
         sys.DestroyTimeObject(t);
       },
       {"S1@0", "S1@0"}, false},
  };
  for (const Case& c : cases) {
    TimeSystem_impl sys;
    Actor actor(sys);
    ITimeObject* t = sys.CreateTimeObject(&actor, 10, 5);  // a tick at 0, a tick and the finish at 5
    ASSERT_NE(t, nullptr);
    actor.on = c.on;
    actor.act = [&] { c.act(sys, t); };
    ASSERT_TRUE(t->Start(false, 0)) << c.name;
    Ticks(sys, 6);
    EXPECT_EQ(actor.events, c.expected) << c.name;
    // The one that was destroyed has left its slot; the others still run or not.
    ITimeObject* next = sys.CreateTimeObject(nullptr, 10, 5);
    if (next->GetId() == 1u) continue;
    EXPECT_EQ(t->IsRunning(), c.running) << c.name;
  }
}

TEST(TimerThreadPeriods, LatenessIsMadeUpAndStallsArePaidBackAnEighthAPeriod) {
  const PeriodConstants c = PeriodConstants::FromFrequency(1000000000ull);  // nanoseconds
  EXPECT_EQ(c.perMs, 1000000u);
  EXPECT_EQ(c.eighthMs, 125000u);
  // The second wake comes `late` after its deadline; every later one is on time.
  struct Case {
    const char* name;
    std::uint64_t late;
    std::uint64_t nextPeriod;  // from that wake to the next deadline
    int shortened;             // deadlines 4.875 ms apart until the schedule is met again
  };
  const Case cases[] = {
      {"on time", 0, 5000000, 0},
      {"0.08 ms late: made up by the next period", 80000, 4920000, 0},
      {"a millisecond late: made up by the next period", 1000000, 4000000, 0},
      {"a 9 ms period: 4.875 ms ones until the 4 ms are paid back", 4000000, 4875000, 32},
      {"a stall of a second: no burst of ticks", 1000000000, 4875000, 8000},
  };
  for (const Case& k : cases) {
    PeriodSchedule schedule(c, 0);
    std::uint64_t deadline = schedule.Next(0);
    ASSERT_EQ(deadline, 5000000u) << k.name;
    const std::uint64_t wake = deadline + k.late;
    deadline = schedule.Next(wake);
    EXPECT_EQ(deadline - wake, k.nextPeriod) << k.name;
    int shortened = k.nextPeriod == 4875000 ? 1 : 0;
    for (;;) {
      const std::uint64_t previous = deadline;
      deadline = schedule.Next(previous);
      if (deadline - previous != 4875000) {
        EXPECT_EQ(deadline - previous, 5000000u) << k.name;
        break;
      }
      ++shortened;
    }
    EXPECT_EQ(shortened, k.shortened) << k.name;
    EXPECT_EQ(schedule.Owed(), 0u) << k.name;  // back on the 5 ms schedule of the start
  }
}

namespace {

// A clock that only moves when the timing thread sleeps: every wait ends `lateness` after
// its deadline, the one with the number `stallAt` a further `stall` later. Once `end` is
// reached the clock stands still and waits really sleep, so the thread idles.
class LateWakingClock : public plat::ClockSource {
 public:
  static constexpr std::uint64_t kStart = 1000000000ull;

  LateWakingClock(std::uint64_t lateness, int stallAt, std::uint64_t stall, std::uint64_t end)
      : mLateness(lateness), mStallAt(stallAt), mStall(stall), mEnd(kStart + end) {
    plat::SetClockSource(this);
  }
  ~LateWakingClock() override { plat::SetClockSource(nullptr); }
  LateWakingClock(const LateWakingClock&) = delete;
  LateWakingClock& operator=(const LateWakingClock&) = delete;

  std::uint64_t NowNanoseconds() override { return mNow.load(); }
  void SleepMilliseconds(plat::DWORD ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  void SleepUntilNanoseconds(std::uint64_t deadline) override {
    if (mNow.load() >= mEnd) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return;
    }
    std::uint64_t wake = std::max(mNow.load(), deadline) + mLateness;
    if (++wakes == mStallAt) wake += mStall;
    if (lastWake != 0) shortestPeriod = std::min(shortestPeriod, wake - lastWake);
    lastWake = wake;
    mNow.store(wake);
  }
  bool Ended() const { return mNow.load() >= mEnd; }
  std::uint64_t Elapsed() const { return mNow.load() - kStart; }

  // Written by the timing thread, read once it has stopped.
  int wakes = 0;
  std::uint64_t lastWake = 0;
  std::uint64_t shortestPeriod = ~0ull;

 private:
  std::atomic<std::uint64_t> mNow{kStart};
  const std::uint64_t mLateness;
  const int mStallAt;
  const std::uint64_t mStall;
  const std::uint64_t mEnd;
};

}  // namespace

// Timer time follows the clock however late the thread wakes, and a stall is caught up
// without periods shorter than 4.875 ms.
TEST(TimerThread, TimerTimeKeepsPaceWithTheClock) {
  struct Case {
    const char* name;
    std::uint64_t lateness;
    int stallAt;
    std::uint64_t stall;
    std::uint64_t end;
  };
  const Case cases[] = {
      {"every wake 0.08 ms late for 10 s", 80000, 0, 0, 10000000000ull},
      {"every wake 0.3 ms late for 10 s", 300000, 0, 0, 10000000000ull},
      {"a stall of a second, then 50 s", 80000, 200, 1000000000ull, 60000000000ull},
  };
  for (const Case& c : cases) {
    TimeSystem_impl sys;
    LateWakingClock clock(c.lateness, c.stallAt, c.stall, c.end);
    ASSERT_TRUE(sys.StartTimerThread());
    for (int i = 0; i < 60000 && !clock.Ended(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    sys.StopTimerThread();
    ASSERT_TRUE(clock.Ended()) << c.name;
    // The tick of the last wake may or may not have run before the thread stopped.
    const double elapsedMs = static_cast<double>(clock.Elapsed()) / 1e6;
    EXPECT_NEAR(static_cast<double>(sys.GetTimeMs()), elapsedMs, 5.0) << c.name;
    EXPECT_GE(clock.shortestPeriod, 4875000u) << c.name;
  }
}

TEST(TimerThread, TicksObjectsInFiveMillisecondSteps) {
  struct Counter : TimeObjectMessageObserver {
    std::atomic<int> ticks{0};
    std::atomic<int> finished{0};
    void OnTimerTick(std::uint32_t) override { ++ticks; }
    void OnTimerFinished(std::uint32_t) override { ++finished; }
  } obs;
  TimeSystem_impl sys;
  ITimeObject* t = sys.CreateTimeObject(&obs, 100, 10);
  ASSERT_TRUE(sys.StartTimerThread());
  EXPECT_FALSE(sys.StartTimerThread());
  ASSERT_TRUE(t->Start(false, 0));
  for (int i = 0; i < 2000 && obs.finished == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(obs.finished.load(), 1);
  EXPECT_EQ(obs.ticks.load(), 10);  // 9 period ticks and the final one
  // Creating and destroying from the main thread while the thread ticks.
  for (int i = 0; i < 200; ++i) {
    ITimeObject* o = sys.CreateTimeObject(&obs, 15, 5);
    o->Start(false, 0);
    sys.DestroyTimeObject(o);
  }
  sys.StopTimerThread();
  // The clock counts a step once that step's callbacks have returned, so it is read once the
  // thread has ended: by then it has counted the 100 ms the timer ran.
  const std::uint64_t stoppedAt = sys.GetTimeMs();
  EXPECT_GE(stoppedAt, 100u);
  EXPECT_EQ(stoppedAt % 5, 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(sys.GetTimeMs(), stoppedAt);
  EXPECT_TRUE(sys.StartTimerThread());  // it can run again after a stop
  sys.StopTimerThread();
}

TEST(TimeSystemSingleton, CreateGetDestroy) {
  EXPECT_EQ(GetTimeSystem(), nullptr);
  EXPECT_FALSE(StartTimerThread());
  StopTimerThread();
  CreateTimeSystem();
  ASSERT_NE(GetTimeSystem(), nullptr);
  EXPECT_NE(GetTimeSystem()->CreateTimeObject(nullptr, 5, 5), nullptr);
  EXPECT_TRUE(StartTimerThread());
  StopTimerThread();
  DeleteAllTimeObjects();
  DestroyTimeSystem();
  EXPECT_EQ(GetTimeSystem(), nullptr);
}
