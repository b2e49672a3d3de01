// Software textured triangles: a strip is cut into triangles, each is clipped against the
// clip rectangle, converted to fixed point and handed as a fan to a span filler chosen by
// the kind of drawing and the destination's pixel format.
#pragma once

#include <array>
#include <cstdint>

#include "framework/graphics/Color.h"
#include "framework/graphics/Image.h"
#include "framework/graphics/Rect.h"

namespace Orvo {

class MemoryImage;

// Destination format codes.
constexpr int RASTER_FORMAT_8888 = 0x8888;
constexpr int RASTER_FORMAT_888 = 0x888;
constexpr int RASTER_FORMAT_565 = 0x565;
constexpr int RASTER_FORMAT_555 = 0x555;

// A vertex in the filler's fixed-point form: x, y and u, v in 16.16 (u, v in texels);
// a, r, g, b each channel shifted left by 16. Positions and texel coordinates are 64-bit:
// images are up to 32767 pixels a side, and a texture coordinate past 1 on such a texture
// no longer fits 16.16 in 32 bits.
struct RasterVertex {
  std::int64_t x = 0;
  std::int64_t y = 0;
  int a = 0;
  int r = 0;
  int g = 0;
  int b = 0;
  std::int64_t u = 0;
  std::int64_t v = 0;
};

struct RasterTexture {
  const std::uint32_t* bits = nullptr;
  int shift = 0;
  std::int64_t maxU = 0;
  std::int64_t maxV = 0;
  int width = 0;
  std::int64_t size = 0;
  int height = 0;
};

struct RasterTint {
  int a = 255;
  int r = 255;
  int g = 255;
  int b = 255;
};

// The pixels a filler may write, inclusive on every side.
struct RasterClip {
  int left = 0;
  int top = 0;
  int right = -1;
  int bottom = -1;
};

using SpanFiller = void (*)(const RasterVertex* verts, void* destBits, int destPitch, const RasterTexture* texture,
                            const RasterTint* tint, const RasterClip* clip);

// Index bits into the filler table.
enum : int {
  RASTER_BIT_CALLER_BLEND = 1,
  RASTER_BIT_WHITE_TINT = 2,
  RASTER_BIT_VERTEX_COLOR = 4,
  RASTER_BIT_BLEND = 8,
  RASTER_BIT_TEXTURE = 16,
  RASTER_BIT_FORMAT_888 = 32,
  RASTER_BIT_FORMAT_565 = 64,
  RASTER_BIT_FORMAT_555 = 96,
};

// The 128 span fillers, indexed as above. Process-wide; tests may swap entries to watch calls.
extern std::array<SpanFiller, 128> gSpanFillers;

int SpanFillerIndex(bool textured, bool blending, bool vertexColors, bool whiteTint, int destFormat, bool callerBlend);

// Draws a triangle strip of `count` vertices (3 for one triangle) into destBits, a raw image
// of destPitch bytes per row that the clip rectangle must lie inside. The texture may be
// null; a null tint is white. The draw mode takes no part: triangles are drawn normally.
void RasterizeTriangle(const TriVertex* vertices, int count, MemoryImage* texture, const Color* tint, int drawMode,
                       const Rect* clipRect, void* destBits, int destPitch, int destFormat, bool blend,
                       bool vertexColors);

// Clips one triangle against the inclusive edges; returns the vertex count of the clipped
// polygon written to out (room for 16), 0 when fewer than 3 remain.
int ClipTriangle(const TriVertex* tri, float left, float right, float top, float bottom, TriVertex* out);

}  // namespace Orvo
