// DDImage: the surface that backs the image (generation with colour keys, locking,
// read-back, purging) and the drawing operations, each routed to the surface when the image
// is opaque and the display draws in 2D, and to the software blitters otherwise.
#include "framework/graphics/DDImage.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "framework/graphics/BlendSimd.h"
#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/DrawCoords.h"
#include "framework/graphics/LineWalk.h"
#include "framework/graphics/SurfacePixels.h"
#include "framework/graphics/TriangleRasterizer.h"

namespace Orvo {
using namespace surface;


// ------------------------------------------------------------------ life and surface

DDImage::DDImage(DDInterface* display) : MemoryImage(display != nullptr ? display->mApp : nullptr), mDDInterface(display) {
  if (mDDInterface != nullptr) mDDInterface->AddDDImage(this);
}

DDImage::~DDImage() {
  if (mSurface != nullptr) mSurface->Release();
  mSurface = nullptr;
  if (mDDInterface != nullptr) mDDInterface->RemoveDDImage(this);
}

bool DDImage::Check3D() {
  return mDDInterface != nullptr && mDDInterface->mIs3D && mSurface != nullptr &&
         mSurface == mDDInterface->mDrawSurface;
}

plat::IDirectDrawSurface* DDImage::GetSurface() {
  if (mSurface == nullptr) GenerateDDSurface();
  return mSurface;
}

bool DDImage::GenerateDDSurfaceKeyed() { return GenerateDDSurface(); }

bool DDImage::GenerateDDSurface() {
  if (mSurface != nullptr) return true;
  if (mDDInterface == nullptr || mWidth <= 0 || mHeight <= 0) return false;
  CommitBits();
  if (mHasAlpha) return false;
  mWantDDSurface = true;
  // ARGB bits to convert: from the palette form, or, for an image that has none (one made by
  // Create is all transparent), zeros or what the image's other data holds. Without them the
  // surface would show an opaque picture of nothing, with no colour key.
  if (mColorTable != nullptr || mBits == nullptr) GetBits();

  plat::DDSURFACEDESC2 desc;
  desc.dwSize = sizeof desc;
  desc.dwFlags = plat::DDSD_CAPS | plat::DDSD_HEIGHT | plat::DDSD_WIDTH;
  desc.dwWidth = static_cast<plat::DWORD>(mWidth);
  desc.dwHeight = static_cast<plat::DWORD>(mHeight);
  desc.ddsCaps.dwCaps = mWantVideoMemory ? plat::DDSCAPS_VIDEOMEMORY : plat::DDSCAPS_SYSTEMMEMORY;

  ScopedCriticalSection lock(mDDInterface->mCritSect);
  if (mDDInterface->CreateSurface(&desc, &mSurface) < 0 || mSurface == nullptr) {
    mSurface = nullptr;
    return false;
  }
  if (!LockSurface()) return false;
  ConvertBitsIntoSurface();
  UnlockSurface();
  return true;
}

// Writes the ARGB bits into the locked surface; pixels that are not opaque take a colour
// key that no opaque pixel uses.
void DDImage::ConvertBitsIntoSurface() {
  if (mBits == nullptr) return;
  Surface s(mLockedSurfaceDesc);
  const int w = mWidth;
  const int h = mHeight;
  const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  if (s.bitCount == 16) {
    std::vector<u16> converted(n);
    bool haveCandidate = false;
    u32 key = 0;
    for (std::size_t i = 0; i < n; ++i) {
      converted[i] = static_cast<u16>(s.FromARGB(mBits[i]));
      if (!haveCandidate && (mBits[i] >> 24) < 255) {
        haveCandidate = true;
        key = converted[i];
      }
    }
    if (!mHasTrans) {
      for (int y = 0; y < h; ++y)
        std::memcpy(s.bits + static_cast<std::ptrdiff_t>(y) * s.pitch, &converted[static_cast<std::size_t>(y) * w],
                    static_cast<std::size_t>(w) * 2);
      return;
    }
    bool collides = false;
    for (std::size_t i = 0; i < n && !collides; ++i)
      collides = (mBits[i] >> 24) == 255 && converted[i] == key;
    if (collides) {
      std::vector<bool> used(65536, false);
      for (std::size_t i = 0; i < n; ++i)
        if ((mBits[i] >> 24) > 0) used[converted[i]] = true;
      for (u32 v = 0; v < 65536; ++v)
        if (!used[v]) {
          key = v;
          break;
        }
    }
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        std::size_t i = static_cast<std::size_t>(y) * w + x;
        s.Put(x, y, (mBits[i] >> 24) == 255 ? converted[i] : key);
      }
    plat::DDCOLORKEY ck{key, key};
    mSurface->SetColorKey(plat::DDCKEY_SRCBLT, &ck);
    return;
  }

  if (!mHasTrans) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) s.Put(x, y, s.FromARGB(mBits[static_cast<std::size_t>(y) * w + x]));
    return;
  }
  u32 key = 0;
  for (std::size_t i = 0; i < n; ++i)
    if ((mBits[i] >> 24) < 255) {
      key = mBits[i] & 0xFFFFFF;
      break;
    }
  bool collides = false;
  for (std::size_t i = 0; i < n && !collides; ++i) collides = (mBits[i] >> 24) == 255 && (mBits[i] & 0xFFFFFF) == key;
  if (collides) {
    std::vector<bool> used(1u << 24, false);
    for (std::size_t i = 0; i < n; ++i)
      if ((mBits[i] >> 24) > 0) used[mBits[i] & 0xFFFFFF] = true;
    for (u32 v = 0; v < (1u << 24); ++v)
      if (!used[v]) {
        key = v;
        break;
      }
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      u32 p = mBits[static_cast<std::size_t>(y) * w + x];
      s.Put(x, y, (p >> 24) < 255 ? key : s.FromARGB(p));
    }
  plat::DDCOLORKEY ck{key, key};
  mSurface->SetColorKey(plat::DDCKEY_SRCBLT, &ck);
}

void DDImage::DeleteDDSurface() {
  if (mSurface == nullptr) return;
  if (mColorTable == nullptr && mBits == nullptr && mD3DData == nullptr) GetBits();
  mSurface->Release();
  mSurface = nullptr;
}

