// Blits and stretches drawn straight into 32-bit, 5-6-5 and 5-5-5 display surfaces, pixel by
// pixel against the surface arithmetic written out independently here: premultiplied
// source pixels in the display's layout, blended by alpha and tint, or added through the
// clamp tables. Random images reach every alpha and every run length.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "platform/DirectDraw.h"

using namespace Orvo;

namespace {

using u32 = std::uint32_t;

struct Format {
  const char* name;
  plat::DWORD bits;
  plat::DWORD green;
  u32 mask[3];
  int shift[3];
  int size[3];
};
const Format kFormats[] = {
    {"8888", 32, 0, {0xFF0000, 0xFF00, 0xFF}, {16, 8, 0}, {8, 8, 8}},
    {"565", 16, 0x07E0, {0xF800, 0x07E0, 0x001F}, {11, 5, 0}, {5, 6, 5}},
    {"555", 16, 0x03E0, {0x7C00, 0x03E0, 0x001F}, {10, 5, 0}, {5, 5, 5}},
};

// A windowed display on a desktop of the format, with no application.
struct Display {
  explicit Display(const Format& f) {
    plat::ResetDirectDrawBehaviour();
    plat::DirectDrawTestBehaviour().desktopBitCount = f.bits;
    plat::DirectDrawTestBehaviour().desktopGreenMask = f.green;
    dd = std::make_unique<DDInterface>(nullptr);
    EXPECT_EQ(dd->Init(nullptr, true), DDInterface::RESULT_OK);
  }
  ~Display() {
    images.clear();
    dd.reset();
    plat::ResetDirectDrawBehaviour();
  }
  DDImage* Image(int w, int h, const std::vector<u32>& px) {
    images.push_back(std::make_unique<DDImage>(dd.get()));
    images.back()->SetBits(px.data(), w, h);
    return images.back().get();
  }
  std::unique_ptr<DDInterface> dd;
  std::vector<std::unique_ptr<DDImage>> images;
};

// The channel c of an ARGB pixel (0 red, 1 green, 2 blue).
u32 Ch(u32 p, int c) { return (p >> (16 - 8 * c)) & 0xFF; }

// A source pixel in the display's layout, premultiplied by its alpha; the alpha on top.
u32 Native(const Format& f, u32 p) {
  const u32 a = p >> 24;
  u32 out = a << 24;
  for (int c = 0; c < 3; ++c) out |= (((Ch(p, c) * (a + 1)) >> 8) >> (8 - f.size[c])) << f.shift[c];
  return out;
}

// The surface value the image's ARGB pixel is converted to.
u32 OnSurface(const Format& f, u32 p) {
  u32 out = 0;
  for (int c = 0; c < 3; ++c) out |= (Ch(p, c) >> (8 - f.size[c])) << f.shift[c];
  return out;
}

// Random pixels whose alpha is 0, 255 or anything, in runs of random length.
std::vector<u32> RandomSprite(std::mt19937& rng, int n) {
  std::vector<u32> px(static_cast<std::size_t>(n));
  std::uniform_int_distribution<u32> any(0, 0xFFFFFF), kind(0, 2), run(1, 12), alpha(1, 254);
  for (int i = 0; i < n;) {
    const u32 k = kind(rng);
    for (u32 len = run(rng); len > 0 && i < n; --len, ++i)
      px[static_cast<std::size_t>(i)] = (k == 0 ? 0u : k == 1 ? 0xFF000000u : alpha(rng) << 24) | any(rng);
  }
  return px;
}

// The blend of one premultiplied source pixel s over a surface value d, as the surface
// blitter gives it for a grey tint (colour alpha ca, channels all g) on X8R8G8B8, and
// untinted on 16-bit surfaces.
u32 ExpectedNormal(const Format& f, u32 d, u32 s, u32 g, u32 ca) {
  const u32 alpha = s >> 24;
  if (alpha == 0) return d;
  if (f.bits == 32) {
    const u32 m = g * ca / 255;
    const u32 a = alpha == 255 && ca == 255 ? 256 : alpha * ca / 255;
    u32 out = 0;
    for (int c = 0; c < 3; ++c) out |= ((Ch(d, c) * (256 - a) + Ch(s, c) * m) >> 8) << (16 - 8 * c);
    return out;
  }
  if (alpha == 255) return s & 0xFFFF;
  u32 out = 0;
  for (int c = 0; c < 3; ++c) {
    const u32 max = f.mask[c] >> f.shift[c];
    const u32 dc = (d & f.mask[c]) >> f.shift[c];
    const u32 sc = (s & f.mask[c]) >> f.shift[c];
    out |= ((((dc * ((256 - alpha) >> 3)) >> 5) + sc) & max) << f.shift[c];
  }
  return out;
}

TEST(SurfaceBlend, PartlyTransparentBlitsMatchTheSurfaceArithmeticOnEveryFormat) {
  std::mt19937 rng(12);
  const int w = 53, h = 7;
  for (const Format& f : kFormats) {
    const std::vector<u32> sprite = RandomSprite(rng, w * h);
    std::vector<u32> ground(static_cast<std::size_t>(w + 10) * (h + 4));
    for (u32& p : ground) p = 0xFF000000u | (rng() & 0xFFFFFF);
    struct Tint {
      u32 g, ca;
    };
    const std::vector<Tint> tints = f.bits == 32 ? std::vector<Tint>{{255, 255}, {255, 128}, {90, 255}, {200, 31}}
                                                 : std::vector<Tint>{{255, 255}};
    for (const Tint& t : tints) {
      Display d(f);
      MemoryImage source(nullptr);
      source.SetBits(sprite.data(), w, h);
      DDImage* dest = d.Image(w + 10, h + 4, ground);
      // Placed so that rows and runs are cut on the left and the right by the surface.
      dest->Blt(&source, -3, 2, Rect(0, 0, w, h), Color(static_cast<int>(t.g), static_cast<int>(t.g),
                                                        static_cast<int>(t.g), static_cast<int>(t.ca)), 0);
      int wrong = 0;
      for (int y = 0; y < h + 4; ++y)
        for (int x = 0; x < w + 10; ++x) {
          const u32 before = OnSurface(f, ground[static_cast<std::size_t>(y) * (w + 10) + x]);
          const int sx = x + 3, sy = y - 2;
          const bool covered = sx >= 0 && sx < w && sy >= 0 && sy < h;
          const u32 want = covered ? ExpectedNormal(f, before, Native(f, sprite[static_cast<std::size_t>(sy) * w + sx]),
                                                    t.g, t.ca)
                                   : before;
          const u32 got = dest->GetSurface()->PixelAt(x, y) & (f.bits == 32 ? 0xFFFFFFu : 0xFFFFu);
          if (got != want && ++wrong <= 5)
            ADD_FAILURE() << f.name << " tint " << t.g << "/" << t.ca << " at " << x << "," << y << ": got " << std::hex
                          << got << " want " << want;
        }
      EXPECT_EQ(wrong, 0) << f.name;
    }
  }
}

// Per channel of a surface value.
u32 Field(const Format& f, u32 v, int c) { return (v & f.mask[c]) >> f.shift[c]; }
u32 Max(const Format& f, int c) { return f.mask[c] >> f.shift[c]; }

// A premultiplied source pixel s over (or, additive, added to) d by the nearest-stretch
// member: tinted by (t, ca), d' = s' + the destination weighed by 256 - alpha'.
u32 ExpectedStretch(const Format& f, u32 d, u32 s, const Color& tint, bool additive) {
  const u32 alpha = s >> 24;
  if (alpha == 0) return d;
  const u32 t[3] = {static_cast<u32>(tint.mRed), static_cast<u32>(tint.mGreen), static_cast<u32>(tint.mBlue)};
  const u32 ca = static_cast<u32>(tint.mAlpha);
  const bool white = tint == Color::White;
  const u32 a = white ? alpha : alpha * ca / 255;
  u32 out = 0;
  for (int c = 0; c < 3; ++c) {
    const u32 sc = white ? Field(f, s, c) : (Field(f, s, c) * (t[c] * ca / 255)) >> 8;
    const u32 dc = Field(f, d, c);
    const u32 v = additive ? std::min(dc + sc, Max(f, c)) : sc + ((dc * (256 - a)) >> 8);
    out |= v << f.shift[c];
  }
  return out;
}

TEST(SurfaceBlend, NearestStretchesInEveryModeAndTintOnEveryFormat) {
  std::mt19937 rng(5);
  const int sw = 9, sh = 5, dw = 22, dh = 13;
  const std::vector<u32> sprite = RandomSprite(rng, sw * sh);
  std::vector<u32> ground(static_cast<std::size_t>(dw) * dh);
  for (u32& p : ground) p = 0xFF000000u | (rng() & 0xFFFFFF);
  struct Case {
    Color tint;
    int mode;
    bool mirror;
  } cases[] = {{Color::White, 1, false}, {Color(200, 100, 50, 255), 1, true}, {Color(255, 128, 0, 160), 0, false},
               {Color(90, 90, 90, 255), 0, true}, {Color::White, 0, false}};
  for (const Format& f : kFormats)
    for (const Case& c : cases) {
      Display d(f);
      MemoryImage source(nullptr);
      source.SetBits(sprite.data(), sw, sh);
      DDImage* dest = d.Image(dw, dh, ground);
      const Rect to(1, 2, 20, 10), clip(0, 0, 17, 13);
      if (c.mirror)
        dest->StretchBltMirror(&source, to, Rect(0, 0, sw, sh), clip, c.tint, c.mode, true);
      else
        dest->StretchBlt(&source, to, Rect(0, 0, sw, sh), clip, c.tint, c.mode, true);
      int wrong = 0;
      for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
          u32 want = OnSurface(f, ground[static_cast<std::size_t>(y) * dw + x]);
          if (Rect(to).Intersection(clip).Contains(x, y)) {
            int col = x - to.mX;
            if (c.mirror) col = to.mWidth - 1 - col;
            const int sx = static_cast<int>((col * ((sw << 16) / to.mWidth)) >> 16);
            const int sy = static_cast<int>(((y - to.mY) * ((sh << 16) / to.mHeight)) >> 16);
            want = ExpectedStretch(f, want, Native(f, sprite[static_cast<std::size_t>(sy) * sw + sx]), c.tint, c.mode == 1);
          }
          const u32 got = dest->GetSurface()->PixelAt(x, y) & (f.bits == 32 ? 0xFFFFFFu : 0xFFFFu);
          if (got != want && ++wrong <= 3)
            ADD_FAILURE() << f.name << " mode " << c.mode << " at " << x << "," << y << ": got " << std::hex << got
                          << " want " << want;
        }
      EXPECT_EQ(wrong, 0) << f.name;
    }
}

