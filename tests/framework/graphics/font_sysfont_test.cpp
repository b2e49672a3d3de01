// System fonts: faces found by Windows names, consistent measuring, visible anti-aliased
// drawing through the image path, and the alpha recovered from the two renderings.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>
#include <string>

#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/MemoryImage.h"
#include "framework/graphics/SysFont.h"
#include "platform/Direct3D.h"
#include "platform/DirectDraw.h"

namespace {

using Orvo::Color;
using Orvo::SysFont;

TEST(SysFont, AlphaRecoveryFromWhiteAndBlackRenderings) {
  struct Case {
    std::uint32_t onWhite, onBlack, expected;
  };
  const Case cases[] = {
      {0x00123456, 0x00123456, 0xFF123456},  // the same on both: opaque
      {0x00FFFFFF, 0x00000000, 0x00000000},  // untouched: transparent
      {0x00FF8080, 0x00FF0000, 0x7FFF0000},  // half-covered red: alpha 127 from green and blue
      {0x00FF1010, 0x00001010, 0x00000000},  // one channel explained only by alpha 0: no division
      {0x00000000, 0x00FFFFFF, 0xFFFFFFFF},  // darker on white than on black: alpha held at 255
  };
  for (const Case& c : cases) EXPECT_EQ(SysFont::RecoverAlpha(c.onWhite, c.onBlack), c.expected) << std::hex << c.onWhite;
}

TEST(SysFont, MeasuresConsistently) {
  for (const char* face : {"Arial", "Tahoma", "Arial Unicode MS", "No Such Face At All"}) {
    SysFont font(face, 12);
    EXPECT_GT(font.GetHeight(), 0) << face;
    EXPECT_GT(font.GetAscent(), 0) << face;
    EXPECT_LE(font.GetAscent(), font.GetHeight()) << face;
    EXPECT_EQ(font.StringWidth(""), 0) << face;
    const int w1 = font.StringWidth("Hello");
    const int w2 = font.StringWidth("Hello, world");
    EXPECT_GT(w1, 0) << face;
    EXPECT_GT(w2, w1) << face;
    EXPECT_EQ(font.StringWidth("Hello"), w1) << face;
    EXPECT_EQ(font.CharWidthKern('V', 'A'), font.CharWidth('V')) << face;  // no kerning for system text
  }
  SysFont small("Arial", 10), large("Arial", 20);
  EXPECT_GT(large.StringWidth("Measure"), small.StringWidth("Measure"));
  EXPECT_GT(large.GetHeight(), small.GetHeight());
  SysFont bold(nullptr, "Arial", 20, 0, true);
  EXPECT_GT(bold.StringWidth("Measure"), 0);

  std::unique_ptr<Orvo::Font> copy(large.Duplicate());
  EXPECT_EQ(copy->StringWidth("Measure"), large.StringWidth("Measure"));
  EXPECT_EQ(copy->GetHeight(), large.GetHeight());
  EXPECT_EQ(copy->GetAscent(), large.GetAscent());
}

TEST(SysFont, DrawsVisibleTextWithPartialAlphaEdges) {
  SysFont font("Arial", 20);
  Orvo::MemoryImage canvas;
  canvas.Create(200, 60);
  canvas.Clear();
  Orvo::Graphics g(&canvas);
  g.SetFont(&font);
  g.SetColor(Color::White);
  g.DrawString("Quorvane", 10, 40);

  const std::uint32_t* bits = canvas.GetBits();
  int opaqueWhite = 0, partial = 0, aboveTop = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 200; ++x) {
      const std::uint32_t p = bits[y * 200 + x];
      const std::uint32_t alpha = p >> 24;
      if (alpha == 0) continue;
      if (y < 40 - font.GetAscent()) ++aboveTop;
      // (the blitter may round a full channel down by one)
      if (alpha == 255 && ((p >> 16) & 0xFF) >= 254 && ((p >> 8) & 0xFF) >= 254 && (p & 0xFF) >= 254) ++opaqueWhite;
      if (alpha > 0 && alpha < 255) ++partial;
    }
  EXPECT_GT(opaqueWhite, 20);
  EXPECT_GT(partial, 20);
  EXPECT_EQ(aboveTop, 0);  // the text hangs from the baseline, inside its ascent

  // An empty string draws nothing.
  canvas.Clear();
  g.DrawString("", 10, 40);
  for (int i = 0; i < 200 * 60; ++i) ASSERT_EQ(bits[i], 0u);
}

