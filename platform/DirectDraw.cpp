// The memory-backed DirectDraw work-alike. One recursive lock guards every object of the
// layer, so the cursor thread may blit into the primary while the main thread presents.
#include "platform/DirectDraw.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <thread>

#include "platform/Direct3D.h"
#include "platform/Module.h"

namespace plat {
namespace {

std::recursive_mutex gLayerMutex;
std::vector<IDirectDraw*> gDirectDraws;
DirectDrawBehaviour gBehaviour;

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr int kMaxSurfaceSide = 16384;

std::uint64_t ThisThread() { return std::hash<std::thread::id>{}(std::this_thread::get_id()); }

DDPIXELFORMAT FormatFor(DWORD bitCount, DWORD greenMask) {
  DDPIXELFORMAT f;
  f.dwFlags = DDPF_RGB;
  f.dwRGBBitCount = bitCount;
  if (bitCount == 32 || bitCount == 24) {
    f.dwRBitMask = 0xFF0000;
    f.dwGBitMask = 0xFF00;
    f.dwBBitMask = 0xFF;
  } else if (bitCount == 16 && greenMask == 0x03E0) {
    f.dwRBitMask = 0x7C00;
    f.dwGBitMask = 0x03E0;
    f.dwBBitMask = 0x001F;
  } else if (bitCount == 16) {
    f.dwRBitMask = 0xF800;
    f.dwGBitMask = 0x07E0;
    f.dwBBitMask = 0x001F;
  } else {
    f.dwFlags = DDPF_PALETTEINDEXED8;
  }
  return f;
}

bool RectValid(const RECT& r) { return r.right > r.left && r.bottom > r.top; }

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (!RectValid(r)) r = RECT{};
  return r;
}

bool Inside(const RECT& r, int w, int h) { return r.left >= 0 && r.top >= 0 && r.right <= w && r.bottom <= h; }

}  // namespace

// ---------------------------------------------------------------- reference counts

ULONG DirectDrawObject::AddRef() {
  Guard g(gLayerMutex);
  return ++mRefs;
}

ULONG DirectDrawObject::Release() {
  Guard g(gLayerMutex);
  ULONG left = --mRefs;
  if (left == 0) delete this;
  return left;
}

HRESULT DirectDrawObject::QueryAs(IID iid, IID name, IID name7, void** out) {
  if (out == nullptr) return DDERR_INVALIDPARAMS;
  if (iid != name && iid != name7) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return DD_OK;
}

// ---------------------------------------------------------------- clipper

HRESULT IDirectDrawClipper::SetHWnd(DWORD, HWND window) {
  Guard g(gLayerMutex);
  mWindow = window;
  return DD_OK;
}

HRESULT IDirectDrawClipper::GetHWnd(HWND* window) const {
  if (window == nullptr) return DDERR_INVALIDPARAMS;
  *window = mWindow;
  return DD_OK;
}

// ---------------------------------------------------------------- surface

IDirectDrawSurface::IDirectDrawSurface(IDirectDraw* owner, int width, int height, const DDPIXELFORMAT& format,
                                       DWORD caps)
    : mOwner(owner), mWidth(width), mHeight(height), mFormat(format), mCaps(caps) {
  int bpp = std::max(1, static_cast<int>(format.dwRGBBitCount / 8));
  mPitch = (width * bpp + 3) & ~3;
  mPixels.assign(static_cast<std::size_t>(mPitch) * static_cast<std::size_t>(height), 0);
  mOwner->AddRef();
  mOwner->mSurfaces.push_back(this);
}

IDirectDrawSurface::~IDirectDrawSurface() {
  if (mClipper != nullptr) mClipper->Release();
  if (mPalette != nullptr) mPalette->Release();
  if (mBackBuffer != nullptr) {
    mBackBuffer->mFrontOfChain = nullptr;
    mBackBuffer->Release();
  }
  mOwner->SurfaceGone(this);
  mOwner->Release();
}

HRESULT IDirectDrawSurface::QueryInterface(IID iid, void** out) {
  HRESULT hr = QueryAs(iid, IID_IDirectDrawSurface, IID_IDirectDrawSurface7, out);
  if (hr == DD_OK) *out = this;
  return hr;
}