// The surface value of 8-bit channels (r, g, b) cut to the format's widths.
u32 FromChannels(const Format& f, const u32 (&c8)[3]) {
  u32 out = 0;
  for (int c = 0; c < 3; ++c) out |= (c8[c] >> (8 - f.size[c])) << f.shift[c];
  return out;
}

// Filtered stretches go through a transparent image of the visible size and are then
// blitted in the draw mode and tint; rotations blend their premultiplied colour by its
// coverage. A uniform opaque source shows the arithmetic in the middle of the picture.
TEST(SurfaceBlend, FilteredStretchesAndRotationsInEveryModeOnEveryFormat) {
  const u32 ground = 0xFF808080, colour = 0xFF404040;
  for (const Format& f : kFormats) {
    const u32 base = OnSurface(f, ground);
    // The filtered stretch of 0x40 onto transparent pixels keeps 0x40 x 255 >> 8 = 0x3F.
    const u32 stretched = Native(f, 0xFF3F3F3F);
    // A rotation by 0 at a whole position weighs the one neighbour it sits on by 254.
    const u32 rotated8[3] = {0x40 * 254 >> 8, 0x40 * 254 >> 8, 0x40 * 254 >> 8};
    auto add = [&](u32 d, u32 s) {
      u32 out = 0;
      for (int c = 0; c < 3; ++c) out |= std::min(Field(f, d, c) + Field(f, s, c), Max(f, c)) << f.shift[c];
      return out;
    };
    auto scaled = [&](u32 s, const u32 (&mult)[3]) {
      u32 out = 0;
      for (int c = 0; c < 3; ++c) out |= ((Field(f, s, c) * mult[c]) >> 8) << f.shift[c];
      return out;
    };
    struct Case {
      const char* name;
      void (*draw)(DDImage* dest, MemoryImage* source);
      u32 want;
    } cases[] = {
        {"additive filtered stretch",
         [](DDImage* d, MemoryImage* s) { d->StretchBlt(s, Rect(0, 0, 12, 12), Rect(0, 0, 4, 4), Rect(0, 0, 12, 12), Color::White, 1, false); },
         add(base, stretched)},
        {"additive mirrored filtered stretch",
         [](DDImage* d, MemoryImage* s) { d->StretchBltMirror(s, Rect(0, 0, 12, 12), Rect(0, 0, 4, 4), Rect(0, 0, 12, 12), Color::White, 1, false); },
         add(base, stretched)},
        {"tinted filtered stretch",
         [](DDImage* d, MemoryImage* s) { d->StretchBlt(s, Rect(0, 0, 12, 12), Rect(0, 0, 4, 4), Rect(0, 0, 12, 12), Color(255, 128, 0), 0, false); },
         scaled(stretched, {255, 128, 0})},
        {"additive rotation",
         [](DDImage* d, MemoryImage* s) { d->BltRotated(s, 2, 2, Rect(0, 0, 4, 4), Rect(0, 0, 12, 12), Color::White, 1, 0.0, 2, 2); },
         add(base, FromChannels(f, rotated8))},
    };
    for (const Case& c : cases) {
      Display d(f);
      MemoryImage source(nullptr);
      std::vector<u32> px(16, colour);
      source.SetBits(px.data(), 4, 4);
      DDImage* dest = d.Image(14, 14, std::vector<u32>(196, ground));
      c.draw(dest, &source);
      const u32 got = dest->GetSurface()->PixelAt(3, 3) & (f.bits == 32 ? 0xFFFFFFu : 0xFFFFu);
      EXPECT_EQ(got, c.want) << f.name << ", " << c.name << std::hex << ": got " << got << " want " << c.want;
      EXPECT_EQ(dest->GetSurface()->PixelAt(13, 13) & 0xFFFFFFu, base) << f.name << ", " << c.name;
    }
  }
}

