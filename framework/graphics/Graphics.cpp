// The drawing context: translation, clipping and the state stack in front of the images'
// drawing operations, plus text with colour tags, word wrapping and nine-cell image boxes.
#include "framework/graphics/Graphics.h"

#include <algorithm>
#include <cmath>

#include "framework/graphics/DDImage.h"
#include "framework/graphics/DrawCoords.h"
#include "framework/graphics/Font.h"
#include "framework/graphics/Image.h"

namespace Orvo {

namespace {

int Trunc(float v) { return TruncToPixel(v); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

}  // namespace

Image* Graphics::GetStaticImage() {
  static Image emptyImage;
  return &emptyImage;
}

Graphics::Graphics(Image* image) {
  destImage = image != nullptr ? image : GetStaticImage();
  clipRect = Rect(0, 0, destImage->GetWidth(), destImage->GetHeight());
  if (auto* surfaceImage = dynamic_cast<DDImage*>(destImage)) is3D = surfaceImage->Check3D();
}

Graphics::Graphics(const Graphics& other) : GraphicsState(other) {}

Graphics::~Graphics() = default;

Graphics* Graphics::Create() { return new Graphics(*this); }

void Graphics::PushState() { mStateStack.push_back(static_cast<const GraphicsState&>(*this)); }

void Graphics::PopState() {
  if (mStateStack.empty()) return;
  CopyStateFrom(mStateStack.back());
  mStateStack.pop_back();
}

void Graphics::Translate(int dx, int dy) {
  transX += dx;
  transY += dy;
}

void Graphics::ClipRect(int x, int y, int width, int height) {
  clipRect = clipRect.Intersection(Rect(Trunc(transX + x), Trunc(transY + y), width, height));
}

Color Graphics::ImageColor() const { return colorizeImages ? color : Color::White; }

void Graphics::FillRect(int x, int y, int width, int height) {
  if (color.mAlpha == 0) return;
  Rect r = Rect(Trunc(transX + x), Trunc(transY + y), width, height).Intersection(clipRect);
  if (r.mWidth <= 0 || r.mHeight <= 0) return;
  destImage->FillRect(r, color, drawMode);
}

void Graphics::DrawRect(int x, int y, int width, int height) {
  if (color.mAlpha == 0) return;
  Rect area(Trunc(transX + x), Trunc(transY + y), width + 1, height + 1);
  if (area.Intersection(clipRect) == area) {
    destImage->DrawRect(Rect(area.mX, area.mY, width, height), color, drawMode);
    return;
  }
  FillRect(x, y, width + 1, 1);
  FillRect(x, y + height, width + 1, 1);
  FillRect(x, y + 1, 1, height - 1);
  FillRect(x + width, y + 1, 1, height - 1);
}

bool Graphics::ClipLine(double& x1, double& y1, double& x2, double& y2) const {
  // Orders the ends along one axis (a) and moves them along the line onto [lo, lo + size - 1];
  // b is the other axis. False when the line lies wholly on one side.
  auto clipAxis = [](double& a1, double& b1, double& a2, double& b2, double lo, double size) {
    if (a1 > a2) {
      std::swap(a1, a2);
      std::swap(b1, b2);
    }
    if (a1 < lo) {
      if (a2 < lo) return false;
      b1 += (lo - a1) * (b2 - b1) / (a2 - a1);
      a1 = lo;
    }
    if (a2 >= lo + size) {
      if (a1 >= lo + size) return false;
      double last = lo + size - 1;
      b2 = b1 + (last - a1) * (b2 - b1) / (a2 - a1);
      a2 = last;
    }
    return true;
  };
  return clipAxis(x1, y1, x2, y2, clipRect.mX, clipRect.mWidth) &&
         clipAxis(y1, x1, y2, x2, clipRect.mY, clipRect.mHeight);
}

void Graphics::DrawLine(int startX, int startY, int endX, int endY) {
  double x1 = startX + transX, y1 = startY + transY, x2 = endX + transX, y2 = endY + transY;
  if (!ClipLine(x1, y1, x2, y2)) return;
  destImage->DrawLine(x1, y1, x2, y2, color, drawMode);
}

void Graphics::DrawString(const std::string& text, int x, int y) {
  if (font != nullptr) font->DrawString(this, x, y, text, color, clipRect);
}

void Graphics::DrawImage(Image* image, int x, int y) {
  if (image == nullptr) return;
  if (scaleX != 1 || scaleY != 1) {
    DrawImageSrc(image, x, y, Rect(0, 0, image->GetWidth(), image->GetHeight()));
    return;
  }
  int ux = Trunc(x + transX), uy = Trunc(y + transY);
  Rect dest = Rect(ux, uy, image->GetWidth(), image->GetHeight()).Intersection(clipRect);
  if (dest.mWidth < 1 || dest.mHeight < 1) return;
  destImage->Blt(image, dest.mX, dest.mY, Rect(dest.mX - ux, dest.mY - uy, dest.mWidth, dest.mHeight), ImageColor(),
                 drawMode);
}

void Graphics::DrawImageSrc(Image* image, int x, int y, const Rect& src) {
  if (image == nullptr) return;
  // The source must lie inside the image: one reaching past any edge, or empty, draws nothing.
  if (src.mX < 0 || src.mY < 0 || src.mWidth <= 0 || src.mHeight <= 0 ||
      src.mX + src.mWidth > image->GetWidth() || src.mY + src.mHeight > image->GetHeight())
    return;
  int ux = Trunc(x + transX), uy = Trunc(y + transY);
  if (scaleX == 1 && scaleY == 1) {
    Rect dest = Rect(ux, uy, src.mWidth, src.mHeight).Intersection(clipRect);
    if (dest.mWidth < 1 || dest.mHeight < 1) return;
    destImage->Blt(image, dest.mX, dest.mY,
                   Rect(src.mX + dest.mX - ux, src.mY + dest.mY - uy, dest.mWidth, dest.mHeight), ImageColor(),
                   drawMode);
    return;
  }
  Rect dest(TruncToPixel(std::floor((ux - scaleOrigX) * scaleX) + scaleOrigX),
            TruncToPixel(std::floor((uy - scaleOrigY) * scaleY) + scaleOrigY),
            TruncToPixel(std::ceil(src.mWidth * scaleX)), TruncToPixel(std::ceil(src.mHeight * scaleY)));
  destImage->StretchBlt(image, dest, src, clipRect, ImageColor(), drawMode, fastStretch);
}

void Graphics::DrawImageStretched(Image* image, const Rect& destRect, const Rect& srcRect) {
  if (image == nullptr) return;
  Rect dest(destRect.mX + Trunc(transX), destRect.mY + Trunc(transY), destRect.mWidth, destRect.mHeight);
  destImage->StretchBlt(image, dest, srcRect, clipRect, ImageColor(), drawMode, fastStretch);
}

void Graphics::DrawImageRotated(Image* image, float x, float y, double angle, float centerX, float centerY,
                                const Rect* srcRect) {
  if (image == nullptr) return;
  Rect src = srcRect != nullptr ? *srcRect : Rect(0, 0, image->GetWidth(), image->GetHeight());
  destImage->BltRotated(image, transX + x, transY + y, src, clipRect, ImageColor(), drawMode, angle, centerX, centerY);
}

void Graphics::DrawImageRotated(Image* image, int x, int y, double angle, int centerX, int centerY,
                                const Rect* srcRect) {
  DrawImageRotated(image, static_cast<float>(x), static_cast<float>(y), angle, static_cast<float>(centerX),
                   static_cast<float>(centerY), srcRect);
}

void Graphics::DrawImageBox(const Rect& dest, Image* image) {
  if (image == nullptr) return;
  DrawImageBox(Rect(0, 0, image->GetWidth(), image->GetHeight()), dest, image);
}

void Graphics::DrawImageBox(const Rect& src, const Rect& dest, Image* image) {
  if (image == nullptr || src.mWidth < 1 || src.mHeight < 1) return;
  int cw = src.mWidth / 3, ch = src.mHeight / 3;
  int mw = src.mWidth - 2 * cw, mh = src.mHeight - 2 * ch;
  int sx = src.mX, sy = src.mY, dx = dest.mX, dy = dest.mY, dw = dest.mWidth, dh = dest.mHeight;

  DrawImageSrc(image, dx, dy, Rect(sx, sy, cw, ch));
  DrawImageSrc(image, dx + dw - cw, dy, Rect(sx + cw + mw, sy, cw, ch));
  DrawImageSrc(image, dx, dy + dh - ch, Rect(sx, sy + ch + mh, cw, ch));
  DrawImageSrc(image, dx + dw - cw, dy + dh - ch, Rect(sx + cw + mw, sy + ch + mh, cw, ch));

  int n = (dw - 2 * cw + mw - 1) / mw;
  int m = (dh - 2 * ch + mh - 1) / mh;
  {
    Graphics g(*this);
    g.ClipRect(dx + cw, dy, dw - 2 * cw, dh);
    for (int i = 0; i < n; ++i) {
      g.DrawImageSrc(image, dx + cw + i * mw, dy, Rect(sx + cw, sy, mw, ch));
      g.DrawImageSrc(image, dx + cw + i * mw, dy + dh - ch, Rect(sx + cw, sy + ch + mh, mw, ch));
    }
  }
  {
    Graphics g(*this);
    g.ClipRect(dx, dy + ch, dw, dh - 2 * ch);
    for (int j = 0; j < m; ++j) {
      g.DrawImageSrc(image, dx, dy + ch + j * mh, Rect(sx, sy + ch, cw, mh));
      g.DrawImageSrc(image, dx + dw - cw, dy + ch + j * mh, Rect(sx + cw + mw, sy + ch, cw, mh));
    }
  }
  {
    Graphics g(*this);
    g.ClipRect(dx + cw, dy + ch, dw - 2 * cw, dh - 2 * ch);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < m; ++j)
        g.DrawImageSrc(image, dx + cw + i * mw, dy + ch + j * mh, Rect(sx + cw, sy + ch, mw, mh));
  }
}

int Graphics::WriteString(const std::string& text, int x, int y, int width, int justification, bool draw,
                          int offset, int length, int oldColor) {
  if (font == nullptr) return 0;
  if (oldColor == -1) oldColor = color.ToInt();
  int size = static_cast<int>(text.size());
  int start = std::clamp(offset, 0, size);
  int end = length >= 0 ? std::min(size, start + length) : size;
  if (draw) {
    int measured = WriteString(text, x, y, width, justification, false, offset, length, oldColor);
    if (justification == 0)
      x += (width - measured) / 2;
    else if (justification == 1)
      x += width - measured;
  }
  int total = 0;
  std::string run;
  auto flush = [&] {
    if (draw) DrawString(run, x + total, y);
    total += font->StringWidth(run);
    run.clear();
  };
  int i = start;
  while (i < end) {
    char c = text[i];
    if (c != '^' || !writeColoredString) {
      run += c;
      ++i;
      continue;
    }
    if (i + 1 < end && text[i + 1] == '^') {
      run += '^';
      i += 2;
      continue;
    }
    if (end - i < 8) break;
    std::string tag = text.substr(i + 1, 6);
    int rgb;
    if (tag == "oldclr") {
      rgb = oldColor & 0xFFFFFF;
    } else if (tag[0] == 'o') {
      rgb = 0;
    } else {
      rgb = 0;
      for (char h : tag) rgb = (rgb << 4) | HexDigit(h);
    }
    flush();
    // Only a drawing pass changes the colour, so the measuring pass of a drawing call leaves
    // the colour the text starts with in place.
    if (draw) color = Color((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF, color.mAlpha);
    i += 8;
  }
  flush();
  return total;
}

void Graphics::WriteWrappedLine(const std::string& line, int x, int baseline, int width, int justification,
                                int lineSpacing, int oldColor) {
  float y = transY + baseline;
  if (y >= clipRect.mY && y <= clipRect.mY + clipRect.mHeight + lineSpacing)
    WriteString(line, x, baseline, width, justification, true, 0, -1, oldColor);
}

int Graphics::WriteWordWrapped(const Rect& rect, const std::string& text, int lineSpacing, int justification,
                               int* maxWidth, int length, int* lastWidth) {
  if (font == nullptr) {
    if (maxWidth != nullptr) *maxWidth = 0;
    return 0;
  }
  Color savedColor = color;
  int oldColor = color.ToInt();
  if (((oldColor >> 24) & 0xFF) == 0xFF) oldColor &= 0x00FFFFFF;
  int size = static_cast<int>(text.size());
  if (length < 0 || length > size) length = size;
  if (lineSpacing == -1) lineSpacing = font->GetLineSpacing();
  int baseOffset = font->GetAscent() - font->GetAscentPadding();
  int xOffset = lastWidth != nullptr ? *lastWidth : 0;
  int lineWidth = xOffset;
  int widest = 0;
  int lineStart = 0;
  int breakAt = -1;
  char prev = 0;
  bool brokeAtEnd = false;  // the last line ended at a break point with nothing after it
  // Writes one line and returns where it ends: a line that continues one begun before this
  // call starts at that line's width, and so ends that much further right.
  auto emitLine = [&](int from, int to) {
    std::string line = text.substr(from, to - from);
    int end = xOffset + WriteString(line, 0, 0, rect.mWidth, -1, false, 0, -1, oldColor);
    widest = std::max(widest, end);
    WriteWrappedLine(line, rect.mX + xOffset, rect.mY + baseOffset, rect.mWidth, justification, lineSpacing,
                     oldColor);
    baseOffset += lineSpacing;
    xOffset = 0;
    return end;
  };
  if (xOffset > 0 && xOffset > rect.mWidth && length > 0) {
    // The begun line already reaches past the edge (its last word was longer than the line):
    // this text starts the next line, as it would after that word in one call.
    baseOffset += lineSpacing;
    xOffset = 0;
    lineWidth = 0;
  }
  int i = 0;
  while (i < length) {
    char c = text[i];
    bool forced = false;
    int advance = 1;
    if (c == '^' && writeColoredString && i + 1 < length && text[i + 1] != '^') {
      i += 8;
      continue;
    }
    if (c == '^' && writeColoredString && i + 1 < length) advance = 2;
    if (c == '\n') {
      breakAt = i;
      forced = true;
    } else {
      if (c == ' ') breakAt = i;
      lineWidth += font->CharWidthKern(c, prev);
      prev = c;
    }
    if (!forced && lineWidth <= rect.mWidth) {
      i += advance;
      continue;
    }
    if (breakAt >= lineStart) {
      emitLine(lineStart, breakAt);
      // The line restarts after its break point: text that follows, in this call or in one
      // that continues it, begins at the left edge.
      if (lastWidth != nullptr) *lastWidth = 0;
      i = breakAt + 1;
      if (!forced)
        while (i < length && text[i] == ' ') ++i;
      brokeAtEnd = i >= length;
    } else {
      // One word longer than the line: take at least one character, so that the walk goes
      // on. A line begun by an earlier call already holds something, so the word may leave it
      // whole: the line ends where the word overflowed it, as it would in one call.
      int end = xOffset > 0 ? i : std::max(i, lineStart + advance);
      int w = emitLine(lineStart, end);
      if (lastWidth != nullptr) *lastWidth = w;
      i = end;
      brokeAtEnd = false;
    }
    lineStart = i;
    lineWidth = 0;
    breakAt = -1;
    prev = 0;
  }
  if (lineStart < length) {
    int w = emitLine(lineStart, length);
    if (lastWidth != nullptr) *lastWidth = w;
  } else if (brokeAtEnd) {
    // The text ended in the break itself (a newline, or spaces past the edge): the block
    // reaches down to the new line, where the next text starts at the left edge.
    baseOffset += lineSpacing;
    if (lastWidth != nullptr) *lastWidth = 0;
  } else if (length == 0 && lastWidth != nullptr) {
    // An empty text that continues a line adds nothing to it: its block is that one line.
    baseOffset += lineSpacing;
  }
  if (maxWidth != nullptr) *maxWidth = widest;
  color = savedColor;
  return font->GetDescent() + (baseOffset - lineSpacing);
}

int Graphics::GetWordWrappedHeight(int width, const std::string& text, int lineSpacing, int* maxWidth) {
  Graphics g(nullptr);
  g.SetFont(font);
  return g.WriteWordWrapped(Rect(0, 0, width, 0), text, lineSpacing, -1, maxWidth);
}

}  // namespace Orvo