void DDImage::DeleteAllNonSurfaceData() {
  FreeBits();
  delete[] mNativeAlphaData;
  mNativeAlphaData = nullptr;
  delete[] mRLAlphaData;
  mRLAlphaData = nullptr;
  delete[] mRLAdditiveData;
  mRLAdditiveData = nullptr;
  delete[] mAdditiveData;
  mAdditiveData = nullptr;
  FreePalette();
}

bool DDImage::LockSurface() {
  if (Check3D()) return false;
  if (mLockCount == 0) {
    mLockedSurfaceDesc = plat::DDSURFACEDESC{};
    mLockedSurfaceDesc.dwSize = sizeof(plat::DDSURFACEDESC);
    plat::IDirectDrawSurface* surface = GetSurface();
    if (surface == nullptr) return false;
    if (surface->Lock(nullptr, &mLockedSurfaceDesc, plat::DDLOCK_WAIT, nullptr) != plat::DD_OK) return false;
  }
  ++mLockCount;
  return true;
}

bool DDImage::UnlockSurface() {
  if (Check3D()) return false;
  // An unbalanced unlock must not drive the count below zero and unlock a lock it never took.
  if (mLockCount <= 0) return false;
  --mLockCount;
  if (mLockCount == 0 && mSurface != nullptr) mSurface->Unlock(nullptr);
  return true;
}

void DDImage::SetSurface(plat::IDirectDrawSurface* surface) {
  mNoLock = true;
  if (surface == mSurface) return;
  // A surface held before is let go, so adopting twice leaks nothing.
  if (mSurface != nullptr) mSurface->Release();
  mSurface = surface;
  if (mSurface == nullptr) return;
  mSurface->AddRef();
  plat::DDSURFACEDESC desc;
  desc.dwSize = sizeof desc;
  desc.dwFlags = plat::DDSD_HEIGHT | plat::DDSD_WIDTH;
  mSurface->GetSurfaceDesc(&desc);
  mWidth = static_cast<int>(desc.dwWidth);
  mHeight = static_cast<int>(desc.dwHeight);
  mVideoMemory = false;
}

void DDImage::SetVideoMemory(bool wantVideoMemory) {
  if (wantVideoMemory == mWantVideoMemory) return;
  mWantVideoMemory = wantVideoMemory;
  GetBits();
  DeleteDDSurface();
}

void DDImage::Create(int width, int height) {
  MemoryImage::Create(width, height);
}

void DDImage::BitsChanged() {
  MemoryImage::BitsChanged();
  if (mNoLock) return;  // the display's surfaces are never dropped behind its back
  if (mSurface != nullptr) mSurface->Release();
  mSurface = nullptr;
}

void DDImage::CommitBits() {
  if (mSurface != nullptr) return;
  MemoryImage::CommitBits();
}

std::uint32_t* DDImage::GetBits() {
  if (mBits != nullptr) return mBits;
  if (mSurface == nullptr) return MemoryImage::GetBits();
  if (mVideoMemory || !LockSurface()) return nullptr;
  const std::size_t n = static_cast<std::size_t>(mWidth) * static_cast<std::size_t>(mHeight);
  std::uint32_t* bits = new (std::nothrow) std::uint32_t[n + 1];
  if (bits == nullptr) {
    UnlockSurface();
    return nullptr;
  }
  bits[n] = MEMORYIMAGE_GUARD_WORD;
  Surface s(mLockedSurfaceDesc);
  const int w = std::min(mWidth, s.width);
  const int h = std::min(mHeight, s.height);
  // Pixels under the source colour key are the image's transparent ones: they read back
  // transparent, so that the bits draw as the surface does.
  plat::DDCOLORKEY key{};
  const bool keyed = mSurface->GetColorKey(plat::DDCKEY_SRCBLT, &key) == plat::DD_OK;
  const u32 keyLow = key.dwColorSpaceLowValue;
  const u32 keyHigh = std::max(keyLow, static_cast<u32>(key.dwColorSpaceHighValue));
  bool anyKeyed = false;
  std::memset(bits, 0, n * sizeof(u32));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const u32 v = s.Get(x, y);
      u32& out = bits[static_cast<std::size_t>(y) * mWidth + x];
      if (keyed && v >= keyLow && v <= keyHigh) {
        out = 0;
        anyKeyed = true;
      } else {
        out = s.ToARGB(v);
      }
    }
  UnlockSurface();
  if (anyKeyed && !mForcedMode) mHasTrans = true;
  mBits = bits;
  return mBits;
}

std::unique_ptr<MemoryImage> DDImage::CopyOfSurface() {
  if (mSurface == nullptr || mWidth <= 0 || mHeight <= 0) return nullptr;
  // Locked for reading only, as the display does before presenting the 3D frame.
  plat::DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  if (mSurface->Lock(nullptr, &desc, plat::DDLOCK_WAIT | plat::DDLOCK_READONLY, nullptr) != plat::DD_OK) return nullptr;
  std::vector<u32> bits(static_cast<std::size_t>(mWidth) * static_cast<std::size_t>(mHeight), 0);
  Surface s(desc);
  const int w = std::min(mWidth, s.width);
  const int h = std::min(mHeight, s.height);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bits[static_cast<std::size_t>(y) * mWidth + x] = s.ToARGB(s.Get(x, y));
  mSurface->Unlock(nullptr);
  auto copy = std::make_unique<MemoryImage>(static_cast<OrvoAppBase*>(nullptr));
  copy->SetBits(bits.data(), mWidth, mHeight);
  return copy;
}

void DDImage::PurgeBits() {
  if (mNoLock) return;
  mPurgeBits = true;
  CommitBits();
  if (mDDInterface != nullptr && mDDInterface->mIs3D) {
    if (mSurface != nullptr) {
      GetBits();
      DeleteDDSurface();
    }
    MemoryImage::PurgeBits();
    return;
  }
  if (mWantDDSurface && GenerateDDSurface()) {
    FreeBits();
    FreePalette();
    return;
  }
  MemoryImage::PurgeBits();
}

void DDImage::DeleteExtraBuffers() {
  if (mNoLock) return;
  MemoryImage::DeleteExtraBuffers();
  DeleteDDSurface();
}

void DDImage::DeleteNativeData() {
  if (mNoLock) return;
  MemoryImage::DeleteNativeData();
  DeleteDDSurface();
}

void DDImage::ReInit() {
  MemoryImage::ReInit();
  if (mWantDDSurface) GenerateDDSurface();
}

