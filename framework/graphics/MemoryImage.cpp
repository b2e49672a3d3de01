// MemoryImage: pixel forms (plain bits, palette, purged), the caches built from them
// (display-format premultiplied pixels, run-length alpha and additive tables) and copying.
#include "framework/graphics/MemoryImage.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "framework/graphics/ImageAppLink.h"
#include "framework/graphics/NativeDisplay.h"

namespace Orvo {

namespace {

// Above this many pixels an allocation would not fit 32 bits of bytes; it is refused.
constexpr std::size_t kMaxPixels = 0x3FFFFFFFu;

std::size_t PixelCount(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

template <typename T>
T* AllocArray(std::size_t count) {
  if (count > kMaxPixels) return nullptr;
  return new (std::nothrow) T[count == 0 ? 1 : count];
}

template <typename T>
void FreeArray(T*& p) {
  delete[] p;
  p = nullptr;
}

template <typename T>
T* CopyArray(const T* src, std::size_t count) {
  if (src == nullptr) return nullptr;
  T* dst = AllocArray<T>(count);
  if (dst != nullptr && count > 0) std::memcpy(dst, src, count * sizeof(T));
  return dst;
}

// The colour layout used when no display is known: 32-bit X8R8G8B8.
const NativeDisplay& DefaultLayout() {
  static const NativeDisplay layout = [] {
    NativeDisplay d;
    d.mRGBBits = 32;
    d.mRedMask = 0xFF0000;
    d.mGreenMask = 0xFF00;
    d.mBlueMask = 0xFF;
    d.mRedBits = d.mGreenBits = d.mBlueBits = 8;
    d.mRedShift = 16;
    d.mGreenShift = 8;
    d.mBlueShift = 0;
    return d;
  }();
  return layout;
}

std::uint32_t ToNative(std::uint32_t p, const NativeDisplay& d) {
  std::uint32_t a = (p >> 24) + 1;
  std::uint32_t r = ((((p & 0xFF0000) * a) >> 8) >> (24 - d.mRedBits) << d.mRedShift) & d.mRedMask;
  std::uint32_t g = ((((p & 0xFF00) * a) >> 8) >> (16 - d.mGreenBits) << d.mGreenShift) & d.mGreenMask;
  std::uint32_t b = ((((p & 0xFF) * a) >> 8) >> (8 - d.mBlueBits) << d.mBlueShift) & d.mBlueMask;
  return r | g | b | (p & 0xFF000000);
}

std::uint32_t FromNativeChannel(std::uint32_t p, std::uint32_t a, std::uint32_t mask, int shift, int bits) {
  std::uint64_t c = p & mask;
  c = (c * 256 / (a + 1)) & mask;
  return static_cast<std::uint32_t>(((c << 8) >> (shift + bits)) & 0xFF);
}

std::uint32_t FromNative(std::uint32_t p, const NativeDisplay& d) {
  std::uint32_t a = p >> 24;
  return (a << 24) | (FromNativeChannel(p, a, d.mRedMask, d.mRedShift, d.mRedBits) << 16) |
         (FromNativeChannel(p, a, d.mGreenMask, d.mGreenShift, d.mGreenBits) << 8) |
         FromNativeChannel(p, a, d.mBlueMask, d.mBlueShift, d.mBlueBits);
}

// Writes run lengths of equal class along each row, capped at 255.
template <typename ClassOf>
void EncodeRuns(std::uint8_t* out, int width, int height, ClassOf classOf) {
  for (int y = 0; y < height; ++y) {
    std::size_t row = static_cast<std::size_t>(y) * width;
    int x = 0;
    while (x < width) {
      int cls = classOf(row + x);
      int end = x + 1;
      while (end < width && classOf(row + end) == cls) ++end;
      for (int i = x; i < end; ++i) out[row + i] = static_cast<std::uint8_t>(std::min(end - i, 255));
      x = end;
    }
  }
}

int AlphaClass(std::uint32_t p) {
  std::uint32_t a = p >> 24;
  return a == 0 ? 0 : (a == 255 ? 1 : 2);
}

}  // namespace

bool (*MemoryImage::sTextureReadBack)(MemoryImage* image, std::uint32_t* bits) = nullptr;
void (*MemoryImage::sRemoveTextureData)(MemoryImage* image) = nullptr;

MemoryImage::MemoryImage() { Init(imageapp::ProcessApp()); }

MemoryImage::MemoryImage(OrvoAppBase* app) { Init(app); }

void MemoryImage::Init(OrvoAppBase* app) {
  mApp = app;
  imageapp::Register(mApp, this);
}

MemoryImage::MemoryImage(const MemoryImage& other)
    : Image(other),
      mBitsChangedCount(other.mBitsChangedCount),
      mD3DFlags(other.mD3DFlags),
      mForcedMode(other.mForcedMode),
      mHasTrans(other.mHasTrans),
      mHasAlpha(other.mHasAlpha),
      mIsVolatile(other.mIsVolatile),
      mPurgeBits(other.mPurgeBits),
      mWantPal(other.mWantPal),
      mBitsChanged(other.mBitsChanged),
      mApp(other.mApp),
      mNativeDisplay(other.mNativeDisplay) {
  std::size_t n = PixelCount(mWidth, mHeight);
  MemoryImage& src = const_cast<MemoryImage&>(other);
  if (src.mBits != nullptr) {
    mBits = CopyArray(src.mBits, n + 1);
  } else if (src.mColorTable == nullptr) {
    // Purged: rebuild the source's pixels for the copy, then drop them again in the source.
    std::uint32_t* rebuilt = src.GetBits();
    mBits = CopyArray(rebuilt, n + 1);
    src.FreeBits();
  }
  mColorTable = CopyArray(src.mColorTable, 256);
  mColorIndices = CopyArray(src.mColorIndices, n);
  mNativeAlphaData = CopyArray(src.mNativeAlphaData, src.mColorTable != nullptr ? 256 : n);
  mRLAlphaData = CopyArray(src.mRLAlphaData, n);
  mRLAdditiveData = CopyArray(src.mRLAdditiveData, n);
  imageapp::Register(mApp, this);
}

MemoryImage::~MemoryImage() {
  imageapp::Unregister(mApp, this);
  // An image without an application still leaves no texture record pointing at it.
  if (mD3DData != nullptr && sRemoveTextureData != nullptr) sRemoveTextureData(this);
  FreeBits();
  delete[] mNativeAlphaData;
  delete[] mRLAlphaData;
  delete[] mRLAdditiveData;
  delete[] mAdditiveData;
  FreePalette();
}

void MemoryImage::FreeBits() {
  FreeArray(mBits);
}

void MemoryImage::FreePalette() {
  FreeArray(mColorIndices);
  FreeArray(mColorTable);
}

int MemoryImage::RasterFormat() const { return (mForcedMode && !mHasTrans && !mHasAlpha) ? 0x888 : 0x8888; }

void MemoryImage::BitsChanged() {
  ++mBitsChangedCount;
  mBitsChanged = true;
  FreeArray(mNativeAlphaData);
  FreeArray(mRLAlphaData);
  FreeArray(mRLAdditiveData);
  FreeArray(mAdditiveData);
}

void MemoryImage::CommitBits() {
  if (!mBitsChanged || mForcedMode) return;
  mHasAlpha = false;
  if (mBits == nullptr && mColorTable == nullptr) {
    mHasTrans = true;
    mBitsChanged = false;
    return;
  }
  mHasTrans = false;
  const std::uint32_t* p = mBits != nullptr ? mBits : mColorTable;
  std::size_t n = mBits != nullptr ? PixelCount(mWidth, mHeight) : 256;
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t a = p[i] >> 24;
    if (a == 0)
      mHasTrans = true;
    else if (a != 255)
      mHasAlpha = true;
  }
  mBitsChanged = false;
}

std::uint32_t* MemoryImage::GetBits() {
  if (mBits != nullptr) return mBits;
  std::size_t n = PixelCount(mWidth, mHeight);
  std::uint32_t* bits = AllocArray<std::uint32_t>(n + 1);
  if (bits == nullptr) return nullptr;
  bits[n] = MEMORYIMAGE_GUARD_WORD;
  if (mColorTable != nullptr && mColorIndices != nullptr) {
    for (std::size_t i = 0; i < n; ++i) bits[i] = mColorTable[mColorIndices[i]];
    FreePalette();
    FreeArray(mNativeAlphaData);
  } else if (mNativeAlphaData != nullptr) {
    const NativeDisplay& d = mNativeDisplay != nullptr ? *mNativeDisplay : DefaultLayout();
    for (std::size_t i = 0; i < n; ++i) bits[i] = FromNative(mNativeAlphaData[i], d);
  } else if (mD3DData == nullptr || sTextureReadBack == nullptr || !sTextureReadBack(this, bits)) {
    std::memset(bits, 0, n * sizeof(std::uint32_t));
  }
  mBits = bits;
  return mBits;
}

void MemoryImage::SetBits(const std::uint32_t* bits, int width, int height, bool commitBits) {
  if (bits == mBits && bits != nullptr) return;
  FreePalette();
  if (width != mWidth || height != mHeight || mBits == nullptr) {
    FreeBits();
    mWidth = width;
    mHeight = height;
    mBits = AllocArray<std::uint32_t>(PixelCount(width, height) + 1);
  }
  std::size_t n = PixelCount(mWidth, mHeight);
  if (mBits != nullptr) {
    if (bits != nullptr && n > 0)
      std::memcpy(mBits, bits, n * sizeof(std::uint32_t));
    else if (n > 0)
      std::memset(mBits, 0, n * sizeof(std::uint32_t));
    mBits[n] = MEMORYIMAGE_GUARD_WORD;
  }
  BitsChanged();
  if (commitBits) CommitBits();
}

void MemoryImage::Create(int width, int height) {
  FreeBits();
  // An old palette would describe the previous size: drop it with the bits.
  FreePalette();
  mWidth = width;
  mHeight = height;
  mHasTrans = true;
  mHasAlpha = true;
  BitsChanged();
}

void MemoryImage::Clear() {
  std::uint32_t* bits = GetBits();
  if (bits == nullptr) return;
  std::memset(bits, 0, PixelCount(mWidth, mHeight) * sizeof(std::uint32_t));
  BitsChanged();
}

void MemoryImage::SetImageMode(bool hasTrans, bool hasAlpha) {
  mForcedMode = true;
  mHasTrans = hasTrans;
  mHasAlpha = hasAlpha;
}

void MemoryImage::SetVolatile(bool isVolatile) { mIsVolatile = isVolatile; }

std::uint32_t* MemoryImage::GetNativeAlphaData(NativeDisplay* display) {
  if (mNativeAlphaData != nullptr) return mNativeAlphaData;
  CommitBits();
  const NativeDisplay& d = display != nullptr ? *display : DefaultLayout();
  if (mColorTable != nullptr) {
    mNativeAlphaData = AllocArray<std::uint32_t>(256);
    if (mNativeAlphaData == nullptr) return nullptr;
    for (int i = 0; i < 256; ++i) mNativeAlphaData[i] = ToNative(mColorTable[i], d);
  } else {
    std::uint32_t* bits = GetBits();
    if (bits == nullptr) return nullptr;
    std::size_t n = PixelCount(mWidth, mHeight);
    mNativeAlphaData = AllocArray<std::uint32_t>(n);
    if (mNativeAlphaData == nullptr) return nullptr;
    for (std::size_t i = 0; i < n; ++i) mNativeAlphaData[i] = ToNative(bits[i], d);
  }
  mNativeDisplay = display;
  return mNativeAlphaData;
}

std::uint8_t* MemoryImage::GetRLAlphaData() {
  CommitBits();
  if (mRLAlphaData != nullptr) return mRLAlphaData;
  std::size_t n = PixelCount(mWidth, mHeight);
  const std::uint32_t* table = nullptr;
  const std::uint8_t* indices = nullptr;
  const std::uint32_t* pixels = nullptr;
  if (mColorTable != nullptr && mColorIndices != nullptr) {
    table = mColorTable;
    indices = mColorIndices;
  } else if (mBits == nullptr && mNativeAlphaData != nullptr) {
    pixels = mNativeAlphaData;
  } else {
    pixels = GetBits();
    if (pixels == nullptr) return nullptr;
  }
  std::uint8_t* out = AllocArray<std::uint8_t>(n);
  if (out == nullptr) return nullptr;
  if (table != nullptr)
    EncodeRuns(out, mWidth, mHeight, [&](std::size_t i) { return AlphaClass(table[indices[i]]); });
  else
    EncodeRuns(out, mWidth, mHeight, [&](std::size_t i) { return AlphaClass(pixels[i]); });
  mRLAlphaData = out;
  return mRLAlphaData;
}

std::uint32_t* MemoryImage::GetAdditiveData() {
  if (mAdditiveData != nullptr) return mAdditiveData;
  CommitBits();
  const std::uint32_t* bits = GetBits();
  if (bits == nullptr) return nullptr;
  std::size_t n = PixelCount(mWidth, mHeight);
  mAdditiveData = AllocArray<std::uint32_t>(n);
  if (mAdditiveData == nullptr) return nullptr;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t p = bits[i];
    const std::uint32_t a = p >> 24;
    mAdditiveData[i] = ((((p >> 16) & 0xFF) * a) >> 8) << 16 | ((((p >> 8) & 0xFF) * a) >> 8) << 8 | ((p & 0xFF) * a) >> 8;
  }
  return mAdditiveData;
}

