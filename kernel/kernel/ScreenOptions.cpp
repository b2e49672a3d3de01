// The process-wide screen size index and full-screen flag.
#include "kernel/kernel/ScreenOptions.h"

#include "kernel/common/GameFile.h"

namespace KernelLibrary {

namespace {

struct ResolutionEntry {
  int width;
  int height;
};
constexpr ResolutionEntry kResolutions[] = {{1024, 768}, {1280, 800}};
constexpr std::uint16_t kResolutionCount = sizeof(kResolutions) / sizeof(kResolutions[0]);

std::uint16_t gResolutionIndex = 0;
std::uint8_t gDisplayModeFlag = 0;

}  // namespace

void LoadResolution(const std::string& prefix) {
  CommonLibrary::GameFile file(prefix + "resolution.opt");
  if (file.OpenRead() && file.Open(CommonLibrary::GameFile::kModeReadWrite)) {
    file.ReadU16(gResolutionIndex, 0);
    file.ReadU8(gDisplayModeFlag, 2);
    file.Close();
  }
  if (gResolutionIndex >= kResolutionCount) gResolutionIndex = 0;
}

void GetResolutionSize(int& width, int& height) {
  const std::uint16_t index = gResolutionIndex < kResolutionCount ? gResolutionIndex : 0;
  width = kResolutions[index].width;
  height = kResolutions[index].height;
}

std::uint16_t GetResolutionIndex() { return gResolutionIndex; }
std::uint8_t GetDisplayModeFlag() { return gDisplayModeFlag; }
void SetDisplayModeFlag(std::uint8_t flag) { gDisplayModeFlag = flag; }

}  // namespace KernelLibrary
