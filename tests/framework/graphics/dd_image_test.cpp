// Surface-backed images on 16-bit (5-6-5 and 5-5-5) and 32-bit displays: surface generation
// with colour keys, read-back, locking, and the per-format drawing with its exact values.
#include "framework/graphics/DDImage.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "framework/graphics/DDInterface.h"
#include "platform/DirectDraw.h"
#include "tests/framework/graphics/GraphicsTestUtil.h"

using namespace Orvo;
using gtest_util::ChannelDiff;

namespace {

struct Format {
  const char* name;
  plat::DWORD bits;
  plat::DWORD green;
};
const Format k565{"565", 16, 0x07E0};
const Format k555{"555", 16, 0x03E0};
const Format k8888{"8888", 32, 0};

// A display opened windowed on a desktop of the given layout, with no application.
struct Display {
  explicit Display(const Format& f) {
    plat::ResetDirectDrawBehaviour();
    plat::DirectDrawTestBehaviour().desktopBitCount = f.bits;
    plat::DirectDrawTestBehaviour().desktopGreenMask = f.green;
    dd = std::make_unique<DDInterface>(nullptr);
    result = dd->Init(nullptr, true);
  }
  ~Display() {
    images.clear();
    dd.reset();
    plat::ResetDirectDrawBehaviour();
  }
  // An image of w x h pixels all `argb`, owned by this display.
  DDImage* Image(int w, int h, std::uint32_t argb) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h, argb);
    return ImageFrom(w, h, px);
  }
  DDImage* ImageFrom(int w, int h, const std::vector<std::uint32_t>& px) {
    images.push_back(std::make_unique<DDImage>(dd.get()));
    images.back()->SetBits(px.data(), w, h);
    return images.back().get();
  }
  std::unique_ptr<DDInterface> dd;
  std::vector<std::unique_ptr<DDImage>> images;
  int result = -1;
};

// The colour bits of a surface pixel (the unused top byte of a 32-bit pixel is left out).
std::uint32_t Pixel(DDImage* image, int x, int y) { return image->GetSurface()->PixelAt(x, y) & 0xFFFFFFu; }

TEST(DDImageSurface, OpaqueTransparentAndPartialAlphaImages) {
  for (const Format& f : {k565, k8888}) {
    Display d(f);
    ASSERT_EQ(d.result, 0);
    plat::DDCOLORKEY key;
    DDImage* opaque = d.Image(4, 4, 0xFF102030);
    ASSERT_TRUE(opaque->GenerateDDSurface()) << f.name;
    EXPECT_EQ(opaque->mSurface->GetColorKey(plat::DDCKEY_SRCBLT, &key), plat::DDERR_NOCOLORKEY);

    std::vector<std::uint32_t> holes(16, 0xFF102030);
    holes[5] = 0x00000000;
    DDImage* keyed = d.ImageFrom(4, 4, holes);
    ASSERT_TRUE(keyed->GenerateDDSurface());
    EXPECT_EQ(keyed->mSurface->GetColorKey(plat::DDCKEY_SRCBLT, &key), plat::DD_OK);
    EXPECT_EQ(Pixel(keyed, 1, 1), key.dwColorSpaceLowValue);

    std::vector<std::uint32_t> soft(16, 0xFF102030);
    soft[3] = 0x80102030;
    DDImage* partial = d.ImageFrom(4, 4, soft);
    EXPECT_FALSE(partial->GenerateDDSurface());
    EXPECT_EQ(partial->GetSurface(), nullptr);
  }
}

TEST(DDImageSurface, ColourKeyAvoidsValuesOpaquePixelsUse) {
  // Opaque pixels converting to 0 and 1 and a transparent one converting to 0: key 2.
  for (const Format& f : {k565, k555, k8888}) {
    Display d(f);
    const std::uint32_t one = f.bits == 16 ? 0xFF000008 : 0xFF000001;
    DDImage* image = d.ImageFrom(3, 1, {0xFF000000, one, 0x00000000});
    ASSERT_TRUE(image->GenerateDDSurface()) << f.name;
    plat::DDCOLORKEY key;
    ASSERT_EQ(image->mSurface->GetColorKey(plat::DDCKEY_SRCBLT, &key), plat::DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 2u) << f.name;
    EXPECT_EQ(Pixel(image, 0, 0), 0u);
    EXPECT_EQ(Pixel(image, 1, 0), 1u);
    EXPECT_EQ(Pixel(image, 2, 0), 2u);
  }
}

