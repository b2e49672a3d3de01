// libFuzzer target: arbitrary bytes as an effect description. A description that is accepted
// must hold what a player relies on: a named image, named effects and frames whose cells
// count from 1 and whose times are set.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kernel/effects/EffectDescription.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  EffectLibrary::AnimationRecord record;
  if (!EffectLibrary::ParseEffectDescription(std::string_view(reinterpret_cast<const char*>(data), size), record))
    return 0;
  if (record.image.empty() || record.effects.empty()) __builtin_trap();
  for (const EffectLibrary::EffectRecord& effect : record.effects) {
    if (effect.name.empty()) __builtin_trap();
    for (const EffectLibrary::FrameRecord& frame : effect.frames) {
      if (frame.index == 0 || frame.time == EffectLibrary::kNoTime || frame.frameVO != nullptr) __builtin_trap();
    }
  }
  return 0;
}
