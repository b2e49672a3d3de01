// The software image: 32-bit ARGB pixels in memory followed by a guard word, with the caches
// that make fast drawing possible (display-format premultiplied pixels, run-length tables of
// alpha and additive coverage), an optional 256-colour palette form, and a hook for a
// Direct3D texture copy. Its drawing operations are the software blitters.
#pragma once

#include <cstdint>

#include "framework/graphics/Image.h"

namespace Orvo {

class OrvoAppBase;
class NativeDisplay;
struct TextureData;

// The word written after the last pixel of every image's bits.
constexpr std::uint32_t MEMORYIMAGE_GUARD_WORD = 0x4BEEFADE;

// 512 entries: 0..255 equal their index, 256..511 are 255. Additive blends add two 8-bit
// channels and look the sum up here.
extern const std::uint8_t gAdditiveClampTable[512];

class MemoryImage : public Image {
 public:
  std::uint32_t* mBits = nullptr;
  std::uint32_t mBitsChangedCount = 0;
  TextureData* mD3DData = nullptr;
  std::uint32_t mD3DFlags = 0;
  std::uint32_t* mColorTable = nullptr;
  std::uint8_t* mColorIndices = nullptr;
  bool mForcedMode = false;
  bool mHasTrans = false;
  bool mHasAlpha = false;
  bool mIsVolatile = false;
  bool mPurgeBits = false;
  bool mWantPal = false;
  std::uint32_t* mNativeAlphaData = nullptr;
  std::uint8_t* mRLAlphaData = nullptr;
  std::uint8_t* mRLAdditiveData = nullptr;
  // Each pixel's colour weighed by its alpha (c x a >> 8 per channel): what an untinted
  // additive blit adds. Built on demand, dropped with the other caches.
  std::uint32_t* mAdditiveData = nullptr;
  bool mBitsChanged = false;
  OrvoAppBase* mApp = nullptr;
  // The colour layout the native data was built for (so the pixels can be rebuilt from it).
  NativeDisplay* mNativeDisplay = nullptr;

  // Set by the Direct3D side: copies an image's texture back into ARGB pixels; false when it
  // cannot. Used when an image whose bits were purged is asked for its pixels.
  static bool (*sTextureReadBack)(MemoryImage* image, std::uint32_t* bits);
  // Set by the Direct3D side: drops an image's texture data (Delete3DBuffers calls it).
  static void (*sRemoveTextureData)(MemoryImage* image);

  // Registers with the process-wide application (when there is one).
  MemoryImage();
  explicit MemoryImage(OrvoAppBase* app);
  MemoryImage(const MemoryImage& other);
  MemoryImage& operator=(const MemoryImage&) = delete;
  ~MemoryImage() override;

  // Drawing (the software blitters).
  void FillRect(const Rect& rect, const Color& color, int drawMode) override;
  void ClearRect(const Rect& rect) override;
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

  // Pixel forms and caches.
  virtual std::uint32_t* GetNativeAlphaData(NativeDisplay* display);
  virtual std::uint8_t* GetRLAlphaData();
  virtual std::uint8_t* GetRLAdditiveData(NativeDisplay* display);
  std::uint32_t* GetAdditiveData();
  virtual void PurgeBits();
  virtual void DeleteSWBuffers();
  virtual void Delete3DBuffers();
  virtual void DeleteExtraBuffers();
  virtual void ReInit();
  virtual void BitsChanged();
  virtual void CommitBits();
  virtual void DeleteNativeData();
  virtual void Clear();
  virtual void SetBits(const std::uint32_t* bits, int width, int height, bool commitBits = true);
  virtual void Create(int width, int height);
  // The ARGB pixels, rebuilt from the palette, the native data or the texture when missing.
  // Null only when the pixels cannot be allocated.
  virtual std::uint32_t* GetBits();
  virtual void SetImageMode(bool hasTrans, bool hasAlpha);
  virtual void SetVolatile(bool isVolatile);
  virtual bool Palletize();

  // Destination format code handed to the triangle rasteriser: 0x888 for a forced opaque
  // image, else 0x8888.
  int RasterFormat() const;

 protected:
  void Init(OrvoAppBase* app);
  void FreeBits();
  void FreePalette();
};

// Builds a palette of the distinct colours in order of first appearance and one index per
// pixel; false when the image holds more than 256 colours.
bool BuildPalette(const std::uint32_t* bits, int width, int height, std::uint8_t* indices,
                  std::uint32_t* palette);

}  // namespace Orvo
