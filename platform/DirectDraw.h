// The display services of the framework: a DirectDraw 7 work-alike whose surfaces are plain
// memory (primary, back buffer, off-screen) in X8R8G8B8, R5G6B5 or X1R5G5B5, with locking,
// blits with colour keys, flipping, clippers, display modes, surface loss and Restore.
// The primary is shown in the SDL window of the cooperative window; showing happens on the
// thread that created the DirectDraw object (the main thread), other threads only mark it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/DisplayWindow.h"
#include "platform/Types.h"

namespace plat {

// ---- Result codes (the values the DirectX SDK gives them) ----
constexpr HRESULT MakeDDResult(DWORD code) { return static_cast<HRESULT>(0x88760000u | code); }
constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_GENERIC = E_FAIL;
constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
constexpr HRESULT DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DDERR_INVALIDCAPS = MakeDDResult(100);
constexpr HRESULT DDERR_INVALIDMODE = MakeDDResult(120);
constexpr HRESULT DDERR_INVALIDOBJECT = MakeDDResult(130);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = MakeDDResult(145);
constexpr HRESULT DDERR_INVALIDRECT = MakeDDResult(150);
constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = MakeDDResult(212);
constexpr HRESULT DDERR_NOCOLORKEY = MakeDDResult(215);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = MakeDDResult(225);
constexpr HRESULT DDERR_NOTFOUND = MakeDDResult(255);
constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = MakeDDResult(380);
constexpr HRESULT DDERR_SURFACEBUSY = MakeDDResult(430);
constexpr HRESULT DDERR_SURFACELOST = MakeDDResult(450);
constexpr HRESULT DDERR_UNSUPPORTEDMODE = MakeDDResult(590);
constexpr HRESULT DDERR_NOTFLIPPABLE = MakeDDResult(582);
constexpr HRESULT DDERR_NOTLOCKED = MakeDDResult(584);
constexpr HRESULT DDERR_WRONGMODE = MakeDDResult(587);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = MakeDDResult(564);
constexpr HRESULT DDERR_NOHWND = MakeDDResult(569);

// ---- Flags ----
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD DDSD_LPSURFACE = 0x800;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSD_CKSRCBLT = 0x10000;

constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_FLIP = 0x10;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x20;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_TEXTURE = 0x1000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x2000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS2_TEXTUREMANAGE = 0x10;
constexpr DWORD DDSCAPS2_D3DTEXTUREMANAGE = 0x20000;

constexpr DWORD DDPF_ALPHAPIXELS = 0x1;
constexpr DWORD DDPF_PALETTEINDEXED8 = 0x20;
constexpr DWORD DDPF_RGB = 0x40;

constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDLOCK_READONLY = 0x10;
constexpr DWORD DDLOCK_WRITEONLY = 0x20;

constexpr DWORD DDBLT_COLORFILL = 0x400;
constexpr DWORD DDBLT_KEYSRC = 0x8000;
constexpr DWORD DDBLT_WAIT = 0x1000000;

constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x0;
constexpr DWORD DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr DWORD DDBLTFAST_WAIT = 0x10;

constexpr DWORD DDFLIP_WAIT = 0x1;
constexpr DWORD DDCKEY_SRCBLT = 0x8;

constexpr DWORD DDPCAPS_8BIT = 0x4;
constexpr DWORD DDPCAPS_ALLOW256 = 0x40;
constexpr DWORD DDPCAPS_ALPHA = 0x400;

constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_EXCLUSIVE = 0x10;

// ---- Descriptions ----
struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue = 0;
  DWORD dwColorSpaceHighValue = 0;
};

struct DDPIXELFORMAT {
  DWORD dwSize = sizeof(DDPIXELFORMAT);
  DWORD dwFlags = 0;
  DWORD dwFourCC = 0;
  DWORD dwRGBBitCount = 0;
  DWORD dwRBitMask = 0;
  DWORD dwGBitMask = 0;
  DWORD dwBBitMask = 0;
  DWORD dwRGBAlphaBitMask = 0;
};

struct DDSCAPS {
  DWORD dwCaps = 0;
};

struct DDSCAPS2 {
  DWORD dwCaps = 0;
  DWORD dwCaps2 = 0;
  DWORD dwCaps3 = 0;
  DWORD dwCaps4 = 0;
};

