// Small helpers shared by the graphics tests: images built from pixel lists and readable
// pixel comparisons.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/graphics/MemoryImage.h"

namespace gtest_util {

// An image of w x h pixels, every one `fill`.
inline Orvo::MemoryImage* Solid(int w, int h, std::uint32_t fill) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h, fill);
  auto* img = new Orvo::MemoryImage(static_cast<Orvo::OrvoAppBase*>(nullptr));
  img->SetBits(px.data(), w, h);
  return img;
}

inline Orvo::MemoryImage* FromPixels(int w, int h, const std::vector<std::uint32_t>& px) {
  auto* img = new Orvo::MemoryImage(static_cast<Orvo::OrvoAppBase*>(nullptr));
  img->SetBits(px.data(), w, h);
  return img;
}

inline std::uint32_t Px(Orvo::MemoryImage* img, int x, int y) {
  return img->GetBits()[static_cast<std::size_t>(y) * img->mWidth + x];
}

inline std::string Hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

// Largest per-channel difference of two pixels.
inline int ChannelDiff(std::uint32_t a, std::uint32_t b) {
  int worst = 0;
  for (int s = 0; s < 32; s += 8) {
    int d = static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF);
    worst = std::max(worst, d < 0 ? -d : d);
  }
  return worst;
}

}  // namespace gtest_util
