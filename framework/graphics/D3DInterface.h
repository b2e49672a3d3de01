// The Direct3D drawing back-end of the display: with 3D on, everything drawn on the screen
// image becomes textured or coloured triangles on a Direct3D 7 device that renders into the
// display's draw surface. Images are uploaded on demand as grids of texture pieces in one of
// four texture formats and keep their textures until their pixels change or they go away.
#pragma once

#include <cstdint>
#include <list>
#include <set>
#include <string>
#include <vector>

#include "framework/core/Common.h"
#include "framework/graphics/Color.h"
#include "framework/graphics/Image.h"
#include "framework/graphics/Matrix3.h"
#include "framework/graphics/Rect.h"
#include "platform/Direct3D.h"

namespace Orvo {

class DDInterface;
class MemoryImage;

// Texture pixel formats; the same codes form the mask of formats a device supports.
enum PixelFormat : std::uint32_t {
  PixelFormat_Unknown = 0,
  PixelFormat_A8R8G8B8 = 1,
  PixelFormat_A4R4G4B4 = 2,
  PixelFormat_R5G6B5 = 4,
  PixelFormat_Palette8 = 8,
};

// Texture hints an image's owner sets in MemoryImage::mD3DFlags.
enum TextureFlags : std::uint32_t {
  TextureFlag_FewestPieces = 0x1,
  TextureFlag_Pieces64x64 = 0x2,
  TextureFlag_UseA4R4G4B4 = 0x4,
  TextureFlag_UseA8R8G8B8 = 0x8,
};

struct TextureDataPiece {
  plat::IDirectDrawSurface7* mTexture = nullptr;
  int mWidth = 0;
  int mHeight = 0;
};

// The texture copy of one image: its pieces, row by row, left to right.
struct TextureData {
  std::vector<TextureDataPiece> mTextures;
  plat::IDirectDrawPalette* mPalette = nullptr;  // Palette8 only
  int mWidth = 0;
  int mHeight = 0;
  int mTexVecWidth = 0;   // columns of pieces
  int mTexVecHeight = 0;  // rows of pieces
  int mTexPieceWidth = 64;
  int mTexPieceHeight = 64;
  std::uint32_t mBitsChangedCount = 0;
  int mTexMemSize = 0;
  float mMaxTotalU = 0;
  float mMaxTotalV = 0;
  std::uint32_t mPixelFormat = PixelFormat_Unknown;  // 0: invalid, rebuilt on the next draw
  std::uint32_t mImageFlags = 0;

  TextureData() = default;
  ~TextureData();
  TextureData(const TextureData&) = delete;
  TextureData& operator=(const TextureData&) = delete;

  void ReleaseTextures();
  void CreateTextureDimensions(MemoryImage* image);
  void CreateTextures(MemoryImage* image, plat::IDirect3DDevice7* device, plat::IDirectDraw7* dd);
  void CheckCreateTextures(MemoryImage* image, plat::IDirect3DDevice7* device, plat::IDirectDraw7* dd);
  // The piece covering (x, y); width and height are cut to that piece, and the piece's
  // texture coordinates of the covered part are returned.
  plat::IDirectDrawSurface7* GetTexture(int x, int y, int& width, int& height, float& u1, float& v1, float& u2,
                                        float& v2);
};

// The renderer's one vertex layout (32 bytes, pre-transformed and lit).
struct D3DVertex {
  float sx = 0;
  float sy = 0;
  float sz = 0;
  float rhw = 1;
  std::uint32_t color = 0;
  std::uint32_t specular = 0;
  float tu = 0;
  float tv = 0;

  // The vertex at t between a and b (for the polygon clipper).
  static D3DVertex Lerp(const D3DVertex& a, const D3DVertex& b, float t);
};
static_assert(sizeof(D3DVertex) == 32, "the device reads 32-byte vertices");

// A growable vertex array with room for 100 vertices inside, so the usual polygon needs no
// allocation.
class VertexList {
 public:
  VertexList() = default;
  VertexList(const VertexList& other);
  VertexList& operator=(const VertexList& other);
  ~VertexList();

  void push_back(const D3DVertex& v);
  void clear() { mSize = 0; }
  int size() const { return mSize; }
  int capacity() const { return mCapacity; }
  D3DVertex& operator[](int i) { return mVerts[i]; }
  const D3DVertex& operator[](int i) const { return mVerts[i]; }
  D3DVertex* data() { return mVerts; }

 private:
  void Reserve(int capacity);
  D3DVertex mInline[100];
  D3DVertex* mVerts = mInline;
  int mSize = 0;
  int mCapacity = 100;
};

// The components a polygon can be clipped along.
enum ClipComponent { CLIP_X = 0, CLIP_Y = 1, CLIP_Z = 2, CLIP_U = 3, CLIP_V = 4 };

class D3DInterface {
 public:
  plat::HWND mHWnd = nullptr;
  int mWidth = 640;
  int mHeight = 480;
  plat::IDirectDraw7* mDD = nullptr;                  // the display's; not owned
  plat::IDirectDrawSurface7* mDDSDrawSurface = nullptr;  // one reference held
  plat::IDirect3D7* mD3D = nullptr;
  plat::IDirect3DDevice7* mD3DDevice = nullptr;
  plat::D3DVIEWPORT7 mD3DViewport;
  bool mSceneBegun = false;
  std::set<MemoryImage*> mImageSet;  // images holding a TextureData; changed under the display lock
  std::list<Matrix3> mTransformStack;

