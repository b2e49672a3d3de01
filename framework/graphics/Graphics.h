// The drawing context every caller draws through: a destination image plus a state
// (translation, clip rectangle, colour, font, draw mode, flags) with a stack of saved
// states. Calls are translated and clipped here and then handed to the image.
#pragma once

#include <list>
#include <string>

#include "framework/graphics/Color.h"
#include "framework/graphics/Rect.h"

namespace Orvo {

class Image;
class Font;

class GraphicsState {
 public:
  Image* destImage = nullptr;
  float transX = 0;
  float transY = 0;
  float scaleX = 1;
  float scaleY = 1;
  float scaleOrigX = 0;
  float scaleOrigY = 0;
  Rect clipRect;
  Color color;
  Font* font = nullptr;
  int drawMode = 0;
  // When false, images are drawn with white (no tint) instead of `color`.
  bool colorizeImages = false;
  bool fastStretch = false;
  // Colour tags ("^RRGGBB^", "^oldclr^", "^^") in written text are honoured.
  bool writeColoredString = true;
  bool linearBlend = false;
  // The destination is a surface image drawn through the 3D renderer.
  bool is3D = false;

  void CopyStateFrom(const GraphicsState& other) { *this = other; }
};

class Graphics : public GraphicsState {
 public:
  std::list<GraphicsState> mStateStack;

  // A null image draws into a static empty image.
  explicit Graphics(Image* destImage = nullptr);
  Graphics(const Graphics& other);
  Graphics& operator=(const Graphics&) = delete;
  virtual ~Graphics();

  // A copy of this context (state only), owned by the caller.
  Graphics* Create();
  // The empty image a context made without an image draws into.
  static Image* GetStaticImage();

  void PushState();
  void PopState();

  Font* GetFont() { return font; }
  void SetFont(Font* newFont) { font = newFont; }
  void SetColor(const Color& newColor) { color = newColor; }
  const Color& GetColor() { return color; }
  void SetDrawMode(int mode) { drawMode = mode; }
  int GetDrawMode() { return drawMode; }
  void SetColorizeImages(bool on) { colorizeImages = on; }
  bool GetColorizeImages() { return colorizeImages; }
  void SetFastStretch(bool on) { fastStretch = on; }
  bool GetFastStretch() { return fastStretch; }
  void SetLinearBlend(bool on) { linearBlend = on; }
  bool GetLinearBlend() { return linearBlend; }

  void Translate(int dx, int dy);
  // Narrows the clip rectangle to its intersection with the translated rectangle.
  void ClipRect(int x, int y, int width, int height);
  void ClipRect(const Rect& rect) { ClipRect(rect.mX, rect.mY, rect.mWidth, rect.mHeight); }

  void FillRect(int x, int y, int width, int height);
  void FillRect(const Rect& rect) { FillRect(rect.mX, rect.mY, rect.mWidth, rect.mHeight); }
  // Outline covering (width + 1) by (height + 1) pixels.
  void DrawRect(int x, int y, int width, int height);
  void DrawRect(const Rect& rect) { DrawRect(rect.mX, rect.mY, rect.mWidth, rect.mHeight); }
  void DrawLine(int startX, int startY, int endX, int endY);
  // y is the baseline.
  void DrawString(const std::string& text, int x, int y);

  void DrawImage(Image* image, int x, int y);
  void DrawImage(Image* image, int x, int y, const Rect& srcRect) { DrawImageSrc(image, x, y, srcRect); }
  void DrawImageSrc(Image* image, int x, int y, const Rect& srcRect);
  void DrawImageStretched(Image* image, const Rect& destRect, const Rect& srcRect);
  void DrawImageRotated(Image* image, float x, float y, double angle, float centerX, float centerY,
                        const Rect* srcRect = nullptr);
  void DrawImageRotated(Image* image, int x, int y, double angle, int centerX, int centerY,
                        const Rect* srcRect = nullptr);
  // The source cut into a 3 x 3 grid: corners keep their size, edges and centre tile.
  void DrawImageBox(const Rect& srcRect, const Rect& destRect, Image* image);
  void DrawImageBox(const Rect& destRect, Image* image);

  // Writes text with colour tags and returns its width. Justification 0 centres in `width`,
  // 1 right-aligns, anything else is left. oldColor -1 means the current colour.
  int WriteString(const std::string& text, int x, int y, int width = -1, int justification = 0,
                  bool draw = true, int offset = 0, int length = -1, int oldColor = -1);
  // Word-wrapped text in rect; returns the height of the block. With lastWidth the text
  // continues a line begun at that width (on rect's first line) and hands back where the next
  // text would start; the block then reaches down to that line, so that calls given the rect
  // moved down by the previous height less one line lay a text out as one call would.
  int WriteWordWrapped(const Rect& rect, const std::string& text, int lineSpacing = -1, int justification = -1,
                       int* maxWidth = nullptr, int length = -1, int* lastWidth = nullptr);
  int GetWordWrappedHeight(int width, const std::string& text, int lineSpacing = -1, int* maxWidth = nullptr);

  // Clips a line (translated, in destination pixels) to the clip rectangle; false when
  // nothing is left.
  bool ClipLine(double& startX, double& startY, double& endX, double& endY) const;

 private:
  Color ImageColor() const;
  void WriteWrappedLine(const std::string& line, int x, int baseline, int width, int justification, int lineSpacing,
                        int oldColor);
};

}  // namespace Orvo