TEST(DDImageSurface, ReadBackClearsLowBitsAndKeepsKeyedPixelsTransparent) {
  Display d(k565);
  DDImage* image = d.ImageFrom(3, 1, {0xFFFFFFFF, 0x00000000, 0xFF000000});
  ASSERT_TRUE(image->GenerateDDSurface());
  image->DeleteAllNonSurfaceData();
  const std::uint32_t* bits = image->GetBits();
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(bits[0], 0xFFF8FCF8u);
  // The keyed pixel reads back transparent; an opaque black one (not the key) stays opaque.
  EXPECT_EQ(bits[1], 0x00000000u);
  EXPECT_EQ(bits[2], 0xFF000000u);
  EXPECT_EQ(bits[3], MEMORYIMAGE_GUARD_WORD);
}

// A keyed image whose picture lives only in its surface keeps its holes on every road that
// reads the surface back: the bits themselves, a blit onto a software image, a half-alpha
// blit onto a surface, and the drop and rebuild of a display change.
TEST(DDImageSurface, KeyedImageLivingInItsSurfaceKeepsItsHoles) {
  for (const Format& f : {k565, k555, k8888}) {
    SCOPED_TRACE(f.name);
    Display d(f);
    std::vector<std::uint32_t> holes(16, 0xFFC08040);
    holes[5] = 0x00000000;
    auto surfaceOnly = [&] {
      DDImage* image = d.ImageFrom(4, 4, holes);
      EXPECT_TRUE(image->GenerateDDSurface());
      image->PurgeBits();  // the surface alone holds the picture now
      EXPECT_EQ(image->mBits, nullptr);
      return image;
    };

    DDImage* read = surfaceOnly();
    const std::uint32_t* bits = read->GetBits();
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(bits[5], 0x00000000u);
    EXPECT_EQ(bits[0] >> 24, 0xFFu);
    EXPECT_EQ(bits[15] >> 24, 0xFFu);

    DDImage* onSoftware = surfaceOnly();
    MemoryImage canvas(nullptr);
    canvas.SetBits(std::vector<std::uint32_t>(16, 0xFF0000FF).data(), 4, 4);
    canvas.Blt(onSoftware, 0, 0, Rect(0, 0, 4, 4), Color::White, 0);
    EXPECT_EQ(canvas.GetBits()[5], 0xFF0000FFu);
    EXPECT_EQ(canvas.GetBits()[0], bits[0]);

    DDImage* halfAlpha = surfaceOnly();
    DDImage* screen = d.Image(4, 4, 0xFF0000FF);
    ASSERT_TRUE(screen->GenerateDDSurface());
    const std::uint32_t ground = Pixel(screen, 1, 1);
    screen->Blt(halfAlpha, 0, 0, Rect(0, 0, 4, 4), Color(255, 255, 255, 128), 0);
    EXPECT_EQ(Pixel(screen, 1, 1), ground);
    EXPECT_NE(Pixel(screen, 0, 0), ground);

    // A display change: the extra buffers go (the surface is read back and released), then
    // the image is brought back into a new surface.
    DDImage* reinit = surfaceOnly();
    reinit->DeleteExtraBuffers();
    EXPECT_EQ(reinit->mSurface, nullptr);
    reinit->ReInit();
    ASSERT_NE(reinit->mSurface, nullptr);
    plat::DDCOLORKEY key;
    ASSERT_EQ(reinit->mSurface->GetColorKey(plat::DDCKEY_SRCBLT, &key), plat::DD_OK);
    EXPECT_EQ(Pixel(reinit, 1, 1), key.dwColorSpaceLowValue);
    EXPECT_NE(Pixel(reinit, 0, 0), key.dwColorSpaceLowValue);
    DDImage* target = d.Image(4, 4, 0xFF0000FF);
    ASSERT_TRUE(target->GenerateDDSurface());
    target->Blt(reinit, 0, 0, Rect(0, 0, 4, 4), Color::White, 0);
    EXPECT_EQ(Pixel(target, 1, 1), ground);
    EXPECT_NE(Pixel(target, 0, 0), ground);
  }
}

