// An image drawn onto itself, its source and destination rectangles overlapping: every blit
// gives the pixels that the same blit from a copy of the image gives, on software images
// (opaque, with alpha, palettized), on 2D surfaces of 32 and 16 bits and on the 3D screen.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <numbers>
#include <vector>

#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "platform/Direct3D.h"
#include "platform/DirectDraw.h"
#include "tests/framework/graphics/GraphicsTestUtil.h"

using namespace Orvo;

namespace {

constexpr int kW = 32, kH = 24;

// 64 colours in 8 x 8 tiles (few enough to palettize); `alpha` gives some pixels 0 and 128.
std::vector<std::uint32_t> Pattern(bool alpha) {
  std::vector<std::uint32_t> px(kW * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      std::uint32_t a = 0xFF;
      if (alpha && (x + 2 * y) % 7 == 0) a = 0;
      if (alpha && (x + y) % 5 == 1) a = 0x80;
      px[y * kW + x] = a << 24 | static_cast<std::uint32_t>(x % 8 * 32) << 16 |
                       static_cast<std::uint32_t>(y % 8 * 32) << 8 | static_cast<std::uint32_t>((x + y) % 4 * 60);
    }
  return px;
}

// One place to draw: makes an image of its kind holding the pattern, a copy of it to draw
// from, and reads what an image shows.
class Target {
 public:
  virtual ~Target() = default;
  virtual Image* Make(const std::vector<std::uint32_t>& px) = 0;
  virtual Image* Copy(const std::vector<std::uint32_t>& px) { return Make(px); }
  virtual std::vector<std::uint32_t> Read(Image* image) = 0;

 protected:
  std::vector<std::unique_ptr<Image>> owned_;
};

class SoftwareTarget : public Target {
 public:
  explicit SoftwareTarget(bool palettize) : palettize_(palettize) {}
  Image* Make(const std::vector<std::uint32_t>& px) override {
    auto* image = gtest_util::FromPixels(kW, kH, px);
    if (palettize_) {
      EXPECT_TRUE(image->Palletize());
    }
    owned_.emplace_back(image);
    return image;
  }
  std::vector<std::uint32_t> Read(Image* image) override {
    const std::uint32_t* bits = static_cast<MemoryImage*>(image)->GetBits();
    return {bits, bits + kW * kH};
  }

 private:
  bool palettize_;
};

// A windowed display on a desktop of the given depth; 3D draws on its screen image.
class DisplayTarget : public Target {
 public:
  DisplayTarget(plat::DWORD bits, plat::DWORD green, bool is3D) : is3D_(is3D) {
    plat::ResetDirectDrawBehaviour();
    plat::ResetDirect3DBehaviour();
    plat::DirectDrawTestBehaviour().desktopBitCount = bits;
    plat::DirectDrawTestBehaviour().desktopGreenMask = green;
    display_ = std::make_unique<DDInterface>(nullptr);
    display_->mRequest.width = kW;
    display_->mRequest.height = kH;
    display_->mIs3D = is3D;
    EXPECT_EQ(display_->Init(reinterpret_cast<plat::HWND>(0x10), true), DDInterface::RESULT_OK);
  }
  ~DisplayTarget() override {
    owned_.clear();
    display_.reset();
    plat::ResetDirectDrawBehaviour();
    plat::ResetDirect3DBehaviour();
  }
  Image* Make(const std::vector<std::uint32_t>& px) override {
    if (is3D_) {
      DDImage* screen = display_->GetScreenImage();
      EXPECT_TRUE(screen->Check3D());
      std::unique_ptr<MemoryImage> picture(gtest_util::FromPixels(kW, kH, px));
      screen->Blt(picture.get(), 0, 0, Rect(0, 0, kW, kH), Color::White, 0);
      display_->mD3DInterface->Flush();
      return screen;
    }
    auto* image = new DDImage(display_.get());
    owned_.emplace_back(image);
    image->SetBits(px.data(), kW, kH);
    // With a surface from the start, as the image drawn onto itself has once drawn on: a
    // source with a surface may be copied by DirectDraw rather than by the software.
    image->GenerateDDSurface();
    return image;
  }
  // On the 3D screen the copy is a software image of the pixels the screen shows.
  Image* Copy(const std::vector<std::uint32_t>& px) override {
    if (!is3D_) return Make(px);
    auto* image = gtest_util::FromPixels(kW, kH, px);
    owned_.emplace_back(image);
    return image;
  }
  std::vector<std::uint32_t> Read(Image* image) override {
    auto* dd = static_cast<DDImage*>(image);
    if (is3D_) display_->mD3DInterface->Flush();
    plat::IDirectDrawSurface* surface = is3D_ ? display_->mDrawSurface : dd->mSurface;
    std::vector<std::uint32_t> out(kW * kH);
    if (surface == nullptr) {
      const std::uint32_t* bits = dd->GetBits();
      out.assign(bits, bits + kW * kH);
      return out;
    }
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) out[y * kW + x] = surface->PixelAt(x, y);
    return out;
  }

 private:
  bool is3D_;
  std::unique_ptr<DDInterface> display_;
};

struct Kind {
  const char* name;
  bool alpha;
  std::function<std::unique_ptr<Target>()> make;
};

