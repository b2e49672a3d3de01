// The effect library's interfaces: effects that animate visual objects over timer time
// (move, timer, switcher, animation), the effect system that creates and owns them, and the
// observer an effect reports to. All effect callbacks run on the timing thread.
#pragma once

#include <cstdint>
#include <string>

#include "kernel/controls/IImageVO.h"
#include "kernel/controls/IStringVO.h"
#include "kernel/controls/IVisibleObject.h"
#include "kernel/time/ITimeSystem.h"

namespace EffectLibrary {

// Every callback carries the id of the effect.
class EffectMessageObserver {
 public:
  virtual ~EffectMessageObserver() = default;
  virtual void OnEffectStarted(std::uint32_t id) {}
  virtual void OnEffectUnused(std::uint32_t id) {}
  virtual void OnEffectFinished(std::uint32_t id) {}
  virtual void OnEffectStep(std::uint32_t id) {}
  // A move that the object refused: the step was undone.
  virtual void OnEffectBlocked(std::uint32_t id) {}
};

class IEffect {
 public:
  virtual ~IEffect() = default;
  virtual std::uint32_t GetId() = 0;
  virtual void SetDuration(std::int32_t ms) = 0;
  // hold: the effect's objects stay hidden and the timer paused until it is resumed.
  virtual bool Start(bool hold, std::uint16_t delayMs) = 0;
  virtual void SetPaused(bool paused) = 0;
  virtual void Stop() = 0;
  virtual bool IsRunning() = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetUserValue(std::int32_t value) = 0;
  virtual std::int32_t GetUserValue() = 0;
};

// Moves one object from a start point to an end point, in a given time (SetDuration) or at
// a given speed in pixels per second (SetSpeed).
class IState2MoveEffect : public IEffect {
 public:
  virtual void SetSpeed(std::int32_t pixelsPerSecond) = 0;
  // Only while running in speed mode.
  virtual void ChangeSpeed(std::int32_t pixelsPerSecond) = 0;
  virtual void SaveState() = 0;
  virtual void RestoreState() = 0;
  // Takes a reference on the object; null is ignored.
  virtual void SetVO(ControlLibrary::IVisibleObject* vo) = 0;
  virtual void SetStartPoint(int x, int y) = 0;
  virtual void SetEndPoint(int x, int y) = 0;
  virtual void SetHideOnStop(bool hide) = 0;
  virtual bool HasMoved() = 0;
  virtual std::int32_t GetSpeed() = 0;
  virtual ControlLibrary::IVisibleObject* GetVO() = 0;
  virtual ControlLibrary::VOPoint GetStartPoint() = 0;
  virtual ControlLibrary::VOPoint GetEndPoint() = 0;
};

// Counts seconds up or down once a second and writes them as "MM : SS" into a text object.
class ITimerEffect : public IEffect {
 public:
  virtual void SetVO(ControlLibrary::IStringVO* vo) = 0;
  virtual void SetCountDown(bool countDown) = 0;
  virtual void SetPosition(int x, int y) = 0;
  virtual void SetEndless(bool endless) = 0;
};

// Shows its objects one after the other in a loop, one per period.
class ISwitcherVoEffect : public IEffect {
 public:
  virtual void AddVO(ControlLibrary::IVisibleObject* vo) = 0;
  virtual void SetPeriod(std::uint16_t ms) = 0;
  virtual void SetHideOnStop(bool hide) = 0;
};

// Plays the frame series of an effect description file; played with StartEffect (Start
// does nothing).
class IAnimationEffect : public IEffect {
 public:
  virtual void ShowFirstFrame(std::int16_t effectIndex, bool visible) = 0;
  virtual void StartEffect(std::int16_t effectIndex) = 0;
  virtual void Reserved() = 0;  // does nothing
  virtual std::int32_t GetEffectCount() = 0;
  virtual bool Load(const std::string& fileName) = 0;
  virtual void SetPosition(int x, int y) = 0;
  virtual void SetAlignment(std::uint32_t horizontal, std::uint32_t vertical) = 0;
  virtual void SetLayer(std::uint16_t layer) = 0;
};

class IEffectSystem {
 public:
  virtual ~IEffectSystem() = default;
  // The observer is required. Null when all 2,047 effect ids (or the time system's ids) are
  // in use.
  virtual IState2MoveEffect* CreateState2MoveEffect(EffectMessageObserver* observer,
                                                    ControlLibrary::IVisibleObject* vo, std::int32_t limitMs) = 0;
  // Stops a running effect, then deletes it; null and unknown effects are ignored. An effect
  // destroyed from inside one of its own calls (a report to its observer, a timer reaction,
  // an operation that hides or shows an object) reports nothing more and is deleted once
  // that call has returned. DeleteAllEffects does the same for each effect.
  virtual void DestroyEffect(IEffect* effect) = 0;
  virtual ITimerEffect* CreateTimerEffect(EffectMessageObserver* observer, ControlLibrary::IStringVO* vo,
                                          std::int32_t limitMs) = 0;
  virtual ISwitcherVoEffect* CreateSwitcherEffect(EffectMessageObserver* observer) = 0;
  virtual IAnimationEffect* CreateAnimationEffect(EffectMessageObserver* observer) = 0;
};

// The one effect system of the process; the kernel hands it the time system after creation.
void CreateEffectSystem();
IEffectSystem* GetEffectSystem();
void SetEffectTimeSystem(TimeLibrary::ITimeSystem* timeSystem);
void DestroyEffectSystem();
void DeleteAllEffects();

}  // namespace EffectLibrary
