// System fonts: created by face name through the platform's GDI text, measured on a screen
// context, and drawn into a surface's pixels or, for other images, by rendering the text
// twice (on white and on black) to recover its alpha.
#include "framework/graphics/SysFont.h"

#include <algorithm>
#include <vector>

#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/DrawCoords.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/ImageAppLink.h"
#include "framework/graphics/MemoryImage.h"

namespace Orvo {

SysFont::SysFont(const std::string& face, int pointSize, bool bold, bool italics, bool underline) {
  Init(imageapp::ProcessApp(), face, pointSize, 0, bold, italics, underline, false);
}

SysFont::SysFont(OrvoAppBase* app, const std::string& face, int pointSize, int script, bool bold, bool italics,
                 bool underline) {
  Init(app, face, pointSize, script, bold, italics, underline, true);
}

SysFont::SysFont(const SysFont& other) : Font() {
  plat::LOGFONTA logFont;
  if (other.mHFont != nullptr && plat::GetObjectA(other.mHFont, sizeof(logFont), &logFont) != 0)
    mHFont = plat::CreateFontIndirectA(&logFont);
  mApp = other.mApp;
  mHeight = other.mHeight;
  mAscent = other.mAscent;
}

SysFont::~SysFont() {
  if (mHFont != nullptr) plat::DeleteObject(mHFont);
}

void SysFont::Init(OrvoAppBase* app, const std::string& face, int pointSize, int script, bool bold, bool italics,
                   bool underline, bool useDeviceResolution) {
  mApp = app;
  plat::HDC dc = plat::GetDC(nullptr);
  const int dpi = useDeviceResolution ? plat::GetDeviceCaps(dc, plat::LOGPIXELSY) : 96;
  const int pixelHeight = plat::MulDiv(pointSize, dpi, 72);
  mHFont = plat::CreateFontA(-pixelHeight, 0, 0, 0, bold ? plat::FW_BOLD : plat::FW_NORMAL, italics ? 1 : 0,
                             underline ? 1 : 0, 0, static_cast<plat::DWORD>(script), plat::OUT_TT_PRECIS,
                             plat::CLIP_DEFAULT_PRECIS, plat::ANTIALIASED_QUALITY, 0, face.c_str());
  plat::HFONT oldFont = plat::SelectObject(dc, mHFont);
  plat::TEXTMETRICA metrics;
  plat::GetTextMetricsA(dc, &metrics);
  mHeight = metrics.tmHeight;
  mAscent = metrics.tmAscent;
  plat::SelectObject(dc, oldFont);
  plat::ReleaseDC(nullptr, dc);
}

int SysFont::StringWidth(const std::string& text) {
  plat::HDC dc = plat::GetDC(nullptr);
  plat::HFONT oldFont = plat::SelectObject(dc, mHFont);
  plat::RECT rect;
  plat::DrawTextExA(dc, text.c_str(), static_cast<int>(text.size()), &rect, plat::DT_CALCRECT | plat::DT_NOPREFIX,
                    nullptr);
  plat::SelectObject(dc, oldFont);
  plat::ReleaseDC(nullptr, dc);
  return rect.right;
}

void SysFont::RenderText(plat::HDC dc, const std::string& text, plat::COLORREF color) {
  const int length = static_cast<int>(text.size());
  if (mDrawShadow) {
    plat::SetTextColor(dc, plat::RGB(0, 0, 0));
    plat::TextOutA(dc, 1, 1, text.c_str(), length);
    if (mSimulateBold) plat::TextOutA(dc, 2, 1, text.c_str(), length);
  }
  plat::SetTextColor(dc, color);
  plat::TextOutA(dc, 0, 0, text.c_str(), length);
  if (mSimulateBold) plat::TextOutA(dc, 1, 0, text.c_str(), length);
}

std::uint32_t SysFont::RecoverAlpha(std::uint32_t onWhite, std::uint32_t onBlack) {
  if ((onWhite & 0xFFFFFF) == (onBlack & 0xFFFFFF)) return 0xFF000000u | (onWhite & 0xFFFFFF);
  if ((onWhite & 0xFFFFFF) == 0xFFFFFF && (onBlack & 0xFFFFFF) == 0) return 0;
  // Per channel the text covers alpha = B - W + 255 of the pixel; the value under it is
  // B * 255 / alpha. Every alpha is known before any division, and none exceeds 255.
  int alpha[3];
  int minAlpha = 255;
  for (int c = 0; c < 3; ++c) {
    const int w = static_cast<int>((onWhite >> (c * 8)) & 0xFF);
    const int b = static_cast<int>((onBlack >> (c * 8)) & 0xFF);
    alpha[c] = std::clamp(b - w + 255, 0, 255);
    minAlpha = std::min(minAlpha, alpha[c]);
  }
  if (minAlpha == 0) return 0;
  std::uint32_t pixel = static_cast<std::uint32_t>(minAlpha) << 24;
  for (int c = 0; c < 3; ++c) {
    const int b = static_cast<int>((onBlack >> (c * 8)) & 0xFF);
    const int value = std::min(255, b * 255 / alpha[c]);
    pixel |= static_cast<std::uint32_t>(value) << (c * 8);
  }
  return pixel;
}

bool SysFont::DrawOnSurface(DDImage* image, Graphics* g, int x, int y, const std::string& text, const Color& color,
                            const Rect& clipRect) {
  plat::IDirectDrawSurface* surface = image->GetSurface();
  if (surface == nullptr) return false;
  const bool wasLocked = image->mLockCount > 0;
  if (wasLocked) surface->Unlock(nullptr);
  // On a 3D screen the triangles drawn so far end their scene first, so the text lands on them.
  DDInterface* display = image->mDDInterface;
  if (display != nullptr && display->mIs3D && image == display->mScreenImage && display->mD3DInterface != nullptr)
    display->mD3DInterface->Flush();

  // The surface's device context: its pixels, locked while the text is drawn.
  plat::DDSURFACEDESC desc;
  desc.dwSize = sizeof(desc);
  if (surface->Lock(nullptr, &desc, plat::DDLOCK_WAIT, nullptr) == plat::DD_OK) {
    const plat::DDPIXELFORMAT& format = desc.ddpfPixelFormat;
    plat::HDC dc = plat::CreateDCOverPixels(desc.lpSurface, static_cast<int>(desc.dwWidth),
                                            static_cast<int>(desc.dwHeight), desc.lPitch,
                                            static_cast<int>(format.dwRGBBitCount), format.dwRBitMask,
                                            format.dwGBitMask, format.dwBBitMask);
    if (dc != nullptr) {
      plat::HFONT oldFont = plat::SelectObject(dc, mHFont);
      plat::SetBkMode(dc, plat::TRANSPARENT);
      plat::IntersectClipRect(dc, clipRect.mX, clipRect.mY, clipRect.mX + clipRect.mWidth,
                              clipRect.mY + clipRect.mHeight);
      const int left = TruncToPixel(x + g->transX);
      const int top = TruncToPixel(y - mAscent + 1 + g->transY);
      const int length = static_cast<int>(text.size());
      if (mDrawShadow) {
        plat::SetTextColor(dc, plat::RGB(0, 0, 0));
        plat::TextOutA(dc, left + 1, top + 1, text.c_str(), length);
        if (mSimulateBold) plat::TextOutA(dc, left + 2, top + 1, text.c_str(), length);
      }
      plat::SetTextColor(dc, plat::RGB(color.mRed, color.mGreen, color.mBlue));
      plat::TextOutA(dc, left, top, text.c_str(), length);
      if (mSimulateBold) plat::TextOutA(dc, left + 1, top, text.c_str(), length);
      plat::SelectObject(dc, oldFont);
      plat::DeleteDC(dc);
    }
    surface->Unlock(nullptr);
    // The surface now holds the only up-to-date copy of the pixels.
    image->DeleteAllNonSurfaceData();
  }
  if (wasLocked) surface->Lock(nullptr, &image->mLockedSurfaceDesc, plat::DDLOCK_WAIT, nullptr);
  return true;
}

void SysFont::DrawString(Graphics* g, int x, int y, const std::string& text, const Color& color,
                         const Rect& clipRect) {
  if (g == nullptr || g->destImage == nullptr || text.empty()) return;
  // A surface-backed image takes the text straight into its surface; one without a surface
  // (an image with alpha) is drawn like any other image.
  if (auto* surfaceImage = dynamic_cast<DDImage*>(g->destImage))
    if (DrawOnSurface(surfaceImage, g, x, y, text, color, clipRect)) return;
  const int width = StringWidth(text);
  const int height = mHeight;
  if (width <= 0 || height <= 0) return;

  plat::HDC dc = plat::CreateCompatibleDC(nullptr);
  plat::HFONT oldFont = plat::SelectObject(dc, mHFont);
  plat::BITMAPINFO info;
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = plat::BI_RGB;
  void* whiteBits = nullptr;
  void* blackBits = nullptr;
  plat::HBITMAP onWhite = plat::CreateDIBSection(dc, &info, plat::DIB_RGB_COLORS, &whiteBits, nullptr, 0);
  plat::HBITMAP onBlack = plat::CreateDIBSection(dc, &info, plat::DIB_RGB_COLORS, &blackBits, nullptr, 0);
  if (onWhite != nullptr && onBlack != nullptr) {
    const plat::RECT all{0, 0, width, height};
    const plat::COLORREF textColor = plat::RGB(color.mRed, color.mGreen, color.mBlue);
    plat::SetBkMode(dc, plat::TRANSPARENT);
    plat::HBITMAP oldBitmap = plat::SelectObject(dc, onWhite);
    plat::FillRect(dc, &all, plat::GetStockObject(plat::WHITE_BRUSH));
    RenderText(dc, text, textColor);
    plat::SelectObject(dc, onBlack);
    plat::FillRect(dc, &all, plat::GetStockObject(plat::BLACK_BRUSH));
    RenderText(dc, text, textColor);
    plat::SelectObject(dc, oldBitmap);

    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint32_t> pixels(count);
    const auto* w = static_cast<const std::uint32_t*>(whiteBits);
    const auto* b = static_cast<const std::uint32_t*>(blackBits);
    for (std::size_t i = 0; i < count; ++i) pixels[i] = RecoverAlpha(w[i], b[i]);
    MemoryImage image(mApp);
    image.SetBits(pixels.data(), width, height);
    g->DrawImage(&image, x, y - mAscent);
  }
  if (onWhite != nullptr) plat::DeleteObject(onWhite);
  if (onBlack != nullptr) plat::DeleteObject(onBlack);
  plat::SelectObject(dc, oldFont);
  plat::DeleteDC(dc);
}

Font* SysFont::Duplicate() { return new SysFont(*this); }

}  // namespace Orvo