bool DDImage::Palletize() {
  if (!MemoryImage::Palletize()) return false;
  DeleteDDSurface();
  return true;
}

// ------------------------------------------------------------------ routing

bool DDImage::DrawsOnSurface() {
  if (mDDInterface == nullptr || mDDInterface->mIs3D || mHasAlpha || mHasTrans) return false;
  // Without a surface the software pixels stay the image: dropping them would lose it.
  return GetSurface() != nullptr;
}

bool DDImage::PolyFill(const Point* vertices, int numVertices, const Rect* clipRect, const Color& color, int drawMode,
                       int tx, int ty, bool) {
  if (!Check3D()) return false;
  mDDInterface->mD3DInterface->FillPoly(vertices, numVertices, clipRect, color, drawMode, tx, ty);
  return true;
}

void DDImage::FillRect(const Rect& rect, const Color& color, int drawMode) {
  if (Check3D()) {
    mDDInterface->mD3DInterface->FillRect(rect, color, drawMode);
    return;
  }
  CommitBits();
  if (!DrawsOnSurface()) {
    MemoryImage::FillRect(rect, color, drawMode);
    return;
  }
  if (drawMode == 0)
    NormalFillRect(rect, color);
  else if (drawMode == 1)
    AdditiveFillRect(rect, color);
  DeleteAllNonSurfaceData();
}

void DDImage::DrawLine(double startX, double startY, double endX, double endY, const Color& color, int drawMode) {
  if (!PrepareLineEnds(startX, startY, endX, endY, -2, -2, mWidth + 1, mHeight + 1)) return;
  if (Check3D()) {
    mDDInterface->mD3DInterface->DrawLine(startX, startY, endX, endY, color, drawMode);
    return;
  }
  CommitBits();
  if (!DrawsOnSurface()) {
    MemoryImage::DrawLine(startX, startY, endX, endY, color, drawMode);
    return;
  }
  if (startY == endY) {
    int x1 = static_cast<int>(std::min(startX, endX));
    int x2 = static_cast<int>(std::max(startX, endX));
    FillRect(Rect(x1, static_cast<int>(startY), x2 - x1 + 1, 1), color, drawMode);
    return;
  }
  if (startX == endX) {
    int y1 = static_cast<int>(std::min(startY, endY));
    int y2 = static_cast<int>(std::max(startY, endY));
    FillRect(Rect(static_cast<int>(startX), y1, 1, y2 - y1 + 1), color, drawMode);
    return;
  }
  if (drawMode == 0)
    NormalDrawLine(startX, startY, endX, endY, color);
  else if (drawMode == 1)
    AdditiveDrawLine(startX, startY, endX, endY, color);
  DeleteAllNonSurfaceData();
}

void DDImage::DrawLineAA(double startX, double startY, double endX, double endY, const Color& color, int drawMode) {
  if (!PrepareLineEnds(startX, startY, endX, endY, -2, -2, mWidth + 1, mHeight + 1)) return;
  if (Check3D()) {
    mDDInterface->mD3DInterface->DrawLine(startX, startY, endX, endY, color, drawMode);
    return;
  }
  CommitBits();
  if (!DrawsOnSurface()) {
    MemoryImage::DrawLineAA(startX, startY, endX, endY, color, drawMode);
    return;
  }
  if (startY == endY || startX == endX) {
    DrawLine(startX, startY, endX, endY, color, drawMode);
    return;
  }
  if (drawMode == 0) NormalDrawLineAA(startX, startY, endX, endY, color);
  DeleteAllNonSurfaceData();
}

void DDImage::FillScanLinesWithCoverage(Span* spans, int spanCount, const Color& color, int drawMode,
                                        const std::uint8_t* coverage, int coverX, int coverY, int coverPitch,
                                        int coverHeight) {
  if (Check3D()) {
    // Direct3D has no coverage spans: they are drawn into an image of the bounding box of
    // their parts inside this image, which is then blitted. Only those parts count, so the
    // box is never larger than the image however far apart the spans lie.
    if (spanCount <= 0 || spans == nullptr || coverage == nullptr) return;
    std::vector<Span> shifted;
    int left = mWidth, top = mHeight, right = 0, bottom = 0;
    for (int k = 0; k < spanCount; ++k) {
      int first = 0, end = 0;
      if (spans[k].mY < 0 || spans[k].mY >= mHeight || !SpanColumns(spans[k].mX, spans[k].mWidth, mWidth, first, end))
        continue;
      shifted.push_back(Span{spans[k].mY, first, end - first});
      left = std::min(left, first);
      top = std::min(top, spans[k].mY);
      right = std::max(right, end);
      bottom = std::max(bottom, spans[k].mY + 1);
    }
    if (shifted.empty()) return;
    // The coverage origin in the box's coordinates; one that far away covers nothing there.
    const long long boxCoverX = static_cast<long long>(coverX) - left;
    const long long boxCoverY = static_cast<long long>(coverY) - top;
    if (boxCoverX < INT_MIN || boxCoverX > INT_MAX || boxCoverY < INT_MIN || boxCoverY > INT_MAX) return;
    for (Span& span : shifted) {
      span.mX -= left;
      span.mY -= top;
    }
    MemoryImage box(nullptr);
    std::vector<u32> clear(static_cast<std::size_t>(right - left) * static_cast<std::size_t>(bottom - top), 0);
    box.SetBits(clear.data(), right - left, bottom - top);
    box.FillScanLinesWithCoverage(shifted.data(), static_cast<int>(shifted.size()), color, drawMode, coverage,
                                  static_cast<int>(boxCoverX), static_cast<int>(boxCoverY), coverPitch, coverHeight);
    Blt(&box, left, top, Rect(0, 0, right - left, bottom - top), Color::White, drawMode);
    return;
  }
  CommitBits();
  if (!DrawsOnSurface()) {
    MemoryImage::FillScanLinesWithCoverage(spans, spanCount, color, drawMode, coverage, coverX, coverY, coverPitch,
                                           coverHeight);
    return;
  }
  if (spanCount <= 0 || spans == nullptr || coverage == nullptr || mVideoMemory || !LockSurface()) {
    DeleteAllNonSurfaceData();
    return;
  }
  Surface s(mLockedSurfaceDesc);
  const Channels c(color);
  u32 sm[3];
  for (int i = 0; i < 3; ++i) sm[i] = (c[i] * s.mask[i]) >> 8 & s.mask[i];
  const u32 colorAlpha = c.alpha;
  for (int k = 0; k < spanCount; ++k) {
    const Span& span = spans[k];
    const long long row = static_cast<long long>(span.mY) - coverY;
    int first = 0, end = 0;
    if (span.mY < 0 || span.mY >= s.height || row < 0 || row >= coverHeight ||
        !SpanColumns(span.mX, span.mWidth, s.width, first, end))
      continue;
    for (int x = first; x < end; ++x) {
      const long long col = static_cast<long long>(x) - coverX;
      if (col < 0 || col >= coverPitch) continue;
      const u32 a = ((static_cast<u32>(coverage[static_cast<std::ptrdiff_t>(row) * coverPitch + col]) + 1) * colorAlpha) >> 8;
      const u32 d = s.Get(x, span.mY);
      u32 out = 0;
      for (int i = 0; i < 3; ++i) out |= (((d & s.mask[i]) * (256 - a) + sm[i] * a) >> 8) & s.mask[i];
      s.Put(x, span.mY, out);
    }
  }
  UnlockSurface();
  DeleteAllNonSurfaceData();
}

