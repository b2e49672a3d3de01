// The screen size and full-screen choice, read from "resolution.opt" before the window
// exists. The game's option code saves them back and uses the same values.
#pragma once

#include <cstdint>
#include <string>

namespace KernelLibrary {

// Reads prefix + "resolution.opt" (big-endian u16 resolution index, u8 display mode flag)
// when it exists; an index outside the table becomes 0.
void LoadResolution(const std::string& prefix);
// Width and height of the table entry at the resolution index: 1024 x 768 or 1280 x 800.
void GetResolutionSize(int& width, int& height);
std::uint16_t GetResolutionIndex();
std::uint8_t GetDisplayModeFlag();
void SetDisplayModeFlag(std::uint8_t flag);

}  // namespace KernelLibrary