  // Process-wide device limits and state, written by InitD3D and drawing.
  static int sMinTextureWidth;
  static int sMinTextureHeight;
  static int sMaxTextureWidth;
  static int sMaxTextureHeight;
  static int sMaxTextureAspectRatio;
  static std::uint32_t sSupportedPixelFormats;
  static bool sTextureFilterLinear;
  static bool sD3DDrawFailed;
  static std::string sLastError;

  D3DInterface();
  virtual ~D3DInterface();
  D3DInterface(const D3DInterface&) = delete;
  D3DInterface& operator=(const D3DInterface&) = delete;

  bool InitFromDDInterface(DDInterface* display);
  bool InitD3D();
  void UpdateViewport();
  bool PreDraw();
  void Flush();
  void SetDrawMode(int drawMode);
  void SetLinearFilter(bool linear);
  bool PrepareTexture(MemoryImage* image);
  void RemoveTexture(MemoryImage* image);
  // Takes the image out of the texture set (its texture record is already gone).
  void ForgetImage(MemoryImage* image);
  // Rebuilds the image's ARGB pixels into `bits` from its texture pieces.
  bool GetTextureBits(MemoryImage* image, std::uint32_t* bits);
  void Cleanup();
  static bool CheckDXError(plat::HRESULT hr, const char* operation);

  static std::uint32_t GetPixelFormat(const plat::DDPIXELFORMAT& format);
  static void MakePixelFormat(std::uint32_t code, plat::DDPIXELFORMAT& format);
  static void GetBestTextureDimensions(int& width, int& height, bool isEdge, bool usePow2, std::uint32_t flags);
  static plat::IDirectDrawSurface7* CreateTextureSurface(plat::IDirect3DDevice7* device, int width, int height,
                                                         std::uint32_t format, plat::IDirectDraw7* dd);
  static void CopyImageToTexture(plat::IDirectDrawSurface7* texture, int x, int y, int width, int height,
                                 std::uint32_t format, MemoryImage* image);

  // ---- Drawing ----
  void Blt(Image* image, float x, float y, const Rect& srcRect, const Color& color, int drawMode, bool linear);
  void BltTransformed(MemoryImage* image, const Rect* clipRect, const Color& color, int drawMode, const Rect& srcRect,
                      const Matrix3& matrix, bool linear, float x, float y, bool center);
  void BltMirror(MemoryImage* image, float x, float y, const Rect& srcRect, const Color& color, int drawMode);
  void BltClipF(MemoryImage* image, float x, float y, const Rect& srcRect, const Rect* clipRect, const Color& color,
                int drawMode);
  void StretchBlt(MemoryImage* image, const Rect& destRect, const Rect& srcRect, const Rect* clipRect,
                  const Color& color, int drawMode, bool fastStretch, bool mirror);
  void BltRotated(MemoryImage* image, float x, float y, const Rect* clipRect, const Color& color, int drawMode,
                  double angle, float centerX, float centerY, const Rect& srcRect);
  void DrawPiecesAt(plat::IDirect3DDevice7* device, TextureData* data, float x, float y, const Rect& srcRect,
                    const Color& color);
  void DrawPiecesTransformed(plat::IDirect3DDevice7* device, TextureData* data, const Matrix3& matrix,
                             const Rect& srcRect, const Color& color, const Rect* clipRect, float x, float y,
                             bool center);
  void DrawPolyClipped(plat::IDirect3DDevice7* device, const Rect& clipRect, const VertexList& list);
  void DrawTrianglesTex(const TriVertex triangles[][3], int count, const Color& color, int drawMode,
                        MemoryImage* image, float tx, float ty, bool linear);
  void DrawTriangleList(plat::IDirect3DDevice7* device, TextureData* data, const TriVertex triangles[][3], int count,
                        const Color& color, float tx, float ty);
  void DrawLine(double x1, double y1, double x2, double y2, const Color& color, int drawMode);
  void FillRect(const Rect& rect, const Color& color, int drawMode);
  void FillPoly(const Point* points, int count, const Rect* clipRect, const Color& color, int drawMode, int tx,
                int ty);

  // One clipping step of a closed polygon against one boundary: keeps the side where the
  // component is at least (keepAbove) or at most the value.
  static void ClipPolygon(const VertexList& in, VertexList& out, int component, float value, bool keepAbove);
  static void ClipToTexturePiece(VertexList& list);

 private:
  CriticalSection& Lock();
  DDInterface* mDisplay = nullptr;
  CriticalSection mOwnLock;
};

}  // namespace Orvo