// The first-version surface description.
struct DDSURFACEDESC {
  DWORD dwSize = 0;
  DWORD dwFlags = 0;
  DWORD dwHeight = 0;
  DWORD dwWidth = 0;
  LONG lPitch = 0;
  DWORD dwBackBufferCount = 0;
  DWORD dwRefreshRate = 0;
  DWORD dwAlphaBitDepth = 0;
  DWORD dwReserved = 0;
  void* lpSurface = nullptr;
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
};

// The seventh-version surface description.
struct DDSURFACEDESC2 {
  DWORD dwSize = 0;
  DWORD dwFlags = 0;
  DWORD dwHeight = 0;
  DWORD dwWidth = 0;
  LONG lPitch = 0;
  DWORD dwBackBufferCount = 0;
  DWORD dwRefreshRate = 0;
  DWORD dwAlphaBitDepth = 0;
  DWORD dwReserved = 0;
  void* lpSurface = nullptr;
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS2 ddsCaps;
  DWORD dwTextureStage = 0;
};

struct DDBLTFX {
  DWORD dwSize = 0;
  DWORD dwDDFX = 0;
  DWORD dwROP = 0;
  DWORD dwFillColor = 0;
  DDCOLORKEY ddckDestColorkey;
  DDCOLORKEY ddckSrcColorkey;
};

// Interface identities asked for through QueryInterface.
enum class IID { IDirectDraw, IDirectDraw7, IDirectDrawSurface, IDirectDrawSurface7, IDirect3D7, IDirect3DHALDevice };
constexpr IID IID_IDirectDraw = IID::IDirectDraw;
constexpr IID IID_IDirectDraw7 = IID::IDirectDraw7;
constexpr IID IID_IDirectDrawSurface = IID::IDirectDrawSurface;
constexpr IID IID_IDirectDrawSurface7 = IID::IDirectDrawSurface7;
constexpr IID IID_IDirect3D7 = IID::IDirect3D7;
constexpr IID IID_IDirect3DHALDevice = IID::IDirect3DHALDevice;

// A 16-byte interface or adapter identity.
struct GUID {
  DWORD Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::uint8_t Data4[8] = {};
};

// What GetDeviceIdentifier tells about the display adapter and its driver.
struct DDDEVICEIDENTIFIER2 {
  char szDriver[512] = {};
  char szDescription[512] = {};
  std::int64_t liDriverVersion = 0;
  DWORD dwVendorId = 0;
  DWORD dwDeviceId = 0;
  DWORD dwSubSysId = 0;
  DWORD dwRevision = 0;
  GUID guidDeviceIdentifier;
  DWORD dwWHQLLevel = 0;
};

class IDirectDraw;
class IDirectDrawSurface;

// Reference counting shared by the layer's objects: the last Release deletes the object.
class DirectDrawObject {
 public:
  ULONG AddRef();
  ULONG Release();

 protected:
  DirectDrawObject() = default;
  virtual ~DirectDrawObject() = default;
  // Takes one more reference when `iid` is one of the object's two names (the caller hands
  // itself out); E_NOINTERFACE otherwise.
  HRESULT QueryAs(IID iid, IID name, IID name7, void** out);

 private:
  ULONG mRefs = 1;
};

// Clips blits to a window's client area (given in screen coordinates).
class IDirectDrawClipper : public DirectDrawObject {
 public:
  HRESULT SetHWnd(DWORD flags, HWND window);
  HRESULT GetHWnd(HWND* window) const;

 private:
  friend class IDirectDraw;
  friend class IDirectDrawSurface;
  IDirectDrawClipper() = default;
  HWND mWindow = nullptr;
};

// One colour of an 8-bit palette; peFlags carries the colour's alpha for alpha palettes.
struct PALETTEENTRY {
  std::uint8_t peRed = 0;
  std::uint8_t peGreen = 0;
  std::uint8_t peBlue = 0;
  std::uint8_t peFlags = 0;
};

// The 256 colours of a palettized (8-bit) surface.
class IDirectDrawPalette : public DirectDrawObject {
 public:
  HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) const;
  HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries);

 private:
  friend class IDirectDraw;
  IDirectDrawPalette() = default;
  PALETTEENTRY mEntries[256];
};

// A surface: memory owned by this layer. Both interface versions are this one class.
class IDirectDrawSurface : public DirectDrawObject {
 public:
  HRESULT QueryInterface(IID iid, void** out);

  HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event);
  HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event);
  HRESULT Unlock(void* rect);
  // Copies (and stretches, nearest pixel) src(srcRect) to this(destRect); null rectangles
  // mean the whole surface. DDBLT_KEYSRC skips source pixels equal to the source colour key;
  // DDBLT_COLORFILL fills destRect with fx->dwFillColor.
  HRESULT Blt(RECT* destRect, IDirectDrawSurface* src, RECT* srcRect, DWORD flags, DDBLTFX* fx);
  HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface* src, RECT* srcRect, DWORD trans);
  HRESULT Flip(IDirectDrawSurface* target, DWORD flags);
  HRESULT GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** out);
  HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface** out);
  HRESULT GetSurfaceDesc(DDSURFACEDESC* desc);
  HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc);
  HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key);
  HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key);
  HRESULT SetClipper(IDirectDrawClipper* clipper);
  // The palette an 8-bit surface is read through (one reference held).
  HRESULT SetPalette(IDirectDrawPalette* palette);
  HRESULT GetPalette(IDirectDrawPalette** out);
  HRESULT GetClipper(IDirectDrawClipper** out);
  HRESULT IsLost();
  // Gives a lost surface its memory back (the pixels are undefined afterwards: zero here).
  HRESULT Restore();

  // ---- Beyond DirectDraw: for the layer and tests ----
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  DWORD Caps() const { return mCaps; }
  const DDPIXELFORMAT& PixelFormat() const { return mFormat; }
  int LockCount() const { return mLockCount; }
  // Pixel value at (x, y) in the surface's own layout, 0 outside. Not locked: for tests.
  DWORD PixelAt(int x, int y) const;

 private:
  friend class IDirectDraw;
  friend void SimulateSurfaceLoss();
  IDirectDrawSurface(IDirectDraw* owner, int width, int height, const DDPIXELFORMAT& format, DWORD caps);
  ~IDirectDrawSurface() override;
  bool IsPrimary() const { return (mCaps & DDSCAPS_PRIMARYSURFACE) != 0; }
  bool CanBeLost() const;
  int BytesPerPixel() const { return static_cast<int>(mFormat.dwRGBBitCount / 8); }
  std::uint8_t* Row(int y) { return mPixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(mPitch); }
  const std::uint8_t* Row(int y) const {
    return mPixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(mPitch);
  }
  DWORD ReadPixel(const std::uint8_t* p) const;
  void WritePixel(std::uint8_t* p, DWORD v) const;
  // Fills either version of the surface description.
  template <typename Desc>
  void Describe(Desc& desc) const;
  template <typename Desc>
  HRESULT LockInto(RECT* rect, Desc* desc);
  // Client origin subtracted from rectangles that address the windowed primary.
  POINT ScreenToSurfaceOffset() const;
  void Changed();

  IDirectDraw* mOwner;
  int mWidth;
  int mHeight;
  int mPitch;
  DDPIXELFORMAT mFormat;
  DWORD mCaps;
  std::vector<std::uint8_t> mPixels;
  bool mLost = false;
  int mLockCount = 0;
  bool mHasSrcKey = false;
  DDCOLORKEY mSrcKey;
  IDirectDrawClipper* mClipper = nullptr;
  IDirectDrawPalette* mPalette = nullptr;
  IDirectDrawSurface* mBackBuffer = nullptr;  // attached to a flipping primary; owned
  IDirectDrawSurface* mFrontOfChain = nullptr; // the primary a back buffer belongs to
};
using IDirectDrawSurface7 = IDirectDrawSurface;
using LPDIRECTDRAWSURFACE = IDirectDrawSurface*;
using LPDIRECTDRAWSURFACE7 = IDirectDrawSurface*;

// The DirectDraw object: cooperative level, display mode, surfaces and clippers.
class IDirectDraw : public DirectDrawObject {
 public:
  HRESULT QueryInterface(IID iid, void** out);

