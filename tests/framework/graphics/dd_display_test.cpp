// The DirectDraw display: start-up results, refresh and colour tables, presenting frames,
// the software cursor, recovery from lost surfaces.
#include "framework/graphics/DDInterface.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "framework/graphics/DDImage.h"
#include "platform/DirectDraw.h"

using namespace Orvo;

namespace {

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::ResetDirectDrawBehaviour(); }
  void TearDown() override {
    cursor.reset();
    dd.reset();
    plat::ResetDirectDrawBehaviour();
  }
  int Open(bool windowed, int width = 320, int height = 240, int depth = 32) {
    dd = std::make_unique<DDInterface>(nullptr);
    dd->mRequest.width = width;
    dd->mRequest.height = height;
    dd->mRequest.colorDepth = depth;
    return dd->Init(reinterpret_cast<plat::HWND>(0x10), windowed);
  }
  // Fills the whole screen image with one opaque colour.
  void Frame(int r, int g, int b) {
    dd->GetScreenImage()->FillRect(Rect(0, 0, dd->mWidth, dd->mHeight), Color(r, g, b), 0);
  }
  plat::DWORD Shown(int x, int y) { return dd->mPrimarySurface->PixelAt(x, y); }
  void MakeCursor() {
    cursor = std::make_unique<MemoryImage>(nullptr);
    std::vector<std::uint32_t> px(16 * 16, 0xFFFFFFFF);
    for (int i = 0; i < 16; ++i) px[static_cast<std::size_t>(i) * 16 + i] = 0x00000000;
    cursor->SetBits(px.data(), 16, 16);
    dd->SetCursorImage(cursor.get());
  }
  std::unique_ptr<DDInterface> dd;
  std::unique_ptr<MemoryImage> cursor;
};

TEST_F(DisplayTest, StartUpResultsAndTheirErrorTexts) {
  struct Case {
    const char* name;
    bool windowed;
    int depth;
    void (*provoke)(plat::DirectDrawBehaviour&);
    int result;
    const char* error;
  } cases[] = {
      {"ok windowed", true, 32, [](plat::DirectDrawBehaviour&) {}, 0, ""},
      {"ok full screen 16", false, 16, [](plat::DirectDrawBehaviour&) {}, 0, ""},
      {"24-bit desktop", true, 32, [](plat::DirectDrawBehaviour& b) { b.desktopBitCount = 24; }, 6, ""},
      {"8-bit desktop", true, 32, [](plat::DirectDrawBehaviour& b) { b.desktopBitCount = 8; }, 6, ""},
      {"no DirectDraw", true, 32, [](plat::DirectDrawBehaviour& b) { b.directDrawCreateResult = plat::DDERR_GENERIC; }, 2,
       "DirectDrawCreateEx: DSERR_GENERIC"},
      {"no clipper", true, 32, [](plat::DirectDrawBehaviour& b) { b.createClipperResult = plat::DDERR_OUTOFMEMORY; }, 1,
       "CreateClipper Windowed: E_OUTOFMEMORY"},
      {"no primary", true, 32, [](plat::DirectDrawBehaviour& b) { b.createSurfaceFailsAfter = 0; }, 3,
       "CreateSurface Windowed Primary: DDERR_OUTOFVIDEOMEMORY"},
      {"no draw surface", false, 32, [](plat::DirectDrawBehaviour& b) { b.createSurfaceFailsAfter = 1; }, 3,
       "CreateSurface FullScreen DrawSurface: DDERR_OUTOFVIDEOMEMORY"},
      {"no cursor area", true, 32, [](plat::DirectDrawBehaviour& b) { b.createSurfaceFailsAfter = 3; }, 3,
       "CreateSurface NewCursorArea: DDERR_OUTOFVIDEOMEMORY"},
      {"exclusive refused", false, 32,
       [](plat::DirectDrawBehaviour& b) { b.exclusiveLevelResult = plat::DDERR_NOEXCLUSIVEMODE; }, 4,
       "SetCooperativeLevel FullScreen: DDERR_NOEXCLUSIVEMODE"},
      {"24-bit full screen", false, 24, [](plat::DirectDrawBehaviour&) {}, 5, "SetDisplayMode FullScreen: DDERR_UNSUPPORTEDMODE"},
  };
  for (const Case& c : cases) {
    plat::ResetDirectDrawBehaviour();
    c.provoke(plat::DirectDrawTestBehaviour());
    dd = std::make_unique<DDInterface>(nullptr);
    dd->mRequest.width = 320;
    dd->mRequest.height = 240;
    dd->mRequest.colorDepth = c.depth;
    dd->mErrorString = "";
    EXPECT_EQ(dd->Init(reinterpret_cast<plat::HWND>(0x10), c.windowed), c.result) << c.name;
    EXPECT_EQ(dd->mErrorString, c.error) << c.name;
    EXPECT_EQ(dd->mInitialized, c.result == 0) << c.name;
    EXPECT_EQ(dd->Redraw(), c.result == 0) << c.name;
    EXPECT_EQ(dd->GetScreenImage() != nullptr, c.result == 0) << c.name;
  }
  EXPECT_EQ(DDInterface::ResultName(6), "RESULT_INVALID_COLORDEPTH");
  EXPECT_EQ(DDInterface::ResultName(7), "RESULT_UNKNOWN");
}