TEST(DDImageSurface, NestedLocksLockTheSurfaceOnceAndVideoOnlyHasNoBits) {
  Display d(k8888);
  DDImage* image = d.Image(2, 2, 0xFF00FF00);
  ASSERT_TRUE(image->LockSurface());
  ASSERT_TRUE(image->LockSurface());
  EXPECT_EQ(image->mSurface->LockCount(), 1);
  EXPECT_TRUE(image->UnlockSurface());
  EXPECT_EQ(image->mSurface->LockCount(), 1);
  EXPECT_TRUE(image->UnlockSurface());
  EXPECT_EQ(image->mSurface->LockCount(), 0);
  // An unbalanced unlock is refused instead of driving the count negative.
  EXPECT_FALSE(image->UnlockSurface());
  EXPECT_EQ(image->mLockCount, 0);

  image->DeleteAllNonSurfaceData();
  image->mVideoMemory = true;
  EXPECT_EQ(image->GetBits(), nullptr);
}

TEST(DDImageSurface, SetVideoMemoryKeepsThePixels) {
  Display d(k8888);
  DDImage* image = d.Image(3, 3, 0xFF336699);
  image->FillRect(Rect(0, 0, 1, 1), Color(255, 0, 0), 0);  // now lives only in the surface
  ASSERT_EQ(image->mBits, nullptr);
  plat::IDirectDrawSurface* before = image->mSurface;
  image->SetVideoMemory(false);
  EXPECT_EQ(image->mSurface, before);
  image->SetVideoMemory(true);
  EXPECT_EQ(image->mSurface, nullptr);
  ASSERT_NE(image->mBits, nullptr);
  EXPECT_EQ(image->mBits[0], 0xFFFE0000u);
  EXPECT_EQ(image->mBits[4], 0xFF336699u);
  ASSERT_TRUE(image->GenerateDDSurface());
  EXPECT_NE(image->mSurface->Caps() & plat::DDSCAPS_VIDEOMEMORY, 0u);
}

struct FillCase {
  const Format* format;
  Color color;
  int mode;
  std::uint32_t background;  // ARGB of the image before the fill
  std::uint32_t expected;    // surface value
};

TEST(DDImageDrawing, FillValuesPerFormat) {
  const FillCase cases[] = {
      {&k565, Color(255, 255, 255), 0, 0xFF000000, 0xFFFF},
      {&k555, Color(255, 255, 255), 0, 0xFF000000, 0x7FFF},
      {&k8888, Color(255, 255, 255), 0, 0xFF000000, 0xFEFEFE},
      {&k8888, Color(255, 0, 0, 128), 0, 0xFFFFFFFF, 0xFE7F7F},
      {&k565, Color(255, 0, 0, 128), 0, 0xFFFFFFFF, 0xF3EF},
      // Additive: a channel at its maximum stays there; small sums land in the low bits.
      {&k565, Color(255, 255, 255), 1, 0xFFFFFFFF, 0xFFFF},
      {&k565, Color(8, 4, 8), 1, 0xFF000000, 0x0821},
      {&k8888, Color(255, 255, 255, 255), 1, 0xFFF0F0F0, 0xFFFFFF},
      // Other draw modes draw nothing.
      {&k8888, Color(255, 255, 255), 2, 0xFF123456, 0x123456},
  };
  for (const FillCase& c : cases) {
    Display d(*c.format);
    DDImage* image = d.Image(4, 4, c.background);
    image->FillRect(Rect(1, 1, 2, 2), c.color, c.mode);
    EXPECT_EQ(Pixel(image, 1, 1), c.expected) << c.format->name << " mode " << c.mode << " alpha " << c.color.mAlpha;
    EXPECT_EQ(Pixel(image, 0, 0), Pixel(image, 3, 3));
    EXPECT_EQ(image->mBits, nullptr) << "the surface is the image after surface drawing";
  }
}