  HRESULT SetCooperativeLevel(HWND window, DWORD flags);
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel);
  HRESULT RestoreDisplayMode();
  HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, void* outer);
  HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface** out, void* outer);
  HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** out, void* outer);
  // An 8-bit palette of 256 entries (flags DDPCAPS_8BIT and DDPCAPS_ALLOW256 required).
  HRESULT CreatePalette(DWORD flags, const PALETTEENTRY* entries, IDirectDrawPalette** out, void* outer);
  HRESULT GetMonitorFrequency(DWORD* hertz);
  HRESULT FlipToGDISurface();
  HRESULT GetDisplayMode(DDSURFACEDESC* desc);
  // The adapter's identity and its video memory; both answered by the Direct3D device
  // stand-in (platform/Direct3D.cpp), whose identity they describe.
  HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER2* id, DWORD flags);
  HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free);

  // ---- Beyond DirectDraw ----
  // Shows the primary in the window now when this is the creating thread and it changed
  // since it was last shown. Returns true when a frame was shown.
  bool PresentIfChanged();
  bool IsFullScreen() const { return mExclusive; }
  IDirectDrawSurface* Primary() const { return mPrimary; }

 private:
  friend class IDirectDrawSurface;
  friend HRESULT DirectDrawCreate(void*, IDirectDraw**, void*);
  friend HRESULT DirectDrawCreateEx(void*, void**, IID, void*);
  friend void SimulateSurfaceLoss();
  IDirectDraw();
  ~IDirectDraw() override;
  HRESULT CreateSurfaceCommon(DWORD flags, DWORD width, DWORD height, DWORD caps, DWORD backBuffers,
                              const DDPIXELFORMAT* format, IDirectDrawSurface** out);
  DDPIXELFORMAT ModeFormat() const;
  void SurfaceGone(IDirectDrawSurface* surface);
  void PrimaryChanged();

  HWND mWindow = nullptr;
  DWORD mLevel = 0;
  bool mExclusive = false;
  DWORD mModeWidth = 0;
  DWORD mModeHeight = 0;
  DWORD mModeBits = 0;
  IDirectDrawSurface* mPrimary = nullptr;
  std::vector<IDirectDrawSurface*> mSurfaces;
  std::uint64_t mCreatorThread;
  bool mPrimaryDirty = false;
};
using IDirectDraw7 = IDirectDraw;
using LPDIRECTDRAW = IDirectDraw*;
using LPDIRECTDRAW7 = IDirectDraw*;

// Entry points of "ddraw.dll" (also registered under that name for GetProcAddress).
HRESULT DirectDrawCreate(void* guid, IDirectDraw** out, void* outer);
HRESULT DirectDrawCreateEx(void* guid, void** out, IID iid, void* outer);
using DirectDrawCreateFn = HRESULT (*)(void*, IDirectDraw**, void*);
using DirectDrawCreateExFn = HRESULT (*)(void*, void**, IID, void*);
void RegisterDirectDrawModule();

// Shows the primary of every DirectDraw object whose primary changed since it was last
// shown (the cursor thread moves the cursor between frames). Main thread only.
void PresentChangedDisplays();

// Loses every surface that lives in display memory (primaries, back buffers, video-memory
// surfaces) of every DirectDraw object, as a mode change by another program would; Lock,
// Blt and Flip on them then fail with DDERR_SURFACELOST until Restore.
void SimulateSurfaceLoss();

// What the stand-in display reports and which calls it refuses, set by tests to reach the
// failure paths of their callers. ResetDirectDrawBehaviour() restores the defaults.
struct DirectDrawBehaviour {
  // The desktop's pixel layout, used for the windowed primary: 32 (X8R8G8B8), 16 with
  // green mask 0x07E0 (R5G6B5) or 0x03E0 (X1R5G5B5), or 8 or 24 to refuse.
  DWORD desktopBitCount = 32;
  DWORD desktopGreenMask = 0x07E0;
  // GetMonitorFrequency answers monitorFrequency when set; otherwise SDL's refresh rate (60 when unknown).
  bool overrideMonitorFrequency = false;
  DWORD monitorFrequency = 60;
  HRESULT monitorFrequencyResult = DD_OK;
  HRESULT directDrawCreateResult = DD_OK;
  HRESULT createClipperResult = DD_OK;
  HRESULT exclusiveLevelResult = DD_OK;
  HRESULT setDisplayModeResult = DD_OK;
  // CreateSurface fails with createSurfaceFailure once this many more surfaces were made (-1: never).
  int createSurfaceFailsAfter = -1;
  HRESULT createPaletteResult = DD_OK;
  HRESULT createSurfaceFailure = DDERR_OUTOFVIDEOMEMORY;
};
DirectDrawBehaviour& DirectDrawTestBehaviour();
void ResetDirectDrawBehaviour();

}  // namespace plat
