// A system font: a face chosen by name and rendered by the platform's GDI text. It draws
// straight into a surface-backed image's surface, and into any other image through a
// temporary image whose alpha is recovered from a rendering on white and one on black.
#pragma once

#include <cstdint>
#include <string>

#include "framework/graphics/Font.h"
#include "platform/GdiText.h"

namespace Orvo {

class DDImage;
class OrvoAppBase;

class SysFont : public Font {
 public:
  plat::HFONT mHFont = nullptr;  // owned
  OrvoAppBase* mApp = nullptr;
  bool mDrawShadow = false;
  bool mSimulateBold = false;

  // Character set 0 and 96 dots per inch, on the process's application.
  SysFont(const std::string& face, int pointSize, bool bold = false, bool italics = false, bool underline = false);
  SysFont(OrvoAppBase* app, const std::string& face, int pointSize, int script = 0, bool bold = false,
          bool italics = false, bool underline = false);
  SysFont(const SysFont& other);
  ~SysFont() override;

  int StringWidth(const std::string& text) override;
  void DrawString(Graphics* g, int x, int y, const std::string& text, const Color& color,
                  const Rect& clipRect) override;
  Font* Duplicate() override;

  // One pixel of text from its renderings on white and on black: the colour with the alpha
  // that explains both (0 where the two show no text).
  static std::uint32_t RecoverAlpha(std::uint32_t onWhite, std::uint32_t onBlack);

 private:
  void Init(OrvoAppBase* app, const std::string& face, int pointSize, int script, bool bold, bool italics,
            bool underline, bool useDeviceResolution);
  void RenderText(plat::HDC dc, const std::string& text, plat::COLORREF color);
  // Draws through the surface's own pixels; false when the image has no surface.
  bool DrawOnSurface(DDImage* image, Graphics* g, int x, int y, const std::string& text, const Color& color,
                     const Rect& clipRect);
};

}  // namespace Orvo
