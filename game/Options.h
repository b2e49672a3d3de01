// The game's process-wide option values (music volume, two further stored values, screen
// size index, full-screen flag), the files "options.opt" and "resolution.opt" that keep
// them, and the observers told when the music volume changes.
#pragma once

#include <cstdint>
#include <string>

#include "kernel/kernel/ScreenOptions.h"

namespace Doduderor {

// Told after every change of the music volume (first callback); nothing calls the second.
class IOptionObserver {
 public:
  virtual ~IOptionObserver() = default;
  virtual void OnMusicVolumeChanged() = 0;
  virtual void OnOptionUnused() = 0;
};

// The screen size and full-screen flag live with the kernel's application, which reads
// them before the window exists; the game uses the same values.
using KernelLibrary::GetDisplayModeFlag;
using KernelLibrary::GetResolutionSize;
using KernelLibrary::LoadResolution;
using KernelLibrary::SetDisplayModeFlag;

std::uint16_t GetMusicVolumeOption();
// Stores the volume (at most 100) and tells every observer; the current value changes nothing.
void SetMusicVolumeOption(std::uint16_t volume);
// The two further values kept in "options.opt".
std::uint16_t GetSecondOptionValue();
std::uint16_t GetThirdOptionValue();

// Appends the observer unless it is already registered; observers are not owned.
void AddOptionObserver(IOptionObserver* observer);
void RemoveOptionObserver(IOptionObserver* observer);

// Reads "options.opt" from the current directory; a missing file or short field keeps the value.
void LoadOptions();
// Writes "options.opt" and then "resolution.opt" to the current directory, each replaced
// whole. A file that cannot be written keeps its previous contents and the failure is
// logged; false when either failed.
bool SaveOptions();

// Puts every value back to its start-up default and forgets the observers (for tests).
void ResetOptionsToDefaults();

}  // namespace Doduderor