TEST_F(DisplayTest, AFailedStartRefusesImageSurfacesInsteadOfCrashing) {
  plat::DirectDrawTestBehaviour().createSurfaceFailsAfter = 0;
  ASSERT_EQ(Open(true), 3);
  plat::ResetDirectDrawBehaviour();
  DDImage image(dd.get());
  std::vector<std::uint32_t> px(4, 0xFF808080);
  image.SetBits(px.data(), 2, 2);
  EXPECT_FALSE(image.GenerateDDSurface());
  // Drawing stays in the software pixels, which are kept.
  image.FillRect(Rect(0, 0, 1, 1), Color(255, 0, 0), 0);
  ASSERT_NE(image.mBits, nullptr);
  EXPECT_EQ(image.mBits[3], 0xFF808080u);
}

TEST_F(DisplayTest, InitAgainCountsOnlySuccesses) {
  ASSERT_EQ(Open(true), 0);
  EXPECT_EQ(dd->mInitCount, 1);
  plat::DirectDrawTestBehaviour().createClipperResult = plat::DDERR_OUTOFMEMORY;
  EXPECT_EQ(dd->Init(nullptr, true), 1);
  EXPECT_EQ(dd->mInitCount, 1);
  plat::ResetDirectDrawBehaviour();
  EXPECT_EQ(dd->Init(reinterpret_cast<plat::HWND>(0x10), false), 0);
  EXPECT_EQ(dd->mInitCount, 2);
  EXPECT_FALSE(dd->mIsWindowed);
}

TEST_F(DisplayTest, RefreshRateIsClampedAndFlaggedWhenUnreliable) {
  struct Case {
    plat::DWORD reported;
    plat::HRESULT result;
    std::uint32_t rate, ms;
    bool unreliable;
  } cases[] = {{0, plat::DD_OK, 60, 16, true},       {59, plat::DD_OK, 60, 16, true},
               {120, plat::DD_OK, 100, 10, true},    {75, plat::DD_OK, 75, 13, false},
               {75, plat::DDERR_UNSUPPORTED, 60, 16, true}};
  for (const auto& c : cases) {
    plat::ResetDirectDrawBehaviour();
    plat::DirectDrawTestBehaviour().overrideMonitorFrequency = true;
    plat::DirectDrawTestBehaviour().monitorFrequency = c.reported;
    plat::DirectDrawTestBehaviour().monitorFrequencyResult = c.result;
    ASSERT_EQ(Open(true), 0);
    EXPECT_EQ(dd->mRefreshRate, c.rate) << c.reported;
    EXPECT_EQ(dd->mMillisecondsPerFrame, c.ms) << c.reported;
    EXPECT_EQ(dd->mVsyncUnreliable, c.unreliable) << c.reported;
  }
}

TEST_F(DisplayTest, ColourLayoutAndTablesOf565) {
  plat::DirectDrawTestBehaviour().desktopBitCount = 16;
  ASSERT_EQ(Open(true), 0);
  EXPECT_EQ(dd->mRGBBits, 16);
  EXPECT_EQ(dd->mRedShift, 11);
  EXPECT_EQ(dd->mGreenBits, 6);
  EXPECT_EQ(dd->mBlueShift, 0);
  EXPECT_TRUE(gDisplayRGBOrdered);
  EXPECT_EQ(dd->mRedAddTable[31], 31);
  EXPECT_EQ(dd->mRedAddTable[62], 31);
  EXPECT_EQ(dd->mGreenAddTable[126], 63);
  EXPECT_EQ(dd->mGreenAddTable[40], 40);
  EXPECT_EQ(dd->mRedConvTable[255], 0xF800u);
  EXPECT_EQ(dd->mRedConvTable[128], 0x7800u);
  EXPECT_EQ(dd->mGreenConvTable[255], 0x07E0u);
}

TEST_F(DisplayTest, RatioOrderingIsNarrowerThan) {
  EXPECT_TRUE(Ratio(4, 3) < Ratio(16, 10));
  EXPECT_FALSE(Ratio(16, 10) < Ratio(4, 3));
  EXPECT_FALSE(Ratio(4, 3) < Ratio(4, 3));
  EXPECT_TRUE(Ratio(1024, 768) < Ratio(1280, 800));
}

