// The Direct3D renderer: device set-up and limits, scene bracketing, the run-time error
// record, texture formats, the division of images into texture pieces, uploading and reading
// back pixels, and the drawing primitives (textured quads in pieces, transformed and clipped
// quads, textured triangles, lines, rectangles and polygons).
#include "framework/graphics/D3DInterface.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/DirectXErrors.h"
#include "framework/graphics/DrawCoords.h"
#include "framework/graphics/LineWalk.h"
#include "framework/graphics/MemoryImage.h"
#include "platform/Window.h"

namespace Orvo {

int D3DInterface::sMinTextureWidth = 64;
int D3DInterface::sMinTextureHeight = 64;
int D3DInterface::sMaxTextureWidth = 64;
int D3DInterface::sMaxTextureHeight = 64;
int D3DInterface::sMaxTextureAspectRatio = 1;
std::uint32_t D3DInterface::sSupportedPixelFormats = 0;
bool D3DInterface::sTextureFilterLinear = false;
bool D3DInterface::sD3DDrawFailed = false;
std::string D3DInterface::sLastError;

namespace {

constexpr plat::DWORD kVertexFormat = plat::D3DFVF_XYZRHW | plat::D3DFVF_DIFFUSE | plat::D3DFVF_SPECULAR | plat::D3DFVF_TEX1;

// The live renderers, so an image being dropped finds the one holding its texture.
std::mutex gRenderersMutex;
std::vector<D3DInterface*> gRenderers;

// The hooks take no display lock while holding the list's lock: an image can be dropped on
// the loading thread while the main thread holds the display lock.
std::vector<D3DInterface*> LiveRenderers() {
  std::lock_guard<std::mutex> guard(gRenderersMutex);
  return gRenderers;
}

void RemoveTextureHook(MemoryImage* image) {
  if (image == nullptr || image->mD3DData == nullptr) return;
  delete image->mD3DData;
  image->mD3DData = nullptr;
  for (D3DInterface* r : LiveRenderers()) r->ForgetImage(image);
}

bool TextureReadBackHook(MemoryImage* image, std::uint32_t* bits) {
  if (image == nullptr || image->mD3DData == nullptr) return false;
  const std::vector<D3DInterface*> renderers = LiveRenderers();
  return !renderers.empty() && renderers.front()->GetTextureBits(image, bits);
}

std::uint32_t Diffuse(const Color& c) {
  return static_cast<std::uint32_t>(c.mAlpha) << 24 | static_cast<std::uint32_t>(c.mRed) << 16 |
         static_cast<std::uint32_t>(c.mGreen) << 8 | static_cast<std::uint32_t>(c.mBlue);
}

D3DVertex MakeVertex(float x, float y, std::uint32_t color, float u = 0, float v = 0) {
  D3DVertex vx;
  vx.sx = x;
  vx.sy = y;
  vx.color = color;
  vx.tu = u;
  vx.tv = v;
  return vx;
}

float Component(const D3DVertex& v, int component) {
  switch (component) {
    case CLIP_X: return v.sx;
    case CLIP_Y: return v.sy;
    case CLIP_Z: return v.sz;
    case CLIP_U: return v.tu;
    default: return v.tv;
  }
}

bool IsPow2(int v) { return v > 0 && (v & (v - 1)) == 0; }

// True when some of srcRect lies inside the image: only then is there anything to draw.
bool HasVisibleSource(const MemoryImage* image, const Rect& srcRect) {
  const Rect inside = srcRect.Intersection(Rect(0, 0, image->mWidth, image->mHeight));
  return inside.mWidth > 0 && inside.mHeight > 0;
}

int RoundUpPow2(int v) {
  int p = 1;
  while (p < v) p <<= 1;
  return p;
}

// Preferred piece edges for each edge length below 1024: the power of two at or above it when
// that wastes 64 texels or fewer, else a smaller power of two that divides it well.
const int* GoodSizeTable() {
  static const std::vector<int> table = [] {
    std::vector<int> t(1024);
    for (int i = 0; i < 1024; ++i) {
      int p = RoundUpPow2(std::max(i, 1));
      if (p - i > 64) {
        p >>= 1;
        while (p > 1 && i % p >= 64 && !IsPow2(i % p)) p >>= 1;
      }
      t[static_cast<std::size_t>(i)] = p;
    }
    return t;
  }();
  return table.data();
}

// Upload and read-back converters per texture format.
std::uint16_t ToA4R4G4B4(std::uint32_t c) {
  return static_cast<std::uint16_t>(((c >> 16) & 0xF000) | ((c >> 12) & 0x0F00) | ((c >> 8) & 0x00F0) |
                                    ((c >> 4) & 0x000F));
}
std::uint16_t ToR5G6B5(std::uint32_t c) {
  return static_cast<std::uint16_t>(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x001F));
}
std::uint32_t FromA4R4G4B4(std::uint16_t t) {
  // The alpha nibble is kept (widened to a byte), so an image read back keeps its transparency.
  const std::uint32_t a = (t >> 12) & 0xF;
  return (a * 0x11) << 24 | static_cast<std::uint32_t>((t >> 8) & 0xF) << 20 |
         static_cast<std::uint32_t>((t >> 4) & 0xF) << 12 | static_cast<std::uint32_t>(t & 0xF) << 4;
}
std::uint32_t FromR5G6B5(std::uint16_t t) {
  return 0xFF000000u | static_cast<std::uint32_t>((t >> 11) & 0x1F) << 19 |
         static_cast<std::uint32_t>((t >> 5) & 0x3F) << 10 | static_cast<std::uint32_t>(t & 0x1F) << 3;
}

// One part of a source rectangle that lies in one texture piece: its place relative to the
// rectangle's corner, its size and the piece's texture coordinates of it.
struct PieceChunk {
  plat::IDirectDrawSurface7* texture = nullptr;
  int offsetX = 0;
  int offsetY = 0;
  int width = 0;
  int height = 0;
  float u1 = 0, v1 = 0, u2 = 0, v2 = 0;
};

// Walks the source rectangle piece by piece, rows outer, columns inner.
template <typename Fn>
void ForEachChunk(TextureData* data, const Rect& wanted, Fn fn) {
  // Only the part of the rectangle inside the image has pieces.
  const Rect srcRect = wanted.Intersection(Rect(0, 0, data->mWidth, data->mHeight));
  if (srcRect.mWidth <= 0 || srcRect.mHeight <= 0) return;
  const int right = srcRect.mX + srcRect.mWidth;
  const int bottom = srcRect.mY + srcRect.mHeight;
  for (int sy = srcRect.mY; sy < bottom;) {
    int rowHeight = 0;
    for (int sx = srcRect.mX; sx < right;) {
      PieceChunk c;
      c.width = right - sx;
      c.height = bottom - sy;
      c.texture = data->GetTexture(sx, sy, c.width, c.height, c.u1, c.v1, c.u2, c.v2);
      if (c.width <= 0 || c.height <= 0) return;
      c.offsetX = sx - wanted.mX;
      c.offsetY = sy - wanted.mY;
      fn(c);
      sx += c.width;
      rowHeight = c.height;
    }
    if (rowHeight <= 0) return;
    sy += rowHeight;
  }
}

}  // namespace

