// The effect system: creates the effects on the time system it was given and owns them in a
// fixed table indexed by effect id (1 to 2,047).
#pragma once

#include <array>
#include <bitset>
#include <mutex>

#include "kernel/effects/IEffectSystem.h"

namespace EffectLibrary {

class EffectSystem_impl : public IEffectSystem {
 public:
  static constexpr std::uint32_t kSlots = 2048;

  EffectSystem_impl() = default;
  ~EffectSystem_impl() override;
  EffectSystem_impl(const EffectSystem_impl&) = delete;
  EffectSystem_impl& operator=(const EffectSystem_impl&) = delete;

  void SetTimeSystem(TimeLibrary::ITimeSystem* timeSystem) { mTimeSystem = timeSystem; }

  IState2MoveEffect* CreateState2MoveEffect(EffectMessageObserver* observer, ControlLibrary::IVisibleObject* vo,
                                            std::int32_t limitMs) override;
  void DestroyEffect(IEffect* effect) override;
  ITimerEffect* CreateTimerEffect(EffectMessageObserver* observer, ControlLibrary::IStringVO* vo,
                                  std::int32_t limitMs) override;
  ISwitcherVoEffect* CreateSwitcherEffect(EffectMessageObserver* observer) override;
  IAnimationEffect* CreateAnimationEffect(EffectMessageObserver* observer) override;

  void DeleteAllEffects();

 private:
  template <typename Impl, typename... Args>
  Impl* Make(Args&&... args);
  // Lets go of an effect that has left the table.
  static void Retire(IEffect* effect);

  TimeLibrary::ITimeSystem* mTimeSystem = nullptr;
  std::array<IEffect*, kSlots> mTable{};
  std::bitset<kSlots> mReserved;  // ids whose effect is being made
  // Effects are made and destroyed from the main thread and from timer callbacks. The lock
  // guards only the table: it is never held while the time system is called, since timer
  // callbacks come in holding the time system's locks.
  std::mutex mLock;
};

}  // namespace EffectLibrary
