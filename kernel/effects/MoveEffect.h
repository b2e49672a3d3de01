// The move effect: flies one visual object from a start point to an end point, either in a
// fixed time (time mode) or at a speed in pixels per second (speed mode).
#pragma once

#include "kernel/effects/EffectBase.h"

namespace EffectLibrary {

class State2MoveEffectImpl : public EffectImplBase<IState2MoveEffect> {
 public:
  State2MoveEffectImpl(std::uint32_t id, EffectMessageObserver* observer, TimeLibrary::ITimeSystem* timeSystem,
                       ControlLibrary::IVisibleObject* vo, std::int32_t limitMs);
  ~State2MoveEffectImpl() override;

  void SetDuration(std::int32_t ms) override;
  bool Start(bool hold, std::uint16_t delayMs) override;
  // Resuming an effect held without a delay shows its object and reports the start, which
  // the timer never does for a start that was paused and not delayed.
  void SetPaused(bool paused) override;
  void Stop() override;
  void SetVisible(bool visible) override;

  void SetSpeed(std::int32_t pixelsPerSecond) override;
  void ChangeSpeed(std::int32_t pixelsPerSecond) override;
  void SaveState() override;
  void RestoreState() override;
  void SetVO(ControlLibrary::IVisibleObject* vo) override;
  void SetStartPoint(int x, int y) override { mStart = {x, y}; }
  void SetEndPoint(int x, int y) override { mEnd = {x, y}; }
  void SetHideOnStop(bool hide) override { mHideOnStop = hide; }
  bool HasMoved() override { return mMoved; }
  std::int32_t GetSpeed() override { return mSpeed; }
  ControlLibrary::IVisibleObject* GetVO() override { return mVO; }
  ControlLibrary::VOPoint GetStartPoint() override { return mStart; }
  ControlLibrary::VOPoint GetEndPoint() override { return mEnd; }

  // Pixels per tick and the tick period that Start chose.
  float GetStepX() const { return mStepX; }
  float GetStepY() const { return mStepY; }

 protected:
  void TimerStarted() override;
  void TimerTicked() override;
  void TimerFinished() override;

 private:
  bool ComputeSteps();

  float mDistance = 0.0f;
  ControlLibrary::IVisibleObject* mVO = nullptr;
  ControlLibrary::VOPoint mStart;
  ControlLibrary::VOPoint mEnd;
  std::int32_t mSavedSpeed = 0;
  float mSavedStepX = 0.0f;
  float mSavedStepY = 0.0f;
  std::int32_t mSpeed = 0;  // 0: the move takes the timer's limit
  float mPosX = 0.0f;
  float mPosY = 0.0f;
  float mStepX = 0.0f;
  float mStepY = 0.0f;
  bool mHideOnStop = true;
  bool mStopped = true;  // no move under way: not started, stopped or finished
  bool mShowOnStart = false;
  bool mHeldWithoutDelay = false;
  bool mMoved = false;
};

}  // namespace EffectLibrary