// ------------------------------------------------------------------ vertices and lists

D3DVertex D3DVertex::Lerp(const D3DVertex& a, const D3DVertex& b, float t) {
  D3DVertex r = a;
  r.sx = a.sx + (b.sx - a.sx) * t;
  r.sy = a.sy + (b.sy - a.sy) * t;
  r.tu = a.tu + (b.tu - a.tu) * t;
  r.tv = a.tv + (b.tv - a.tv) * t;
  if (a.color != b.color) {
    r.color = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      const float ca = static_cast<float>((a.color >> shift) & 0xFF);
      const float cb = static_cast<float>((b.color >> shift) & 0xFF);
      const auto c = static_cast<std::uint32_t>(std::clamp(ca + (cb - ca) * t, 0.0f, 255.0f));
      r.color |= c << shift;
    }
  }
  return r;
}

VertexList::VertexList(const VertexList& other) { *this = other; }

VertexList& VertexList::operator=(const VertexList& other) {
  if (this == &other) return *this;
  mSize = 0;
  Reserve(other.mSize);
  std::copy(other.mVerts, other.mVerts + other.mSize, mVerts);
  mSize = other.mSize;
  return *this;
}

VertexList::~VertexList() {
  if (mVerts != mInline) delete[] mVerts;
}

void VertexList::Reserve(int capacity) {
  if (capacity <= mCapacity) return;
  auto* storage = new D3DVertex[static_cast<std::size_t>(capacity)];
  std::copy(mVerts, mVerts + mSize, storage);
  if (mVerts != mInline) delete[] mVerts;
  mVerts = storage;
  mCapacity = capacity;
}

void VertexList::push_back(const D3DVertex& v) {
  if (mSize == mCapacity) Reserve(mCapacity * 2);
  mVerts[mSize++] = v;
}

void D3DInterface::ClipPolygon(const VertexList& in, VertexList& out, int component, float value, bool keepAbove) {
  out.clear();
  const int n = in.size();
  if (n < 2) return;
  auto inside = [&](const D3DVertex& v) {
    const float c = Component(v, component);
    return keepAbove ? c >= value : c <= value;
  };
  auto cross = [&](const D3DVertex& p, const D3DVertex& q) {
    const float pc = Component(p, component);
    const float qc = Component(q, component);
    return D3DVertex::Lerp(p, q, (value - pc) / (qc - pc));
  };
  for (int i = 0; i < n; ++i) {
    const D3DVertex& p = in[(i + n - 1) % n];
    const D3DVertex& q = in[i];
    const bool pIn = inside(p);
    const bool qIn = inside(q);
    if (pIn && qIn) {
      out.push_back(q);
    } else if (!pIn && qIn) {
      out.push_back(cross(p, q));
      out.push_back(q);
    } else if (pIn && !qIn) {
      out.push_back(cross(p, q));
    }
  }
}

void D3DInterface::ClipToTexturePiece(VertexList& list) {
  VertexList tmp;
  ClipPolygon(list, tmp, CLIP_U, 0.0f, true);
  ClipPolygon(tmp, list, CLIP_V, 0.0f, true);
  ClipPolygon(list, tmp, CLIP_U, 1.0f, false);
  ClipPolygon(tmp, list, CLIP_V, 1.0f, false);
}

// ------------------------------------------------------------------ texture data

TextureData::~TextureData() { ReleaseTextures(); }

void TextureData::ReleaseTextures() {
  for (TextureDataPiece& piece : mTextures)
    if (piece.mTexture != nullptr) piece.mTexture->Release();
  mTextures.clear();
  mTexMemSize = 0;
  if (mPalette != nullptr) mPalette->Release();
  mPalette = nullptr;
}

void TextureData::CreateTextureDimensions(MemoryImage* image) {
  const int width = image->mWidth;
  const int height = image->mHeight;
  mTexPieceWidth = width;
  mTexPieceHeight = height;
  D3DInterface::GetBestTextureDimensions(mTexPieceWidth, mTexPieceHeight, false, true, mImageFlags);

  int rightWidth = mTexPieceWidth;
  int rightHeight = mTexPieceHeight;
  if (width % mTexPieceWidth > 0) {
    rightWidth = width % mTexPieceWidth;
    D3DInterface::GetBestTextureDimensions(rightWidth, rightHeight, true, true, mImageFlags);
  }
  int bottomWidth = mTexPieceWidth;
  int bottomHeight = mTexPieceHeight;
  if (height % mTexPieceHeight > 0) {
    bottomHeight = height % mTexPieceHeight;
    D3DInterface::GetBestTextureDimensions(bottomWidth, bottomHeight, true, true, mImageFlags);
  }
  int cornerWidth = rightWidth;
  int cornerHeight = bottomHeight;
  D3DInterface::GetBestTextureDimensions(cornerWidth, cornerHeight, true, true, mImageFlags);

  mTexVecWidth = (width + mTexPieceWidth - 1) / mTexPieceWidth;
  mTexVecHeight = (height + mTexPieceHeight - 1) / mTexPieceHeight;
  mTextures.assign(static_cast<std::size_t>(mTexVecWidth) * static_cast<std::size_t>(mTexVecHeight),
                   TextureDataPiece{nullptr, mTexPieceWidth, mTexPieceHeight});
  for (int row = 0; row < mTexVecHeight; ++row) {
    TextureDataPiece& p = mTextures[static_cast<std::size_t>(row * mTexVecWidth + mTexVecWidth - 1)];
    p.mWidth = rightWidth;
    p.mHeight = rightHeight;
  }
  for (int col = 0; col < mTexVecWidth; ++col) {
    TextureDataPiece& p = mTextures[static_cast<std::size_t>((mTexVecHeight - 1) * mTexVecWidth + col)];
    p.mWidth = bottomWidth;
    p.mHeight = bottomHeight;
  }
  if (!mTextures.empty()) {
    mTextures.back().mWidth = cornerWidth;
    mTextures.back().mHeight = cornerHeight;
  }
  mMaxTotalU = static_cast<float>(width) / static_cast<float>(mTexPieceWidth);
  mMaxTotalV = static_cast<float>(height) / static_cast<float>(mTexPieceHeight);
}

