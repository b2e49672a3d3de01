// The DirectDraw display: start-up in a window or full screen, the colour layout and its
// tables, the screen image, presenting frames and the software cursor.
#include "framework/graphics/DDInterface.h"

#include <algorithm>
#include <cstdio>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/D3DTester.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DirectXErrors.h"
#include "platform/Module.h"

namespace Orvo {

bool gDisplayRGBOrdered = false;

namespace {

plat::DirectDrawCreateFn gDirectDrawCreate = nullptr;
plat::DirectDrawCreateExFn gDirectDrawCreateEx = nullptr;

plat::RECT ToRECT(const Rect& r) { return plat::RECT{r.mX, r.mY, r.mX + r.mWidth, r.mY + r.mHeight}; }

int* BuildClampTable(int bits) {
  const int n = (1 << bits) - 1;
  int* table = new int[static_cast<std::size_t>(2 * n + 1)];
  for (int i = 0; i <= 2 * n; ++i) table[i] = std::min(i, n);
  return table;
}

}  // namespace

int MaskShift(std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while ((mask & 1u) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

int MaskWidth(std::uint32_t mask) {
  if (mask == 0) return 0;
  mask >>= MaskShift(mask);
  int width = 0;
  while (mask != 0) {
    mask >>= 1;
    ++width;
  }
  return width;
}

bool operator<(const Ratio& a, const Ratio& b) {
  if (a.mDenominator == 0 || b.mDenominator == 0) return false;
  return a.mNumerator * b.mDenominator / a.mDenominator < b.mNumerator ||
         a.mNumerator < b.mNumerator * a.mDenominator / b.mDenominator;
}

DDInterface::DDInterface(OrvoAppBase* app) : mApp(app), mD3DInterface(new D3DInterface()) {
  // The DirectDraw entry points, looked up in the run-time library as a program would.
  plat::HMODULE ddraw = plat::LoadLibrary("ddraw.dll");
  if (ddraw != nullptr) {
    gDirectDrawCreate = plat::ProcAs<plat::DirectDrawCreateFn>(plat::GetProcAddress(ddraw, "DirectDrawCreate"));
    gDirectDrawCreateEx = plat::ProcAs<plat::DirectDrawCreateExFn>(plat::GetProcAddress(ddraw, "DirectDrawCreateEx"));
  }
}

DDInterface::~DDInterface() {
  delete[] mRedAddTable;
  delete[] mGreenAddTable;
  delete[] mBlueAddTable;
  mRedAddTable = mGreenAddTable = mBlueAddTable = nullptr;
  Cleanup();
  delete mD3DInterface;
  mD3DInterface = nullptr;
  delete mD3DTester;
  mD3DTester = nullptr;
}

void DDInterface::RemoveImageTexture(MemoryImage* image) { mD3DInterface->RemoveTexture(image); }

std::string DDInterface::ResultName(int code) {
  switch (code) {
    case RESULT_OK: return "RESULT_OK";
    case RESULT_FAIL: return "RESULT_FAIL";
    case RESULT_DD_CREATE_FAIL: return "RESULT_DD_CREATE_FAIL";
    case RESULT_SURFACE_FAIL: return "RESULT_SURFACE_FAIL";
    case RESULT_EXCLUSIVE_FAIL: return "RESULT_EXCLUSIVE_FAIL";
    case RESULT_DISPCHANGE_FAIL: return "RESULT_DISPCHANGE_FAIL";
    case RESULT_INVALID_COLORDEPTH: return "RESULT_INVALID_COLORDEPTH";
    default: return "RESULT_UNKNOWN";
  }
}

bool DDInterface::LogError(plat::HRESULT result, const char* operation) {
  if (result >= 0) return false;
  mErrorString = std::string(operation) + ": " + DirectXErrorName(static_cast<std::uint32_t>(result));
  return true;
}

void DDInterface::AddDDImage(DDImage* image) {
  ScopedCriticalSection lock(mCritSect);
  mDDImageSet.insert(image);
}

void DDInterface::RemoveDDImage(DDImage* image) {
  ScopedCriticalSection lock(mCritSect);
  mDDImageSet.erase(image);
}

plat::HRESULT DDInterface::CreateSurface(plat::DDSURFACEDESC2* desc, plat::IDirectDrawSurface** out) {
  ScopedCriticalSection lock(mCritSect);
  if (out == nullptr || desc == nullptr) return plat::DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (mDD == nullptr) return static_cast<plat::HRESULT>(0x800401F0u);  // not initialised
  plat::HRESULT hr;
  if (mDD7 == nullptr) {
    plat::DDSURFACEDESC d;
    d.dwSize = sizeof d;
    d.dwFlags = desc->dwFlags;
    d.dwHeight = desc->dwHeight;
    d.dwWidth = desc->dwWidth;
    d.lPitch = desc->lPitch;
    d.dwBackBufferCount = desc->dwBackBufferCount;
    d.dwRefreshRate = desc->dwRefreshRate;
    d.dwAlphaBitDepth = desc->dwAlphaBitDepth;
    d.dwReserved = desc->dwReserved;
    d.lpSurface = desc->lpSurface;
    d.ddpfPixelFormat = desc->ddpfPixelFormat;
    d.ddsCaps.dwCaps = desc->ddsCaps.dwCaps;
    hr = mDD->CreateSurface(&d, out, nullptr);
  } else {
    plat::IDirectDrawSurface7* surface7 = nullptr;
    hr = mDD7->CreateSurface(desc, &surface7, nullptr);
    if (hr >= 0) {
      void* v1 = nullptr;
      hr = surface7->QueryInterface(plat::IID_IDirectDrawSurface, &v1);
      *out = static_cast<plat::IDirectDrawSurface*>(v1);
      surface7->Release();
    }
  }
  if (hr < 0) return hr;
  // The primary's layout decides the blitters' fast paths. Without a primary (a failed
  // start) there is no layout to draw in: the surface is refused.
  plat::IDirectDrawSurface* primary = mPrimarySurface != nullptr ? mPrimarySurface : nullptr;
  if (out == &mPrimarySurface) primary = *out;
  if (primary == nullptr) {
    (*out)->Release();
    *out = nullptr;
    return plat::DDERR_INVALIDOBJECT;
  }
  plat::DDSURFACEDESC pd;
  pd.dwSize = sizeof pd;
  pd.dwFlags = plat::DDSD_PIXELFORMAT;
  primary->GetSurfaceDesc(&pd);
  const plat::DDPIXELFORMAT& f = pd.ddpfPixelFormat;
  gDisplayRGBOrdered = f.dwGBitMask > f.dwBBitMask && f.dwRBitMask > f.dwGBitMask;
  if (f.dwRGBBitCount != 16 && f.dwRGBBitCount != 32) {
    (*out)->Release();
    *out = nullptr;
    return plat::DDERR_INVALIDPIXELFORMAT;
  }
  return hr;
}

void DDInterface::ClearSurface(plat::IDirectDrawSurface* surface) {
  if (surface == nullptr) return;
  plat::DDSURFACEDESC desc;
  desc.dwSize = sizeof desc;
  if (surface->Lock(nullptr, &desc, plat::DDLOCK_WAIT | plat::DDLOCK_WRITEONLY, nullptr) != plat::DD_OK) return;
  auto* row = static_cast<std::uint8_t*>(desc.lpSurface);
  const std::size_t bytes = static_cast<std::size_t>(desc.dwWidth) * (desc.ddpfPixelFormat.dwRGBBitCount / 8);
  for (plat::DWORD y = 0; y < desc.dwHeight; ++y, row += desc.lPitch) std::fill(row, row + bytes, std::uint8_t{0});
  surface->Unlock(nullptr);
}

int DDInterface::CreateDrawSurface(const char* operation) {
  plat::DDSURFACEDESC2 desc;
  desc.dwSize = sizeof desc;
  desc.dwFlags = plat::DDSD_CAPS | plat::DDSD_WIDTH | plat::DDSD_HEIGHT;
  desc.dwWidth = static_cast<plat::DWORD>(mWidth);
  desc.dwHeight = static_cast<plat::DWORD>(mHeight);
  desc.ddsCaps.dwCaps = mIs3D ? (plat::DDSCAPS_OFFSCREENPLAIN | plat::DDSCAPS_3DDEVICE | plat::DDSCAPS_VIDEOMEMORY)
                              : (plat::DDSCAPS_OFFSCREENPLAIN | plat::DDSCAPS_SYSTEMMEMORY);
  if (LogError(CreateSurface(&desc, &mDrawSurface), operation)) return RESULT_SURFACE_FAIL;
  return RESULT_OK;
}

void DDInterface::BuildColorTables(const plat::DDPIXELFORMAT& format) {
  mRGBBits = static_cast<int>(format.dwRGBBitCount);
  mRedMask = format.dwRBitMask;
  mGreenMask = format.dwGBitMask;
  mBlueMask = format.dwBBitMask;
  mRedShift = MaskShift(mRedMask);
  mGreenShift = MaskShift(mGreenMask);
  mBlueShift = MaskShift(mBlueMask);
  mRedBits = MaskWidth(mRedMask);
  mGreenBits = MaskWidth(mGreenMask);
  mBlueBits = MaskWidth(mBlueMask);
  delete[] mRedAddTable;
  delete[] mGreenAddTable;
  delete[] mBlueAddTable;
  mRedAddTable = BuildClampTable(mRedBits);
  mGreenAddTable = BuildClampTable(mGreenBits);
  mBlueAddTable = BuildClampTable(mBlueBits);
  for (std::uint32_t i = 0; i < 256; ++i) {
    mRedConvTable[i] = (i * mRedMask) / 255 & mRedMask;
    mGreenConvTable[i] = (i * mGreenMask) / 255 & mGreenMask;
    mBlueConvTable[i] = (i * mBlueMask) / 255 & mBlueMask;
  }
}

int DDInterface::Init(plat::HWND window, bool isWindowed) {
  ScopedCriticalSection lock(mCritSect);
  mInitialized = false;
  Cleanup();

  if (gDirectDrawCreateEx != nullptr) {
    void* dd7 = nullptr;
    if (LogError(gDirectDrawCreateEx(nullptr, &dd7, plat::IID_IDirectDraw7, nullptr), "DirectDrawCreateEx"))
      return RESULT_DD_CREATE_FAIL;
    mDD7 = static_cast<plat::IDirectDraw7*>(dd7);
    void* dd = nullptr;
    if (LogError(mDD7->QueryInterface(plat::IID_IDirectDraw, &dd), "QueryrInterface IID_IDirectDraw"))
      return RESULT_DD_CREATE_FAIL;
    mDD = static_cast<plat::IDirectDraw*>(dd);
  } else {
    plat::HRESULT hr = gDirectDrawCreate != nullptr ? gDirectDrawCreate(nullptr, &mDD, nullptr) : plat::DDERR_GENERIC;
    if (LogError(hr, "DirectDrawCreate")) return RESULT_DD_CREATE_FAIL;
  }

  // The 3D capability test runs once, on the first start-up that asks for it.
  if (RunD3DTest(this, window) && mD3DTester != nullptr && mD3DTester->mFirstResult && mApp != nullptr)
    mApp->D3DTestDoneHook();

  mHWnd = window;
  if (mApp != nullptr) displayapp::FillRequest(mApp, mRequest);
  mWidth = mRequest.width;
  mHeight = mRequest.height;
  mAspect.Set(mWidth, mHeight);
  const plat::SIZE desktop = plat::DisplayDesktopSize();
  mDesktopWidth = desktop.cx;
  mDesktopHeight = desktop.cy;
  mDesktopAspect.Set(mDesktopWidth, mDesktopHeight);
  mDisplayWidth = mWidth;
  mDisplayHeight = mHeight;
  mDisplayAspect = mAspect;
  mPresentationRect = Rect(0, 0, mWidth, mHeight);
  displayapp::SetScreenRect(mApp, mPresentationRect);
  mFullscreenBits = mRequest.colorDepth;
  mIsWindowed = isWindowed;
  mHasOldCursorArea = false;

  DebugPrint("Application requests %4lu x %4lu [%2d:%2d]\n", static_cast<unsigned long>(mWidth),
             static_cast<unsigned long>(mHeight), mAspect.mNumerator, mAspect.mDenominator);

  if (isWindowed) {
    DebugPrint("Hack aspect is                   [%2d:%2d]\n", mRequest.aspect.mNumerator, mRequest.aspect.mDenominator);
    DebugPrint("Window is            %4lu x %4lu [%2d:%2d]\n", static_cast<unsigned long>(mDisplayWidth),
               static_cast<unsigned long>(mDisplayHeight), mDisplayAspect.mNumerator, mDisplayAspect.mDenominator);
    mDD->SetCooperativeLevel(window, plat::DDSCL_NORMAL);
    plat::DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    desc.dwFlags = plat::DDSD_CAPS;
    desc.ddsCaps.dwCaps = plat::DDSCAPS_PRIMARYSURFACE | (mIs3D ? plat::DDSCAPS_3DDEVICE : 0u);
    plat::HRESULT hr = CreateSurface(&desc, &mPrimarySurface);
    if (hr == plat::DDERR_INVALIDPIXELFORMAT) return RESULT_INVALID_COLORDEPTH;
    if (LogError(hr, "CreateSurface Windowed Primary")) return RESULT_SURFACE_FAIL;
    if (int r = CreateDrawSurface("CreateSurface Windowed DrawSurface"); r != RESULT_OK) return r;
    plat::IDirectDrawClipper* clipper = nullptr;
    if (LogError(mDD->CreateClipper(0, &clipper, nullptr), "CreateClipper Windowed")) return RESULT_FAIL;
    if (clipper->SetHWnd(0, window) == plat::DD_OK) mPrimarySurface->SetClipper(clipper);
    clipper->Release();
  } else {
    DebugPrint("Desktop is           %4lu x %4lu [%2d:%2d]\n", static_cast<unsigned long>(mDesktopWidth),
               static_cast<unsigned long>(mDesktopHeight), mDesktopAspect.mNumerator, mDesktopAspect.mDenominator);
    if (mIs3D && mAspect < mDesktopAspect) {
      mDisplayWidth = mDesktopWidth;
      mDisplayHeight = mDesktopHeight;
      mDisplayAspect = mDesktopAspect;
      mIsWidescreen = true;
      mPresentationRect.mWidth = mWidth * mDesktopHeight / mHeight;
      mPresentationRect.mHeight = mDesktopHeight;
      mPresentationRect.mY = 0;
      mPresentationRect.mX = (mDesktopWidth - mPresentationRect.mWidth) / 2;
    }
    DebugPrint("Display is           %4lu x %4lu [%2d:%2d]\n", static_cast<unsigned long>(mDisplayWidth),
               static_cast<unsigned long>(mDisplayHeight), mDisplayAspect.mNumerator, mDisplayAspect.mDenominator);
    if (LogError(mDD->SetCooperativeLevel(window, plat::DDSCL_FULLSCREEN | plat::DDSCL_EXCLUSIVE),
                 "SetCooperativeLevel FullScreen"))
      return RESULT_EXCLUSIVE_FAIL;
    if (LogError(mDD->SetDisplayMode(static_cast<plat::DWORD>(mDisplayWidth), static_cast<plat::DWORD>(mDisplayHeight),
                                     static_cast<plat::DWORD>(mFullscreenBits)),
                 "SetDisplayMode FullScreen"))
      return RESULT_DISPCHANGE_FAIL;
    plat::DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    desc.dwFlags = plat::DDSD_CAPS | plat::DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = plat::DDSCAPS_PRIMARYSURFACE | plat::DDSCAPS_FLIP | plat::DDSCAPS_COMPLEX |
                          (mIs3D ? plat::DDSCAPS_3DDEVICE : 0u);
    if (LogError(CreateSurface(&desc, &mPrimarySurface), "CreateSurface FullScreen Primary")) return RESULT_SURFACE_FAIL;
    plat::DDSCAPS caps{plat::DDSCAPS_BACKBUFFER};
    if (LogError(mPrimarySurface->GetAttachedSurface(&caps, &mSecondarySurface), "GetAttachedSurface"))
      return RESULT_SURFACE_FAIL;
    if (mIsWidescreen) {
      ClearSurface(mPrimarySurface);
      ClearSurface(mSecondarySurface);
    }
    if (int r = CreateDrawSurface("CreateSurface FullScreen DrawSurface"); r != RESULT_OK) return r;
    plat::IDirectDrawClipper* clipper = nullptr;
    if (LogError(mDD->CreateClipper(0, &clipper, nullptr), "CreateClipper FullScreen")) return RESULT_FAIL;
    if (clipper->SetHWnd(0, window) == plat::DD_OK) mPrimarySurface->SetClipper(clipper);
    clipper->Release();
    if (!mRequest.pageFlipAllowed) mDD->FlipToGDISurface();
  }

  DebugPrint("Draw buffer is       %4lu x %4lu [%2d:%2d]\n", static_cast<unsigned long>(mWidth),
             static_cast<unsigned long>(mHeight), mAspect.mNumerator, mAspect.mDenominator);

  plat::DWORD hertz = 0;
  if (mDD->GetMonitorFrequency(&hertz) != plat::DD_OK || hertz < 60) {
    mRefreshRate = 60;
    mVsyncUnreliable = true;
    displayapp::SetVsyncUnreliable(mApp);
  } else if (hertz > 100) {
    mRefreshRate = 100;
    mVsyncUnreliable = true;
    displayapp::SetVsyncUnreliable(mApp);
  } else {
    mRefreshRate = hertz;
  }
  mMillisecondsPerFrame = 1000 / mRefreshRate;

  for (auto [area, operation] : {std::pair{&mOldCursorArea, "CreateSurface OldCursorArea"},
                                 std::pair{&mNewCursorArea, "CreateSurface NewCursorArea"}}) {
    plat::DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    desc.dwFlags = plat::DDSD_CAPS | plat::DDSD_WIDTH | plat::DDSD_HEIGHT;
    desc.dwWidth = static_cast<plat::DWORD>(mCursorWidth);
    desc.dwHeight = static_cast<plat::DWORD>(mCursorHeight);
    desc.ddsCaps.dwCaps = plat::DDSCAPS_OFFSCREENPLAIN | plat::DDSCAPS_SYSTEMMEMORY;
    if (LogError(CreateSurface(&desc, area), operation)) return RESULT_SURFACE_FAIL;
  }
  mOldCursorAreaImage = new DDImage(this);
  mOldCursorAreaImage->SetSurface(mOldCursorArea);
  mOldCursorAreaImage->SetImageMode(false, false);
  mNewCursorAreaImage = new DDImage(this);
  mNewCursorAreaImage->SetSurface(mNewCursorArea);
  mNewCursorAreaImage->SetImageMode(false, false);

  if (mPrimarySurface != nullptr) {
    plat::DDSURFACEDESC desc;
    desc.dwSize = sizeof desc;
    desc.dwFlags = plat::DDSD_PIXELFORMAT | plat::DDSD_WIDTH | plat::DDSD_HEIGHT;
    mPrimarySurface->GetSurfaceDesc(&desc);
    const plat::DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
    if (bits != 16 && bits != 32) return RESULT_INVALID_COLORDEPTH;
    BuildColorTables(desc.ddpfPixelFormat);
  }

  SetVideoOnlyDraw(mVideoOnlyDraw);

  if (mIs3D && !mD3DInterface->InitFromDDInterface(this)) {
    mErrorString = "3D init error: " + D3DInterface::sLastError;
    return RESULT_3D_FAIL;
  }

  ++mInitCount;
  mInitialized = true;
  return RESULT_OK;
}

void DDInterface::SetVideoOnlyDraw(bool videoOnly) {
  ScopedCriticalSection lock(mCritSect);
  mVideoOnlyDraw = videoOnly;
  if (mSecondarySurface == nullptr) {
    plat::DDSURFACEDESC2 desc;
    desc.dwSize = sizeof desc;
    desc.dwFlags = plat::DDSD_CAPS | plat::DDSD_WIDTH | plat::DDSD_HEIGHT;
    desc.dwWidth = static_cast<plat::DWORD>(mWidth);
    desc.dwHeight = static_cast<plat::DWORD>(mHeight);
    desc.ddsCaps.dwCaps = plat::DDSCAPS_VIDEOMEMORY;
    if (CreateSurface(&desc, &mSecondarySurface) < 0) mVideoOnlyDraw = false;
  }
  delete mScreenImage;
  mScreenImage = new DDImage(this);
  mScreenImage->SetSurface(mVideoOnlyDraw ? mSecondarySurface : mDrawSurface);
  mScreenImage->mVideoMemory = mVideoOnlyDraw;
  mScreenImage->mWantVideoMemory = mVideoOnlyDraw;
  mScreenImage->SetImageMode(false, false);
}

void DDInterface::Cleanup() {
  ScopedCriticalSection lock(mCritSect);
  mInitialized = false;
  if (mD3DInterface != nullptr) mD3DInterface->Cleanup();
  delete mOldCursorAreaImage;
  mOldCursorAreaImage = nullptr;
  delete mNewCursorAreaImage;
  mNewCursorAreaImage = nullptr;
  for (plat::IDirectDrawSurface** s : {&mOldCursorArea, &mNewCursorArea}) {
    if (*s != nullptr) (*s)->Release();
    *s = nullptr;
  }
  delete mScreenImage;
  mScreenImage = nullptr;
  for (plat::IDirectDrawSurface** s : {&mDrawSurface, &mSecondarySurface, &mPrimarySurface}) {
    if (*s != nullptr) (*s)->Release();
    *s = nullptr;
  }
  mHasOldCursorArea = false;
  if (mDD != nullptr) {
    mDD->SetCooperativeLevel(mHWnd, plat::DDSCL_NORMAL);
    mDD->Release();
    mDD = nullptr;
  }
  if (mDD7 != nullptr) {
    mDD7->Release();
    mDD7 = nullptr;
  }
}

bool DDInterface::Redraw(const Rect* area) {
  ScopedCriticalSection lock(mCritSect);
  if (!mInitialized) return false;
  mInRedraw = true;
  if (mIs3D) {
    // A Direct3D call failed since the last frame: the display falls back to 2D.
    if (!D3DInterface::sLastError.empty()) {
      mInRedraw = false;
      mIs3D = false;
      return false;
    }
    mD3DInterface->Flush();
  }

  plat::RECT source{0, 0, mWidth, mHeight};
  plat::RECT dest = ToRECT(mPresentationRect);
  if (area != nullptr && !mIsWidescreen) source = dest = ToRECT(*area);
  const plat::POINT origin = ClientOrigin(true);
  dest.left += origin.x;
  dest.right += origin.x;
  dest.top += origin.y;
  dest.bottom += origin.y;

  plat::DDSURFACEDESC desc;
  desc.dwSize = sizeof desc;
  if (mDrawSurface->Lock(nullptr, &desc, plat::DDLOCK_WAIT | plat::DDLOCK_READONLY, nullptr) == plat::DD_OK)
    mDrawSurface->Unlock(nullptr);

  plat::DDBLTFX fx;
  fx.dwSize = sizeof fx;
  plat::IDirectDrawSurface* frame = mVideoOnlyDraw ? mSecondarySurface : mDrawSurface;
  plat::HRESULT result;
  const char* operation;
  const bool flip = !mIsWindowed && !displayapp::FocusLostInputBlock(mApp) && mRequest.pageFlipAllowed;
  if (flip) {
    operation = "Redraw FullScreen Flip";
    result = mVideoOnlyDraw ? plat::DD_OK : mSecondarySurface->Blt(&dest, mDrawSurface, &source, plat::DDBLT_WAIT, &fx);
    mCursorDrawnX = mCursorX;
    mCursorDrawnY = mCursorY;
    DrawCursor(mSecondarySurface, true);
    if (result >= 0) result = mPrimarySurface->Flip(nullptr, plat::DDFLIP_WAIT);
  } else {
    // Windowed, and full screen without flipping: the cursor goes into the frame before it
    // is shown and comes out again, so the saved area always matches the shown frame.
    operation = mIsWindowed ? "Redraw Windowed" : "Redraw FullScreen Blt";
    mCursorDrawnX = mCursorX;
    mCursorDrawnY = mCursorY;
    DrawCursor(frame, false);
    result = mPrimarySurface->Blt(&dest, frame, &source, plat::DDBLT_WAIT, &fx);
    if (mHasOldCursorArea) {
      RemoveCursor(frame, false);
      mHasOldCursorArea = result >= 0;
    }
  }
  mInRedraw = false;
  return !LogError(result, operation);
}

bool DDInterface::SetCursorImage(Image* image) {
  ScopedCriticalSection lock(mCritSect);
  if (mCursorImage == image) return false;
  mCursorImage = image;
  return true;
}

void DDInterface::SetCursorPos(int x, int y) {
  mCursorX = x;
  mCursorY = y;
  if (mInRedraw) return;
  ScopedCriticalSection lock(mCritSect);
  if (!mInitialized) return;
  if (mHasOldCursorArea) {
    MoveCursor(mPrimarySurface, true, x, y);
  } else {
    mCursorDrawnX = x;
    mCursorDrawnY = y;
    DrawCursor(mPrimarySurface, true);
  }
}

plat::POINT DDInterface::ClientOrigin(bool screenCoords) const {
  if (!screenCoords || !mIsWindowed) return plat::POINT{};
  return plat::DisplayClientOrigin(mHWnd);
}

DDInterface::CursorBox DDInterface::CursorBoxAt(int x, int y, bool screenCoords) const {
  const Rect box(x - mCursorWidth / 2, y - mCursorHeight / 2, mCursorWidth, mCursorHeight);
  Rect clip = box.Intersection(mPresentationRect);
  CursorBox result;
  result.local = Rect(clip.mX - box.mX, clip.mY - box.mY, clip.mWidth, clip.mHeight);
  const plat::POINT o = ClientOrigin(screenCoords);
  result.target = Rect(clip.mX + o.x, clip.mY + o.y, clip.mWidth, clip.mHeight);
  return result;
}

bool DDInterface::SaveUnderCursor(plat::IDirectDrawSurface* target, plat::IDirectDrawSurface* area, CursorBox& box) {
  plat::DDBLTFX fx;
  fx.dwSize = sizeof fx;
  plat::RECT to = ToRECT(box.local);
  plat::RECT from = ToRECT(box.target);
  if (area->Blt(&to, target, &from, plat::DDBLT_WAIT, &fx) >= 0) return true;
  // Part of the box lies off the target: keep the part that is on it and try once more.
  const Rect bounds(0, 0, target->Width(), target->Height());
  const Rect cut = box.target.Intersection(bounds);
  box.local = Rect(box.local.mX + (cut.mX - box.target.mX), box.local.mY + (cut.mY - box.target.mY), cut.mWidth,
                   cut.mHeight);
  box.target = cut;
  to = ToRECT(box.local);
  from = ToRECT(box.target);
  return area->Blt(&to, target, &from, plat::DDBLT_WAIT, &fx) >= 0;
}

void DDInterface::DrawCursorImageOn(Image* dest, int x, int y) {
  if (dest == nullptr || mCursorImage == nullptr) return;
  // Clipped to the destination, as a drawing context with no clip of its own would.
  const Rect onDest = Rect(x, y, mCursorImage->mWidth, mCursorImage->mHeight).Intersection(Rect(0, 0, dest->mWidth, dest->mHeight));
  if (onDest.mWidth <= 0 || onDest.mHeight <= 0) return;
  const Rect src(onDest.mX - x, onDest.mY - y, onDest.mWidth, onDest.mHeight);
  dest->Blt(mCursorImage, onDest.mX, onDest.mY, src, Color::White, 0);
}

void DDInterface::DrawCursor(plat::IDirectDrawSurface* target, bool screenCoords) {
  if (mCursorImage == nullptr || mPrimarySurface == nullptr || target == nullptr) {
    mHasOldCursorArea = false;
    return;
  }
  CursorBox box = CursorBoxAt(mCursorDrawnX, mCursorDrawnY, screenCoords);
  mHasOldCursorArea = SaveUnderCursor(target, mOldCursorArea, box);
  const int offX = (mCursorWidth - mCursorImage->mWidth) / 2;
  const int offY = (mCursorHeight - mCursorImage->mHeight) / 2;
  if (target == mDrawSurface && !mIs3D) {
    DrawCursorImageOn(mScreenImage, mCursorDrawnX - mCursorWidth / 2 + offX, mCursorDrawnY - mCursorHeight / 2 + offY);
    return;
  }
  if (!mHasOldCursorArea) return;
  plat::DDBLTFX fx;
  fx.dwSize = sizeof fx;
  plat::RECT local = ToRECT(box.local);
  plat::RECT onTarget = ToRECT(box.target);
  mNewCursorArea->Blt(&local, mOldCursorArea, &local, plat::DDBLT_WAIT, &fx);
  DrawCursorImageOn(mNewCursorAreaImage, offX, offY);
  target->Blt(&onTarget, mNewCursorArea, &local, plat::DDBLT_WAIT, &fx);
}

void DDInterface::RemoveCursor(plat::IDirectDrawSurface* target, bool screenCoords) {
  if (mHasOldCursorArea && mPrimarySurface != nullptr && target != nullptr) {
    CursorBox box = CursorBoxAt(mCursorDrawnX, mCursorDrawnY, screenCoords);
    plat::DDBLTFX fx;
    fx.dwSize = sizeof fx;
    plat::RECT local = ToRECT(box.local);
    plat::RECT onTarget = ToRECT(box.target);
    target->Blt(&onTarget, mOldCursorArea, &local, plat::DDBLT_WAIT, &fx);
  }
  mHasOldCursorArea = false;
}

void DDInterface::MoveCursor(plat::IDirectDrawSurface* target, bool screenCoords, int x, int y) {
  if (mCursorImage == nullptr || mPrimarySurface == nullptr || target == nullptr) {
    mHasOldCursorArea = false;
    return;
  }
  CursorBox oldBox = CursorBoxAt(mCursorDrawnX, mCursorDrawnY, screenCoords);
  CursorBox newBox = CursorBoxAt(x, y, screenCoords);
  if (!SaveUnderCursor(target, mNewCursorArea, newBox)) {
    // Nothing could be saved under the new box: put the old background back and start afresh.
    RemoveCursor(target, screenCoords);
    mCursorDrawnX = x;
    mCursorDrawnY = y;
    return;
  }
  plat::DDBLTFX fx;
  fx.dwSize = sizeof fx;
  const int offX = (mCursorWidth - mCursorImage->mWidth) / 2;
  const int offY = (mCursorHeight - mCursorImage->mHeight) / 2;
  const int dx = x - mCursorDrawnX;
  const int dy = y - mCursorDrawnY;
  const Rect overlap = Rect(dx, dy, mCursorWidth, mCursorHeight).Intersection(Rect(0, 0, mCursorWidth, mCursorHeight));
  if (overlap.mWidth > 0 && overlap.mHeight > 0) {
    // Where the boxes overlap, the new save holds the old cursor: take the true background
    // from the old save instead, and show the new cursor in the old save for the restore.
    plat::RECT from = ToRECT(overlap);
    plat::RECT to = ToRECT(Rect(overlap.mX - dx, overlap.mY - dy, overlap.mWidth, overlap.mHeight));
    mNewCursorArea->Blt(&to, mOldCursorArea, &from, plat::DDBLT_WAIT, &fx);
    DrawCursorImageOn(mOldCursorAreaImage, offX + dx, offY + dy);
  }
  plat::RECT oldLocal = ToRECT(oldBox.local);
  plat::RECT oldTarget = ToRECT(oldBox.target);
  target->Blt(&oldTarget, mOldCursorArea, &oldLocal, plat::DDBLT_WAIT, &fx);
  mOldCursorArea->Blt(nullptr, mNewCursorArea, nullptr, plat::DDBLT_WAIT, &fx);
  DrawCursorImageOn(mNewCursorAreaImage, offX, offY);
  plat::RECT newLocal = ToRECT(newBox.local);
  plat::RECT newTarget = ToRECT(newBox.target);
  target->Blt(&newTarget, mNewCursorArea, &newLocal, plat::DDBLT_WAIT, &fx);
  mHasOldCursorArea = true;
  mCursorDrawnX = x;
  mCursorDrawnY = y;
}

}  // namespace Orvo
