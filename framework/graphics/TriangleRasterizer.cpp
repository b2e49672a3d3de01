// Software textured triangles: strip to triangles, Sutherland-Hodgman clipping against the
// inclusive clip edges, conversion to fixed point, and the span fillers that write pixels
// (nearest or bilinear texels, tint, vertex colours, into 32-bit and 16-bit destinations).
#include "framework/graphics/TriangleRasterizer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "framework/graphics/BlendMath.h"
#include "framework/graphics/DrawCoords.h"
#include "framework/graphics/MemoryImage.h"

namespace Orvo {

using namespace blend;

namespace {

// ---------------------------------------------------------------------------------------------
// Span fillers

// Fixed-point values are kept within +-2^47: 2^31 texels or pixels, beyond every image by far,
// and exact in a double.
constexpr double kFixedLimit = 140737488355328.0;

inline std::int64_t FixedFrom(double v) { return static_cast<std::int64_t>(std::clamp(v, -kFixedLimit, kFixedLimit)); }

inline std::uint32_t Mul8(std::uint32_t c, std::uint32_t m) { return (c * (m + 1)) >> 8; }

inline std::uint32_t Lerp8(std::uint32_t a, std::uint32_t b, std::uint32_t f) { return (a * (256 - f) + b * f) >> 8; }

// The whole texel of a 16.16 coordinate, kept inside 0..size - 1.
inline int Texel(std::int64_t c, int size) {
  return static_cast<int>(std::clamp<std::int64_t>(c >> 16, 0, size - 1));
}

std::uint32_t SampleNearest(const RasterTexture* t, std::int64_t u, std::int64_t v) {
  int x = Texel(u, t->width);
  int y = Texel(v, t->height);
  return t->bits[static_cast<std::size_t>(y) * t->width + x];
}

std::uint32_t SampleLinear(const RasterTexture* t, std::int64_t u, std::int64_t v) {
  std::int64_t uu = u - 0x8000;
  std::int64_t vv = v - 0x8000;
  std::uint32_t fx = static_cast<std::uint32_t>(uu >> 8) & 0xFF;
  std::uint32_t fy = static_cast<std::uint32_t>(vv >> 8) & 0xFF;
  int x0 = Texel(uu, t->width);
  int y0 = Texel(vv, t->height);
  int x1 = Texel(uu + 0x10000, t->width);
  int y1 = Texel(vv + 0x10000, t->height);
  const std::uint32_t* r0 = t->bits + static_cast<std::size_t>(y0) * t->width;
  const std::uint32_t* r1 = t->bits + static_cast<std::size_t>(y1) * t->width;
  std::uint32_t p00 = r0[x0], p10 = r0[x1], p01 = r1[x0], p11 = r1[x1];
  auto ch = [&](int shift) {
    std::uint32_t top = Lerp8((p00 >> shift) & 0xFF, (p10 >> shift) & 0xFF, fx);
    std::uint32_t bottom = Lerp8((p01 >> shift) & 0xFF, (p11 >> shift) & 0xFF, fx);
    return Lerp8(top, bottom, fy);
  };
  return Pack(ch(24), ch(16), ch(8), ch(0));
}

// Writes colour (r, g, b) with alpha a into one destination pixel of the given format.
template <int Format>
inline void WritePixel(std::uint8_t* row, int x, std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  if constexpr (Format == RASTER_BIT_FORMAT_565 || Format == RASTER_BIT_FORMAT_555) {
    std::uint16_t* p = reinterpret_cast<std::uint16_t*>(row) + x;
    constexpr int gBits = Format == RASTER_BIT_FORMAT_565 ? 6 : 5;
    constexpr int rShift = Format == RASTER_BIT_FORMAT_565 ? 11 : 10;
    if (a < 255) {
      std::uint32_t d = *p;
      std::uint32_t dr = (d >> rShift) & 0x1F, dg = (d >> 5) & ((1u << gBits) - 1), db = d & 0x1F;
      dr = (dr << 3) | (dr >> 2);
      dg = gBits == 6 ? ((dg << 2) | (dg >> 4)) : ((dg << 3) | (dg >> 2));
      db = (db << 3) | (db >> 2);
      r = (dr * (256 - a) + r * a) >> 8;
      g = (dg * (256 - a) + g * a) >> 8;
      b = (db * (256 - a) + b * a) >> 8;
    }
    *p = static_cast<std::uint16_t>(((r >> 3) << rShift) | ((g >> (8 - gBits)) << 5) | (b >> 3));
  } else {
    std::uint32_t* p = reinterpret_cast<std::uint32_t*>(row) + x;
    if (a == 255) {
      *p = Pack(255, r, g, b);
    } else if constexpr (Format == RASTER_BIT_FORMAT_888) {
      *p = OverFill(*p | 0xFF000000u, r, g, b, a);
    } else {
      *p = OverFill(*p, r, g, b, a);
    }
  }
}

// One triangle of fixed-point vertices. Pixel (i, j) is drawn when its point (i, j) lies inside
// the triangle; points on an edge belong to a top or left edge only, so triangles that share
// an edge never draw a pixel twice.
template <int Index>
void FillTriangle(const RasterVertex* v, void* destBits, int destPitch, const RasterTexture* tex,
                  const RasterTint* tint, const RasterClip* clip) {
  constexpr bool kTextured = (Index & RASTER_BIT_TEXTURE) != 0;
  constexpr bool kVertexColor = (Index & RASTER_BIT_VERTEX_COLOR) != 0;
  constexpr bool kWhite = (Index & RASTER_BIT_WHITE_TINT) != 0;
  constexpr bool kLinear = (Index & RASTER_BIT_CALLER_BLEND) != 0;
  constexpr int kFormat = Index & 96;
  if (kTextured && (tex == nullptr || tex->bits == nullptr || tex->width <= 0 || tex->height <= 0)) return;

  // Edge functions in 24.8 fixed point: exact, and far from overflowing 64 bits.
  std::int64_t x[3], y[3];
  for (int i = 0; i < 3; ++i) {
    x[i] = v[i].x >> 8;
    y[i] = v[i].y >> 8;
  }
  std::int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
  if (area == 0) return;
  int order[3] = {0, 1, 2};
  if (area < 0) {
    std::swap(order[1], order[2]);
    area = -area;
  }
  std::int64_t X[3], Y[3];
  for (int i = 0; i < 3; ++i) {
    X[i] = x[order[i]];
    Y[i] = y[order[i]];
  }
  // Edge e runs from vertex e to vertex e + 1; E_e(p) >= 0 inside. The weight of the vertex
  // opposite edge e is E_e(p) / area.
  std::int64_t stepX[3], stepY[3], bias[3];
  for (int e = 0; e < 3; ++e) {
    int n = (e + 1) % 3;
    std::int64_t dx = X[n] - X[e];
    std::int64_t dy = Y[n] - Y[e];
    stepX[e] = -dy;
    stepY[e] = dx;
    // Edges here run clockwise on screen: a top edge runs right, a left edge runs up.
    bool topLeft = (dy == 0 && dx > 0) || dy < 0;
    bias[e] = topLeft ? 0 : -1;
  }
  auto edgeAt = [&](int e, std::int64_t px, std::int64_t py) {
    return (px - X[e]) * stepX[e] + (py - Y[e]) * stepY[e];
  };
  std::int64_t minX = std::min({X[0], X[1], X[2]}), maxX = std::max({X[0], X[1], X[2]});
  std::int64_t minY = std::min({Y[0], Y[1], Y[2]}), maxY = std::max({Y[0], Y[1], Y[2]});
  int x0 = static_cast<int>((minX + 255) >> 8), x1 = static_cast<int>(maxX >> 8);
  int y0 = static_cast<int>((minY + 255) >> 8), y1 = static_cast<int>(maxY >> 8);
  // The vertices were clipped in floating point, which can land a little outside the clip
  // rectangle when a vertex lies far away: the pixel box never leaves it.
  if (clip == nullptr) return;
  x0 = std::max(x0, clip->left);
  x1 = std::min(x1, clip->right);
  y0 = std::max(y0, clip->top);
  y1 = std::min(y1, clip->bottom);
  if (x0 > x1 || y0 > y1) return;

  // Attributes per vertex in the edge order, and their weights by opposite edge:
  // vertex (e + 2) % 3 is opposite edge e.
  const RasterVertex* ov[3] = {&v[order[2]], &v[order[0]], &v[order[1]]};
  double inv = 1.0 / static_cast<double>(area);
  RasterTint t = tint != nullptr ? *tint : RasterTint{};
  for (int py = y0; py <= y1; ++py) {
    std::uint8_t* row = static_cast<std::uint8_t*>(destBits) + static_cast<std::ptrdiff_t>(py) * destPitch;
    std::int64_t cx = static_cast<std::int64_t>(x0) << 8, cy = static_cast<std::int64_t>(py) << 8;
    std::int64_t e0 = edgeAt(0, cx, cy), e1 = edgeAt(1, cx, cy), e2 = edgeAt(2, cx, cy);
    for (int px = x0; px <= x1; ++px, e0 += stepX[0] << 8, e1 += stepX[1] << 8, e2 += stepX[2] << 8) {
      if (e0 + bias[0] < 0 || e1 + bias[1] < 0 || e2 + bias[2] < 0) continue;
      double w0 = e0 * inv, w1 = e1 * inv, w2 = e2 * inv;
      auto interp = [&](auto RasterVertex::*field) {
        return w0 * (ov[0]->*field) + w1 * (ov[1]->*field) + w2 * (ov[2]->*field);
      };
      std::uint32_t texel = 0xFFFFFFFF;
      if constexpr (kTextured) {
        // A point on an edge of a sliver may weigh a vertex slightly outside 0..1.
        std::int64_t u = FixedFrom(interp(&RasterVertex::u));
        std::int64_t vv = FixedFrom(interp(&RasterVertex::v));
        texel = kLinear ? SampleLinear(tex, u, vv) : SampleNearest(tex, u, vv);
      }
      std::uint32_t a = A(texel), r = R(texel), g = G(texel), b = B(texel);
      if constexpr (kVertexColor) {
        auto vc = [&](int RasterVertex::*field) {
          return static_cast<std::uint32_t>(std::clamp(static_cast<int>(interp(field)) >> 16, 0, 255));
        };
        a = Mul8(a, vc(&RasterVertex::a));
        r = Mul8(r, vc(&RasterVertex::r));
        g = Mul8(g, vc(&RasterVertex::g));
        b = Mul8(b, vc(&RasterVertex::b));
      }
      if constexpr (!kWhite) {
        a = Mul8(a, static_cast<std::uint32_t>(t.a));
        r = Mul8(r, static_cast<std::uint32_t>(t.r));
        g = Mul8(g, static_cast<std::uint32_t>(t.g));
        b = Mul8(b, static_cast<std::uint32_t>(t.b));
      }
      if (a == 0) continue;
      WritePixel<kFormat>(row, px, a, r, g, b);
    }
  }
}

template <std::size_t... I>
constexpr std::array<SpanFiller, 128> MakeFillers(std::index_sequence<I...>) {
  return {&FillTriangle<static_cast<int>(I)>...};
}

// ---------------------------------------------------------------------------------------------
// Clipping

std::uint32_t LerpColor(std::uint32_t a, std::uint32_t b, float t) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    float ca = static_cast<float>((a >> shift) & 0xFF);
    float cb = static_cast<float>((b >> shift) & 0xFF);
    int c = static_cast<int>(ca + t * (cb - ca));
    out |= static_cast<std::uint32_t>(std::clamp(c, 0, 255)) << shift;
  }
  return out;
}