void TextureData::CreateTextures(MemoryImage* image, plat::IDirect3DDevice7* device, plat::IDirectDraw7* dd) {
  image->DeleteSWBuffers();
  image->CommitBits();
  const std::uint32_t mask = D3DInterface::sSupportedPixelFormats;
  std::uint32_t format = PixelFormat_A8R8G8B8;
  if (!image->mHasAlpha && !image->mHasTrans && (mask & PixelFormat_R5G6B5) != 0 &&
      (image->mD3DFlags & TextureFlag_UseA8R8G8B8) == 0)
    format = PixelFormat_R5G6B5;
  plat::IDirectDrawPalette* palette = nullptr;
  if (image->mColorTable != nullptr && image->mColorIndices != nullptr && (mask & PixelFormat_Palette8) != 0) {
    // Palette entries hold red and blue the other way round from ARGB.
    plat::PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i) {
      const std::uint32_t c = image->mColorTable[i];
      entries[i] = plat::PALETTEENTRY{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                                      static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 24)};
    }
    if (dd->CreatePalette(plat::DDPCAPS_8BIT | plat::DDPCAPS_ALLOW256 | plat::DDPCAPS_ALPHA, entries, &palette,
                          nullptr) == plat::DD_OK)
      format = PixelFormat_Palette8;
    else
      D3DInterface::sSupportedPixelFormats &= ~static_cast<std::uint32_t>(PixelFormat_Palette8);
  }
  if (format == PixelFormat_A8R8G8B8 &&
      (((image->mD3DFlags & TextureFlag_UseA4R4G4B4) != 0 && (mask & PixelFormat_A4R4G4B4) != 0) ||
       (mask & PixelFormat_A8R8G8B8) == 0))
    format = PixelFormat_A4R4G4B4;

  bool createPieces = false;
  if (image->mWidth != mWidth || image->mHeight != mHeight || format != mPixelFormat ||
      image->mD3DFlags != mImageFlags) {
    ReleaseTextures();
    mPixelFormat = format;
    mImageFlags = image->mD3DFlags;
    CreateTextureDimensions(image);
    createPieces = true;
  }
  // The new palette replaces the old one, on every piece too, so a changed colour table shows.
  if (mPalette != nullptr) {
    mPalette->Release();
    mTexMemSize -= 1024;
  }
  mPalette = palette;
  if (mPalette != nullptr) mTexMemSize += 1024;
  const int bytesPerPixel = format == PixelFormat_A8R8G8B8 ? 4 : (format == PixelFormat_Palette8 ? 1 : 2);
  std::size_t index = 0;
  for (int y = 0; y < image->mHeight; y += mTexPieceHeight) {
    for (int x = 0; x < image->mWidth; x += mTexPieceWidth, ++index) {
      TextureDataPiece& piece = mTextures[index];
      if (createPieces) {
        piece.mTexture = D3DInterface::CreateTextureSurface(device, piece.mWidth, piece.mHeight, format, dd);
        if (piece.mTexture == nullptr) {
          mPixelFormat = PixelFormat_Unknown;
          return;
        }
        mTexMemSize += piece.mWidth * piece.mHeight * bytesPerPixel;
      }
      if (mPalette != nullptr) piece.mTexture->SetPalette(mPalette);
      D3DInterface::CopyImageToTexture(piece.mTexture, x, y, piece.mWidth, piece.mHeight, format, image);
    }
  }
  mWidth = image->mWidth;
  mHeight = image->mHeight;
  mBitsChangedCount = image->mBitsChangedCount;
}

void TextureData::CheckCreateTextures(MemoryImage* image, plat::IDirect3DDevice7* device, plat::IDirectDraw7* dd) {
  if (mPixelFormat != PixelFormat_Unknown && mWidth == image->mWidth && mHeight == image->mHeight &&
      mBitsChangedCount == image->mBitsChangedCount && mImageFlags == image->mD3DFlags)
    return;
  CreateTextures(image, device, dd);
}

plat::IDirectDrawSurface7* TextureData::GetTexture(int x, int y, int& width, int& height, float& u1, float& v1,
                                                   float& u2, float& v2) {
  const int index = (y / mTexPieceHeight) * mTexVecWidth + x / mTexPieceWidth;
  const TextureDataPiece& piece = mTextures[static_cast<std::size_t>(index)];
  const int ox = x % mTexPieceWidth;
  const int oy = y % mTexPieceHeight;
  const int right = std::min(ox + width, piece.mWidth);
  const int bottom = std::min(oy + height, piece.mHeight);
  width = right - ox;
  height = bottom - oy;
  u1 = static_cast<float>(ox) / static_cast<float>(piece.mWidth);
  v1 = static_cast<float>(oy) / static_cast<float>(piece.mHeight);
  u2 = static_cast<float>(right) / static_cast<float>(piece.mWidth);
  v2 = static_cast<float>(bottom) / static_cast<float>(piece.mHeight);
  return piece.mTexture;
}

// ------------------------------------------------------------------ the interface

D3DInterface::D3DInterface() {
  sMinTextureWidth = sMinTextureHeight = 64;
  sMaxTextureWidth = sMaxTextureHeight = 64;
  sMaxTextureAspectRatio = 1;
  std::lock_guard<std::mutex> guard(gRenderersMutex);
  gRenderers.push_back(this);
  MemoryImage::sRemoveTextureData = &RemoveTextureHook;
  MemoryImage::sTextureReadBack = &TextureReadBackHook;
}

D3DInterface::~D3DInterface() {
  Cleanup();
  std::lock_guard<std::mutex> guard(gRenderersMutex);
  gRenderers.erase(std::remove(gRenderers.begin(), gRenderers.end(), this), gRenderers.end());
}

CriticalSection& D3DInterface::Lock() { return mDisplay != nullptr ? mDisplay->mCritSect : mOwnLock; }

bool D3DInterface::CheckDXError(plat::HRESULT hr, const char* operation) {
  if (hr >= 0) return false;
  sLastError = std::string(operation) + ": " + DirectXErrorName(static_cast<std::uint32_t>(hr));
  if (gOrvoAppBase != nullptr) gOrvoAppBase->RegWriteText("Test3D\\RuntimeError", sLastError);
  return true;
}

bool D3DInterface::InitFromDDInterface(DDInterface* display) {
  sLastError.clear();
  mDisplay = display;
  mDD = display->mDD7 != nullptr ? display->mDD7 : display->mDD;
  mHWnd = display->mHWnd;
  mWidth = display->mWidth;
  mHeight = display->mHeight;
  if (mDDSDrawSurface != nullptr) mDDSDrawSurface->Release();
  mDDSDrawSurface = nullptr;
  void* surface = nullptr;
  if (display->mDrawSurface == nullptr ||
      CheckDXError(display->mDrawSurface->QueryInterface(plat::IID_IDirectDrawSurface7, &surface), "Query DrawSurface"))
    return false;
  mDDSDrawSurface = static_cast<plat::IDirectDrawSurface7*>(surface);
  return InitD3D();
}

namespace {
plat::HRESULT CollectFormat(plat::DDPIXELFORMAT* format, void* context) {
  *static_cast<std::uint32_t*>(context) |= D3DInterface::GetPixelFormat(*format);
  return plat::D3DENUMRET_OK;
}
}  // namespace