TEST(DDImageDrawing, LinesPerFormat) {
  Display d(k565);
  DDImage* image = d.Image(10, 10, 0xFF000000);
  image->DrawLine(1, 1, 8, 4, Color(255, 255, 255), 0);
  const std::uint32_t v = Pixel(image, 1, 1);
  EXPECT_EQ(v >> 11, 30u);
  EXPECT_EQ(v >> 5 & 0x3F, 62u);
  EXPECT_EQ(v & 0x1F, 30u);
  EXPECT_EQ(Pixel(image, 8, 4), v);

  // A horizontal line is a one-pixel fill from the lesser to the greater truncated x.
  DDImage* h = d.Image(10, 3, 0xFF000000);
  h->DrawLine(5.7, 1.4, 2.2, 1.4, Color(255, 255, 255), 0);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(Pixel(h, x, 1), (x >= 2 && x <= 5) ? 0xFFFFu : 0u) << x;
  EXPECT_EQ(Pixel(h, 3, 0), 0u);

  // The anti-aliased line draws nothing in additive mode.
  DDImage* aa = d.Image(10, 10, 0xFF000000);
  aa->DrawLineAA(1.5, 1.5, 8.5, 6.5, Color(255, 255, 255), 1);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(Pixel(aa, x, y), 0u);
  aa->DrawLineAA(1.5, 1.5, 8.5, 6.5, Color(255, 255, 255), 0);
  EXPECT_NE(Pixel(aa, 1, 1), 0u);
}

TEST(DDImageDrawing, CoverageSpans) {
  Display d(k8888);
  DDImage* image = d.Image(4, 2, 0xFF000000);
  Span span{1, 0, 3};
  const std::uint8_t coverage[8] = {0, 0, 0, 0, 255, 127, 0, 9};
  image->FillScanLinesWithCoverage(&span, 0, Color(255, 255, 255), 0, coverage, 0, 0, 4, 2);
  EXPECT_EQ(Pixel(image, 0, 1), 0u);
  image->FillScanLinesWithCoverage(&span, 1, Color(255, 255, 255), 0, coverage, 0, 0, 4, 2);
  // s = 254 per channel (colour x mask >> 8), blended with a = ((coverage + 1) x 255) >> 8.
  EXPECT_EQ(Pixel(image, 0, 1), 0xFDFDFDu);  // coverage 255: a = 255
  EXPECT_EQ(Pixel(image, 1, 1), 0x7E7E7Eu);  // coverage 127: a = 127
  EXPECT_EQ(Pixel(image, 2, 1), 0x000000u);  // coverage 0: a = 0
  EXPECT_EQ(Pixel(image, 0, 0), 0u);
}

TEST(DDImageDrawing, OpaqueBltMatchesTheConvertedSourceOnEveryFormat) {
  std::mt19937 rng(7);
  std::vector<std::uint32_t> px(8 * 5);
  for (auto& p : px) p = 0xFF000000u | (rng() & 0xFFFFFF);
  px[9] = 0x00000000;  // one transparent pixel: skipped
  for (const Format& f : {k565, k555, k8888}) {
    Display d(f);
    DDImage* dest = d.Image(12, 8, 0xFF204060);
    MemoryImage source(nullptr);
    source.SetBits(px.data(), 8, 5);
    dest->Blt(&source, 2, 1, Rect(0, 0, 8, 5), Color::White, 0);
    plat::DDSURFACEDESC desc;
    dest->mSurface->GetSurfaceDesc(&desc);
    const auto& pf = desc.ddpfPixelFormat;
    auto convert = [&](std::uint32_t p) {
      const int rb = f.bits == 32 ? 8 : 5, gb = f.bits == 32 ? 8 : (f.green == 0x07E0 ? 6 : 5);
      const int rs = f.bits == 32 ? 16 : (f.green == 0x07E0 ? 11 : 10), gs = f.bits == 32 ? 8 : 5;
      return ((p >> (24 - rb)) << rs & pf.dwRBitMask) | ((p >> (16 - gb)) << gs & pf.dwGBitMask) |
             ((p >> (8 - (f.bits == 32 ? 8 : 5))) & pf.dwBBitMask);
    };
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 8; ++x) {
        const std::uint32_t want = x == 1 && y == 1 ? convert(0xFF204060) : convert(px[static_cast<std::size_t>(y) * 8 + x]);
        ASSERT_EQ(Pixel(dest, x + 2, y + 1), want) << f.name << " at " << x << "," << y;
      }
    EXPECT_EQ(Pixel(dest, 0, 0), convert(0xFF204060));
  }
}