// ------------------------------------------------------------------ fills

void DDImage::NormalFillRect(const Rect& rect, const Color& color) {
  if (mVideoMemory || !LockSurface()) return;
  Surface s(mLockedSurfaceDesc);
  const Rect r = rect.Intersection(Rect(0, 0, s.width, s.height));
  const Channels c(color);
  const u32 a = c.alpha;
  const bool wide = s.bitCount == 16;
  if (a == 255) {
    u32 v = 0;
    for (int i = 0; i < 3; ++i) v += wide ? (((c[i] + 1) * s.mask[i]) >> 8 & s.mask[i]) : ((c[i] * s.mask[i]) >> 8 & s.mask[i]);
    for (int y = r.mY; y < r.mY + r.mHeight; ++y) {
      std::uint8_t* row = s.bits + static_cast<std::ptrdiff_t>(y) * s.pitch;
      if (wide)
        std::fill_n(reinterpret_cast<u16*>(row) + r.mX, r.mWidth, static_cast<u16>(v));
      else
        std::fill_n(reinterpret_cast<u32*>(row) + r.mX, r.mWidth, v);
    }
  } else {
    u32 src = 0;
    for (int i = 0; i < 3; ++i) {
      const u32 m = s.mask[i];
      src += wide ? (((((c[i] * a + 128) >> 8) + 1) * m) >> 8 & m) : (((((c[i] * a + 127) >> 8) + 1) * m) >> 8 & m);
    }
    for (int y = r.mY; y < r.mY + r.mHeight; ++y)
      for (int x = r.mX; x < r.mX + r.mWidth; ++x) {
        const u32 d = s.Get(x, y);
        u32 dst = 0;
        for (int i = 0; i < 3; ++i) {
          const u32 m = s.mask[i];
          dst += wide ? ((((d & m) * (256 - a) + m) >> 8) & m) : (((d & m) * (256 - a)) >> 8 & m);
        }
        s.Put(x, y, src + dst);
      }
  }
  UnlockSurface();
}

void DDImage::AdditiveFillRect(const Rect& rect, const Color& color) {
  if (mVideoMemory || !LockSurface()) return;
  Surface s(mLockedSurfaceDesc);
  const Rect r = rect.Intersection(Rect(0, 0, s.width, s.height));
  const Channels c(color);
  const u32 a = c.alpha;
  u32 add = 0;
  for (int i = 0; i < 3; ++i) {
    // c * a / 255 exactly, by the multiply-and-shift form of the division.
    const u32 k = static_cast<u32>((static_cast<std::uint64_t>(c[i] * a) * 0x80808081u) >> 39) >> (8 - s.size[i]);
    add |= k << s.shift[i];
  }
  for (int y = r.mY; y < r.mY + r.mHeight; ++y)
    for (int x = r.mX; x < r.mX + r.mWidth; ++x) s.Put(x, y, AddThroughTables(s, mDDInterface, s.Get(x, y), add));
  UnlockSurface();
}

// ------------------------------------------------------------------ lines

void DDImage::DrawLineOnSurface(double startX, double startY, double endX, double endY, const Color& color,
                                bool additive) {
  if (mVideoMemory || !LockSurface()) return;
  Surface s(mLockedSurfaceDesc);
  const Channels c(color);
  const u32 a = c.alpha;
  u32 src = 0;
  u32 add = 0;
  for (int i = 0; i < 3; ++i) {
    const u32 m = s.mask[i];
    if (a == 255)
      src += (c[i] * m + (m >> 1)) >> 8 & m;
    else
      src += ((((c[i] * a + 128) >> 8) * m) + (m >> 1)) >> 8 & m;
    add |= ((c[i] * a / 255) >> (8 - s.size[i])) << s.shift[i];
  }
  WalkLine(startX, startY, endX, endY, [&](int x, int y) {
    if (!s.Contains(x, y)) return;
    const u32 d = s.Get(x, y);
    if (additive) {
      s.Put(x, y, AddThroughTables(s, mDDInterface, d, add));
    } else if (a == 255) {
      s.Put(x, y, src);
    } else {
      u32 dst = 0;
      for (int i = 0; i < 3; ++i) {
        const u32 m = s.mask[i];
        dst += (((d & m) * (256 - a)) + (m >> 1)) >> 8 & m;
      }
      s.Put(x, y, src + dst);
    }
  });
  UnlockSurface();
}

void DDImage::NormalDrawLine(double startX, double startY, double endX, double endY, const Color& color) {
  DrawLineOnSurface(startX, startY, endX, endY, color, false);
}

void DDImage::AdditiveDrawLine(double startX, double startY, double endX, double endY, const Color& color) {
  DrawLineOnSurface(startX, startY, endX, endY, color, true);
}

void DDImage::AdditiveDrawLineAA(double, double, double, double, const Color&) {}