std::uint8_t* MemoryImage::GetRLAdditiveData(NativeDisplay* display) {
  if (mRLAdditiveData != nullptr) return mRLAdditiveData;
  std::uint32_t* native = GetNativeAlphaData(display);
  if (native == nullptr) return nullptr;
  std::size_t n = PixelCount(mWidth, mHeight);
  std::uint8_t* out = AllocArray<std::uint8_t>(n);
  if (out == nullptr) return nullptr;
  if (mColorTable != nullptr && mColorIndices != nullptr) {
    const std::uint8_t* indices = mColorIndices;
    EncodeRuns(out, mWidth, mHeight, [&](std::size_t i) { return (native[indices[i]] & 0xFFFFFF) != 0 ? 1 : 0; });
  } else {
    EncodeRuns(out, mWidth, mHeight, [&](std::size_t i) { return (native[i] & 0xFFFFFF) != 0 ? 1 : 0; });
  }
  mRLAdditiveData = out;
  return mRLAdditiveData;
}

void MemoryImage::PurgeBits() {
  mPurgeBits = true;
  if (!imageapp::Is3DAccelerated(mApp)) {
    if (mBits == nullptr && mColorIndices == nullptr) return;
    // Keep a form the pixels can be rebuilt from before they go.
    if (GetNativeAlphaData(imageapp::Display(mApp)) == nullptr) return;
  } else if (mD3DData == nullptr) {
    return;
  }
  FreeBits();
  if (mD3DData != nullptr) FreePalette();
}