TriVertex InterpolateVertex(const TriVertex& a, const TriVertex& b, float t) {
  TriVertex r;
  r.x = a.x + t * (b.x - a.x);
  r.y = a.y + t * (b.y - a.y);
  r.u = a.u + t * (b.u - a.u);
  r.v = a.v + t * (b.v - a.v);
  r.color = LerpColor(a.color, b.color, t);
  return r;
}

// One Sutherland-Hodgman pass. `axis` 0 clips on x, 1 on y; `keepAbove` keeps values >= edge.
int ClipPolygonToEdge(const TriVertex* in, int count, TriVertex* out, int axis, float edge, bool keepAbove) {
  auto coord = [axis](const TriVertex& p) { return axis == 0 ? p.x : p.y; };
  auto inside = [&](const TriVertex& p) { return keepAbove ? coord(p) >= edge : coord(p) <= edge; };
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const TriVertex& cur = in[i];
    const TriVertex& next = in[(i + 1) % count];
    bool curIn = inside(cur);
    bool nextIn = inside(next);
    if (curIn) out[n++] = cur;
    if (curIn != nextIn) {
      float t = (edge - coord(cur)) / (coord(next) - coord(cur));
      out[n++] = InterpolateVertex(cur, next, t);
    }
  }
  return n;
}

}  // namespace