void DDImage::NormalDrawLineAA(double startX, double startY, double endX, double endY, const Color& color) {
  if (mVideoMemory || !LockSurface()) return;
  Surface s(mLockedSurfaceDesc);
  if (startY > endY) {
    std::swap(startX, endX);
    std::swap(startY, endY);
  }
  const double dx = endX - startX;
  const double dy = endY - startY;
  const bool xMajor = std::fabs(dx) > std::fabs(dy);
  const double majorExtent = xMajor ? std::fabs(dx) : dy;
  const double minorExtent = xMajor ? dy : std::fabs(dx);
  u32 error = static_cast<u32>(std::fabs(startX - std::trunc(startX)) * std::fabs(startY - std::trunc(startY)) * 65536.0);
  const u32 gradient = majorExtent > 0 ? static_cast<u32>(std::lround(minorExtent / majorExtent * 65536.0)) : 0;
  const int majorStep = xMajor ? (dx >= 0 ? 1 : -1) : 1;
  const int minorStep = xMajor ? 1 : (dx >= 0 ? 1 : -1);
  const Channels c(color);
  const u32 colorAlpha = c.alpha;
  u32 full = 0;
  for (int i = 0; i < 3; ++i) full |= (c[i] * s.mask[i]) >> 8 & s.mask[i];
  auto plot = [&](int x, int y, u32 weight) {
    if (!s.Contains(x, y)) return;
    const u32 w = colorAlpha == 255 ? weight : ((colorAlpha + 1) * weight) >> 8;
    u32 p = 0;
    for (int i = 0; i < 3; ++i) p |= ((full & s.mask[i]) * w >> 8) & s.mask[i];
    s.Put(x, y, BlendCoverage(s, s.Get(x, y), p, w));
  };
  int x = static_cast<int>(startX);
  int y = static_cast<int>(startY);
  plot(x, y, 255 - (error >> 8));
  const int steps = static_cast<int>(majorExtent) - 1;
  for (int k = 0; k < steps; ++k) {
    if (xMajor)
      x += majorStep;
    else
      y += majorStep;
    error += gradient;
    if (error > 0xFFFF) {
      error &= 0xFFFF;
      if (xMajor)
        y += minorStep;
      else
        x += minorStep;
    }
    plot(x, y, 255 - (error >> 8));
    if (xMajor)
      plot(x, y + minorStep, error >> 8);
    else
      plot(x + minorStep, y, error >> 8);
  }
  plot(static_cast<int>(endX), static_cast<int>(endY), 255 - (error >> 8));
  UnlockSurface();
}

// ------------------------------------------------------------------ blits

namespace {

// Packed two-group blend of an ARGB source pixel into a 16-bit destination.
u32 VolatileBlend16(u32 d, u32 s, u32 a, bool is565) {
  if (is565) {
    const u32 ds = ((d << 16) | d) & 0x07E0F81Fu;
    const u32 ss = ((s & 0xFC00u) << 11) + (s >> 3 & 0x1Fu) + (s >> 8 & 0xF800u);
    u32 r = ((((ss - ds) * (a >> 3)) >> 5) + ds) & 0x07E0F81Fu;
    return ((r >> 16) | r) & 0xFFFF;
  }
  const u32 ds = ((d << 16) | d) & 0x03E07C1Fu;
  const u32 ss = (s >> 3 & 0x1Fu) + (s >> 9 & 0x7C00u) + ((s & 0xF800u) << 10);
  u32 r = ((((ss - ds) * (a >> 3)) >> 5) + ds) & 0x03E07C1Fu;
  return ((r >> 16) | r) & 0xFFFF;
}

}  // namespace

void DDImage::NormalBlt(Image* src, int x, int y, const Rect& srcRect, const Color& color) {
  auto* source = dynamic_cast<MemoryImage*>(src);
  if (source == nullptr || mVideoMemory) return;
  source->CommitBits();
  auto* ddSource = dynamic_cast<DDImage*>(src);
  const bool sourceSurface = ddSource != nullptr && ddSource->mSurface != nullptr;

  if (source->mIsVolatile && !sourceSurface && IsWhite(color)) {
    if (!LockSurface()) return;
    Surface s(mLockedSurfaceDesc);
    const std::uint32_t* bits = source->mColorTable != nullptr ? nullptr : source->GetBits();
    const Rect r = Rect(x, y, srcRect.mWidth, srcRect.mHeight).Intersection(Rect(0, 0, s.width, s.height));
    const bool fast32 = s.bitCount == 32 && gDisplayRGBOrdered;
    const bool fast16 = (s.Is565() || s.Is555()) && gDisplayRGBOrdered;
    for (int dy = r.mY; dy < r.mY + r.mHeight; ++dy)
      for (int dx = r.mX; dx < r.mX + r.mWidth; ++dx) {
        const int sx = srcRect.mX + dx - x;
        const int sy = srcRect.mY + dy - y;
        if (sx < 0 || sy < 0 || sx >= source->mWidth || sy >= source->mHeight) continue;
        const std::size_t i = static_cast<std::size_t>(sy) * source->mWidth + sx;
        u32 p = 0;
        if (bits != nullptr)
          p = bits[i];
        else if (source->mColorIndices != nullptr)
          p = source->mColorTable[source->mColorIndices[i]];
        const u32 a = p >> 24;
        const u32 d = s.Get(dx, dy);
        u32 out;
        if (fast32) {
          const u32 rb = (((((p & 0x00FF00FFu) - (d & 0x00FF00FFu)) * a) >> 8) + (d & 0x00FF00FFu)) & 0x00FF00FFu;
          const u32 g = (((((p & 0x0000FF00u) - (d & 0x0000FF00u)) * a) >> 8) + (d & 0x0000FF00u)) & 0x0000FF00u;
          out = rb | g;
        } else if (fast16) {
          out = VolatileBlend16(d, p, a, s.Is565());
        } else {
          out = 0;
          const u32 ch[3] = {p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF};
          for (int k = 0; k < 3; ++k) {
            const u32 m = s.mask[k];
            const u32 t = s.bitCount == 32 ? ((ch[k] * a) >> 8) * m : static_cast<u32>((static_cast<std::uint64_t>(ch[k]) * a * m) >> 8);
            out += (((d & m) * (256 - a) + t + (m >> 1)) >> 8) & m;
          }
        }
        s.Put(dx, dy, out);
      }
    UnlockSurface();
    return;
  }

  if (!source->mHasAlpha && IsWhite(color) && sourceSurface && (mWantVideoMemory || !ddSource->mWantVideoMemory)) {
    const bool wasLocked = mLockCount > 0;
    if (wasLocked && mSurface != nullptr) mSurface->Unlock(nullptr);
    plat::RECT dest{x, y, x + srcRect.mWidth, y + srcRect.mHeight};
    plat::RECT from{srcRect.mX, srcRect.mY, srcRect.mX + srcRect.mWidth, srcRect.mY + srcRect.mHeight};
    plat::DDBLTFX fx;
    fx.dwSize = sizeof fx;
    plat::IDirectDrawSurface* surface = GetSurface();
    if (surface != nullptr)
      surface->Blt(&dest, ddSource->mSurface, &from,
                   plat::DDBLT_WAIT | (ddSource->mHasTrans ? plat::DDBLT_KEYSRC : 0u), &fx);
    if (wasLocked && mSurface != nullptr) mSurface->Lock(nullptr, &mLockedSurfaceDesc, plat::DDLOCK_WAIT, nullptr);
    return;
  }
  BltOnSurface(src, x, y, srcRect, color, false, false);
}