// Additive blits walk the run-length additive table: every channel gains the (tinted)
// premultiplied source channel and stops at its maximum.
TEST(SurfaceBlend, AdditiveBlitsOnEveryFormat) {
  std::mt19937 rng(21);
  const int w = 37, h = 6;
  for (const Format& f : kFormats)
    for (const Color& tint : {Color::White, Color(255, 128, 40, 200)}) {
      const std::vector<u32> sprite = RandomSprite(rng, w * h);
      std::vector<u32> ground(static_cast<std::size_t>(w + 4) * (h + 2));
      for (u32& p : ground) p = 0xFF000000u | (rng() & 0xFFFFFF);
      Display d(f);
      MemoryImage source(nullptr);
      source.SetBits(sprite.data(), w, h);
      DDImage* dest = d.Image(w + 4, h + 2, ground);
      dest->Blt(&source, 6, 1, Rect(0, 0, w, h), tint, 1);
      int wrong = 0;
      for (int y = 0; y < h + 2; ++y)
        for (int x = 0; x < w + 4; ++x) {
          u32 want = OnSurface(f, ground[static_cast<std::size_t>(y) * (w + 4) + x]);
          const int sx = x - 6, sy = y - 1;
          if (sx >= 0 && sx < w && sy >= 0 && sy < h)
            want = ExpectedStretch(f, want, Native(f, sprite[static_cast<std::size_t>(sy) * w + sx]), tint, true);
          const u32 got = dest->GetSurface()->PixelAt(x, y) & (f.bits == 32 ? 0xFFFFFFu : 0xFFFFu);
          if (got != want && ++wrong <= 3)
            ADD_FAILURE() << f.name << " at " << x << "," << y << ": got " << std::hex << got << " want " << want;
        }
      EXPECT_EQ(wrong, 0) << f.name;
    }
}

}  // namespace