std::array<SpanFiller, 128> gSpanFillers = MakeFillers(std::make_index_sequence<128>{});

int SpanFillerIndex(bool textured, bool blending, bool vertexColors, bool whiteTint, int destFormat, bool callerBlend) {
  int index = (textured ? RASTER_BIT_TEXTURE : 0) | (blending ? RASTER_BIT_BLEND : 0) |
              (vertexColors ? RASTER_BIT_VERTEX_COLOR : 0) | (whiteTint ? RASTER_BIT_WHITE_TINT : 0) |
              (callerBlend ? RASTER_BIT_CALLER_BLEND : 0);
  if (destFormat == RASTER_FORMAT_888) index += RASTER_BIT_FORMAT_888;
  else if (destFormat == RASTER_FORMAT_565) index += RASTER_BIT_FORMAT_565;
  else if (destFormat == RASTER_FORMAT_555) index += RASTER_BIT_FORMAT_555;
  return index;
}

int ClipTriangle(const TriVertex* tri, float left, float right, float top, float bottom, TriVertex* out) {
  TriVertex a[16], b[16];
  int n = ClipPolygonToEdge(tri, 3, a, 0, left, true);
  if (n < 3) return 0;
  n = ClipPolygonToEdge(a, n, b, 0, right, false);
  if (n < 3) return 0;
  n = ClipPolygonToEdge(b, n, a, 1, top, true);
  if (n < 3) return 0;
  n = ClipPolygonToEdge(a, n, out, 1, bottom, false);
  return n < 3 ? 0 : n;
}

