// An image that can live in a display surface. It keeps the whole software image of
// MemoryImage and beside it one surface in the display's pixel format, made from the ARGB
// pixels on demand. Once drawing went straight into the surface the surface is the image,
// and the software pixels are rebuilt from it when somebody asks for them.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/graphics/MemoryImage.h"
#include "platform/DirectDraw.h"

namespace Orvo {

class DDInterface;

class DDImage : public MemoryImage {
 public:
  DDInterface* mDDInterface;
  plat::IDirectDrawSurface* mSurface = nullptr;
  bool mNoLock = false;          // the surface came from outside (SetSurface): never regenerated or purged
  bool mVideoMemory = false;     // the surface is the only copy of the pixels
  bool mWantVideoMemory = false; // a generated surface goes into video memory
  bool mWantDDSurface = false;   // set by the first surface generation
  int mLockCount = 0;
  plat::DDSURFACEDESC mLockedSurfaceDesc;

  explicit DDImage(DDInterface* display);
  ~DDImage() override;
  DDImage(const DDImage&) = delete;
  DDImage& operator=(const DDImage&) = delete;

  // True when Direct3D draws this image (the display runs 3D and this is its draw surface).
  bool Check3D();
  plat::IDirectDrawSurface* GetSurface();
  bool GenerateDDSurface();
  void DeleteDDSurface();
  void DeleteAllNonSurfaceData();

  // Drawing: routed to the surface when the image is opaque, else to the software blitters.
  bool PolyFill(const Point* vertices, int numVertices, const Rect* clipRect, const Color& color, int drawMode,
                int tx, int ty, bool convex) override;
  void FillRect(const Rect& rect, const Color& color, int drawMode) override;
  void DrawLine(double startX, double startY, double endX, double endY, const Color& color, int drawMode) override;
  void DrawLineAA(double startX, double startY, double endX, double endY, const Color& color,
                  int drawMode) override;
  void FillScanLinesWithCoverage(Span* spans, int spanCount, const Color& color, int drawMode,
                                 const std::uint8_t* coverage, int coverX, int coverY, int coverPitch,
                                 int coverHeight) override;
  void Blt(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) override;
  void BltF(Image* src, float x, float y, const Rect& srcRect, const Rect& clipRect, const Color& color,
            int drawMode) override;
  void BltRotated(Image* src, float x, float y, const Rect& srcRect, const Rect& clipRect, const Color& color,
                  int drawMode, double angle, float centerX, float centerY) override;
  void StretchBlt(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clipRect, const Color& color,
                  int drawMode, bool fastStretch) override;
  void BltMatrix(Image* src, float x, float y, const Matrix3& matrix, const Rect& clipRect, const Color& color,
                 int drawMode, const Rect& srcRect, bool blend) override;
  void BltTrianglesTex(Image* texture, const TriVertex theTriangles[][3], int numTriangles, const Rect& clipRect,
                       const Color& color, int drawMode, float tx, float ty, bool blend) override;
  void BltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) override;
  void StretchBltMirror(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clipRect,
                        const Color& color, int drawMode, bool fastStretch) override;

  // Pixel forms.
  void PurgeBits() override;
  void DeleteExtraBuffers() override;
  void ReInit() override;
  void BitsChanged() override;
  void CommitBits() override;
  void DeleteNativeData() override;
  void Create(int width, int height) override;
  std::uint32_t* GetBits() override;
  bool Palletize() override;

  virtual void SetVideoMemory(bool wantVideoMemory);
  virtual bool GenerateDDSurfaceKeyed();
  virtual void NormalFillRect(const Rect& rect, const Color& color);
  virtual void AdditiveFillRect(const Rect& rect, const Color& color);
  virtual void NormalBlt(Image* src, int x, int y, const Rect& srcRect, const Color& color);
  virtual void AdditiveBlt(Image* src, int x, int y, const Rect& srcRect, const Color& color);
  virtual void NormalDrawLine(double startX, double startY, double endX, double endY, const Color& color);
  virtual void AdditiveDrawLine(double startX, double startY, double endX, double endY, const Color& color);
  virtual void NormalDrawLineAA(double startX, double startY, double endX, double endY, const Color& color);
  virtual void AdditiveDrawLineAA(double startX, double startY, double endX, double endY, const Color& color);
  virtual void NormalBltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color);
  virtual void AdditiveBltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color);
  virtual bool LockSurface();
  virtual bool UnlockSurface();
  virtual void SetSurface(plat::IDirectDrawSurface* surface);

 private:
  // Opaque image on a 2D display: drawing goes straight into the surface.
  bool DrawsOnSurface();
  // A software image of what the surface holds now. Direct3D draws this image onto itself
  // from it: the image's own software pixels are not kept up to date with the 3D screen,
  // and drawing the surface into itself would read pixels already written.
  std::unique_ptr<MemoryImage> CopyOfSurface();
  void ConvertBitsIntoSurface();
  void DrawLineOnSurface(double startX, double startY, double endX, double endY, const Color& color,
                         bool additive);
  void BltOnSurface(Image* src, int x, int y, const Rect& srcRect, const Color& color, bool additive,
                    bool mirror);
  // The stretched and rotated members of the surface blitters (DDImageTransform.cpp).
  // Nearest-pixel stretch of the source's premultiplied display-layout pixels into `area`
  // of the destination rectangle, tinted and in the draw mode; rows run right to left when
  // mirrored.
  void StretchNearestOnSurface(MemoryImage* source, const Rect& destRect, const Rect& srcRect, const Rect& area,
                               const Color& color, bool additive, bool mirror);
  // Filtered stretch: into a transparent image of the visible size, then blitted in the
  // draw mode.
  void StretchFilteredOnSurface(MemoryImage* source, const Rect& destRect, const Rect& srcRect, const Rect& area,
                                const Color& color, int drawMode, bool mirror);
  // Bilinear rotation straight into the surface, in its own pixel format.
  void RotateOnSurface(MemoryImage* source, float x, float y, const Rect& srcRect, const Rect& clipRect,
                       const Color& color, bool additive, double angle, float centerX, float centerY);
};

}  // namespace Orvo
