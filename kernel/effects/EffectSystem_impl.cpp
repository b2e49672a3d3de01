// The effect table and the process-wide effect system.
#include "kernel/effects/EffectSystem_impl.h"

#include <algorithm>
#include <new>

#include "kernel/effects/AnimationEffect.h"
#include "kernel/effects/EffectBase.h"
#include "kernel/effects/MoveEffect.h"
#include "kernel/effects/TimerEffects.h"

namespace EffectLibrary {

EffectSystem_impl::~EffectSystem_impl() { DeleteAllEffects(); }

template <typename Impl, typename... Args>
Impl* EffectSystem_impl::Make(Args&&... args) {
  if (mTimeSystem == nullptr) return nullptr;
  std::uint32_t id = 0;
  {
    std::lock_guard<std::mutex> guard(mLock);
    for (std::uint32_t i = 1; i < kSlots && id == 0; ++i) {
      if (mTable[i] == nullptr && !mReserved[i]) id = i;
    }
    if (id == 0) return nullptr;
    mReserved[id] = true;
  }
  auto* effect = new (std::nothrow) Impl(id, std::forward<Args>(args)...);
  // An effect without its time object could never run.
  if (effect != nullptr && !effect->HasTimer()) {
    delete effect;
    effect = nullptr;
  }
  std::lock_guard<std::mutex> guard(mLock);
  mReserved[id] = false;
  mTable[id] = effect;
  return effect;
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
  {
    std::lock_guard<std::mutex> guard(mLock);
    // Found by address, so an effect that is already gone is ignored without being touched.
    auto slot = std::find(mTable.begin() + 1, mTable.end(), effect);
    if (slot == mTable.end()) return;
    *slot = nullptr;
  }
  if (effect->IsRunning()) effect->Stop();
  Retire(effect);
}

void EffectSystem_impl::Retire(IEffect* effect) {
  // Every effect in the table was made by Make, so every one has the shared part. Destroyed
  // from inside one of its own calls, the effect lives on, silent, until that call has returned.
  dynamic_cast<EffectBase&>(*effect).Retire();
}

void EffectSystem_impl::DeleteAllEffects() {
  std::array<IEffect*, kSlots> doomed{};
  {
    std::lock_guard<std::mutex> guard(mLock);
    doomed.swap(mTable);
  }
  for (IEffect* effect : doomed) {
    if (effect != nullptr) Retire(effect);
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
  // Deleting the effects stops them, which may hide objects whose observers call back in
  // here: they find no effect system.
  EffectSystem_impl* system = gEffectSystem;
  gEffectSystem = nullptr;
  delete system;
}

void DeleteAllEffects() {
  if (gEffectSystem != nullptr) gEffectSystem->DeleteAllEffects();
}

}  // namespace EffectLibrary