bool IDirectDrawSurface::CanBeLost() const {
  return (mCaps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_BACKBUFFER | DDSCAPS_VIDEOMEMORY)) != 0;
}

DWORD IDirectDrawSurface::ReadPixel(const std::uint8_t* p) const {
  switch (BytesPerPixel()) {
    case 4: {
      std::uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    case 3:
      return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16;
    case 2: {
      std::uint16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    default:
      return p[0];
  }
}

void IDirectDrawSurface::WritePixel(std::uint8_t* p, DWORD v) const {
  switch (BytesPerPixel()) {
    case 4:
      std::memcpy(p, &v, 4);
      break;
    case 3:
      p[0] = static_cast<std::uint8_t>(v);
      p[1] = static_cast<std::uint8_t>(v >> 8);
      p[2] = static_cast<std::uint8_t>(v >> 16);
      break;
    case 2: {
      auto w = static_cast<std::uint16_t>(v);
      std::memcpy(p, &w, 2);
      break;
    }
    default:
      p[0] = static_cast<std::uint8_t>(v);
  }
}

DWORD IDirectDrawSurface::PixelAt(int x, int y) const {
  Guard g(gLayerMutex);
  if (x < 0 || y < 0 || x >= mWidth || y >= mHeight) return 0;
  return ReadPixel(Row(y) + static_cast<std::size_t>(x) * static_cast<std::size_t>(BytesPerPixel()));
}

template <typename Desc>
void IDirectDrawSurface::Describe(Desc& desc) const {
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc.dwWidth = static_cast<DWORD>(mWidth);
  desc.dwHeight = static_cast<DWORD>(mHeight);
  desc.lPitch = mPitch;
  desc.dwBackBufferCount = mBackBuffer != nullptr ? 1 : 0;
  if (desc.dwBackBufferCount != 0) desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
  desc.lpSurface = nullptr;
  if (mHasSrcKey) {
    desc.dwFlags |= DDSD_CKSRCBLT;
    desc.ddckCKSrcBlt = mSrcKey;
  }
  desc.ddpfPixelFormat = mFormat;
  desc.ddsCaps.dwCaps = mCaps;
}

template <typename Desc>
HRESULT IDirectDrawSurface::LockInto(RECT* rect, Desc* desc) {
  Guard g(gLayerMutex);
  if (desc == nullptr) return DDERR_INVALIDPARAMS;
  Describe(*desc);
  if (mLost) return DDERR_SURFACELOST;
  RECT r{0, 0, mWidth, mHeight};
  if (rect != nullptr) {
    r = *rect;
    if (!RectValid(r) || !Inside(r, mWidth, mHeight)) return DDERR_INVALIDRECT;
  }
  ++mLockCount;
  desc->lpSurface = Row(r.top) + static_cast<std::size_t>(r.left) * static_cast<std::size_t>(BytesPerPixel());
  desc->dwFlags |= DDSD_LPSURFACE;
  return DD_OK;
}

HRESULT IDirectDrawSurface::Lock(RECT* rect, DDSURFACEDESC* desc, DWORD, HANDLE) { return LockInto(rect, desc); }

HRESULT IDirectDrawSurface::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD, HANDLE) { return LockInto(rect, desc); }

HRESULT IDirectDrawSurface::Unlock(void*) {
  Guard g(gLayerMutex);
  if (mLockCount == 0) return DDERR_NOTLOCKED;
  --mLockCount;
  if (mLockCount == 0) Changed();
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetSurfaceDesc(DDSURFACEDESC* desc) {
  Guard g(gLayerMutex);
  if (desc == nullptr) return DDERR_INVALIDPARAMS;
  Describe(*desc);
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetSurfaceDesc(DDSURFACEDESC2* desc) {
  Guard g(gLayerMutex);
  if (desc == nullptr) return DDERR_INVALIDPARAMS;
  Describe(*desc);
  return DD_OK;
}

HRESULT IDirectDrawSurface::SetColorKey(DWORD flags, DDCOLORKEY* key) {
  Guard g(gLayerMutex);
  if ((flags & DDCKEY_SRCBLT) == 0) return DDERR_UNSUPPORTED;
  if (key == nullptr) {
    mHasSrcKey = false;
    return DD_OK;
  }
  mHasSrcKey = true;
  mSrcKey = *key;
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetColorKey(DWORD flags, DDCOLORKEY* key) {
  Guard g(gLayerMutex);
  if ((flags & DDCKEY_SRCBLT) == 0 || key == nullptr) return DDERR_INVALIDPARAMS;
  if (!mHasSrcKey) return DDERR_NOCOLORKEY;
  *key = mSrcKey;
  return DD_OK;
}

HRESULT IDirectDrawSurface::SetClipper(IDirectDrawClipper* clipper) {
  Guard g(gLayerMutex);
  if (clipper != nullptr) clipper->AddRef();
  if (mClipper != nullptr) mClipper->Release();
  mClipper = clipper;
  return DD_OK;
}

HRESULT IDirectDrawSurface::SetPalette(IDirectDrawPalette* palette) {
  Guard g(gLayerMutex);
  if (palette != nullptr && (mFormat.dwFlags & DDPF_PALETTEINDEXED8) == 0) return DDERR_INVALIDPIXELFORMAT;
  if (palette != nullptr) palette->AddRef();
  if (mPalette != nullptr) mPalette->Release();
  mPalette = palette;
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetPalette(IDirectDrawPalette** out) {
  Guard g(gLayerMutex);
  if (out == nullptr) return DDERR_INVALIDPARAMS;
  *out = mPalette;
  if (mPalette == nullptr) return DDERR_NOTFOUND;
  mPalette->AddRef();
  return DD_OK;
}

HRESULT IDirectDrawPalette::GetEntries(DWORD, DWORD start, DWORD count, PALETTEENTRY* entries) const {
  Guard g(gLayerMutex);
  if (entries == nullptr || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
  std::copy(mEntries + start, mEntries + start + count, entries);
  return DD_OK;
}

HRESULT IDirectDrawPalette::SetEntries(DWORD, DWORD start, DWORD count, const PALETTEENTRY* entries) {
  Guard g(gLayerMutex);
  if (entries == nullptr || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
  std::copy(entries, entries + count, mEntries + start);
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetClipper(IDirectDrawClipper** out) {
  Guard g(gLayerMutex);
  if (out == nullptr) return DDERR_INVALIDPARAMS;
  *out = mClipper;
  if (mClipper == nullptr) return DDERR_NOTFOUND;
  mClipper->AddRef();
  return DD_OK;
}

HRESULT IDirectDrawSurface::IsLost() {
  Guard g(gLayerMutex);
  return mLost ? DDERR_SURFACELOST : DD_OK;
}

HRESULT IDirectDrawSurface::Restore() {
  Guard g(gLayerMutex);
  if (mLost) {
    std::fill(mPixels.begin(), mPixels.end(), 0);
    mLost = false;
  }
  if (mBackBuffer != nullptr) mBackBuffer->Restore();
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** out) {
  Guard g(gLayerMutex);
  if (caps == nullptr || out == nullptr) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if ((caps->dwCaps & DDSCAPS_BACKBUFFER) == 0 || mBackBuffer == nullptr) return DDERR_NOTFOUND;
  mBackBuffer->AddRef();
  *out = mBackBuffer;
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface** out) {
  if (caps == nullptr) return DDERR_INVALIDPARAMS;
  DDSCAPS c{caps->dwCaps};
  return GetAttachedSurface(&c, out);
}

void IDirectDrawSurface::Changed() {
  if (IsPrimary()) mOwner->PrimaryChanged();
}

HRESULT IDirectDrawSurface::Blt(RECT* destRect, IDirectDrawSurface* src, RECT* srcRect, DWORD flags, DDBLTFX* fx) {
  Guard g(gLayerMutex);
  if (mLost) return DDERR_SURFACELOST;
  RECT d = destRect != nullptr ? *destRect : RECT{0, 0, mWidth, mHeight};
  if (!RectValid(d)) return DDERR_INVALIDRECT;

  // Blits onto a clipped surface are cut to the window's client area; others must fit.
  RECT bounds{0, 0, mWidth, mHeight};
  bool clipped = false;
  if (mClipper != nullptr && mClipper->mWindow != nullptr) {
    POINT o = mOwner->mExclusive ? POINT{} : DisplayClientOrigin(mClipper->mWindow);
    SIZE s = DisplayClientSize(mClipper->mWindow);
    if (s.cx > 0 && s.cy > 0) bounds = Intersect(bounds, RECT{o.x, o.y, o.x + s.cx, o.y + s.cy});
    clipped = true;
  } else if (!Inside(d, mWidth, mHeight)) {
    return DDERR_INVALIDRECT;
  }

  if ((flags & DDBLT_COLORFILL) != 0) {
    if (fx == nullptr) return DDERR_INVALIDPARAMS;
    RECT c = Intersect(d, bounds);
    const int bpp = BytesPerPixel();
    for (LONG y = c.top; y < c.bottom; ++y)
      for (LONG x = c.left; x < c.right; ++x)
        WritePixel(Row(y) + static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp), fx->dwFillColor);
    Changed();
    return DD_OK;
  }

  if (src == nullptr) return DDERR_INVALIDPARAMS;
  if (src->mLost) return DDERR_SURFACELOST;
  if (src->mFormat.dwRGBBitCount != mFormat.dwRGBBitCount) return DDERR_INVALIDPIXELFORMAT;
  RECT s = srcRect != nullptr ? *srcRect : RECT{0, 0, src->mWidth, src->mHeight};
  if (!RectValid(s) || !Inside(s, src->mWidth, src->mHeight)) return DDERR_INVALIDRECT;

  RECT c = clipped ? Intersect(d, bounds) : d;
  if (!RectValid(c)) return DD_OK;

  const bool keyed = (flags & DDBLT_KEYSRC) != 0 && src->mHasSrcKey;
  const DWORD keyLow = src->mSrcKey.dwColorSpaceLowValue;
  const DWORD keyHigh = std::max(keyLow, src->mSrcKey.dwColorSpaceHighValue);
  const std::int64_t dw = d.right - d.left;
  const std::int64_t dh = d.bottom - d.top;
  const std::int64_t sw = s.right - s.left;
  const std::int64_t sh = s.bottom - s.top;
  const int bpp = BytesPerPixel();

  // A blit within one surface reads from a copy, so overlapping areas come out whole.
  std::vector<std::uint8_t> copy;
  const IDirectDrawSurface* from = src;
  if (src == this) copy = mPixels;
  auto srcPixel = [&](LONG x, LONG y) {
    const std::uint8_t* base = src == this ? copy.data() : from->mPixels.data();
    return base + static_cast<std::size_t>(y) * static_cast<std::size_t>(from->mPitch) +
           static_cast<std::size_t>(x) * static_cast<std::size_t>(bpp);
  };
  for (LONG y = c.top; y < c.bottom; ++y) {
    LONG sy = static_cast<LONG>(s.top + (y - d.top) * sh / dh);
    std::uint8_t* row = Row(y);
    if (!keyed && dw == sw) {
      std::memmove(row + static_cast<std::size_t>(c.left) * bpp, srcPixel(s.left + (c.left - d.left), sy),
                   static_cast<std::size_t>(c.right - c.left) * bpp);
      continue;
    }
    for (LONG x = c.left; x < c.right; ++x) {
      LONG sx = static_cast<LONG>(s.left + (x - d.left) * sw / dw);
      DWORD v = ReadPixel(srcPixel(sx, sy));
      if (keyed && v >= keyLow && v <= keyHigh) continue;
      WritePixel(row + static_cast<std::size_t>(x) * bpp, v);
    }
  }
  Changed();
  return DD_OK;
}

HRESULT IDirectDrawSurface::BltFast(DWORD x, DWORD y, IDirectDrawSurface* src, RECT* srcRect, DWORD trans) {
  if (src == nullptr) return DDERR_INVALIDPARAMS;
  RECT s = srcRect != nullptr ? *srcRect : RECT{0, 0, src->Width(), src->Height()};
  RECT d{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x) + (s.right - s.left),
         static_cast<LONG>(y) + (s.bottom - s.top)};
  Guard g(gLayerMutex);
  if (!Inside(d, mWidth, mHeight)) return DDERR_INVALIDRECT;
  // BltFast ignores the clipper: blit without it.
  IDirectDrawClipper* clipper = mClipper;
  mClipper = nullptr;
  HRESULT hr = Blt(&d, src, &s, (trans & DDBLTFAST_SRCCOLORKEY) != 0 ? DDBLT_KEYSRC : 0, nullptr);
  mClipper = clipper;
  return hr;
}

HRESULT IDirectDrawSurface::Flip(IDirectDrawSurface*, DWORD) {
  Guard g(gLayerMutex);
  if (!IsPrimary() || mBackBuffer == nullptr) return DDERR_NOTFLIPPABLE;
  if (!mOwner->mExclusive) return DDERR_NOEXCLUSIVEMODE;
  if (mLost || mBackBuffer->mLost) return DDERR_SURFACELOST;
  mPixels.swap(mBackBuffer->mPixels);
  Changed();
  return DD_OK;
}

// ---------------------------------------------------------------- DirectDraw object

IDirectDraw::IDirectDraw() : mCreatorThread(ThisThread()) { gDirectDraws.push_back(this); }

IDirectDraw::~IDirectDraw() { gDirectDraws.erase(std::remove(gDirectDraws.begin(), gDirectDraws.end(), this), gDirectDraws.end()); }

HRESULT IDirectDraw::QueryInterface(IID iid, void** out) {
  if (iid == IID_IDirect3D7) return CreateDirect3DFor(this, out);
  HRESULT hr = QueryAs(iid, IID_IDirectDraw, IID_IDirectDraw7, out);
  if (hr == DD_OK) *out = this;
  return hr;
}

HRESULT IDirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
  Guard g(gLayerMutex);
  const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0 && (flags & DDSCL_FULLSCREEN) != 0;
  if (exclusive && window == nullptr) return DDERR_NOHWND;
  if (exclusive && gBehaviour.exclusiveLevelResult != DD_OK) return gBehaviour.exclusiveLevelResult;
  if (mExclusive && !exclusive) {
    mModeWidth = mModeHeight = mModeBits = 0;
    DisplaySetFullScreen(mWindow, false);
  }
  mWindow = window;
  mLevel = flags;
  mExclusive = exclusive;
  if (exclusive) DisplaySetFullScreen(window, true);
  return DD_OK;
}

HRESULT IDirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) {
  Guard g(gLayerMutex);
  if (!mExclusive) return DDERR_NOEXCLUSIVEMODE;
  if (gBehaviour.setDisplayModeResult != DD_OK) return gBehaviour.setDisplayModeResult;
  if (width == 0 || height == 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) return DDERR_INVALIDMODE;
  if (bitsPerPixel != 16 && bitsPerPixel != 32) return DDERR_UNSUPPORTEDMODE;
  mModeWidth = width;
  mModeHeight = height;
  mModeBits = bitsPerPixel;
  return DD_OK;
}

HRESULT IDirectDraw::RestoreDisplayMode() {
  Guard g(gLayerMutex);
  mModeWidth = mModeHeight = mModeBits = 0;
  return DD_OK;
}

HRESULT IDirectDraw::GetDisplayMode(DDSURFACEDESC* desc) {
  Guard g(gLayerMutex);
  if (desc == nullptr) return DDERR_INVALIDPARAMS;
  SIZE desktop = DisplayDesktopSize();
  desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc->dwWidth = mModeWidth != 0 ? mModeWidth : static_cast<DWORD>(desktop.cx);
  desc->dwHeight = mModeHeight != 0 ? mModeHeight : static_cast<DWORD>(desktop.cy);
  desc->ddpfPixelFormat = ModeFormat();
  return DD_OK;
}

DDPIXELFORMAT IDirectDraw::ModeFormat() const {
  if (mExclusive && mModeBits != 0) return FormatFor(mModeBits, 0x07E0);
  return FormatFor(gBehaviour.desktopBitCount, gBehaviour.desktopGreenMask);
}

HRESULT IDirectDraw::CreateSurfaceCommon(DWORD flags, DWORD width, DWORD height, DWORD caps, DWORD backBuffers,
                                         const DDPIXELFORMAT* format, IDirectDrawSurface** out) {
  Guard g(gLayerMutex);
  if (out == nullptr) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (gBehaviour.createSurfaceFailsAfter == 0) return gBehaviour.createSurfaceFailure;
  if (gBehaviour.createSurfaceFailsAfter > 0) --gBehaviour.createSurfaceFailsAfter;

  if ((caps & DDSCAPS_PRIMARYSURFACE) != 0) {
    if (mLevel == 0) return DDERR_NOCOOPERATIVELEVELSET;
    if (mPrimary != nullptr) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    const bool flipping = (caps & DDSCAPS_FLIP) != 0 && (flags & DDSD_BACKBUFFERCOUNT) != 0 && backBuffers > 0;
    if (flipping && !mExclusive) return DDERR_NOEXCLUSIVEMODE;
    LONG w = 0;
    LONG h = 0;
    if (mExclusive && mModeWidth != 0) {
      w = static_cast<LONG>(mModeWidth);
      h = static_cast<LONG>(mModeHeight);
    } else {
      // The windowed primary stands for the desktop, grown to hold the whole client area.
      SIZE desktop = DisplayDesktopSize();
      POINT o = DisplayClientOrigin(mWindow);
      SIZE client = DisplayClientSize(mWindow);
      w = std::max<LONG>(desktop.cx, o.x + client.cx);
      h = std::max<LONG>(desktop.cy, o.y + client.cy);
    }
    IDirectDrawSurface* primary = nullptr;
    try {
      primary = new IDirectDrawSurface(this, w, h, ModeFormat(), caps | DDSCAPS_VIDEOMEMORY | DDSCAPS_FRONTBUFFER);
      if (flipping) {
        primary->mBackBuffer =
            new IDirectDrawSurface(this, w, h, ModeFormat(), DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_VIDEOMEMORY);
        primary->mBackBuffer->mFrontOfChain = primary;
      }
    } catch (const std::bad_alloc&) {
      if (primary != nullptr) primary->Release();
      return DDERR_OUTOFVIDEOMEMORY;
    }
    mPrimary = primary;
    mPrimaryDirty = true;
    *out = primary;
    return DD_OK;
  }

  if ((flags & DDSD_WIDTH) == 0 || (flags & DDSD_HEIGHT) == 0) return DDERR_INVALIDPARAMS;
  if (width == 0 || height == 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) return DDERR_INVALIDPARAMS;
  DDPIXELFORMAT f = ModeFormat();
  if ((flags & DDSD_PIXELFORMAT) != 0 && format != nullptr) {
    DWORD bits = format->dwRGBBitCount;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return DDERR_INVALIDPIXELFORMAT;
    f = *format;
    f.dwSize = sizeof(DDPIXELFORMAT);
  }
  if ((caps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY)) == 0) caps |= DDSCAPS_VIDEOMEMORY;
  try {
    *out = new IDirectDrawSurface(this, static_cast<int>(width), static_cast<int>(height), f, caps);
  } catch (const std::bad_alloc&) {
    return (caps & DDSCAPS_VIDEOMEMORY) != 0 ? DDERR_OUTOFVIDEOMEMORY : DDERR_OUTOFMEMORY;
  }
  return DD_OK;
}

HRESULT IDirectDraw::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, void*) {
  if (desc == nullptr) return DDERR_INVALIDPARAMS;
  return CreateSurfaceCommon(desc->dwFlags, desc->dwWidth, desc->dwHeight, desc->ddsCaps.dwCaps,
                             desc->dwBackBufferCount, &desc->ddpfPixelFormat, out);
}

HRESULT IDirectDraw::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface** out, void*) {
  if (desc == nullptr) return DDERR_INVALIDPARAMS;
  return CreateSurfaceCommon(desc->dwFlags, desc->dwWidth, desc->dwHeight, desc->ddsCaps.dwCaps,
                             desc->dwBackBufferCount, &desc->ddpfPixelFormat, out);
}

HRESULT IDirectDraw::CreateClipper(DWORD, IDirectDrawClipper** out, void*) {
  Guard g(gLayerMutex);
  if (out == nullptr) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (gBehaviour.createClipperResult != DD_OK) return gBehaviour.createClipperResult;
  *out = new IDirectDrawClipper();
  return DD_OK;
}

HRESULT IDirectDraw::CreatePalette(DWORD flags, const PALETTEENTRY* entries, IDirectDrawPalette** out, void*) {
  Guard g(gLayerMutex);
  if (out == nullptr) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (gBehaviour.createPaletteResult != DD_OK) return gBehaviour.createPaletteResult;
  if ((flags & DDPCAPS_8BIT) == 0 || (flags & DDPCAPS_ALLOW256) == 0 || entries == nullptr) return DDERR_INVALIDPARAMS;
  auto* palette = new IDirectDrawPalette();
  std::copy(entries, entries + 256, palette->mEntries);
  *out = palette;
  return DD_OK;
}

HRESULT IDirectDraw::GetMonitorFrequency(DWORD* hertz) {
  Guard g(gLayerMutex);
  if (hertz == nullptr) return DDERR_INVALIDPARAMS;
  if (gBehaviour.monitorFrequencyResult != DD_OK) return gBehaviour.monitorFrequencyResult;
  if (gBehaviour.overrideMonitorFrequency) {
    *hertz = gBehaviour.monitorFrequency;
    return DD_OK;
  }
  *hertz = 60;
  SDL_DisplayMode mode;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0 && SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.refresh_rate > 0)
    *hertz = static_cast<DWORD>(mode.refresh_rate);
  return DD_OK;
}

