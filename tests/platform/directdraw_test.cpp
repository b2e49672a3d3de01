// The memory-backed DirectDraw: surface formats, locking, blits with colour keys and
// clipping, flipping, display modes, loss and Restore, and the failures tests can provoke.
#include "platform/DirectDraw.h"

#include <gtest/gtest.h>

#include "platform/Module.h"

using namespace plat;

namespace {

class DirectDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDirectDrawBehaviour();
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
  }
  void TearDown() override {
    if (dd != nullptr) dd->Release();
    ResetDirectDrawBehaviour();
  }

  IDirectDrawSurface* Offscreen(DWORD w, DWORD h, DWORD caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY) {
    DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = w;
    desc.dwHeight = h;
    desc.ddsCaps.dwCaps = caps;
    IDirectDrawSurface* s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
    return s;
  }

  static void Fill(IDirectDrawSurface* s, DWORD value) {
    DDBLTFX fx;
    fx.dwSize = sizeof fx;
    fx.dwFillColor = value;
    ASSERT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  }

  IDirectDraw* dd = nullptr;
};

TEST_F(DirectDrawTest, SurfacesTakeTheDisplayFormatWithItsMasks) {
  struct Case {
    DWORD bits, green, r, g, b;
  };
  const Case cases[] = {{32, 0, 0xFF0000, 0xFF00, 0xFF}, {16, 0x07E0, 0xF800, 0x07E0, 0x1F}, {16, 0x03E0, 0x7C00, 0x03E0, 0x1F}};
  for (const Case& c : cases) {
    DirectDrawTestBehaviour().desktopBitCount = c.bits;
    DirectDrawTestBehaviour().desktopGreenMask = c.green;
    IDirectDrawSurface* s = Offscreen(5, 3);
    DDSURFACEDESC desc;
    desc.dwSize = sizeof desc;
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, c.bits);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, c.r);
    EXPECT_EQ(desc.ddpfPixelFormat.dwGBitMask, c.g);
    EXPECT_EQ(desc.ddpfPixelFormat.dwBBitMask, c.b);
    EXPECT_GE(desc.lPitch, static_cast<LONG>(5 * c.bits / 8));
    EXPECT_NE(desc.lpSurface, nullptr);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    s->Release();
  }
}