TEST(SysFont, GdiTextDrawsIntoSixteenBitPixelsWithinTheClip) {
  std::vector<std::uint16_t> pixels(100 * 30, 0);
  plat::HDC dc = plat::CreateDCOverPixels(pixels.data(), 100, 30, 200, 16, 0xF800, 0x07E0, 0x001F);
  ASSERT_NE(dc, nullptr);
  plat::HFONT font = plat::CreateFontA(-16, 0, 0, 0, plat::FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  plat::SelectObject(dc, font);
  plat::SetTextColor(dc, plat::RGB(255, 255, 255));
  plat::TextOutA(dc, 2, 2, "Hi", 2);
  int full = 0, partial = 0;
  for (std::uint16_t p : pixels) {
    full += p == 0xFFFF;
    partial += p != 0 && p != 0xFFFF;
  }
  EXPECT_GT(full, 5);
  EXPECT_GT(partial, 0);
  std::fill(pixels.begin(), pixels.end(), 0);
  plat::IntersectClipRect(dc, 0, 0, 10, 30);
  plat::TextOutA(dc, 20, 2, "Hi", 2);  // entirely outside the clip
  EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](std::uint16_t p) { return p == 0; }));
  plat::DeleteDC(dc);
  plat::DeleteObject(font);
  EXPECT_EQ(plat::CreateDCOverPixels(pixels.data(), 100, 30, 100, 16, 0xF800, 0x07E0, 0x001F), nullptr);  // pitch too small
}

// On a 3D screen the triangles queued so far are finished before the platform draws text
// into the same pixels, so the text lands on top of them.
TEST(SysFont, TextOnA3DScreenEndsTheSceneFirst) {
  plat::ResetDirectDrawBehaviour();
  plat::ResetDirect3DBehaviour();
  plat::DirectDrawTestBehaviour().desktopBitCount = 32;
  {
    Orvo::DDInterface display(nullptr);
    display.mRequest.width = 120;
    display.mRequest.height = 40;
    display.mIs3D = true;
    ASSERT_EQ(display.Init(reinterpret_cast<plat::HWND>(0x10), true), Orvo::DDInterface::RESULT_OK);
    Orvo::DDImage* screen = display.GetScreenImage();
    ASSERT_TRUE(screen->Check3D());
    screen->FillRect(Orvo::Rect(0, 0, 120, 40), Color(0, 0, 255), 0);
    ASSERT_TRUE(display.mD3DInterface->mSceneBegun);
    SysFont font("Arial", 20);
    Orvo::Graphics g(screen);
    g.SetFont(&font);
    g.SetColor(Color::White);
    g.DrawString("Quorvane", 4, 30);
    EXPECT_FALSE(display.mD3DInterface->mSceneBegun);
    int white = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 120; ++x) white += (display.mDrawSurface->PixelAt(x, y) & 0xFFFFFF) == 0xFFFFFF ? 1 : 0;
    EXPECT_GT(white, 20) << "the text is over the blue fill";
  }
  plat::ResetDirectDrawBehaviour();
  plat::ResetDirect3DBehaviour();
}

// Text drawn into a transparent surface image leaves the image transparent around the
// letters: the pixels still under the colour key read back, and blit, as holes. The image is
// transparent by its bits or by having none yet (made by Create), on 32 and 16 bits.
TEST(SysFont, TextIntoATransparentImageKeepsItTransparent) {
  for (plat::DWORD depth : {32u, 16u}) {
    for (bool created : {false, true}) {
      SCOPED_TRACE(std::to_string(depth) + (created ? " bits, made by Create" : " bits, transparent bits"));
      plat::ResetDirectDrawBehaviour();
      plat::DirectDrawTestBehaviour().desktopBitCount = depth;
      plat::DirectDrawTestBehaviour().desktopGreenMask = depth == 16 ? 0x07E0 : 0;
      {
        Orvo::DDInterface display(nullptr);
        ASSERT_EQ(display.Init(reinterpret_cast<plat::HWND>(0x10), true), Orvo::DDInterface::RESULT_OK);
        Orvo::DDImage label(&display);
        if (created)
          label.Create(120, 40);
        else
          label.SetBits(std::vector<std::uint32_t>(120 * 40, 0).data(), 120, 40);
        SysFont font("Arial", 20);
        Orvo::Graphics g(&label);
        g.SetFont(&font);
        g.SetColor(Color::White);
        g.DrawString("Quorvane", 4, 30);
        ASSERT_NE(label.mSurface, nullptr) << "the text went straight into the surface";

        const std::uint32_t* bits = label.GetBits();
        ASSERT_NE(bits, nullptr);
        int clear = 0, white = 0;
        for (int i = 0; i < 120 * 40; ++i) {
          clear += bits[i] == 0 ? 1 : 0;
          white += (bits[i] & 0xFFF8FCF8u) == 0xFFF8FCF8u ? 1 : 0;  // white, low bits cut on 16 bits
        }
        EXPECT_GT(clear, 120 * 40 / 2);
        EXPECT_GT(white, 20);
        EXPECT_EQ(bits[0], 0u);

        Orvo::MemoryImage canvas(nullptr);
        canvas.SetBits(std::vector<std::uint32_t>(120 * 40, 0xFF0000FF).data(), 120, 40);
        canvas.Blt(&label, 0, 0, Orvo::Rect(0, 0, 120, 40), Color::White, 0);
        EXPECT_EQ(canvas.GetBits()[0], 0xFF0000FFu);
        EXPECT_EQ(canvas.GetBits()[120 * 40 - 1], 0xFF0000FFu);
      }
      plat::ResetDirectDrawBehaviour();
    }
  }
}

}  // namespace