HRESULT IDirectDraw::FlipToGDISurface() { return DD_OK; }

void IDirectDraw::SurfaceGone(IDirectDrawSurface* surface) {
  mSurfaces.erase(std::remove(mSurfaces.begin(), mSurfaces.end(), surface), mSurfaces.end());
  if (surface == mPrimary) mPrimary = nullptr;
}

void IDirectDraw::PrimaryChanged() {
  mPrimaryDirty = true;
  if (ThisThread() == mCreatorThread) PresentIfChanged();
}

bool IDirectDraw::PresentIfChanged() {
  Guard g(gLayerMutex);
  if (!mPrimaryDirty || mPrimary == nullptr || mPrimary->mLost || ThisThread() != mCreatorThread) return false;
  mPrimaryDirty = false;
  IDirectDrawSurface* p = mPrimary;
  RECT area{0, 0, p->mWidth, p->mHeight};
  if (!mExclusive) {
    POINT o = DisplayClientOrigin(mWindow);
    SIZE s = DisplayClientSize(mWindow);
    area = Intersect(area, RECT{o.x, o.y, o.x + s.cx, o.y + s.cy});
    if (!RectValid(area)) return false;
  }
  const std::uint8_t* pixels =
      p->Row(area.top) + static_cast<std::size_t>(area.left) * static_cast<std::size_t>(p->BytesPerPixel());
  return DisplayPresentPixels(mWindow, pixels, area.right - area.left, area.bottom - area.top, p->mPitch,
                              p->mFormat.dwRGBBitCount, p->mFormat.dwGBitMask);
}

