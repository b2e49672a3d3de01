// libFuzzer target: arbitrary bytes as the game's option files. The first byte says where
// the input splits into "options.opt" and "resolution.opt"; both are read as at start-up,
// written back and read again. Whatever was read, the screen size is one of the table's and
// a second round trip gives back the same values.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "game/Options.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Values {
  std::uint16_t music, second, third;
  int width, height;
  std::uint8_t displayMode;
  bool operator==(const Values&) const = default;
};

Values ReadBoth() {
  Doduderor::ResetOptionsToDefaults();
  Doduderor::SetDisplayModeFlag(0);
  Doduderor::LoadOptions();
  Doduderor::LoadResolution("");
  Values v{Doduderor::GetMusicVolumeOption(), Doduderor::GetSecondOptionValue(), Doduderor::GetThirdOptionValue(), 0, 0,
           Doduderor::GetDisplayModeFlag()};
  Doduderor::GetResolutionSize(v.width, v.height);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = [] {
    std::filesystem::current_path(ScratchFolder());
    return true;
  }();
  (void)ready;
  if (size == 0) return 0;
  const std::size_t split = 1 + std::min<std::size_t>(data[0], size - 1);
  WriteScratchFile("options.opt", data + 1, split - 1);
  WriteScratchFile("resolution.opt", data + split, size - split);

  const Values first = ReadBoth();
  if (!((first.width == 1024 && first.height == 768) || (first.width == 1280 && first.height == 800))) __builtin_trap();
  Doduderor::SaveOptions();
  if (!(ReadBoth() == first)) __builtin_trap();
  return 0;
}