void DDImage::AdditiveBlt(Image* src, int x, int y, const Rect& srcRect, const Color& color) {
  BltOnSurface(src, x, y, srcRect, color, true, false);
}

void DDImage::NormalBltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color) {
  BltOnSurface(src, x, y, srcRect, color, false, true);
}

void DDImage::AdditiveBltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color) {
  BltOnSurface(src, x, y, srcRect, color, true, true);
}

// Blits from the source's premultiplied display-layout pixels: opaque pixels are copied,
// transparent ones skipped, the rest blended by their alpha; additive sums go through the
// clamp tables. A mirrored blit writes each row from its right end.
void DDImage::BltOnSurface(Image* src, int x, int y, const Rect& srcRect, const Color& color, bool additive,
                           bool mirror) {
  auto* source = dynamic_cast<MemoryImage*>(src);
  if (source == nullptr || mVideoMemory || mDDInterface == nullptr) return;
  source->CommitBits();
  const std::uint32_t* native = source->GetNativeAlphaData(mDDInterface);
  if (native == nullptr) return;
  const bool palette = source->mColorTable != nullptr && source->mColorIndices != nullptr;
  const Rect from = srcRect.Intersection(Rect(0, 0, source->mWidth, source->mHeight));
  if (from.mWidth <= 0 || from.mHeight <= 0) return;
  if (!LockSurface()) return;
  Surface s(mLockedSurfaceDesc);
  const Channels tint(color);
  const u32 ca = tint.alpha;
  const bool white = IsWhite(color);
  // Per channel multiplier of the premultiplied source: tint x colour alpha / 255.
  u32 mult[3];
  for (int k = 0; k < 3; ++k) mult[k] = tint[k] * ca / 255;
  const bool plainCopy = !additive && white && !source->mHasAlpha;
  // 32-bit X8R8G8B8 with a grey tint (white included): one multiplier for all channels,
  // blended two channel groups at a time.
  const bool greyOn8888 = !additive && !plainCopy && s.bitCount == 32 && s.mask[0] == 0xFF0000 &&
                          s.mask[1] == 0xFF00 && s.mask[2] == 0xFF && tint[0] == tint[1] && tint[1] == tint[2];
  const u32 m = static_cast<u32>((static_cast<std::uint64_t>(tint[0] * ca) * 0x80808081u) >> 39);

  // Additive blits onto the fast formats walk the source's run-length additive table: runs
  // whose colour is 0 add nothing, the others are added a run at a time.
  const bool is8888 = s.bitCount == 32 && s.mask[0] == 0xFF0000 && s.mask[1] == 0xFF00 && s.mask[2] == 0xFF;
  const std::uint8_t* addRuns = additive && !palette && !mirror && (is8888 || s.Is565() || s.Is555())
                                    ? source->GetRLAdditiveData(mDDInterface)
                                    : nullptr;
  if (addRuns != nullptr) {
    const int left = x + (from.mX - srcRect.mX);
    const int colStart = std::max(0, -left);
    const int colEnd = std::min(from.mWidth, s.width - left);
    for (int row = 0; row < from.mHeight && colStart < colEnd; ++row) {
      const int dy = y + (from.mY - srcRect.mY) + row;
      if (dy < 0 || dy >= s.height) continue;
      const std::size_t first = static_cast<std::size_t>(from.mY + row) * source->mWidth + from.mX;
      const u32* src = native + first;
      std::uint8_t* dstRow = s.bits + static_cast<std::ptrdiff_t>(dy) * s.pitch;
      for (int c = colStart; c < colEnd;) {
        const int length = std::min<int>(addRuns[first + c], colEnd - c);
        if ((src[c] & 0xFFFFFFu) != 0) {
          if (is8888)
            blend::AddNativeRun8888(reinterpret_cast<u32*>(dstRow) + left + c, src + c, length, !white, mult[0],
                                    mult[1], mult[2]);
          else
            blend::AddNativeRun16(reinterpret_cast<u16*>(dstRow) + left + c, src + c, length, s.Is565(), !white,
                                  mult[0], mult[1], mult[2]);
        }
        c += length;
      }
    }
    UnlockSurface();
    return;
  }

  // The common cases, unmirrored from per-pixel data: each row is walked by the source's
  // run-length alpha table, transparent runs skipped, the rest copied or blended a run at a
  // time.
  const bool fast32 = s.bitCount == 32 && (plainCopy || greyOn8888);
  const bool fast16 = (s.Is565() || s.Is555()) && !additive && white;
  const std::uint8_t* runs = !palette && !mirror && (fast32 || fast16) ? source->GetRLAlphaData() : nullptr;
  if (runs != nullptr) {
    const int left = x + (from.mX - srcRect.mX);
    const int colStart = std::max(0, -left);
    const int colEnd = std::min(from.mWidth, s.width - left);
    for (int row = 0; row < from.mHeight && colStart < colEnd; ++row) {
      const int dy = y + (from.mY - srcRect.mY) + row;
      if (dy < 0 || dy >= s.height) continue;
      const std::size_t first = static_cast<std::size_t>(from.mY + row) * source->mWidth + from.mX;
      const u32* src = native + first;
      const std::uint8_t* rowRuns = runs + first;
      std::uint8_t* dstRow = s.bits + static_cast<std::ptrdiff_t>(dy) * s.pitch;
      for (int c = colStart; c < colEnd;) {
        const int length = std::min<int>(rowRuns[c], colEnd - c);
        const u32 alpha = src[c] >> 24;
        if (alpha != 0) {
          if (s.bitCount == 32) {
            u32* dst = reinterpret_cast<u32*>(dstRow) + left;
            if (plainCopy)
              blend::CopyColourRun(dst + c, src + c, length);
            else
              blend::PremulOverRun8888(dst + c, src + c, length, ca, m);
          } else {
            blend::PremulOverRun16(reinterpret_cast<u16*>(dstRow) + left + c, src + c, length, s.Is565());
          }
        }
        c += length;
      }
    }
    UnlockSurface();
    return;
  }

  for (int row = 0; row < from.mHeight; ++row) {
    const int dy = y + (from.mY - srcRect.mY) + row;
    if (dy < 0 || dy >= s.height) continue;
    for (int col = 0; col < from.mWidth; ++col) {
      const int offset = (from.mX - srcRect.mX) + col;
      const int dx = mirror ? x + srcRect.mWidth - 1 - offset : x + offset;
      if (dx < 0 || dx >= s.width) continue;
      const std::size_t i = static_cast<std::size_t>(from.mY + row) * source->mWidth + from.mX + col;
      const u32 p = palette ? native[source->mColorIndices[i]] : native[i];
      const u32 alpha = p >> 24;
      if (alpha == 0) continue;
      const u32 d = s.Get(dx, dy);
      if (plainCopy && alpha == 255) {
        s.Put(dx, dy, s.bitCount == 16 ? (p & 0xFFFF) : (p & 0xFFFFFF));
        continue;
      }
      if (greyOn8888) {
        if (alpha == 255 && ca == 255) {
          s.Put(dx, dy, ((((p & 0x00FF00FFu) * m) >> 8) & 0x00FF00FFu) + ((((p & 0x0000FF00u) * m) >> 8) & 0x0000FF00u));
        } else {
          const u32 a2 = static_cast<u32>((static_cast<std::uint64_t>(alpha * ca) * 0x80808081u) >> 39);
          s.Put(dx, dy, ((((d & 0x00FF00FFu) * (256 - a2) + (p & 0x00FF00FFu) * m) >> 8) & 0x00FF00FFu) +
                            ((((d & 0x0000FF00u) * (256 - a2) + (p & 0x0000FF00u) * m) >> 8) & 0x0000FF00u));
        }
        continue;
      }
      u32 scaled = 0;
      for (int k = 0; k < 3; ++k) {
        const u32 m = s.mask[k];
        scaled |= (white ? (p & m) : (((p & m) * mult[k]) >> 8 & m)) & m;
      }
      if (additive) {
        s.Put(dx, dy, AddThroughTables(s, mDDInterface, d, scaled));
        continue;
      }
      const u32 a = white ? alpha : alpha * ca / 255;
      s.Put(dx, dy, BlendCoverage(s, d, scaled, a == 255 ? 256 : a));
    }
  }
  UnlockSurface();
}