bool D3DInterface::InitD3D() {
  void* d3d = nullptr;
  if (CheckDXError(mDD->QueryInterface(plat::IID_IDirect3D7, &d3d), "QueryInterface IID_IDirect3D7")) return false;
  mD3D = static_cast<plat::IDirect3D7*>(d3d);
  if (CheckDXError(mD3D->CreateDevice(plat::IID_IDirect3DHALDevice, mDDSDrawSurface, &mD3DDevice),
                   "CreateDevice IID_IDirect3DHALDevice"))
    return false;
  plat::D3DDEVICEDESC7 desc{};
  if (CheckDXError(mD3DDevice->GetCaps(&desc), "")) return false;

  sMinTextureWidth = static_cast<int>(desc.dwMinTextureWidth);
  sMinTextureHeight = static_cast<int>(desc.dwMinTextureHeight);
  sMaxTextureWidth = static_cast<int>(std::min<plat::DWORD>(desc.dwMaxTextureWidth, 1u << 20));
  sMaxTextureHeight = static_cast<int>(std::min<plat::DWORD>(desc.dwMaxTextureHeight, 1u << 20));
  sMaxTextureAspectRatio = static_cast<int>(std::min<plat::DWORD>(desc.dwMaxTextureAspectRatio, 1u << 20));
  if (sMaxTextureWidth != 0) {
    sMaxTextureWidth = std::min(sMaxTextureWidth, 1024);
    sMaxTextureHeight = std::min(sMaxTextureHeight, 1024);
    sMinTextureWidth = std::max(sMinTextureWidth, 1);
    sMinTextureHeight = std::max(sMinTextureHeight, 1);
    if (sMaxTextureAspectRatio == 0) sMaxTextureAspectRatio = 65536;
  } else {
    sMinTextureWidth = sMinTextureHeight = sMaxTextureWidth = sMaxTextureHeight = 64;
    sMaxTextureAspectRatio = 1;
  }

  sSupportedPixelFormats = 0;
  mD3DDevice->EnumTextureFormats(&CollectFormat, &sSupportedPixelFormats);
  if ((desc.dpcTriCaps.dwTextureCaps & plat::D3DPTEXTURECAPS_ALPHAPALETTE) == 0)
    sSupportedPixelFormats &= ~static_cast<std::uint32_t>(PixelFormat_Palette8);
  sTextureFilterLinear = false;
  UpdateViewport();
  mD3DDevice->Clear(0, nullptr, plat::D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
  return true;
}

void D3DInterface::UpdateViewport() {
  plat::RECT rect{};
  plat::GetClientRect(mHWnd, &rect);
  plat::POINT topLeft{rect.left, rect.top};
  plat::POINT bottomRight{rect.right, rect.bottom};
  plat::ClientToScreen(mHWnd, &topLeft);
  plat::ClientToScreen(mHWnd, &bottomRight);
  mD3DViewport = plat::D3DVIEWPORT7{};
  mD3DViewport.dwWidth = static_cast<plat::DWORD>(std::max<plat::LONG>(0, bottomRight.x - topLeft.x));
  mD3DViewport.dwHeight = static_cast<plat::DWORD>(std::max<plat::LONG>(0, bottomRight.y - topLeft.y));
  // Without a window (headless tests) the viewport is the draw buffer.
  if (mD3DViewport.dwWidth == 0 || mD3DViewport.dwHeight == 0) {
    mD3DViewport.dwWidth = static_cast<plat::DWORD>(mWidth);
    mD3DViewport.dwHeight = static_cast<plat::DWORD>(mHeight);
  }
  mD3DViewport.dvMinZ = 0.0f;
  mD3DViewport.dvMaxZ = 1.0f;
  if (mD3DDevice != nullptr) mD3DDevice->SetViewport(&mD3DViewport);
}

bool D3DInterface::PreDraw() {
  if (gOrvoAppBase != nullptr && gOrvoAppBase->mMinimised) return false;
  if (mSceneBegun) return true;
  if (mD3DDevice == nullptr) return false;
  if (mD3DDevice->SetRenderTarget(mDDSDrawSurface, 0) < 0) {
    sD3DDrawFailed = true;
    return false;
  }
  sD3DDrawFailed = false;
  plat::IDirect3DDevice7* d = mD3DDevice;
  d->BeginScene();
  d->SetRenderState(plat::D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  d->SetRenderState(plat::D3DRENDERSTATE_SRCBLEND, plat::D3DBLEND_SRCALPHA);
  d->SetRenderState(plat::D3DRENDERSTATE_DESTBLEND, plat::D3DBLEND_INVSRCALPHA);
  d->SetRenderState(plat::D3DRENDERSTATE_LIGHTING, 0);
  d->SetTextureStageState(0, plat::D3DTSS_MINFILTER, plat::D3DTFG_POINT);
  d->SetTextureStageState(0, plat::D3DTSS_MAGFILTER, plat::D3DTFG_POINT);
  d->SetTextureStageState(0, plat::D3DTSS_MIPFILTER, plat::D3DTFG_POINT);
  d->SetTextureStageState(0, plat::D3DTSS_ALPHAOP, plat::D3DTOP_MODULATE);
  d->SetTextureStageState(0, plat::D3DTSS_ADDRESSU, plat::D3DTADDRESS_CLAMP);
  d->SetTextureStageState(0, plat::D3DTSS_ADDRESSV, plat::D3DTADDRESS_CLAMP);
  d->SetRenderState(plat::D3DRENDERSTATE_DITHERENABLE, 0);
  d->SetRenderState(plat::D3DRENDERSTATE_SPECULARENABLE, 0);
  d->SetRenderState(plat::D3DRENDERSTATE_ZWRITEENABLE, 0);
  d->SetRenderState(plat::D3DRENDERSTATE_ZENABLE, 0);
  d->SetRenderState(plat::D3DRENDERSTATE_CULLMODE, plat::D3DCULL_NONE);
  mSceneBegun = true;
  sTextureFilterLinear = false;
  return true;
}

void D3DInterface::Flush() {
  if (!mSceneBegun) return;
  if (mD3DDevice != nullptr) mD3DDevice->EndScene();
  mSceneBegun = false;
  sLastError.clear();
}

void D3DInterface::SetDrawMode(int drawMode) {
  if (mD3DDevice == nullptr) return;
  mD3DDevice->SetRenderState(plat::D3DRENDERSTATE_SRCBLEND, plat::D3DBLEND_SRCALPHA);
  mD3DDevice->SetRenderState(plat::D3DRENDERSTATE_DESTBLEND,
                             drawMode == 1 ? plat::D3DBLEND_ONE : plat::D3DBLEND_INVSRCALPHA);
}

void D3DInterface::SetLinearFilter(bool linear) {
  if (sTextureFilterLinear == linear || mD3DDevice == nullptr) return;
  const plat::DWORD value = linear ? plat::D3DTFG_LINEAR : plat::D3DTFG_POINT;
  const char* operation = linear ? "SetTextureStageState LINEAR" : "SetTextureStageState Point";
  for (plat::D3DTEXTURESTAGESTATETYPE type : {plat::D3DTSS_MINFILTER, plat::D3DTSS_MAGFILTER, plat::D3DTSS_MIPFILTER})
    CheckDXError(mD3DDevice->SetTextureStageState(0, type, value), operation);
  sTextureFilterLinear = linear;
}

std::uint32_t D3DInterface::GetPixelFormat(const plat::DDPIXELFORMAT& format) {
  for (std::uint32_t code : {1u, 2u, 4u}) {
    plat::DDPIXELFORMAT row;
    MakePixelFormat(code, row);
    if (format.dwFlags == row.dwFlags && format.dwRGBBitCount == row.dwRGBBitCount &&
        format.dwRBitMask == row.dwRBitMask && format.dwGBitMask == row.dwGBitMask &&
        format.dwBBitMask == row.dwBBitMask && format.dwRGBAlphaBitMask == row.dwRGBAlphaBitMask)
      return code;
  }
  if (format.dwFlags == (plat::DDPF_RGB | plat::DDPF_PALETTEINDEXED8) && format.dwRGBBitCount == 8)
    return PixelFormat_Palette8;
  return PixelFormat_Unknown;
}

void D3DInterface::MakePixelFormat(std::uint32_t code, plat::DDPIXELFORMAT& f) {
  struct Row {
    std::uint32_t code;
    plat::DWORD flags, bits, red, green, blue, alpha;
  };
  static constexpr Row kRows[] = {
      {PixelFormat_A8R8G8B8, plat::DDPF_RGB | plat::DDPF_ALPHAPIXELS, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
      {PixelFormat_A4R4G4B4, plat::DDPF_RGB | plat::DDPF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
      {PixelFormat_R5G6B5, plat::DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0},
      {PixelFormat_Palette8, plat::DDPF_RGB | plat::DDPF_PALETTEINDEXED8, 8, 0, 0, 0, 0},
  };
  f = plat::DDPIXELFORMAT{};
  f.dwSize = sizeof(plat::DDPIXELFORMAT);
  for (const Row& r : kRows) {
    if (r.code != code) continue;
    f.dwFlags = r.flags;
    f.dwRGBBitCount = r.bits;
    f.dwRBitMask = r.red;
    f.dwGBitMask = r.green;
    f.dwBBitMask = r.blue;
    f.dwRGBAlphaBitMask = r.alpha;
  }
}

void D3DInterface::GetBestTextureDimensions(int& width, int& height, bool isEdge, bool usePow2, std::uint32_t flags) {
  if ((flags & TextureFlag_Pieces64x64) != 0) {
    width = height = 64;
    return;
  }
  const int* table = GoodSizeTable();
  if (usePow2) {
    auto fit = [&](int edge, int maximum) {
      if (edge >= maximum) return maximum;
      if (!isEdge && (flags & TextureFlag_FewestPieces) == 0) return table[std::clamp(edge, 0, 1023)];
      return edge < 2 ? 1 : RoundUpPow2(edge);
    };
    width = fit(width, sMaxTextureWidth);
    height = fit(height, sMaxTextureHeight);
  }
  width = std::max(width, sMinTextureWidth);
  height = std::max(height, sMinTextureHeight);
  const long long ratio = sMaxTextureAspectRatio;
  if (height < width) {
    while (width > ratio * height) height *= 2;
  } else if (width < height) {
    while (height > ratio * width) width *= 2;
  }
}

plat::IDirectDrawSurface7* D3DInterface::CreateTextureSurface(plat::IDirect3DDevice7* device, int width, int height,
                                                              std::uint32_t format, plat::IDirectDraw7* dd) {
  if (CheckDXError(device->SetTexture(0, nullptr), "SetTexture NULL")) return nullptr;
  plat::DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  desc.dwFlags = plat::DDSD_CAPS | plat::DDSD_HEIGHT | plat::DDSD_WIDTH | plat::DDSD_PIXELFORMAT;
  desc.dwWidth = static_cast<plat::DWORD>(width);
  desc.dwHeight = static_cast<plat::DWORD>(height);
  desc.ddsCaps.dwCaps = plat::DDSCAPS_TEXTURE;
  desc.ddsCaps.dwCaps2 = plat::DDSCAPS2_D3DTEXTUREMANAGE;
  MakePixelFormat(format, desc.ddpfPixelFormat);
  plat::IDirectDrawSurface7* surface = nullptr;
  if (dd->CreateSurface(&desc, &surface, nullptr) != plat::DD_OK) return nullptr;
  return surface;
}

void D3DInterface::CopyImageToTexture(plat::IDirectDrawSurface7* texture, int x, int y, int width, int height,
                                      std::uint32_t format, MemoryImage* image) {
  plat::DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  if (CheckDXError(texture->Lock(nullptr, &desc, plat::DDLOCK_WAIT | plat::DDLOCK_WRITEONLY, nullptr),
                   "Lock Texture"))
    return;
  const int copyWidth = std::min(width, image->mWidth - x);
  const int copyHeight = std::min(height, image->mHeight - y);
  const bool palettized = image->mColorTable != nullptr && image->mColorIndices != nullptr;
  const std::uint32_t* bits = palettized ? nullptr : image->GetBits();
  if (copyWidth >= 1 && copyHeight >= 1 && (palettized || bits != nullptr)) {
    auto* dest = static_cast<std::uint8_t*>(desc.lpSurface);
    // The texel after a cut row repeats the row's last texel, so filtering at the edge of
    // the piece never mixes in texels that belong to no pixel.
    const int rowTexels = copyWidth < width ? copyWidth + 1 : copyWidth;
    for (int row = 0; row < copyHeight; ++row) {
      std::uint8_t* out = dest + static_cast<std::ptrdiff_t>(row) * desc.lPitch;
      const std::size_t base = static_cast<std::size_t>(y + row) * static_cast<std::size_t>(image->mWidth) + x;
      for (int col = 0; col < rowTexels; ++col) {
        const std::size_t i = base + static_cast<std::size_t>(std::min(col, copyWidth - 1));
        if (format == PixelFormat_Palette8) {
          out[col] = palettized ? image->mColorIndices[i] : 0;
          continue;
        }
        const std::uint32_t c = palettized ? image->mColorTable[image->mColorIndices[i]] : bits[i];
        if (format == PixelFormat_A8R8G8B8) {
          std::memcpy(out + col * 4, &c, 4);
        } else {
          const std::uint16_t t = format == PixelFormat_A4R4G4B4 ? ToA4R4G4B4(c) : ToR5G6B5(c);
          std::memcpy(out + col * 2, &t, 2);
        }
      }
    }
    if (copyHeight < height)
      std::memcpy(dest + static_cast<std::ptrdiff_t>(copyHeight) * desc.lPitch,
                  dest + static_cast<std::ptrdiff_t>(copyHeight - 1) * desc.lPitch, static_cast<std::size_t>(desc.lPitch));
  }
  CheckDXError(texture->Unlock(nullptr), "Texture Unlock");
}

bool D3DInterface::GetTextureBits(MemoryImage* image, std::uint32_t* bits) {
  TextureData* data = image->mD3DData;
  if (data == nullptr || data->mPixelFormat == PixelFormat_Unknown || data->mBitsChangedCount != image->mBitsChangedCount ||
      data->mWidth != image->mWidth || data->mHeight != image->mHeight)
    return false;
  std::uint32_t palette[256] = {};
  if (data->mPixelFormat == PixelFormat_Palette8) {
    plat::PALETTEENTRY entries[256];
    if (data->mPalette == nullptr || data->mPalette->GetEntries(0, 0, 256, entries) != plat::DD_OK) return false;
    for (int i = 0; i < 256; ++i)
      palette[i] = static_cast<std::uint32_t>(entries[i].peFlags) << 24 | static_cast<std::uint32_t>(entries[i].peRed) << 16 |
                   static_cast<std::uint32_t>(entries[i].peGreen) << 8 | entries[i].peBlue;
  }
  std::size_t index = 0;
  for (int y = 0; y < image->mHeight; y += data->mTexPieceHeight) {
    for (int x = 0; x < image->mWidth; x += data->mTexPieceWidth, ++index) {
      const TextureDataPiece& piece = data->mTextures[index];
      plat::DDSURFACEDESC2 desc{};
      desc.dwSize = sizeof desc;
      if (CheckDXError(piece.mTexture->Lock(nullptr, &desc, plat::DDLOCK_WAIT | plat::DDLOCK_READONLY, nullptr),
                       "Lock Texture"))
        return false;
      const int w = std::min(piece.mWidth, image->mWidth - x);
      const int h = std::min(piece.mHeight, image->mHeight - y);
      for (int row = 0; row < h; ++row) {
        const auto* in = static_cast<const std::uint8_t*>(desc.lpSurface) + static_cast<std::ptrdiff_t>(row) * desc.lPitch;
        std::uint32_t* out = bits + static_cast<std::size_t>(y + row) * static_cast<std::size_t>(image->mWidth) + x;
        for (int col = 0; col < w; ++col) {
          if (data->mPixelFormat == PixelFormat_A8R8G8B8) {
            std::memcpy(out + col, in + col * 4, 4);
          } else if (data->mPixelFormat == PixelFormat_Palette8) {
            out[col] = palette[in[col]];
          } else {
            std::uint16_t t;
            std::memcpy(&t, in + col * 2, 2);
            out[col] = data->mPixelFormat == PixelFormat_A4R4G4B4 ? FromA4R4G4B4(t) : FromR5G6B5(t);
          }
        }
      }
      CheckDXError(piece.mTexture->Unlock(nullptr), "Texture Unlock");
    }
  }
  return true;
}

bool D3DInterface::PrepareTexture(MemoryImage* image) {
  if (image == nullptr || mD3DDevice == nullptr || image->mWidth <= 0 || image->mHeight <= 0) return false;
  TextureData* data = image->mD3DData;
  const bool isNew = data == nullptr;
  if (isNew) {
    data = new TextureData();
    image->mD3DData = data;
    ScopedCriticalSection guard(Lock());
    mImageSet.insert(image);
  }
  const bool purge = image->mPurgeBits;
  data->CheckCreateTextures(image, mD3DDevice, mDD);
  if (isNew && purge) image->PurgeBits();
  return data->mPixelFormat != PixelFormat_Unknown;
}

void D3DInterface::RemoveTexture(MemoryImage* image) {
  if (image == nullptr || image->mD3DData == nullptr) return;
  delete image->mD3DData;
  image->mD3DData = nullptr;
  ForgetImage(image);
}

void D3DInterface::ForgetImage(MemoryImage* image) {
  ScopedCriticalSection guard(Lock());
  mImageSet.erase(image);
}

void D3DInterface::Cleanup() {
  Flush();
  for (MemoryImage* image : mImageSet) {
    delete image->mD3DData;
    image->mD3DData = nullptr;
  }
  mImageSet.clear();
  if (mD3DDevice != nullptr) mD3DDevice->Release();
  mD3DDevice = nullptr;
  if (mD3D != nullptr) mD3D->Release();
  mD3D = nullptr;
  if (mDDSDrawSurface != nullptr) mDDSDrawSurface->Release();
  mDDSDrawSurface = nullptr;
}

// ------------------------------------------------------------------ drawing

void D3DInterface::Blt(Image* image, float x, float y, const Rect& srcRect, const Color& color, int drawMode,
                       bool linear) {
  auto* source = dynamic_cast<MemoryImage*>(image);
  if (source == nullptr || !HasVisibleSource(source, srcRect) || !DrawableCoords(x, y)) return;
  if (!mTransformStack.empty()) {
    Matrix3 m;
    m.Translate(x, y);
    BltTransformed(source, nullptr, color, drawMode, srcRect, m, true, 0, 0, false);
    return;
  }
  if (!PreDraw() || !PrepareTexture(source)) return;
  SetDrawMode(drawMode);
  SetLinearFilter(linear);
  DrawPiecesAt(mD3DDevice, source->mD3DData, x, y, srcRect, color);
}

void D3DInterface::DrawPiecesAt(plat::IDirect3DDevice7* device, TextureData* data, float x, float y,
                                const Rect& srcRect, const Color& color) {
  const std::uint32_t diffuse = Diffuse(color);
  ForEachChunk(data, srcRect, [&](const PieceChunk& c) {
    const float left = x + static_cast<float>(c.offsetX) - 0.5f;
    const float top = y + static_cast<float>(c.offsetY) - 0.5f;
    const float w = static_cast<float>(c.width);
    const float h = static_cast<float>(c.height);
    D3DVertex v[4] = {MakeVertex(left, top, diffuse, c.u1, c.v1), MakeVertex(left, top + h, diffuse, c.u1, c.v2),
                      MakeVertex(left + w, top, diffuse, c.u2, c.v1), MakeVertex(left + w, top + h, diffuse, c.u2, c.v2)};
    if (!CheckDXError(device->SetTexture(0, c.texture), "SetTexture gTexture"))
      CheckDXError(device->DrawPrimitive(plat::D3DPT_TRIANGLESTRIP, kVertexFormat, v, 4, 0), "DrawPrimitive (Tri) 1");
  });
}

void D3DInterface::BltTransformed(MemoryImage* image, const Rect* clipRect, const Color& color, int drawMode,
                                  const Rect& srcRect, const Matrix3& matrix, bool linear, float x, float y,
                                  bool center) {
  if (image == nullptr || !HasVisibleSource(image, srcRect) || !DrawableCoords(x, y) || !FiniteMatrix(matrix)) return;
  if (!PreDraw() || !PrepareTexture(image)) return;
  SetDrawMode(drawMode);
  if (mTransformStack.empty()) {
    SetLinearFilter(linear);
    DrawPiecesTransformed(mD3DDevice, image->mD3DData, matrix, srcRect, color, clipRect, x, y, center);
    return;
  }
  SetLinearFilter(true);
  Matrix3 placement;
  if (center)
    placement.Translate(-static_cast<float>(srcRect.mWidth) / 2.0f, -static_cast<float>(srcRect.mHeight) / 2.0f);
  placement = matrix * placement;
  placement.Translate(x, y);
  placement = mTransformStack.back() * placement;
  DrawPiecesTransformed(mD3DDevice, image->mD3DData, placement, srcRect, color, clipRect, 0, 0, false);
}

void D3DInterface::DrawPiecesTransformed(plat::IDirect3DDevice7* device, TextureData* data, const Matrix3& matrix,
                                         const Rect& srcRect, const Color& color, const Rect* clipRect, float x,
                                         float y, bool center) {
  const std::uint32_t diffuse = Diffuse(color);
  const float startX = center ? -static_cast<float>(srcRect.mWidth) / 2.0f : 0.0f;
  const float startY = center ? -static_cast<float>(srcRect.mHeight) / 2.0f : 0.0f;
  const float offX = center ? x : x - 0.5f;
  const float offY = center ? y : y - 0.5f;
  ForEachChunk(data, srcRect, [&](const PieceChunk& c) {
    const float lx = startX + static_cast<float>(c.offsetX);
    const float ly = startY + static_cast<float>(c.offsetY);
    auto corner = [&](float px, float py, float u, float v) {
      Vector2 p = matrix.TransformPoint(px, py);
      return MakeVertex(p.x + offX, p.y + offY, diffuse, u, v);
    };
    const float w = static_cast<float>(c.width);
    const float h = static_cast<float>(c.height);
    const D3DVertex tl = corner(lx, ly, c.u1, c.v1);
    const D3DVertex bl = corner(lx, ly + h, c.u1, c.v2);
    const D3DVertex tr = corner(lx + w, ly, c.u2, c.v1);
    const D3DVertex br = corner(lx + w, ly + h, c.u2, c.v2);
    // As in the software rasteriser, a corner beyond the drawable range leaves the piece out.
    if (!DrawableCoords(tl.sx, tl.sy, bl.sx, bl.sy, tr.sx, tr.sy, br.sx, br.sy)) return;
    bool clipped = false;
    if (clipRect != nullptr) {
      const float left = static_cast<float>(clipRect->mX);
      const float top = static_cast<float>(clipRect->mY);
      const float right = left + static_cast<float>(clipRect->mWidth);
      const float bottom = top + static_cast<float>(clipRect->mHeight);
      for (const D3DVertex* v : {&tl, &bl, &tr, &br})
        if (v->sx < left || v->sx >= right || v->sy < top || v->sy >= bottom) clipped = true;
    }
    if (CheckDXError(device->SetTexture(0, c.texture), "SetTexture gTexture")) return;
    if (clipped) {
      VertexList fan;
      for (const D3DVertex* v : {&tl, &bl, &br, &tr}) fan.push_back(*v);
      DrawPolyClipped(device, *clipRect, fan);
    } else {
      D3DVertex strip[4] = {tl, bl, tr, br};
      CheckDXError(device->DrawPrimitive(plat::D3DPT_TRIANGLESTRIP, kVertexFormat, strip, 4, 0), "DrawPrimitive (Tri) 3");
    }
  });
}

void D3DInterface::DrawPolyClipped(plat::IDirect3DDevice7* device, const Rect& clipRect, const VertexList& list) {
  VertexList a = list;
  VertexList b;
  const float left = static_cast<float>(clipRect.mX);
  const float top = static_cast<float>(clipRect.mY);
  ClipPolygon(a, b, CLIP_X, left, true);
  ClipPolygon(b, a, CLIP_Y, top, true);
  ClipPolygon(a, b, CLIP_X, left + static_cast<float>(clipRect.mWidth), false);
  ClipPolygon(b, a, CLIP_Y, top + static_cast<float>(clipRect.mHeight), false);
  if (a.size() > 2)
    CheckDXError(device->DrawPrimitive(plat::D3DPT_TRIANGLEFAN, kVertexFormat, a.data(),
                                       static_cast<plat::DWORD>(a.size()), 0),
                 "DrawPrimitive (Tri) 2");
}

void D3DInterface::BltMirror(MemoryImage* image, float x, float y, const Rect& srcRect, const Color& color,
                             int drawMode) {
  Matrix3 m;
  m.Translate(-static_cast<float>(srcRect.mWidth), 0);
  m.Scale(-1, 1);
  m.Translate(x, y);
  BltTransformed(image, nullptr, color, drawMode, srcRect, m, false, 0, 0, false);
}

void D3DInterface::BltClipF(MemoryImage* image, float x, float y, const Rect& srcRect, const Rect* clipRect,
                            const Color& color, int drawMode) {
  Matrix3 m;
  m.Translate(x, y);
  BltTransformed(image, clipRect, color, drawMode, srcRect, m, true, 0, 0, false);
}

void D3DInterface::StretchBlt(MemoryImage* image, const Rect& destRect, const Rect& srcRect, const Rect* clipRect,
                              const Color& color, int drawMode, bool fastStretch, bool mirror) {
  if (srcRect.mWidth <= 0 || srcRect.mHeight <= 0) return;
  const float sx = static_cast<float>(destRect.mWidth) / static_cast<float>(srcRect.mWidth);
  const float sy = static_cast<float>(destRect.mHeight) / static_cast<float>(srcRect.mHeight);
  Matrix3 m;
  if (mirror) {
    m.Translate(-static_cast<float>(srcRect.mWidth), 0);
    m.Scale(-sx, sy);
  } else {
    m.Scale(sx, sy);
  }
  m.Translate(static_cast<float>(destRect.mX), static_cast<float>(destRect.mY));
  BltTransformed(image, clipRect, color, drawMode, srcRect, m, !fastStretch, 0, 0, false);
}

void D3DInterface::BltRotated(MemoryImage* image, float x, float y, const Rect* clipRect, const Color& color,
                              int drawMode, double angle, float centerX, float centerY, const Rect& srcRect) {
  Matrix3 m;
  m.Translate(-centerX, -centerY);
  m.Rotate(static_cast<float>(angle));
  m.Translate(x + centerX, y + centerY);
  BltTransformed(image, clipRect, color, drawMode, srcRect, m, true, 0, 0, false);
}

void D3DInterface::DrawTrianglesTex(const TriVertex triangles[][3], int count, const Color& color, int drawMode,
                                    MemoryImage* image, float tx, float ty, bool linear) {
  if (triangles == nullptr || count <= 0 || !DrawableCoords(tx, ty)) return;
  if (!PreDraw() || !PrepareTexture(image)) return;
  SetDrawMode(drawMode);
  SetLinearFilter(linear);
  DrawTriangleList(mD3DDevice, image->mD3DData, triangles, count, color, tx, ty);
}

void D3DInterface::DrawTriangleList(plat::IDirect3DDevice7* device, TextureData* data, const TriVertex triangles[][3],
                                    int count, const Color& color, float tx, float ty) {
  const std::uint32_t callColor = Diffuse(color);
  auto vertexOf = [&](const TriVertex& t) {
    return MakeVertex(t.x + tx, t.y + ty, t.color != 0 ? t.color : callColor, t.u * data->mMaxTotalU,
                      t.v * data->mMaxTotalV);
  };
  // Positions beyond the drawable range, or texture coordinates that are not finite, make
  // a triangle nobody can mean: it is left out.
  auto usable = [&](const TriVertex* t) {
    for (int k = 0; k < 3; ++k)
      if (!DrawableCoords(t[k].x + tx, t[k].y + ty) || !std::isfinite(t[k].u) || !std::isfinite(t[k].v)) return false;
    return true;
  };
  if (data->mMaxTotalU <= 1.0f && data->mMaxTotalV <= 1.0f) {
    if (CheckDXError(device->SetTexture(0, data->mTextures[0].mTexture), "SetTexture gTexture")) return;
    VertexList batch;
    for (int i = 0; i < count; ++i) {
      if (usable(triangles[i]))
        for (int k = 0; k < 3; ++k) batch.push_back(vertexOf(triangles[i][k]));
      if (batch.size() >= 300 || (i == count - 1 && batch.size() > 0)) {
        CheckDXError(device->DrawPrimitive(plat::D3DPT_TRIANGLELIST, kVertexFormat, batch.data(),
                                           static_cast<plat::DWORD>(batch.size()), 0),
                     "DrawPrimitive (TriList)");
        batch.clear();
      }
    }
    return;
  }
  for (int i = 0; i < count; ++i) {
    if (!usable(triangles[i])) continue;
    D3DVertex v[3] = {vertexOf(triangles[i][0]), vertexOf(triangles[i][1]), vertexOf(triangles[i][2])};
    const float minU = std::min({v[0].tu, v[1].tu, v[2].tu});
    const float maxU = std::max({v[0].tu, v[1].tu, v[2].tu});
    const float minV = std::min({v[0].tv, v[1].tv, v[2].tv});
    const float maxV = std::max({v[0].tv, v[1].tv, v[2].tv});
    // Texture coordinates far outside the image cover no more pieces than the image has.
    if (!DrawableCoords(minU, maxU, minV, maxV)) continue;
    const int col1 = std::max(0, static_cast<int>(std::floor(minU)));
    const int col2 = std::min(data->mTexVecWidth, static_cast<int>(std::ceil(maxU)));
    const int row1 = std::max(0, static_cast<int>(std::floor(minV)));
    const int row2 = std::min(data->mTexVecHeight, static_cast<int>(std::ceil(maxV)));
    for (int row = row1; row < row2; ++row) {
      for (int col = col1; col < col2; ++col) {
        const TextureDataPiece& piece = data->mTextures[static_cast<std::size_t>(row * data->mTexVecWidth + col)];
        VertexList list;
        for (const D3DVertex& src : v) {
          D3DVertex c = src;
          c.tu -= static_cast<float>(col);
          c.tv -= static_cast<float>(row);
          if (col == data->mTexVecWidth - 1)
            c.tu *= static_cast<float>(data->mTexPieceWidth) / static_cast<float>(piece.mWidth);
          if (row == data->mTexVecHeight - 1)
            c.tv *= static_cast<float>(data->mTexPieceHeight) / static_cast<float>(piece.mHeight);
          list.push_back(c);
        }
        ClipToTexturePiece(list);
        if (list.size() <= 2) continue;
        if (CheckDXError(device->SetTexture(0, piece.mTexture), "SetTexture gTexture")) continue;
        CheckDXError(device->DrawPrimitive(plat::D3DPT_TRIANGLEFAN, kVertexFormat, list.data(),
                                           static_cast<plat::DWORD>(list.size()), 0),
                     "DrawPrimitive (TriList)");
      }
    }
  }
}

void D3DInterface::DrawLine(double x1, double y1, double x2, double y2, const Color& color, int drawMode) {
  // A far line is cut to the screen, where it is drawn; under a transform only in screen
  // space, so there it must be within the drawable range.
  const bool safe = mTransformStack.empty() ? PrepareLineEnds(x1, y1, x2, y2, -2, -2, mWidth + 1, mHeight + 1)
                                            : DrawableCoords(x1, y1, x2, y2);
  if (!safe || !PreDraw()) return;
  SetDrawMode(drawMode);
  float ax = static_cast<float>(x1), ay = static_cast<float>(y1);
  float bx = static_cast<float>(x2), by = static_cast<float>(y2);
  if (!mTransformStack.empty()) {
    const Vector2 a = mTransformStack.back().TransformPoint(ax, ay);
    const Vector2 b = mTransformStack.back().TransformPoint(bx, by);
    ax = a.x, ay = a.y, bx = b.x, by = b.y;
  }
  const std::uint32_t diffuse = Diffuse(color);
  D3DVertex v[3] = {MakeVertex(ax, ay, diffuse), MakeVertex(bx, by, diffuse),
                    MakeVertex(bx + 0.5f, by + 0.5f, diffuse)};
  if (CheckDXError(mD3DDevice->SetTexture(0, nullptr), "SetTexture NULL")) return;
  CheckDXError(mD3DDevice->DrawPrimitive(plat::D3DPT_LINESTRIP, kVertexFormat, v, 3, 0), "DrawPrimitive (Line)");
}

void D3DInterface::FillRect(const Rect& rect, const Color& color, int drawMode) {
  if (!PreDraw()) return;
  SetDrawMode(drawMode);
  const std::uint32_t diffuse = Diffuse(color);
  const float x = static_cast<float>(rect.mX);
  const float y = static_cast<float>(rect.mY);
  const float w = static_cast<float>(rect.mWidth);
  const float h = static_cast<float>(rect.mHeight);
  const float corners[4][2] = {{x, y}, {x, y + h}, {x + w, y}, {x + w, y + h}};
  D3DVertex v[4];
  for (int i = 0; i < 4; ++i) {
    Vector2 p{corners[i][0], corners[i][1]};
    if (!mTransformStack.empty()) p = mTransformStack.back().TransformPoint(p.x, p.y);
    v[i] = MakeVertex(p.x - 0.5f, p.y - 0.5f, diffuse);
  }
  if (CheckDXError(mD3DDevice->SetTexture(0, nullptr), "SetTexture NULL")) return;
  CheckDXError(mD3DDevice->DrawPrimitive(plat::D3DPT_TRIANGLESTRIP, kVertexFormat, v, 4, 0), "DrawPrimitive (Rect)");
}

void D3DInterface::FillPoly(const Point* points, int count, const Rect* clipRect, const Color& color, int drawMode,
                            int tx, int ty) {
  if (count < 3 || points == nullptr) return;
  if (!PreDraw()) return;
  SetDrawMode(drawMode);
  if (CheckDXError(mD3DDevice->SetTexture(0, nullptr), "SetTexture NULL")) return;
  const std::uint32_t diffuse = Diffuse(color);
  VertexList list;
  for (int i = 0; i < count; ++i) {
    Vector2 p{static_cast<float>(points[i].mX + tx), static_cast<float>(points[i].mY + ty)};
    if (!mTransformStack.empty()) p = mTransformStack.back().TransformPoint(p.x, p.y);
    list.push_back(MakeVertex(p.x, p.y, diffuse));
  }
  if (clipRect == nullptr)
    CheckDXError(mD3DDevice->DrawPrimitive(plat::D3DPT_TRIANGLEFAN, kVertexFormat, list.data(),
                                           static_cast<plat::DWORD>(list.size()), 0),
                 "DrawPrimitive (FillPoly)");
  else
    DrawPolyClipped(mD3DDevice, *clipRect, list);
}

}  // namespace Orvo
