// The abstract image of the framework: size, cel grid for animation strips, an optional
// animation description and the table of virtual drawing operations every image implements.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/graphics/Color.h"
#include "framework/graphics/Matrix3.h"
#include "framework/graphics/Rect.h"

namespace Orvo {

// Animation of an image strip: how its cels are shown over time.
class AnimInfo {
 public:
  enum { TYPE_NONE = 0, TYPE_ONCE = 1, TYPE_PINGPONG = 2, TYPE_LOOP = 3 };

  int mAnimType = TYPE_NONE;
  int mFrameDelay = 1;
  int mNumCels = 1;
  std::vector<int> mPerFrameDelay;
  std::vector<int> mFrameMap;
  int mTotalAnimTime = 0;

  AnimInfo() = default;
  void CopyConstruct(const AnimInfo& other) { *this = other; }
  void SetPerFrameDelay(int frame, int delay);
  // Settles frame count, ping-pong frame map, begin/end delays and the total time. The
  // tables it builds hold up to twice numCels entries. False when the total time does not
  // fit an int; it is then left at the largest int.
  bool Compute(int numCels, int beginFrameTime = 0, int endFrameTime = 0);
};

// One horizontal run of pixels, in the field order y, x, width.
struct Span {
  int mY = 0;
  int mX = 0;
  int mWidth = 0;
};

// One vertex of a textured triangle: position in destination pixels, texture coordinates
// in 0..1 across the source image, and an ARGB colour (0 means "use the call's colour").
struct TriVertex {
  float x = 0;
  float y = 0;
  float u = 0;
  float v = 0;
  std::uint32_t color = 0;
};

class Image {
 public:
  bool mDrawn = false;
  std::string mFilePath;
  int mWidth = 0;
  int mHeight = 0;
  int mNumRows = 1;
  int mNumCols = 1;
  AnimInfo* mAnimInfo = nullptr;

  Image() = default;
  Image(const Image& other);
  Image& operator=(const Image&) = delete;
  virtual ~Image();

  void CopyAttributes(const Image* other);

  int GetWidth() const { return mWidth; }
  int GetHeight() const { return mHeight; }
  int GetRows() const { return mNumRows; }
  int GetCols() const { return mNumCols; }
  int GetCelWidth() const { return mNumCols > 0 ? mWidth / mNumCols : mWidth; }
  int GetCelHeight() const { return mNumRows > 0 ? mHeight / mNumRows : mHeight; }

  // Drawing operations; draw mode 0 is normal, 1 additive. A colour other than white tints.
  virtual bool PolyFill(const Point* vertices, int numVertices, const Rect* clipRect, const Color& color,
                        int drawMode, int tx, int ty, bool convex);
  virtual void FillRect(const Rect& rect, const Color& color, int drawMode);
  // Outline covering (width + 1) by (height + 1) pixels, as four FillRect calls.
  virtual void DrawRect(const Rect& rect, const Color& color, int drawMode);
  virtual void ClearRect(const Rect& rect);
  virtual void DrawLine(double startX, double startY, double endX, double endY, const Color& color, int drawMode);
  virtual void DrawLineAA(double startX, double startY, double endX, double endY, const Color& color, int drawMode);
  virtual void FillScanLines(Span* spans, int spanCount, const Color& color, int drawMode);
  // Spans masked by a coverage buffer of coverPitch bytes per row whose top-left pixel lies
  // at (coverX, coverY) in this image; coverHeight rows exist.
  virtual void FillScanLinesWithCoverage(Span* spans, int spanCount, const Color& color, int drawMode,
                                         const std::uint8_t* coverage, int coverX, int coverY, int coverPitch,
                                         int coverHeight);
  virtual void Blt(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode);
  virtual void BltF(Image* src, float x, float y, const Rect& srcRect, const Rect& clipRect, const Color& color,
                    int drawMode);
  virtual void BltRotated(Image* src, float x, float y, const Rect& srcRect, const Rect& clipRect,
                          const Color& color, int drawMode, double angle, float centerX, float centerY);
  virtual void StretchBlt(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clipRect,
                          const Color& color, int drawMode, bool fastStretch);
  virtual void BltMatrix(Image* src, float x, float y, const Matrix3& matrix, const Rect& clipRect,
                         const Color& color, int drawMode, const Rect& srcRect, bool blend);
  virtual void BltTrianglesTex(Image* texture, const TriVertex theTriangles[][3], int numTriangles,
                               const Rect& clipRect, const Color& color, int drawMode, float tx, float ty,
                               bool blend);
  virtual void BltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode);
  virtual void StretchBltMirror(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clipRect,
                                const Color& color, int drawMode, bool fastStretch);
};

}  // namespace Orvo