void DDImage::Blt(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) {
  if (src == nullptr) return;
  src->mDrawn = true;
  MemoryImage::CommitBits();
  if (Check3D()) {
    if (src == this) {
      if (auto copy = CopyOfSurface()) Blt(copy.get(), x, y, srcRect, color, drawMode);
      return;
    }
    D3DInterface* d3d = mDDInterface->mD3DInterface;
    auto* ddSource = dynamic_cast<DDImage*>(src);
    if (ddSource != nullptr) ddSource->CommitBits();
    if (ddSource != nullptr && ddSource->mSurface != nullptr && d3d->mTransformStack.empty() && drawMode == 0 &&
        IsWhite(color) && !ddSource->mHasAlpha) {
      plat::IDirectDrawSurface* surface = mSurface;
      const bool wasLocked = mLockCount > 0;
      if (wasLocked) surface->Unlock(nullptr);
      plat::RECT dest{x, y, x + srcRect.mWidth, y + srcRect.mHeight};
      plat::RECT from{srcRect.mX, srcRect.mY, srcRect.mX + srcRect.mWidth, srcRect.mY + srcRect.mHeight};
      plat::DDBLTFX fx;
      fx.dwSize = sizeof fx;
      surface->Blt(&dest, ddSource->mSurface, &from, plat::DDBLT_WAIT | (ddSource->mHasTrans ? plat::DDBLT_KEYSRC : 0u),
                   &fx);
      if (wasLocked) surface->Lock(nullptr, &mLockedSurfaceDesc, plat::DDLOCK_WAIT, nullptr);
      return;
    }
    d3d->Blt(src, static_cast<float>(x), static_cast<float>(y), srcRect, color, drawMode, false);
    return;
  }
  const bool screenImage = mDDInterface != nullptr && (this == mDDInterface->mScreenImage);
  if (!mHasAlpha && !mHasTrans && mDDInterface != nullptr && (!mDDInterface->mIs3D || screenImage) &&
      GetSurface() != nullptr) {
    if (drawMode == 0)
      NormalBlt(src, x, y, srcRect, color);
    else if (drawMode == 1)
      AdditiveBlt(src, x, y, srcRect, color);
    DeleteAllNonSurfaceData();
    return;
  }
  MemoryImage::Blt(src, x, y, srcRect, color, drawMode);
}

void DDImage::BltF(Image* src, float x, float y, const Rect& srcRect, const Rect& clipRect, const Color& color,
                   int drawMode) {
  if (src == nullptr) return;
  src->mDrawn = true;
  if (!DrawableCoords(x, y)) return;
  CommitBits();
  if (!Check3D()) {
    BltRotated(src, x, y, srcRect, clipRect, color, drawMode, 0.0, 0.0f, 0.0f);
    return;
  }
  if (src == this) {
    if (auto copy = CopyOfSurface()) BltF(copy.get(), x, y, srcRect, clipRect, color, drawMode);
    return;
  }
  auto* source = dynamic_cast<MemoryImage*>(src);
  if (source == nullptr) return;
  const FRect dest(x, y, srcRect.mWidth, srcRect.mHeight);
  const FRect visible = dest.Intersection(FRect(clipRect.mX, clipRect.mY, clipRect.mWidth, clipRect.mHeight));
  D3DInterface* d3d = mDDInterface->mD3DInterface;
  if (visible.mWidth == dest.mWidth && visible.mHeight == dest.mHeight)
    d3d->Blt(source, x, y, srcRect, color, drawMode, true);
  else if (visible.mWidth != 0 && visible.mHeight != 0)
    d3d->BltClipF(source, x, y, srcRect, &clipRect, color, drawMode);
}