void RasterizeTriangle(const TriVertex* vertices, int count, MemoryImage* texture, const Color* tint, int drawMode,
                       const Rect* clipRect, void* destBits, int destPitch, int destFormat, bool blend,
                       bool vertexColors) {
  if (vertices == nullptr || count < 3 || clipRect == nullptr || destBits == nullptr) return;
  if (clipRect->mWidth <= 0 || clipRect->mHeight <= 0) return;
  float left = static_cast<float>(clipRect->mX);
  // Pixel centres lie on whole coordinates and right and bottom edges are not filled, so the
  // inclusive right and bottom edges are moved half a pixel out: the last column and row of
  // the clip rectangle are drawn, nothing beyond them.
  float right = static_cast<float>(clipRect->mX + clipRect->mWidth - 1) + 0.5f;
  float top = static_cast<float>(clipRect->mY);
  float bottom = static_cast<float>(clipRect->mY + clipRect->mHeight - 1) + 0.5f;
  bool white = tint == nullptr || *tint == Color::White;
  RasterTint rt;
  if (tint != nullptr) {
    Rgb c = Channels(*tint);
    rt = RasterTint{static_cast<int>(c.a), static_cast<int>(c.r), static_cast<int>(c.g), static_cast<int>(c.b)};
  }
  bool blending = blend;
  RasterTexture desc;
  if (texture != nullptr) {
    texture->CommitBits();
    blending = texture->mHasTrans || texture->mHasAlpha || blend;
    desc.bits = texture->GetBits();
    if (desc.bits == nullptr || texture->mWidth <= 0 || texture->mHeight <= 0) return;
    desc.width = texture->mWidth;
    desc.height = texture->mHeight;
    int log2w = 0;
    while ((2 << log2w) <= desc.width) ++log2w;
    desc.shift = 16 - log2w;
    desc.maxU = static_cast<std::int64_t>(desc.width - 1) << 16;
    desc.maxV = static_cast<std::int64_t>(desc.height - 1) << 16;
    desc.size = static_cast<std::int64_t>(desc.width) * desc.height;
  }
  const RasterClip pixels{clipRect->mX, clipRect->mY, clipRect->mX + clipRect->mWidth - 1,
                          clipRect->mY + clipRect->mHeight - 1};
  int index = SpanFillerIndex(texture != nullptr, blending, vertexColors, white, destFormat, blend);
  SpanFiller filler = gSpanFillers[index];
  if (filler == nullptr) return;

  for (int k = 3; k <= count; ++k) {
    int t = k - 3;
    TriVertex tri[3] = {vertices[t], vertices[t + 1], vertices[t + 2]};
    if (t % 2 == 1) std::swap(tri[1], tri[2]);
    // Positions beyond the drawable range, or texture coordinates that are not finite, make
    // a triangle nobody can mean: it is left out.
    bool usable = true;
    for (const TriVertex& p : tri)
      if (!DrawableCoords(p.x, p.y) || !std::isfinite(p.u) || !std::isfinite(p.v)) usable = false;
    if (!usable) continue;
    TriVertex poly[16];
    int m = ClipTriangle(tri, left, right, top, bottom, poly);
    if (m < 3) continue;
    RasterVertex fixed[16];
    for (int i = 0; i < m; ++i) {
      const TriVertex& p = poly[i];
      RasterVertex& f = fixed[i];
      f.x = FixedFrom(static_cast<double>(p.x) * 65536.0);
      f.y = FixedFrom(static_cast<double>(p.y) * 65536.0);
      if (vertexColors) {
        f.a = static_cast<int>((p.color >> 24) & 0xFF) << 16;
        f.r = static_cast<int>((p.color >> 16) & 0xFF) << 16;
        f.g = static_cast<int>((p.color >> 8) & 0xFF) << 16;
        f.b = static_cast<int>(p.color & 0xFF) << 16;
      }
      if (texture != nullptr) {
        f.u = FixedFrom(static_cast<double>(p.u) * desc.width * 65536.0);
        f.v = FixedFrom(static_cast<double>(p.v) * desc.height * 65536.0);
      }
    }
    for (int i = 1; i + 1 < m; ++i) {
      RasterVertex fan[3] = {fixed[0], fixed[i], fixed[i + 1]};
      filler(fan, destBits, destPitch, texture != nullptr ? &desc : nullptr, &rt, &pixels);
    }
  }
}

}  // namespace Orvo