TEST_F(DirectDrawTest, BltCopiesStretchesAndHonoursTheSourceKey) {
  IDirectDrawSurface* src = Offscreen(2, 2);
  IDirectDrawSurface* dst = Offscreen(4, 4);
  Fill(dst, 0x111111);
  RECT r0{0, 0, 1, 1}, r1{1, 0, 2, 1}, r2{0, 1, 2, 2};
  DDBLTFX fx;
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0xAA;
  src->Blt(&r0, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  fx.dwFillColor = 0xBB;
  src->Blt(&r1, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  fx.dwFillColor = 0xCC;
  src->Blt(&r2, nullptr, nullptr, DDBLT_COLORFILL, &fx);

  // Doubled in both directions.
  ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(dst->PixelAt(1, 1), 0xAAu);
  EXPECT_EQ(dst->PixelAt(2, 1), 0xBBu);
  EXPECT_EQ(dst->PixelAt(3, 3), 0xCCu);

  // The key 0xBB leaves the destination's pixel where the source has it.
  Fill(dst, 0x111111);
  DDCOLORKEY key{0xBB, 0xBB};
  ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  RECT d{1, 1, 3, 3};
  ASSERT_EQ(dst->Blt(&d, src, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
  EXPECT_EQ(dst->PixelAt(1, 1), 0xAAu);
  EXPECT_EQ(dst->PixelAt(2, 1), 0x111111u);
  EXPECT_EQ(dst->PixelAt(0, 0), 0x111111u);
  // Without the flag the key is ignored.
  ASSERT_EQ(dst->BltFast(1, 1, src, nullptr, DDBLTFAST_NOCOLORKEY), DD_OK);
  EXPECT_EQ(dst->PixelAt(2, 1), 0xBBu);
  src->Release();
  dst->Release();
}

TEST_F(DirectDrawTest, BadRectanglesAndFormatsAreRefused) {
  IDirectDrawSurface* src = Offscreen(4, 4);
  IDirectDrawSurface* dst = Offscreen(8, 8);
  RECT outside{6, 6, 10, 10};
  RECT empty{2, 2, 2, 5};
  RECT srcOutside{-1, 0, 3, 3};
  EXPECT_EQ(dst->Blt(&outside, src, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->Blt(&empty, src, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->Blt(nullptr, src, &srcOutside, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->BltFast(6, 6, src, nullptr, 0), DDERR_INVALIDRECT);
  DDSURFACEDESC lockDesc;
  EXPECT_EQ(dst->Lock(&outside, &lockDesc, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);

  DirectDrawTestBehaviour().desktopBitCount = 16;
  IDirectDrawSurface* narrow = Offscreen(4, 4);
  EXPECT_EQ(dst->Blt(nullptr, narrow, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPIXELFORMAT);
  narrow->Release();
  src->Release();
  dst->Release();
}

TEST_F(DirectDrawTest, OverlappingBltWithinOneSurfaceReadsTheOriginal) {
  IDirectDrawSurface* s = Offscreen(4, 1);
  for (LONG x = 0; x < 4; ++x) {
    RECT r{x, 0, x + 1, 1};
    DDBLTFX fx;
    fx.dwSize = sizeof fx;
    fx.dwFillColor = static_cast<DWORD>(x + 1);
    s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  }
  RECT from{0, 0, 3, 1}, to{1, 0, 4, 1};
  ASSERT_EQ(s->Blt(&to, s, &from, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(s->PixelAt(1, 0), 1u);
  EXPECT_EQ(s->PixelAt(2, 0), 2u);
  EXPECT_EQ(s->PixelAt(3, 0), 3u);
  s->Release();
}

TEST_F(DirectDrawTest, FullScreenFlipsBetweenPrimaryAndBackBuffer) {
  auto* window = reinterpret_cast<HWND>(0x1);
  DDSURFACEDESC desc;
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  IDirectDrawSurface* primary = nullptr;
  EXPECT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DDERR_NOCOOPERATIVELEVELSET);
  EXPECT_EQ(dd->SetDisplayMode(1024, 768, 16), DDERR_NOEXCLUSIVEMODE);
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  EXPECT_EQ(dd->SetDisplayMode(1024, 768, 24), DDERR_UNSUPPORTEDMODE);
  ASSERT_EQ(dd->SetDisplayMode(1024, 768, 16), DD_OK);
  ASSERT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
  EXPECT_EQ(primary->Width(), 1024);
  EXPECT_EQ(primary->PixelFormat().dwRGBBitCount, 16u);
  DDSCAPS caps{DDSCAPS_BACKBUFFER};
  IDirectDrawSurface* back = nullptr;
  ASSERT_EQ(primary->GetAttachedSurface(&caps, &back), DD_OK);
  Fill(back, 0x1234);
  ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(primary->PixelAt(10, 10), 0x1234u);
  EXPECT_EQ(back->PixelAt(10, 10), 0u);
  IDirectDrawSurface* second = nullptr;
  EXPECT_EQ(dd->CreateSurface(&desc, &second, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
  back->Release();
  primary->Release();
  EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
}

TEST_F(DirectDrawTest, LossHitsDisplayMemoryOnlyAndRestoreRecovers) {
  IDirectDrawSurface* system = Offscreen(4, 4);
  IDirectDrawSurface* video = Offscreen(4, 4, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
  Fill(system, 7);
  Fill(video, 7);
  SimulateSurfaceLoss();
  EXPECT_EQ(system->IsLost(), DD_OK);
  EXPECT_EQ(video->IsLost(), DDERR_SURFACELOST);
  DDSURFACEDESC desc;
  EXPECT_EQ(video->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(system->Blt(nullptr, video, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(video->Blt(nullptr, system, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(system->PixelAt(0, 0), 7u);
  EXPECT_EQ(video->Restore(), DD_OK);
  EXPECT_EQ(video->IsLost(), DD_OK);
  EXPECT_EQ(video->Blt(nullptr, system, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(video->PixelAt(3, 3), 7u);
  system->Release();
  video->Release();
}

TEST_F(DirectDrawTest, ProvokedFailuresAndTheRunTimeLibrary) {
  DirectDrawTestBehaviour().createClipperResult = DDERR_OUTOFMEMORY;
  IDirectDrawClipper* clipper = nullptr;
  EXPECT_EQ(dd->CreateClipper(0, &clipper, nullptr), DDERR_OUTOFMEMORY);
  EXPECT_EQ(clipper, nullptr);

  DirectDrawTestBehaviour().createSurfaceFailsAfter = 1;
  IDirectDrawSurface* first = Offscreen(2, 2);
  DDSURFACEDESC2 desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = desc.dwHeight = 2;
  IDirectDrawSurface* second = nullptr;
  EXPECT_EQ(dd->CreateSurface(&desc, &second, nullptr), DDERR_OUTOFVIDEOMEMORY);
  first->Release();

  HMODULE ddraw = LoadLibrary("DDRAW.DLL");
  ASSERT_NE(ddraw, nullptr);
  auto create = ProcAs<DirectDrawCreateExFn>(GetProcAddress(ddraw, "DirectDrawCreateEx"));
  ASSERT_NE(create, nullptr);
  void* dd7 = nullptr;
  DirectDrawTestBehaviour().directDrawCreateResult = DDERR_GENERIC;
  EXPECT_EQ(create(nullptr, &dd7, IID_IDirectDraw7, nullptr), DDERR_GENERIC);
  EXPECT_EQ(dd7, nullptr);
  FreeLibrary(ddraw);
}

}  // namespace
