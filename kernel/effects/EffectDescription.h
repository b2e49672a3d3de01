// Effect description files: a head naming a strip image of equal cells and the cell size,
// then named effects, each a series of frames (a cell and how long it shows).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ControlLibrary {
class IImageVO;
}

namespace EffectLibrary {

constexpr std::uint16_t kNoTime = 65535;

struct FrameRecord {
  std::uint16_t index = kNoTime;  // 1 for the strip's first cell
  std::uint16_t time = kNoTime;   // ms
  ControlLibrary::IImageVO* frameVO = nullptr;
};

struct EffectRecord {
  std::string name;
  bool autohide = false;
  std::uint16_t time = kNoTime;  // the frames' default time, ms
  std::vector<FrameRecord> frames;
};

struct AnimationRecord {
  std::string image;  // under "effects/"
  std::uint16_t frameW = 0;
  std::uint16_t frameH = 0;
  std::vector<EffectRecord> effects;
};

// Parses a whole description. False when the head or the first effect is broken; later
// effects that are broken are left out. `out` is only filled on success.
bool ParseEffectDescription(std::string_view text, AnimationRecord& out);

}  // namespace EffectLibrary