namespace {

// The triangle rasteriser's code for a surface layout; 0 for a layout it cannot draw.
int RasterFormatOf(const Surface& s) {
  if (s.bitCount == 32) return RASTER_FORMAT_888;
  if (s.mask[0] == 0xF800 && s.mask[1] == 0x07E0 && s.mask[2] == 0x001F) return RASTER_FORMAT_565;
  if (s.mask[0] == 0x7C00 && s.mask[1] == 0x03E0 && s.mask[2] == 0x001F) return RASTER_FORMAT_555;
  return 0;
}

}  // namespace

void DDImage::BltMatrix(Image* src, float x, float y, const Matrix3& matrix, const Rect& clipRect, const Color& color,
                        int drawMode, const Rect& srcRect, bool blend) {
  auto* source = dynamic_cast<MemoryImage*>(src);
  if (source == nullptr) return;
  source->mDrawn = true;
  if (!DrawableCoords(x, y) || !FiniteMatrix(matrix)) return;
  if (Check3D()) {
    if (src == this) {
      if (auto copy = CopyOfSurface()) BltMatrix(copy.get(), x, y, matrix, clipRect, color, drawMode, srcRect, blend);
      return;
    }
    mDDInterface->mD3DInterface->BltTransformed(source, &clipRect, color, drawMode, srcRect, matrix, blend, x, y, true);
    return;
  }
  CommitBits();
  if (!DrawsOnSurface()) {
    MemoryImage::BltMatrix(src, x, y, matrix, clipRect, color, drawMode, srcRect, blend);
    return;
  }
  if (source->mWidth > 0 && source->mHeight > 0 && LockSurface()) {
    Surface s(mLockedSurfaceDesc);
    const int format = RasterFormatOf(s);
    const Rect clip = clipRect.Intersection(Rect(0, 0, s.width, s.height));
    if (format != 0 && clip.mWidth > 0 && clip.mHeight > 0) {
      // The source rectangle centred on the origin, transformed, then placed at (x, y).
      const float w = static_cast<float>(srcRect.mWidth);
      const float h = static_cast<float>(srcRect.mHeight);
      const float u0 = static_cast<float>(srcRect.mX) / source->mWidth;
      const float u1 = static_cast<float>(srcRect.mX + srcRect.mWidth) / source->mWidth;
      const float v0 = static_cast<float>(srcRect.mY) / source->mHeight;
      const float v1 = static_cast<float>(srcRect.mY + srcRect.mHeight) / source->mHeight;
      TriVertex verts[4] = {{-w / 2, -h / 2, u0, v0, 0xFFFFFFFF},
                            {w / 2, -h / 2, u1, v0, 0xFFFFFFFF},
                            {-w / 2, h / 2, u0, v1, 0xFFFFFFFF},
                            {w / 2, h / 2, u1, v1, 0xFFFFFFFF}};
      for (TriVertex& vert : verts) {
        const Vector3 p = matrix.TransformVector(vert.x, vert.y, 1.0f);
        vert.x = p.x + x - 0.5f;
        vert.y = p.y + y - 0.5f;
      }
      RasterizeTriangle(verts, 4, source, &color, drawMode, &clip, s.bits, s.pitch, format, blend, false);
    }
    UnlockSurface();
  }
  DeleteAllNonSurfaceData();
}

void DDImage::BltTrianglesTex(Image* texture, const TriVertex theTriangles[][3], int numTriangles, const Rect& clipRect,
                              const Color& color, int drawMode, float tx, float ty, bool blend) {
  if (texture == nullptr) return;
  texture->mDrawn = true;
  if (!DrawableCoords(tx, ty)) return;
  if (Check3D()) {
    if (texture == this) {
      if (auto copy = CopyOfSurface())
        BltTrianglesTex(copy.get(), theTriangles, numTriangles, clipRect, color, drawMode, tx, ty, blend);
      return;
    }
    if (auto* source = dynamic_cast<MemoryImage*>(texture); source != nullptr && theTriangles != nullptr)
      mDDInterface->mD3DInterface->DrawTrianglesTex(theTriangles, numTriangles, color, drawMode, source, tx, ty, blend);
    return;
  }
  CommitBits();
  if (!DrawsOnSurface()) {
    MemoryImage::BltTrianglesTex(texture, theTriangles, numTriangles, clipRect, color, drawMode, tx, ty, blend);
    return;
  }
  if (theTriangles != nullptr && LockSurface()) {
    Surface s(mLockedSurfaceDesc);
    const int format = RasterFormatOf(s);
    const Rect clip = clipRect.Intersection(Rect(0, 0, s.width, s.height));
    auto* source = dynamic_cast<MemoryImage*>(texture);
    if (format != 0 && clip.mWidth > 0 && clip.mHeight > 0) {
      for (int t = 0; t < numTriangles; ++t) {
        TriVertex v[3];
        bool vertexColors = false;
        for (int k = 0; k < 3; ++k) {
          v[k] = theTriangles[t][k];
          v[k].x += tx;
          v[k].y += ty;
          if (v[k].color != 0) vertexColors = true;
        }
        // A vertex colour of 0 means the call's colour alone.
        if (vertexColors)
          for (TriVertex& vert : v)
            if (vert.color == 0) vert.color = 0xFFFFFFFF;
        RasterizeTriangle(v, 3, source, &color, drawMode, &clip, s.bits, s.pitch, format, blend, vertexColors);
      }
    }
    UnlockSurface();
  }
  DeleteAllNonSurfaceData();
}

void DDImage::BltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) {
  if (src == nullptr) return;
  if (Check3D()) {
    if (src == this) {
      if (auto copy = CopyOfSurface()) BltMirror(copy.get(), x, y, srcRect, color, drawMode);
      return;
    }
    if (auto* source = dynamic_cast<MemoryImage*>(src))
      mDDInterface->mD3DInterface->BltMirror(source, static_cast<float>(x), static_cast<float>(y), srcRect, color,
                                             drawMode);
    return;
  }
  CommitBits();
  if (!DrawsOnSurface()) {
    MemoryImage::BltMirror(src, x, y, srcRect, color, drawMode);
    return;
  }
  if (drawMode == 0)
    NormalBltMirror(src, x, y, srcRect, color);
  else if (drawMode == 1)
    AdditiveBltMirror(src, x, y, srcRect, color);
  DeleteAllNonSurfaceData();
}

}  // namespace Orvo