TEST(DDImageDrawing, HalfTransparentSourceBlendsOn32Bit) {
  Display d(k8888);
  DDImage* dest = d.Image(2, 1, 0xFFFFFFFF);
  MemoryImage source(nullptr);
  const std::uint32_t px[2] = {0x80FF0000, 0xFF0000FF};
  source.SetBits(px, 2, 1);
  dest->Blt(&source, 0, 0, Rect(0, 0, 2, 1), Color::White, 0);
  EXPECT_EQ(Pixel(dest, 0, 0), 0xFF7F7Fu);
  // Opaque pixels of a source with partial alpha are scaled by 255/256.
  EXPECT_EQ(Pixel(dest, 1, 0), 0x0000FEu);
}

TEST(DDImageDrawing, HalfTransparentSourceBlendsOn16Bit) {
  // Half-white premultiplied is 0x8410 in 5-6-5: over black that, over white white again.
  for (std::uint32_t background : {0xFF000000u, 0xFFFFFFFFu}) {
    Display d(k565);
    DDImage* dest = d.Image(2, 1, background);
    MemoryImage source(nullptr);
    const std::uint32_t px[2] = {0x80FFFFFF, 0x00FFFFFF};
    source.SetBits(px, 2, 1);
    dest->Blt(&source, 0, 0, Rect(0, 0, 2, 1), Color::White, 0);
    EXPECT_EQ(Pixel(dest, 0, 0), background == 0xFF000000u ? 0x8410u : 0xFFFFu);
    EXPECT_EQ(Pixel(dest, 1, 0), background == 0xFF000000u ? 0x0000u : 0xFFFFu);
  }
}

TEST(DDImageDrawing, VolatileSourceBlendsStraightFromItsBits) {
  struct Case {
    const Format* f;
    std::uint32_t src;
    std::uint32_t background;
    std::uint32_t expected;
  } cases[] = {
      {&k8888, 0x80FFFFFF, 0xFF000000, 0x7F7F7F},
      // Alpha 255 moves 255/256 of the way: red 255 falls to 0, green rises to 254.
      {&k8888, 0xFF00FF00, 0xFFFF0000, 0x00FE00},
      // 5-6-5 weights are alpha >> 3 over 32: white over black gives 30, 61, 30.
      {&k565, 0xFFFFFFFF, 0xFF000000, 0xF7BE},
      {&k555, 0x00FFFFFF, 0xFF000000, 0x0000},
  };
  for (const auto& c : cases) {
    Display d(*c.f);
    DDImage* dest = d.Image(1, 1, c.background);
    MemoryImage source(nullptr);
    source.SetBits(&c.src, 1, 1);
    source.SetVolatile(true);
    dest->Blt(&source, 0, 0, Rect(0, 0, 1, 1), Color::White, 0);
    EXPECT_EQ(Pixel(dest, 0, 0) & 0xFFFFFF, c.expected & 0xFFFFFF) << c.f->name << std::hex << " src " << c.src;
  }
}

TEST(DDImageDrawing, MirrorPutsTheFirstColumnLast) {
  for (const Format& f : {k565, k8888}) {
    Display d(f);
    std::vector<std::uint32_t> px(10, 0xFF000000);
    px[0] = 0xFFFFFFFF;
    MemoryImage source(nullptr);
    source.SetBits(px.data(), 10, 1);
    DDImage* dest = d.Image(10, 1, 0xFF000000);
    dest->BltMirror(&source, 0, 0, Rect(0, 0, 10, 1), Color::White, 0);
    EXPECT_NE(Pixel(dest, 9, 0), 0u) << f.name;
    for (int x = 0; x < 9; ++x) EXPECT_EQ(Pixel(dest, x, 0), 0u) << f.name << " " << x;
  }
}