void PresentChangedDisplays() {
  Guard g(gLayerMutex);
  for (IDirectDraw* dd : gDirectDraws) dd->PresentIfChanged();
}

void SimulateSurfaceLoss() {
  Guard g(gLayerMutex);
  for (IDirectDraw* dd : gDirectDraws)
    for (IDirectDrawSurface* s : dd->mSurfaces)
      if (s->CanBeLost()) s->mLost = true;
}

HRESULT DirectDrawCreate(void*, IDirectDraw** out, void*) {
  Guard g(gLayerMutex);
  if (out == nullptr) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (gBehaviour.directDrawCreateResult != DD_OK) return gBehaviour.directDrawCreateResult;
  *out = new IDirectDraw();
  return DD_OK;
}

HRESULT DirectDrawCreateEx(void* guid, void** out, IID iid, void* outer) {
  if (out == nullptr) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (iid != IID_IDirectDraw7 && iid != IID_IDirectDraw) return E_NOINTERFACE;
  IDirectDraw* dd = nullptr;
  HRESULT hr = DirectDrawCreate(guid, &dd, outer);
  *out = dd;
  return hr;
}

DirectDrawBehaviour& DirectDrawTestBehaviour() { return gBehaviour; }

void ResetDirectDrawBehaviour() {
  Guard g(gLayerMutex);
  gBehaviour = DirectDrawBehaviour{};
}

void RegisterDirectDrawModule() {
  RegisterModule("ddraw.dll", {{"DirectDrawCreate", reinterpret_cast<FARPROC>(&DirectDrawCreate)},
                               {"DirectDrawCreateEx", reinterpret_cast<FARPROC>(&DirectDrawCreateEx)}});
}

}  // namespace plat
