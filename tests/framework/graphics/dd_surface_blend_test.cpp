// Blits and stretches drawn straight into 32-bit, 5-6-5 and 5-5-5 display surfaces, pixel by
// pixel against the surface arithmetic written out independently here: premultiplied
// source pixels in the display's layout, blended by alpha and tint, or added through the
// clamp tables. Random images reach every alpha and every run length.
#include <gtest/gtest.h>

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

}  // namespace