TEST(DDImageDrawing, OpsWithoutASurfaceDrawerFallBackToSoftwareOnTransparentImages) {
  Display d(k8888);
  std::vector<std::uint32_t> px(16, 0x00000000);
  DDImage* dest = d.ImageFrom(4, 4, px);
  MemoryImage source(nullptr);
  const std::uint32_t white[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  source.SetBits(white, 2, 2);
  dest->BltMirror(&source, 1, 1, Rect(0, 0, 2, 2), Color::White, 0);
  EXPECT_EQ(dest->mSurface, nullptr);
  ASSERT_NE(dest->mBits, nullptr);
  EXPECT_NE(dest->mBits[5], 0u);
  EXPECT_NE(dest->mBits[6], 0u);
  EXPECT_EQ(dest->mBits[0], 0u);
  // A plain blit onto it is the software blit on its pixels too.
  dest->Blt(&source, 2, 2, Rect(0, 0, 2, 2), Color::White, 0);
  EXPECT_EQ(dest->mSurface, nullptr);
  EXPECT_NE(dest->mBits[15], 0u);
}

TEST(DDImageDrawing, SurfaceToSurfaceBltUsesTheSourceKey) {
  Display d(k565);
  DDImage* dest = d.Image(3, 1, 0xFF0000FF);
  DDImage* source = d.ImageFrom(3, 1, {0xFFFF0000, 0x00000000, 0xFFFF0000});
  ASSERT_TRUE(source->GenerateDDSurface());
  dest->Blt(source, 0, 0, Rect(0, 0, 3, 1), Color::White, 0);
  EXPECT_EQ(Pixel(dest, 0, 0), 0xF800u);
  EXPECT_EQ(Pixel(dest, 1, 0), 0x001Fu);
  EXPECT_EQ(Pixel(dest, 2, 0), 0xF800u);
}

TEST(DDImageDrawing, RotatedAndStretchedBlitsGoThroughTheSoftwareBlittersIntoTheSurface) {
  Display d(k8888);
  DDImage* dest = d.Image(8, 8, 0xFF000000);
  MemoryImage source(nullptr);
  std::vector<std::uint32_t> px(4, 0xFFFFFFFF);
  source.SetBits(px.data(), 2, 2);
  dest->StretchBlt(&source, Rect(2, 2, 4, 4), Rect(0, 0, 2, 2), Rect(0, 0, 8, 8), Color::White, 0, true);
  EXPECT_NE(Pixel(dest, 3, 3), 0u);
  EXPECT_EQ(Pixel(dest, 1, 1), 0u);
  EXPECT_EQ(Pixel(dest, 6, 6), 0u);
  EXPECT_EQ(dest->mBits, nullptr);
}

// Matrix and triangle blits on a surface run the triangle rasteriser straight on the
// surface's pixels: on a 32-bit surface they give what the software image gets.
TEST(DDImageDrawing, MatrixAndTriangleBlitsMatchTheSoftwareImage) {
  Display d(k8888);
  std::vector<std::uint32_t> px(16 * 16);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x010305);
  MemoryImage source(nullptr);
  source.SetBits(px.data(), 16, 16);
  Matrix3 rotate;
  rotate.LoadIdentity();
  rotate.Rotate(0.5f);
  const TriVertex tris[1][3] = {{{2, 2, 0, 0, 0}, {30, 4, 1, 0, 0}, {6, 28, 0, 1, 0xFF80FF80}}};

  DDImage* onSurface = d.Image(32, 32, 0xFF102030);
  MemoryImage inMemory(nullptr);
  std::vector<std::uint32_t> ground(32 * 32, 0xFF102030);
  inMemory.SetBits(ground.data(), 32, 32);
  inMemory.SetImageMode(false, false);
  for (Image* target : {static_cast<Image*>(onSurface), static_cast<Image*>(&inMemory)}) {
    target->BltMatrix(&source, 16, 16, rotate, Rect(0, 0, 32, 32), Color::White, 0, Rect(0, 0, 16, 16), true);
    target->BltTrianglesTex(&source, tris, 1, Rect(0, 0, 32, 32), Color(255, 255, 255, 200), 0, 0.0f, 0.0f, false);
  }
  ASSERT_EQ(onSurface->mBits, nullptr);
  int differing = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      if (Pixel(onSurface, x, y) != (inMemory.GetBits()[y * 32 + x] & 0xFFFFFF)) ++differing;
  EXPECT_EQ(differing, 0);
  EXPECT_NE(Pixel(onSurface, 16, 16), 0x102030u);
}

