// The effect table and the process-wide effect system.
#include "kernel/effects/EffectSystem_impl.h"

#include <new>

#include "kernel/effects/AnimationEffect.h"
#include "kernel/effects/MoveEffect.h"
#include "kernel/effects/TimerEffects.h"

namespace EffectLibrary {

EffectSystem_impl::~EffectSystem_impl() { DeleteAllEffects(); }

template <typename Impl, typename... Args>
Impl* EffectSystem_impl::Make(Args&&... args) {
  if (mTimeSystem == nullptr) return nullptr;
  std::lock_guard<std::recursive_mutex> guard(mLock);
  for (std::uint32_t id = 1; id < kSlots; ++id) {
    if (mTable[id] != nullptr) continue;
    auto* effect = new (std::nothrow) Impl(id, std::forward<Args>(args)...);
    if (effect == nullptr) return nullptr;
    // An effect without its time object could never run.
    if (!effect->HasTimer()) {
      delete effect;
      return nullptr;
    }
    mTable[id] = effect;
    return effect;
  }
  return nullptr;
}

IState2MoveEffect* EffectSystem_impl::CreateState2MoveEffect(EffectMessageObserver* observer,
                                                             ControlLibrary::IVisibleObject* vo, std::int32_t limitMs) {
  return Make<State2MoveEffectImpl>(observer, mTimeSystem, vo, limitMs);
}

ITimerEffect* EffectSystem_impl::CreateTimerEffect(EffectMessageObserver* observer, ControlLibrary::IStringVO* vo,
                                                   std::int32_t limitMs) {
  return Make<TimerEffectImpl>(observer, mTimeSystem, vo, limitMs);
}

ISwitcherVoEffect* EffectSystem_impl::CreateSwitcherEffect(EffectMessageObserver* observer) {
  return Make<SwitcherEffectImpl>(observer, mTimeSystem);
}

IAnimationEffect* EffectSystem_impl::CreateAnimationEffect(EffectMessageObserver* observer) {
  return Make<AnimationEffectImpl>(observer, mTimeSystem);
}

void EffectSystem_impl::DestroyEffect(IEffect* effect) {
  if (effect == nullptr) return;
  std::lock_guard<std::recursive_mutex> guard(mLock);
  const std::uint32_t id = effect->GetId();
  if (id == 0 || id >= kSlots || mTable[id] != effect) return;
  if (effect->IsRunning()) effect->Stop();
  mTable[id] = nullptr;
  delete effect;
}

void EffectSystem_impl::DeleteAllEffects() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  for (IEffect*& effect : mTable) {
    delete effect;
    effect = nullptr;
  }
}

namespace {
EffectSystem_impl* gEffectSystem = nullptr;
}

void CreateEffectSystem() {
  if (gEffectSystem == nullptr) gEffectSystem = new (std::nothrow) EffectSystem_impl;
}

IEffectSystem* GetEffectSystem() { return gEffectSystem; }

void SetEffectTimeSystem(TimeLibrary::ITimeSystem* timeSystem) {
  if (gEffectSystem != nullptr) gEffectSystem->SetTimeSystem(timeSystem);
}

void DestroyEffectSystem() {
  delete gEffectSystem;
  gEffectSystem = nullptr;
}

void DeleteAllEffects() {
  if (gEffectSystem != nullptr) gEffectSystem->DeleteAllEffects();
}

}  // namespace EffectLibrary
