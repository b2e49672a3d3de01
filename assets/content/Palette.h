// The one palette every generated picture draws from: a deep blue-teal night for the
// screens, warm parchment for panels and dialogs, amber for focus, and cell states that
// differ in brightness and pattern as well as hue, so they read without red-green vision.
#pragma once

#include "assets/content/Canvas.h"

namespace assets::palette {

inline constexpr Rgba kNightTop{18, 34, 58};
inline constexpr Rgba kNightBottom{24, 74, 92};
inline constexpr Rgba kParchment{244, 236, 216};
inline constexpr Rgba kParchmentShade{222, 208, 178};
inline constexpr Rgba kInk{40, 36, 32};
inline constexpr Rgba kFrame{120, 86, 48};
inline constexpr Rgba kFrameLight{196, 156, 96};
inline constexpr Rgba kAmber{236, 172, 52};
inline constexpr Rgba kAmberDeep{190, 104, 18};
inline constexpr Rgba kWhite{255, 255, 255};
inline constexpr Rgba kShadow{0, 0, 0, 90};

// Button faces: steel blue at rest, deeper on hover (light hover captions) or lighter for
// picture-only buttons, darkest pressed, and a flat slate grey when disabled: a muted face
// on which the light grey of disabled captions is low in contrast while the black of a
// selected tab (a disabled one) still reads.
inline constexpr Rgba kFaceTop{128, 158, 194};
inline constexpr Rgba kFaceBottom{84, 110, 148};
inline constexpr Rgba kHoverTop{70, 88, 124};
inline constexpr Rgba kHoverBottom{46, 60, 92};
inline constexpr Rgba kBrightHoverTop{184, 212, 242};
inline constexpr Rgba kBrightHoverBottom{132, 166, 210};
inline constexpr Rgba kPressedTop{30, 38, 58};
inline constexpr Rgba kPressedBottom{44, 56, 82};
inline constexpr Rgba kDisabledTop{112, 118, 128};
inline constexpr Rgba kDisabledBottom{104, 110, 120};
inline constexpr Rgba kDisabledEdge{78, 84, 94};

// Cells. White digits sit on all four; each state also has its own mark.
inline constexpr Rgba kCell{58, 86, 134};        // normal: slate blue
inline constexpr Rgba kCellSelected{196, 112, 16};// selected line: amber, bright rim
inline constexpr Rgba kCellFixed{22, 128, 112};   // "green": teal with a light inner ring
inline constexpr Rgba kCellRefused{150, 24, 64};  // "red": crimson with diagonal stripes

} // namespace assets::palette