TEST_F(DisplayTest, RedrawShowsTheDrawBufferInEachMode) {
  for (bool windowed : {true, false}) {
    for (bool flip : {true, false}) {
      ASSERT_EQ(Open(windowed), 0);
      dd->mRequest.pageFlipAllowed = flip;
      Frame(10, 200, 30);
      dd->GetScreenImage()->FillRect(Rect(5, 6, 1, 1), Color(255, 0, 0), 0);
      ASSERT_TRUE(dd->Redraw()) << windowed << flip << dd->mErrorString;
      EXPECT_EQ(Shown(0, 0), dd->mDrawSurface->PixelAt(0, 0));
      EXPECT_EQ(Shown(319, 239), dd->mDrawSurface->PixelAt(319, 239));
      EXPECT_EQ(Shown(5, 6), 0xFE0000u);
    }
  }
}

// After any walk of the cursor, taking it off leaves exactly the frame.
TEST_F(DisplayTest, CursorMovesLeaveNoTrace) {
  for (bool windowed : {true, false}) {
    ASSERT_EQ(Open(windowed), 0);
    dd->mRequest.pageFlipAllowed = false;  // the full-screen present without flipping
    for (int y = 0; y < 240; ++y)
      dd->GetScreenImage()->FillRect(Rect(0, y, 320, 1), Color(y, 255 - y, (y * 7) & 255), 0);
    MakeCursor();
    dd->SetCursorPos(-1000, -1000);  // off the screen while the clean frame is shown
    ASSERT_TRUE(dd->Redraw());
    std::vector<plat::DWORD> frame;
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x) frame.push_back(Shown(x, y));
    const int path[][2] = {{100, 100}, {110, 104}, {140, 130}, {250, 40}, {318, 238}, {2, 1},
                           {-20, 5},   {30, 30},   {31, 31},   {200, 200}, {160, 120}};
    for (const auto& p : path) dd->SetCursorPos(p[0], p[1]);
    EXPECT_EQ(Shown(161, 120), 0xFFFFFFu) << "the cursor is visible";
    dd->RemoveCursor(dd->mPrimarySurface, true);
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x) ASSERT_EQ(Shown(x, y), frame[static_cast<std::size_t>(y) * 320 + x]) << x << "," << y;
  }
}

// Full screen without page flipping: a new frame must not be patched with the old one
// when the cursor moves on.
TEST_F(DisplayTest, FullScreenBltPresentLeavesNoStaleCursorPatch) {
  ASSERT_EQ(Open(false), 0);
  dd->mRequest.pageFlipAllowed = false;
  MakeCursor();
  Frame(200, 0, 0);
  ASSERT_TRUE(dd->Redraw());
  dd->SetCursorPos(100, 100);
  Frame(0, 0, 200);
  ASSERT_TRUE(dd->Redraw());
  dd->SetCursorPos(250, 200);
  const plat::DWORD blue = dd->mDrawSurface->PixelAt(0, 0);
  for (int y = 68; y < 132; ++y)
    for (int x = 68; x < 132; ++x) ASSERT_EQ(Shown(x, y), blue) << x << "," << y;
}

TEST_F(DisplayTest, LostSurfacesFailThePresentUntilTheDisplayIsOpenedAgain) {
  ASSERT_EQ(Open(true), 0);
  DDImage image(dd.get());
  std::vector<std::uint32_t> px(16, 0xFF00FF00);
  image.SetBits(px.data(), 4, 4);
  ASSERT_TRUE(image.GenerateDDSurface());
  image.DeleteAllNonSurfaceData();  // the surface is the only copy

  plat::SimulateSurfaceLoss();
  Frame(1, 2, 3);
  EXPECT_FALSE(dd->Redraw());
  EXPECT_EQ(dd->mErrorString, "Redraw Windowed: DDERR_SURFACELOST");

  // The application drops the images' surfaces (reading them back), opens the display
  // again and lets the images make new surfaces.
  image.DeleteExtraBuffers();
  ASSERT_EQ(dd->Init(nullptr, true), 0);
  image.ReInit();
  ASSERT_NE(image.mSurface, nullptr);
  EXPECT_EQ(image.mSurface->PixelAt(3, 3), 0x00FF00u);
  dd->GetScreenImage()->Blt(&image, 0, 0, Rect(0, 0, 4, 4), Color::White, 0);
  ASSERT_TRUE(dd->Redraw());
  EXPECT_EQ(Shown(2, 2), 0x00FF00u);
}

// The cursor thread moves the cursor while the main thread presents frames; afterwards
// the cursor comes off without leaving a trace.
TEST_F(DisplayTest, CursorThreadAndPresentsShareTheDisplay) {
  ASSERT_EQ(Open(true), 0);
  MakeCursor();
  Frame(30, 60, 90);
  std::atomic<bool> stop{false};
  std::thread mover([&] {
    for (int i = 0; !stop; ++i) dd->SetCursorPos(40 + (i * 7) % 240, 30 + (i * 3) % 180);
  });
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(dd->Redraw());
  stop = true;
  mover.join();
  {
    ScopedCriticalSection lock(dd->mCritSect);
    dd->RemoveCursor(dd->mPrimarySurface, true);
  }
  const plat::DWORD ground = dd->mDrawSurface->PixelAt(0, 0);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) ASSERT_EQ(Shown(x, y), ground) << x << "," << y;
}

}  // namespace
