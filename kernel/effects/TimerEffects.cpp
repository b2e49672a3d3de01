// The seconds clock and the object switcher.
#include "kernel/effects/TimerEffects.h"

namespace EffectLibrary {

std::string FormatMinutesSeconds(std::uint32_t seconds) {
  auto twoDigits = [](std::uint32_t v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
  };
  return twoDigits(seconds / 60) + " : " + twoDigits(seconds % 60);
}

// ---- timer effect ----

TimerEffectImpl::TimerEffectImpl(std::uint32_t id, EffectMessageObserver* observer,
                                 TimeLibrary::ITimeSystem* timeSystem, ControlLibrary::IStringVO* vo,
                                 std::int32_t limitMs)
    : EffectImplBase(id, observer, timeSystem), mStringVO(vo) {
  if (mTimer != nullptr) SetDuration(limitMs);
}

void TimerEffectImpl::SetDuration(std::int32_t ms) { mTimer->SetTimes(ms, 1000); }

void TimerEffectImpl::SetEndless(bool endless) {
  mTimer->SetEndless(endless);
  mTimer->SetPeriod(1000);
}

bool TimerEffectImpl::Start(bool hold, std::uint16_t delayMs) {
  Busy busy(this);
  mSeconds = CountsDown() ? static_cast<std::uint16_t>(mTimer->GetLimit() / 1000) : 0;
  return mTimer->Start(hold, delayMs);
}

void TimerEffectImpl::SetVisible(bool visible) {
  Busy busy(this);
  if (mStringVO != nullptr) mStringVO->SetVisible(visible);
}

void TimerEffectImpl::SetVO(ControlLibrary::IStringVO* vo) {
  if (vo == nullptr) return;
  mStringVO = vo;
  mStringVO->SetPosition(mPosition);
}

void TimerEffectImpl::SetPosition(int x, int y) {
  mPosition = {x, y};
  if (mStringVO != nullptr) mStringVO->SetPosition(mPosition);
}

void TimerEffectImpl::TimerTicked() {
  if (CountsDown()) {
    // The time system sends one more tick at the limit; a count-down stays at zero.
    if (mSeconds > 0) --mSeconds;
  } else {
    ++mSeconds;
  }
  if (mStringVO != nullptr) mStringVO->SetText(FormatMinutesSeconds(mSeconds));
  NotifyStep();
}

void TimerEffectImpl::TimerFinished() { NotifyFinished(); }

// ---- switcher effect ----

SwitcherEffectImpl::SwitcherEffectImpl(std::uint32_t id, EffectMessageObserver* observer,
                                       TimeLibrary::ITimeSystem* timeSystem)
    : EffectImplBase(id, observer, timeSystem) {}

bool SwitcherEffectImpl::Start(bool hold, std::uint16_t delayMs) {
  Busy busy(this);
  if (mPeriod <= 0 || mObjects.empty()) return false;
  mTimer->SetPeriod(mPeriod);
  mTimer->SetLimit(-1);
  mTimer->SetEndless(true);
  mCurrent = 0;
  return mTimer->Start(hold, delayMs);
}

void SwitcherEffectImpl::SetVisible(bool visible) {
  Busy busy(this);
  if (!visible && mTimer->IsRunning()) mTimer->SetPaused(true);
  if (ControlLibrary::IVisibleObject* vo = Current()) vo->SetVisible(true);
}

void SwitcherEffectImpl::TimerTicked() {
  if (mObjects.empty()) return;
  if (ControlLibrary::IVisibleObject* vo = Current()) vo->SetVisible(false);
  // The hidden object's leave report may have destroyed the switcher, and with it perhaps
  // the objects it does not own: it shows none of them any more.
  if (IsRetired()) return;
  mCurrent = static_cast<std::uint16_t>(mCurrent + 1u < mObjects.size() ? mCurrent + 1u : 0u);
  if (ControlLibrary::IVisibleObject* vo = Current()) vo->SetVisible(true);
  NotifyStep();
}

void SwitcherEffectImpl::TimerFinished() {
  if (mHideOnStop) {
    if (ControlLibrary::IVisibleObject* vo = Current()) vo->SetVisible(false);
  }
  NotifyFinished();
}

}  // namespace EffectLibrary
