// The game's option values and their file "options.opt"; the screen size part is kept by
// the kernel's application, and saved back here beside the other options.
#include "game/Options.h"

#include <algorithm>
#include <vector>

#include "kernel/common/GameFile.h"

namespace Doduderor {

namespace {

constexpr std::uint16_t kDefaultMusicVolume = 20;
constexpr std::uint16_t kDefaultSecondValue = 40;
constexpr std::uint16_t kDefaultThirdValue = 3;
constexpr std::uint16_t kMaxMusicVolume = 100;

std::uint16_t gMusicVolume = kDefaultMusicVolume;
std::uint16_t gSecondValue = kDefaultSecondValue;
std::uint16_t gThirdValue = kDefaultThirdValue;

std::vector<IOptionObserver*>& Observers() {
  static auto* observers = new std::vector<IOptionObserver*>();
  return *observers;
}

}  // namespace

std::uint16_t GetMusicVolumeOption() { return gMusicVolume; }
std::uint16_t GetSecondOptionValue() { return gSecondValue; }
std::uint16_t GetThirdOptionValue() { return gThirdValue; }

void SetMusicVolumeOption(std::uint16_t volume) {
  if (volume == gMusicVolume) return;
  gMusicVolume = std::min(volume, kMaxMusicVolume);
  // A copy, so an observer that registers another one does not disturb the walk.
  const std::vector<IOptionObserver*> observers = Observers();
  for (IOptionObserver* observer : observers) observer->OnMusicVolumeChanged();
}

void AddOptionObserver(IOptionObserver* observer) {
  auto& observers = Observers();
  if (std::find(observers.begin(), observers.end(), observer) == observers.end()) observers.push_back(observer);
}

void RemoveOptionObserver(IOptionObserver* observer) {
  auto& observers = Observers();
  observers.erase(std::remove(observers.begin(), observers.end(), observer), observers.end());
}

void LoadOptions() {
  CommonLibrary::GameFile file("options.opt");
  if (!file.OpenRead()) return;
  if (!file.Open(CommonLibrary::GameFile::kModeReadWrite)) return;
  file.ReadU16(gMusicVolume, 0);
  file.ReadU16(gSecondValue, 2);
  file.ReadU16(gThirdValue, 4);
  file.Close();
}

namespace {

// Replaces one option file whole; a failure keeps the old file and is logged.
template <typename WriteFields>
bool SaveOptionFile(const char* path, WriteFields writeFields) {
  CommonLibrary::GameFile file(path);
  if (!file.OpenWrite() || !file.Open(CommonLibrary::GameFile::kModeReadWrite)) {
    CommonLibrary::ReportSaveFailure(path, "the file cannot be created here");
    return false;
  }
  const bool written = writeFields(file);
  if (file.Close() && written) return true;
  CommonLibrary::ReportSaveFailure(path, file.GetSaveError());
  return false;
}

}  // namespace

bool SaveOptions() {
  const bool options = SaveOptionFile("options.opt", [](CommonLibrary::GameFile& file) {
    return file.WriteU16(gMusicVolume, 0) && file.WriteU16(gSecondValue, 2) && file.WriteU16(gThirdValue, 4);
  });
  const bool resolution = SaveOptionFile("resolution.opt", [](CommonLibrary::GameFile& file) {
    return file.WriteU16(KernelLibrary::GetResolutionIndex(), 0) && file.WriteU8(GetDisplayModeFlag(), 2);
  });
  return options && resolution;
}

void ResetOptionsToDefaults() {
  gMusicVolume = kDefaultMusicVolume;
  gSecondValue = kDefaultSecondValue;
  gThirdValue = kDefaultThirdValue;
  Observers().clear();
}

}  // namespace Doduderor
