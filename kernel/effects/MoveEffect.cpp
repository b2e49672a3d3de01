// The move effect's step arithmetic and its reactions to the timer.
#include "kernel/effects/MoveEffect.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "kernel/controls/Factory.h"

namespace EffectLibrary {

namespace {

// Gives back the reference the effect took on its object: an object of the factory goes
// with its last reference (the game may have deleted it already, while the effect held it).
void GiveBack(ControlLibrary::IVisibleObject* vo) {
  ControlLibrary::Factory_impl* factory = ControlLibrary::GetFactoryImpl();
  if (factory == nullptr || !factory->GiveBack(vo)) vo->Release();
}

}  // namespace

State2MoveEffectImpl::State2MoveEffectImpl(std::uint32_t id, EffectMessageObserver* observer,
                                           TimeLibrary::ITimeSystem* timeSystem, ControlLibrary::IVisibleObject* vo,
                                           std::int32_t limitMs)
    : EffectImplBase(id, observer, timeSystem) {
  SetVO(vo);
  if (mTimer != nullptr) mTimer->SetLimit(limitMs);
}

State2MoveEffectImpl::~State2MoveEffectImpl() {
  // A move under way is stopped, which hides its object: also one whose timer was given
  // back before it could start (the effect was destroyed while Start showed the object).
  if (!mStopped) Stop();
  QuiesceTimer();
  if (mVO != nullptr) GiveBack(mVO);
}

void State2MoveEffectImpl::SetDuration(std::int32_t ms) {
  mTimer->SetLimit(ms);
  // A run in speed mode made the timer endless; in time mode it must end at the limit.
  mTimer->SetEndless(false);
  mSpeed = 0;
}

void State2MoveEffectImpl::SetSpeed(std::int32_t pixelsPerSecond) {
  mSpeed = pixelsPerSecond;
  mTimer->SetLimit(-1);
}

void State2MoveEffectImpl::ChangeSpeed(std::int32_t pixelsPerSecond) {
  // In time mode there is no speed to scale the steps by.
  if (!mTimer->IsRunning() || mSpeed == 0) return;
  if (pixelsPerSecond < 1) {
    mSpeed = 1;
    return;
  }
  const float ratio = static_cast<float>(mSpeed) / static_cast<float>(pixelsPerSecond);
  mStepX /= ratio;
  mStepY /= ratio;
  mSpeed = pixelsPerSecond;
}

void State2MoveEffectImpl::SaveState() {
  mSavedSpeed = mSpeed;
  mSavedStepX = mStepX;
  mSavedStepY = mStepY;
}

void State2MoveEffectImpl::RestoreState() {
  mSpeed = mSavedSpeed;
  mStepX = mSavedStepX;
  mStepY = mSavedStepY;
}

void State2MoveEffectImpl::SetVO(ControlLibrary::IVisibleObject* vo) {
  if (vo == nullptr) return;
  // The object given back may go now, hidden, and whoever observes it may destroy the effect.
  Busy busy(this);
  vo->AddRef();
  ControlLibrary::IVisibleObject* old = mVO;
  mVO = vo;
  if (old != nullptr) GiveBack(old);
}

void State2MoveEffectImpl::SetVisible(bool visible) {
  Busy busy(this);
  if (mVO != nullptr) mVO->SetVisible(visible);
}

bool State2MoveEffectImpl::ComputeSteps() {
  const int dx = mEnd.x - mStart.x;
  const int dy = mEnd.y - mStart.y;
  const auto adx = static_cast<std::uint16_t>(std::abs(dx));
  const auto ady = static_cast<std::uint16_t>(std::abs(dy));
  const float m = static_cast<float>(std::max(adx, ady));
  float r = 1.0f;
  float rx = 0.0f;
  float ry = 0.0f;
  if (mSpeed != 0) {
    mDistance = std::sqrt(static_cast<float>(dx) * dx + static_cast<float>(dy) * dy);
    mTimer->SetEndless(true);
    // The move time in ms; at least 1, since a speed above 1,000 times the distance would
    // otherwise make it 0 and the steps infinite.
    const float n = std::max(1.0f, std::trunc(m / (static_cast<float>(mSpeed) / 1000.0f)));
    rx = adx / n;
    ry = ady / n;
  } else {
    const std::int32_t limit = mTimer->GetLimit();
    if (limit < 1) return false;
    r = m / static_cast<float>(limit);
    rx = adx / static_cast<float>(limit);
    ry = ady / static_cast<float>(limit);
  }
  const float fiveR = std::fabs(5.0f * r);
  const std::int32_t period = fiveR > 1.0f ? 5 : static_cast<std::int32_t>(5.0f / fiveR);
  mStepX = static_cast<float>(period) * rx;
  if (mStart.x > mEnd.x) mStepX = -mStepX;
  mStepY = static_cast<float>(period) * ry;
  if (mEnd.y < mStart.y) mStepY = -mStepY;
  mTimer->SetPeriod(period);
  mPosX = static_cast<float>(mStart.x);
  mPosY = static_cast<float>(mStart.y);
  return true;
}

bool State2MoveEffectImpl::Start(bool hold, std::uint16_t delayMs) {
  Busy busy(this);
  if (mVO == nullptr || mStart == mEnd || (mTimer->GetLimit() == -1 && mSpeed == 0)) return false;
  if (!ComputeSteps()) return false;
  mVO->SetPosition(mStart);
  if (!hold) mVO->SetVisible(true);
  SaveState();
  mShowOnStart = hold;
  mHeldWithoutDelay = hold && delayMs == 0;
  mStopped = false;
  return mTimer->Start(hold, delayMs);
}

void State2MoveEffectImpl::SetPaused(bool paused) {
  // Being busy holds the callback lock, which keeps the first tick behind the start report,
  // although the timer runs before the report is sent.
  Busy busy(this);
  const bool reportStart = !paused && mHeldWithoutDelay && mTimer->IsRunning();
  if (reportStart) mHeldWithoutDelay = false;
  mTimer->SetPaused(paused);
  // Last, as in every other report: the observer may destroy this effect from it.
  if (reportStart) OnTimerStarted(mId);
}

void State2MoveEffectImpl::Stop() {
  Busy busy(this);
  mTimer->Stop();
  mStopped = true;
  if (mHideOnStop && mVO != nullptr) mVO->SetVisible(false);
}

void State2MoveEffectImpl::TimerStarted() {
  if (mShowOnStart) {
    if (mVO != nullptr) mVO->SetVisible(true);
    mShowOnStart = false;
  }
  NotifyStarted();
}

void State2MoveEffectImpl::TimerTicked() {
  if (mStopped || mVO == nullptr) return;
  mPosX += mStepX;
  mPosY += mStepY;
  if (mTimer->GetLimit() == -1) {
    const float fx = mPosX - static_cast<float>(mStart.x);
    const float fy = mPosY - static_cast<float>(mStart.y);
    if (std::sqrt(fx * fx + fy * fy) > mDistance) {
      mPosX = static_cast<float>(mEnd.x);
      mPosY = static_cast<float>(mEnd.y);
      mVO->SetPosition(mEnd);
      Stop();
      NotifyFinished();
      return;
    }
  }
  const ControlLibrary::VOPoint target{static_cast<int>(mPosX), static_cast<int>(mPosY)};
  const ControlLibrary::VOPoint before = mVO->GetPosition();
  mVO->SetPosition(target);
  const ControlLibrary::VOPoint after = mVO->GetPosition();
  if (after == before && target != before) {
    mPosX -= mStepX;
    mPosY -= mStepY;
    mMoved = false;
    NotifyBlocked();
    return;
  }
  mMoved = true;
  NotifyStep();
}

void State2MoveEffectImpl::TimerFinished() {
  if (mStopped) return;
  mStopped = true;
  if (mHideOnStop && mVO != nullptr) mVO->SetVisible(false);
  NotifyFinished();
}

}  // namespace EffectLibrary