// The fast stretch samples the nearest source pixel; the mirrored one runs each row from
// its right end, and partly transparent pixels blend over what is there.
TEST(DDImageDrawing, NearestStretchAndItsMirror) {
  for (const Format& f : {k565, k8888}) {
    Display d(f);
    MemoryImage source(nullptr);
    const std::uint32_t px[3] = {0xFFFF0000, 0xFF00FF00, 0x800000FF};
    source.SetBits(px, 3, 1);
    DDImage* plain = d.Image(6, 2, 0xFF000000);
    DDImage* mirrored = d.Image(6, 2, 0xFF000000);
    plain->StretchBlt(&source, Rect(0, 0, 6, 2), Rect(0, 0, 3, 1), Rect(0, 0, 6, 2), Color::White, 0, true);
    mirrored->StretchBltMirror(&source, Rect(0, 0, 6, 2), Rect(0, 0, 3, 1), Rect(0, 0, 6, 2), Color::White, 0, true);
    const std::uint32_t red = f.bits == 16 ? 0xF800 : 0xFF0000;
    const std::uint32_t green = f.bits == 16 ? 0x07E0 : 0x00FF00;
    for (int y = 0; y < 2; ++y) {
      EXPECT_EQ(Pixel(plain, 0, y), red) << f.name;
      EXPECT_EQ(Pixel(plain, 1, y), red);
      EXPECT_EQ(Pixel(plain, 2, y), green);
      EXPECT_EQ(Pixel(plain, 3, y), green);
      EXPECT_EQ(Pixel(mirrored, 5, y), red) << f.name;
      EXPECT_EQ(Pixel(mirrored, 2, y), green);
    }
    // Half-transparent blue over black: about half of full blue.
    const std::uint32_t blue = Pixel(plain, 4, 0);
    EXPECT_EQ(blue, Pixel(mirrored, 0, 0));
    EXPECT_EQ(blue & ~(f.bits == 16 ? 0x1Fu : 0xFFu), 0u);
    EXPECT_NEAR(static_cast<double>(blue), f.bits == 16 ? 16.0 : 128.0, f.bits == 16 ? 1.0 : 2.0);
  }
}

// Rotated and sub-pixel blits on a surface sample like the software rotation and blend in
// the surface's own arithmetic (the premultiplied colour by its coverage): the same pixels
// are drawn, within the few levels the two roundings differ by.
TEST(DDImageDrawing, RotatedAndSubPixelBlitsMatchTheSoftwareImage) {
  Display d(k8888);
  std::vector<std::uint32_t> px(12 * 12);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = (i % 7 == 0 ? 0x80000000u : 0xFF000000u) | static_cast<std::uint32_t>(i * 0x020406);
  MemoryImage source(nullptr);
  source.SetBits(px.data(), 12, 12);
  DDImage* onSurface = d.Image(40, 40, 0xFF304050);
  MemoryImage inMemory(nullptr);
  std::vector<std::uint32_t> ground(40 * 40, 0xFF304050);
  inMemory.SetBits(ground.data(), 40, 40);
  inMemory.SetImageMode(false, false);
  for (Image* target : {static_cast<Image*>(onSurface), static_cast<Image*>(&inMemory)}) {
    target->BltRotated(&source, 10.5f, 8.25f, Rect(0, 0, 12, 12), Rect(0, 0, 40, 40), Color::White, 0, 0.7, 6, 6);
    target->BltF(&source, 22.5f, 24.75f, Rect(0, 0, 12, 12), Rect(0, 0, 30, 30), Color(200, 255, 100, 180), 0);
  }
  int worst = 0, touched = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      const std::uint32_t want = inMemory.GetBits()[y * 40 + x] & 0xFFFFFF;
      worst = std::max(worst, ChannelDiff(Pixel(onSurface, x, y), want));
      touched += (want != 0x304050u) == (Pixel(onSurface, x, y) != 0x304050u) ? 0 : 1;
    }
  EXPECT_LE(worst, 3);
  EXPECT_EQ(touched, 0) << "the same pixels are drawn";
  EXPECT_NE(Pixel(onSurface, 16, 14), 0x304050u);
  EXPECT_EQ(Pixel(onSurface, 35, 35), 0x304050u) << "outside the clip of the sub-pixel blit";
}

}  // namespace
