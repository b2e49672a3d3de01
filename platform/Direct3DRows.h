// Row kernels of the software Direct3D device: runs of 0xAARRGGBB pixels modulated by the
// vertex colour and blended onto the target with the device's own arithmetic, channel by
// channel (c * f + 127) / 255, so a row gives exactly what the pixel-by-pixel walk gives.
// Built twice, for SSE2 and AVX2, and the processor's best is picked when the program loads.
#pragma once

#include <cstdint>

namespace plat::d3drows {

// out[i] = t[i] x m[i] per channel (m[i] given per pixel, or one colour for the run).
void Modulate(std::uint32_t* out, const std::uint32_t* t, const std::uint32_t* m, int n);
void ModulateBy(std::uint32_t* out, const std::uint32_t* t, std::uint32_t m, int n);

// The blends, dst = blend(src, dst) for n pixels. With keepDestAlpha the alpha byte of dst
// is left as it was (a target without alpha keeps whatever its unused byte holds).
// Over: source alpha / inverse source alpha.
void Over(std::uint32_t* dst, const std::uint32_t* src, int n, bool keepDestAlpha);
// Source alpha / one: dst + src x alpha, clamped.
void AddWeighted(std::uint32_t* dst, const std::uint32_t* src, int n, bool keepDestAlpha);
// One / one: dst + src, clamped.
void AddBoth(std::uint32_t* dst, const std::uint32_t* src, int n, bool keepDestAlpha);
// One / zero: src.
void Copy(std::uint32_t* dst, const std::uint32_t* src, int n, bool keepDestAlpha);

}  // namespace plat::d3drows