const Kind kKinds[] = {
    {"opaque software image", false, [] { return std::make_unique<SoftwareTarget>(false); }},
    {"software image with alpha", true, [] { return std::make_unique<SoftwareTarget>(false); }},
    {"palettized software image", true, [] { return std::make_unique<SoftwareTarget>(true); }},
    {"2D surface, 32 bits", false, [] { return std::make_unique<DisplayTarget>(32, 0, false); }},
    {"2D surface, 5-6-5", false, [] { return std::make_unique<DisplayTarget>(16, 0x07E0, false); }},
    {"2D display image with alpha", true, [] { return std::make_unique<DisplayTarget>(32, 0, false); }},
    {"3D screen", false, [] { return std::make_unique<DisplayTarget>(32, 0, true); }},
};

// The source rectangle, and the blits, each drawing it moved by (dx, dy).
const Rect kSrc(6, 5, 17, 12);
const Rect kAll(0, 0, kW, kH);
const Color kTint(200, 120, 60, 180);

struct Blit {
  const char* name;
  std::function<void(Image* dest, Image* src, int x, int y)> draw;
};

const Blit kBlits[] = {
    {"Blt", [](Image* d, Image* s, int x, int y) { d->Blt(s, x, y, kSrc, Color::White, 0); }},
    {"Blt tinted", [](Image* d, Image* s, int x, int y) { d->Blt(s, x, y, kSrc, kTint, 0); }},
    {"Blt additive", [](Image* d, Image* s, int x, int y) { d->Blt(s, x, y, kSrc, Color::White, 1); }},
    {"Blt additive tinted", [](Image* d, Image* s, int x, int y) { d->Blt(s, x, y, kSrc, kTint, 1); }},
    {"BltMirror", [](Image* d, Image* s, int x, int y) { d->BltMirror(s, x, y, kSrc, Color::White, 0); }},
    {"BltMirror additive tinted", [](Image* d, Image* s, int x, int y) { d->BltMirror(s, x, y, kSrc, kTint, 1); }},
    {"StretchBlt nearest",
     [](Image* d, Image* s, int x, int y) { d->StretchBlt(s, Rect(x, y, 21, 9), kSrc, kAll, Color::White, 0, true); }},
    {"StretchBlt filtered",
     [](Image* d, Image* s, int x, int y) { d->StretchBlt(s, Rect(x, y, 21, 9), kSrc, kAll, Color::White, 0, false); }},
    {"StretchBltMirror",
     [](Image* d, Image* s, int x, int y) { d->StretchBltMirror(s, Rect(x, y, 13, 14), kSrc, kAll, kTint, 0, true); }},
    {"BltF", [](Image* d, Image* s, int x, int y) { d->BltF(s, x + 0.5f, y + 0.25f, kSrc, kAll, Color::White, 0); }},
    {"BltRotated",
     [](Image* d, Image* s, int x, int y) { d->BltRotated(s, x, y, kSrc, kAll, Color::White, 0, 0.2, 8, 6); }},
    {"BltMatrix",
     [](Image* d, Image* s, int x, int y) {
       Matrix3 m;
       m.Rotate(0.2f);
       d->BltMatrix(s, x + kSrc.mWidth / 2.0f, y + kSrc.mHeight / 2.0f, m, kAll, Color::White, 0, kSrc, false);
     }},
    {"BltTrianglesTex",
     [](Image* d, Image* s, int x, int y) {
       const float u0 = float(kSrc.mX) / kW, u1 = float(kSrc.mX + kSrc.mWidth) / kW;
       const float v0 = float(kSrc.mY) / kH, v1 = float(kSrc.mY + kSrc.mHeight) / kH;
       const float w = float(kSrc.mWidth), h = float(kSrc.mHeight);
       const TriVertex tris[2][3] = {{{0, 0, u0, v0, 0}, {w, 0, u1, v0, 0}, {0, h, u0, v1, 0}},
                                     {{w, 0, u1, v0, 0}, {w, h, u1, v1, 0}, {0, h, u0, v1, 0}}};
       d->BltTrianglesTex(s, tris, 2, kAll, kTint, 0, float(x), float(y), false);
     }},
};

// Moves right, left, down, up and diagonally: every order of reading and writing rows and
// columns meets pixels it has not read yet.
const int kMoves[][2] = {{3, 0}, {-3, 0}, {0, 2}, {0, -2}, {2, 3}, {-2, -1}};

TEST(SelfBlit, OverlappingSelfBlitsMatchBlitsFromACopy) {
  for (const Kind& kind : kKinds) {
    const std::vector<std::uint32_t> px = Pattern(kind.alpha);
    for (const Blit& blit : kBlits) {
      int unchanged = 0;
      for (const auto& move : kMoves) {
        const int x = kSrc.mX + move[0], y = kSrc.mY + move[1];
        std::vector<std::uint32_t> self, fromCopy, before;
        {
          auto target = kind.make();
          Image* image = target->Make(px);
          before = target->Read(image);
          blit.draw(image, image, x, y);
          self = target->Read(image);
        }
        {
          auto target = kind.make();
          Image* image = target->Make(px);
          Image* copy = target->Copy(px);
          blit.draw(image, copy, x, y);
          fromCopy = target->Read(image);
        }
        int differ = 0;
        for (int i = 0; i < kW * kH; ++i) differ += self[i] != fromCopy[i] ? 1 : 0;
        if (differ != 0)
          ADD_FAILURE() << kind.name << ", " << blit.name << ", moved " << move[0] << "," << move[1] << ": " << differ
                        << " pixels differ from the blit from a copy";
        if (fromCopy == before) ++unchanged;
      }
      EXPECT_LT(unchanged, 6) << kind.name << ", " << blit.name << ": the blit drew nothing";
    }
  }
}

}  // namespace