void MemoryImage::DeleteSWBuffers() {
  if (mBits == nullptr && mColorIndices == nullptr) GetBits();
  FreeArray(mNativeAlphaData);
  FreeArray(mRLAdditiveData);
  FreeArray(mRLAlphaData);
  FreeArray(mAdditiveData);
}

void MemoryImage::Delete3DBuffers() { imageapp::Remove3DData(mApp, this); }

void MemoryImage::DeleteExtraBuffers() {
  DeleteSWBuffers();
  Delete3DBuffers();
}

void MemoryImage::ReInit() {
  if (mWantPal) Palletize();
  if (mPurgeBits) PurgeBits();
}

void MemoryImage::DeleteNativeData() {
  if (mBits == nullptr && mColorIndices == nullptr) GetBits();
  FreeArray(mNativeAlphaData);
  FreeArray(mRLAdditiveData);
}

bool MemoryImage::Palletize() {
  CommitBits();
  if (mColorTable != nullptr) return true;
  std::uint32_t* bits = GetBits();
  if (bits == nullptr) return false;
  std::size_t n = PixelCount(mWidth, mHeight);
  mColorIndices = AllocArray<std::uint8_t>(n);
  mColorTable = AllocArray<std::uint32_t>(256);
  if (mColorIndices != nullptr && mColorTable != nullptr) {
    std::memset(mColorTable, 0, 256 * sizeof(std::uint32_t));
    if (BuildPalette(bits, mWidth, mHeight, mColorIndices, mColorTable)) {
      FreeBits();
      FreeArray(mNativeAlphaData);
      mWantPal = true;
      return true;
    }
  }
  FreePalette();
  mWantPal = false;
  return false;
}

bool BuildPalette(const std::uint32_t* bits, int width, int height, std::uint8_t* indices, std::uint32_t* palette) {
  std::size_t n = PixelCount(width, height);
  if (n == 0) return true;
  struct Entry {
    std::uint32_t color;
    std::uint8_t index;
  };
  Entry sorted[256];
  int used = 1;
  palette[0] = bits[0];
  sorted[0] = {bits[0], 0};
  indices[0] = 0;
  for (std::size_t i = 1; i < n; ++i) {
    std::uint32_t c = bits[i];
    int lo = 0;
    int hi = used;
    while (lo < hi) {
      int mid = (lo + hi) / 2;
      if (sorted[mid].color < c)
        lo = mid + 1;
      else
        hi = mid;
    }
    if (lo < used && sorted[lo].color == c) {
      indices[i] = sorted[lo].index;
      continue;
    }
    if (used == 256) return false;
    for (int k = used; k > lo; --k) sorted[k] = sorted[k - 1];
    sorted[lo] = {c, static_cast<std::uint8_t>(used)};
    palette[used] = c;
    indices[i] = static_cast<std::uint8_t>(used);
    ++used;
  }
  return true;
}

}  // namespace Orvo
