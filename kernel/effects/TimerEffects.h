// Two effects driven by a plain periodic timer: the clock that counts seconds into a text
// object, and the switcher that shows a list of objects one after the other.
#pragma once

#include <string>
#include <vector>

#include "kernel/effects/EffectBase.h"

namespace EffectLibrary {

// "MM : SS" for a count of seconds, each part at least two digits.
std::string FormatMinutesSeconds(std::uint32_t seconds);

class TimerEffectImpl : public EffectImplBase<ITimerEffect> {
 public:
  TimerEffectImpl(std::uint32_t id, EffectMessageObserver* observer, TimeLibrary::ITimeSystem* timeSystem,
                  ControlLibrary::IStringVO* vo, std::int32_t limitMs);
  ~TimerEffectImpl() override { QuiesceTimer(); }

  void SetDuration(std::int32_t ms) override;
  bool Start(bool hold, std::uint16_t delayMs) override;
  void SetVisible(bool visible) override;

  void SetVO(ControlLibrary::IStringVO* vo) override;
  void SetCountDown(bool countDown) override { mCountDown = countDown; }
  void SetPosition(int x, int y) override;
  void SetEndless(bool endless) override;

  std::uint16_t GetSeconds() const { return mSeconds; }

 protected:
  void TimerTicked() override;
  void TimerFinished() override;

 private:
  bool CountsDown() { return mCountDown && !mTimer->IsEndless(); }

  ControlLibrary::IStringVO* mStringVO = nullptr;
  bool mCountDown = false;
  std::uint16_t mSeconds = 0;
  ControlLibrary::VOPoint mPosition;
};

class SwitcherEffectImpl : public EffectImplBase<ISwitcherVoEffect> {
 public:
  SwitcherEffectImpl(std::uint32_t id, EffectMessageObserver* observer, TimeLibrary::ITimeSystem* timeSystem);
  ~SwitcherEffectImpl() override { QuiesceTimer(); }

  void SetDuration(std::int32_t) override {}
  bool Start(bool hold, std::uint16_t delayMs) override;
  void SetVisible(bool visible) override;

  void AddVO(ControlLibrary::IVisibleObject* vo) override { mObjects.push_back(vo); }
  void SetPeriod(std::uint16_t ms) override { mPeriod = ms; }
  void SetHideOnStop(bool hide) override { mHideOnStop = hide; }

 protected:
  void TimerTicked() override;
  void TimerFinished() override;

 private:
  ControlLibrary::IVisibleObject* Current() { return mCurrent < mObjects.size() ? mObjects[mCurrent] : nullptr; }

  std::vector<ControlLibrary::IVisibleObject*> mObjects;
  std::int32_t mPeriod = -1;  // ms; not set until SetPeriod
  bool mHideOnStop = true;
  std::uint16_t mCurrent = 0;
};

}  // namespace EffectLibrary
