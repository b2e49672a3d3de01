// GDI text over fontconfig and FreeType: a font is a face file found by name plus a pixel
// size; a device context is a selected font and bitmap, a text colour and a clip rectangle.
#include "platform/GdiText.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace plat {

struct GdiFont {
  LOGFONTA logFont;
  FT_Face face = nullptr;  // shared, owned by the face cache
  int pixelSize = 0;
  int ascent = 0;
  int descent = 0;
};

// Pixels in memory: 32-bit words or 16-bit ones, each channel where its mask says.
struct GdiBitmap {
  std::uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  int pitch = 0;  // bytes per row
  int bytesPerPixel = 4;
  DWORD masks[3] = {0xFF0000, 0xFF00, 0xFF};  // red, green, blue
  bool ownsBits = false;

  DWORD Read(int x, int y) const {
    const std::uint8_t* p = bits + static_cast<std::ptrdiff_t>(y) * pitch + x * bytesPerPixel;
    if (bytesPerPixel == 4) return *reinterpret_cast<const std::uint32_t*>(p);
    return *reinterpret_cast<const std::uint16_t*>(p);
  }
  void Write(int x, int y, DWORD value) {
    std::uint8_t* p = bits + static_cast<std::ptrdiff_t>(y) * pitch + x * bytesPerPixel;
    if (bytesPerPixel == 4) {
      *reinterpret_cast<std::uint32_t*>(p) = value;
    } else {
      *reinterpret_cast<std::uint16_t*>(p) = static_cast<std::uint16_t>(value);
    }
  }
  // Channel c (0 red, 1 green, 2 blue) of a pixel value, scaled to 0..255.
  int Channel(DWORD value, int c) const {
    const DWORD mask = masks[c];
    if (mask == 0) return 0;
    const int shift = __builtin_ctz(mask);
    const DWORD top = mask >> shift;
    return static_cast<int>(((value & mask) >> shift) * 255 / top);
  }
  // A pixel value from 0..255 channels; bits outside the masks are kept from `keep`.
  DWORD Pack(int r, int g, int b, DWORD keep) const {
    DWORD value = keep & ~(masks[0] | masks[1] | masks[2]);
    const int channels[3] = {r, g, b};
    for (int c = 0; c < 3; ++c) {
      const DWORD mask = masks[c];
      if (mask == 0) continue;
      const int shift = __builtin_ctz(mask);
      const DWORD top = mask >> shift;
      value |= ((static_cast<DWORD>(channels[c]) * top + 127) / 255) << shift;
    }
    return value;
  }
};

struct GdiDC {
  HFONT font = nullptr;
  HBITMAP bitmap = nullptr;
  GdiBitmap pixels;  // used when the context draws into caller-owned pixels
  COLORREF textColor = 0;
  int bkMode = OPAQUE;
  bool hasClip = false;
  RECT clip;
};

struct GdiBrush {
  COLORREF color;
};

namespace {

const GdiBrush kWhiteBrush{RGB(255, 255, 255)};
const GdiBrush kBlackBrush{RGB(0, 0, 0)};

// FreeType objects are not thread-safe: every use of them is under this lock.
std::recursive_mutex& TextLock() {
  static std::recursive_mutex lock;
  return lock;
}

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
    return lib;
  }();
  return library;
}

// Windows face names this program asks for, and the free faces that stand in for them.
std::string SubstituteFace(const std::string& face) {
  std::string lower = face;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower == "arial") return "Liberation Sans";
  if (lower == "tahoma" || lower == "arial unicode ms") return "DejaVu Sans";
  if (lower.empty()) return "DejaVu Sans";
  return face;
}

// Face file of the best installed match for family, weight and slant.
std::string FindFaceFile(const std::string& family, bool bold, bool italic, int* index) {
  // fontconfig keeps its configuration until FcFini: release it when the process ends.
  static const bool releaseAtExit = [] { return std::atexit([] { FcFini(); }) == 0; }();
  (void)releaseAtExit;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::string file;
  *index = 0;
  if (match != nullptr) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path != nullptr)
      file = reinterpret_cast<const char*>(path);
    int faceIndex = 0;
    if (FcPatternGetInteger(match, FC_INDEX, 0, &faceIndex) == FcResultMatch) *index = faceIndex;
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return file;
}

// Faces stay open for the life of the process, one per (file, index, pixel size).
FT_Face OpenFace(const std::string& file, int index, int pixelSize) {
  static std::map<std::string, FT_Face> faces;
  const std::string key = file + "#" + std::to_string(index) + "@" + std::to_string(pixelSize);
  auto it = faces.find(key);
  if (it != faces.end()) return it->second;
  FT_Face face = nullptr;
  if (Library() == nullptr || FT_New_Face(Library(), file.c_str(), index, &face) != 0) return nullptr;
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::max(1, pixelSize))) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  faces[key] = face;
  return face;
}

// Pixel size for a LOGFONT height: negative is the character (em) height, positive the cell height.
int PixelSizeFor(const LOGFONTA& logFont) {
  if (logFont.lfHeight < 0) return -logFont.lfHeight;
  if (logFont.lfHeight == 0) return 16;
  return std::max(1, logFont.lfHeight * 4 / 5);
}

HFONT MakeFont(const LOGFONTA& logFont) {
  std::lock_guard<std::recursive_mutex> guard(TextLock());
  auto* font = new GdiFont();
  font->logFont = logFont;
  font->pixelSize = PixelSizeFor(logFont);
  int index = 0;
  const std::string file = FindFaceFile(SubstituteFace(logFont.lfFaceName), logFont.lfWeight >= FW_BOLD,
                                        logFont.lfItalic != 0, &index);
  if (!file.empty()) font->face = OpenFace(file, index, font->pixelSize);
  if (font->face != nullptr) {
    const FT_Size_Metrics& m = font->face->size->metrics;
    font->ascent = static_cast<int>((m.ascender + 63) >> 6);
    font->descent = static_cast<int>((-m.descender + 63) >> 6);
  } else {
    // No usable face: the metrics of a plain cell, and text that draws nothing.
    font->ascent = font->pixelSize * 4 / 5;
    font->descent = font->pixelSize - font->ascent;
  }
  return font;
}

int AdvanceOf(FT_Face face, unsigned char c) {
  if (face == nullptr) return 0;
  if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) != 0) return 0;
  return static_cast<int>((face->glyph->advance.x + 32) >> 6);
}

int TextWidth(HFONT font, const char* text, int length) {
  if (font == nullptr || text == nullptr) return 0;
  std::lock_guard<std::recursive_mutex> guard(TextLock());
  int width = 0;
  for (int i = 0; i < length; ++i) width += AdvanceOf(font->face, static_cast<unsigned char>(text[i]));
  return width;
}

GdiBitmap* Target(HDC dc) {
  if (dc->bitmap != nullptr) return dc->bitmap;
  if (dc->pixels.bits != nullptr) return &dc->pixels;
  return nullptr;
}

RECT ClipOf(HDC dc, const GdiBitmap& target) {
  RECT r{0, 0, target.width, target.height};
  if (dc->hasClip) {
    r.left = std::max(r.left, dc->clip.left);
    r.top = std::max(r.top, dc->clip.top);
    r.right = std::min(r.right, dc->clip.right);
    r.bottom = std::min(r.bottom, dc->clip.bottom);
  }
  return r;
}

// Blends the colour over one pixel with the given coverage, keeping bits outside the channels.
void BlendPixel(GdiBitmap* target, int x, int y, COLORREF color, int coverage) {
  if (coverage <= 0) return;
  const int text[3] = {static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                       static_cast<int>((color >> 16) & 0xFF)};
  const DWORD old = target->Read(x, y);
  int mixed[3];
  for (int c = 0; c < 3; ++c)
    mixed[c] = (text[c] * coverage + target->Channel(old, c) * (255 - coverage) + 127) / 255;
  target->Write(x, y, target->Pack(mixed[0], mixed[1], mixed[2], old));
}

}  // namespace

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* faceName) {
  LOGFONTA lf;
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic != 0);
  lf.lfUnderline = static_cast<BYTE>(underline != 0);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (faceName != nullptr) std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  return MakeFont(lf);
}

HFONT CreateFontIndirectA(const LOGFONTA* logFont) { return logFont == nullptr ? nullptr : MakeFont(*logFont); }

int GetObjectA(HFONT font, int size, LOGFONTA* out) {
  if (font == nullptr || out == nullptr || size < static_cast<int>(sizeof(LOGFONTA))) return 0;
  *out = font->logFont;
  return static_cast<int>(sizeof(LOGFONTA));
}

BOOL DeleteObject(HFONT font) {
  delete font;
  return font != nullptr ? TRUE : FALSE;
}

BOOL DeleteObject(HBITMAP bitmap) {
  if (bitmap == nullptr) return FALSE;
  if (bitmap->ownsBits) delete[] reinterpret_cast<std::uint32_t*>(bitmap->bits);
  delete bitmap;
  return TRUE;
}

HDC GetDC(const void* window) { return new GdiDC(); }

int ReleaseDC(const void* window, HDC dc) {
  delete dc;
  return dc != nullptr ? 1 : 0;
}

HDC CreateCompatibleDC(HDC dc) { return new GdiDC(); }

HDC CreateDCOverPixels(void* bits, int width, int height, int pitchBytes, int bitsPerPixel, DWORD redMask,
                       DWORD greenMask, DWORD blueMask) {
  const int bytes = bitsPerPixel / 8;
  if (bits == nullptr || width <= 0 || height <= 0 || (bytes != 2 && bytes != 4) || pitchBytes < width * bytes)
    return nullptr;
  auto* dc = new GdiDC();
  dc->pixels.bits = static_cast<std::uint8_t*>(bits);
  dc->pixels.width = width;
  dc->pixels.height = height;
  dc->pixels.pitch = pitchBytes;
  dc->pixels.bytesPerPixel = bytes;
  dc->pixels.masks[0] = redMask;
  dc->pixels.masks[1] = greenMask;
  dc->pixels.masks[2] = blueMask;
  return dc;
}

BOOL DeleteDC(HDC dc) {
  delete dc;
  return dc != nullptr ? TRUE : FALSE;
}

int GetDeviceCaps(HDC dc, int index) { return index == LOGPIXELSY ? 96 : 0; }

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  // Rounded half away from zero, as the system call rounds.
  long long product = static_cast<long long>(number) * numerator;
  long long divisor = denominator;
  const bool negative = (product < 0) != (divisor < 0);
  product = std::llabs(product);
  divisor = std::llabs(divisor);
  const long long result = (product + divisor / 2) / divisor;
  return static_cast<int>(negative ? -result : result);
}

HFONT SelectObject(HDC dc, HFONT font) {
  if (dc == nullptr) return nullptr;
  HFONT old = dc->font;
  dc->font = font;
  return old;
}

HBITMAP SelectObject(HDC dc, HBITMAP bitmap) {
  if (dc == nullptr) return nullptr;
  HBITMAP old = dc->bitmap;
  dc->bitmap = bitmap;
  return old;
}

HBRUSH GetStockObject(int brush) {
  if (brush == WHITE_BRUSH) return &kWhiteBrush;
  if (brush == BLACK_BRUSH) return &kBlackBrush;
  return nullptr;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
  if (dc == nullptr || dc->font == nullptr || metrics == nullptr) return FALSE;
  *metrics = TEXTMETRICA();
  metrics->tmAscent = dc->font->ascent;
  metrics->tmDescent = dc->font->descent;
  metrics->tmHeight = dc->font->ascent + dc->font->descent;
  metrics->tmInternalLeading = std::max(0, metrics->tmHeight - dc->font->pixelSize);
  metrics->tmWeight = dc->font->logFont.lfWeight;
  metrics->tmAveCharWidth = TextWidth(dc->font, "x", 1);
  metrics->tmMaxCharWidth = TextWidth(dc->font, "W", 1);
  return TRUE;
}

int DrawTextExA(HDC dc, const char* text, int length, RECT* rect, UINT format, void* params) {
  if (dc == nullptr || rect == nullptr || text == nullptr) return 0;
  if (length < 0) length = static_cast<int>(std::strlen(text));
  const int height = dc->font != nullptr ? dc->font->ascent + dc->font->descent : 0;
  if (format & DT_CALCRECT) {
    rect->right = rect->left + TextWidth(dc->font, text, length);
    rect->bottom = rect->top + height;
    return height;
  }
  TextOutA(dc, rect->left, rect->top, text, length);
  return height;
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section, DWORD offset) {
  if (bits != nullptr) *bits = nullptr;
  if (info == nullptr || info->bmiHeader.biBitCount != 32 || info->bmiHeader.biCompression != BI_RGB) return nullptr;
  const int width = info->bmiHeader.biWidth;
  const int height = info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
  // Text bitmaps beyond 16 million pixels are refused rather than allocated.
  if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > (1LL << 24)) return nullptr;
  auto* bitmap = new GdiBitmap();
  bitmap->bits = reinterpret_cast<std::uint8_t*>(
      new std::uint32_t[static_cast<std::size_t>(width) * static_cast<std::size_t>(height)]());
  bitmap->width = width;
  bitmap->height = height;
  bitmap->pitch = width * 4;
  bitmap->ownsBits = true;
  if (bits != nullptr) *bits = bitmap->bits;
  return bitmap;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (dc == nullptr || rect == nullptr || brush == nullptr) return 0;
  GdiBitmap* target = Target(dc);
  if (target == nullptr) return 0;
  const RECT clip = ClipOf(dc, *target);
  const int r = brush->color & 0xFF, g = (brush->color >> 8) & 0xFF, b = (brush->color >> 16) & 0xFF;
  for (int y = std::max(rect->top, clip.top); y < std::min(rect->bottom, clip.bottom); ++y)
    for (int x = std::max(rect->left, clip.left); x < std::min(rect->right, clip.right); ++x)
      target->Write(x, y, target->Pack(r, g, b, target->Read(x, y)));
  return 1;
}

int SetBkMode(HDC dc, int mode) {
  if (dc == nullptr) return 0;
  const int old = dc->bkMode;
  dc->bkMode = mode;
  return old;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  if (dc == nullptr) return 0;
  const COLORREF old = dc->textColor;
  dc->textColor = color;
  return old;
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int length) {
  if (dc == nullptr || text == nullptr || length < 0) return FALSE;
  GdiBitmap* target = Target(dc);
  if (target == nullptr || dc->font == nullptr) return TRUE;
  HFONT font = dc->font;
  const RECT clip = ClipOf(dc, *target);
  const int baseline = y + font->ascent;
  std::lock_guard<std::recursive_mutex> guard(TextLock());
  FT_Face face = font->face;
  int pen = x;
  for (int i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (face == nullptr || FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) continue;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
      const int left = pen + slot->bitmap_left;
      const int top = baseline - slot->bitmap_top;
      for (int row = 0; row < static_cast<int>(bm.rows); ++row) {
        const int py = top + row;
        if (py < clip.top || py >= clip.bottom) continue;
        const unsigned char* src = bm.buffer + row * bm.pitch;
        for (int col = 0; col < static_cast<int>(bm.width); ++col) {
          const int px = left + col;
          if (px < clip.left || px >= clip.right) continue;
          BlendPixel(target, px, py, dc->textColor, src[col]);
        }
      }
    }
    pen += static_cast<int>((slot->advance.x + 32) >> 6);
  }
  if (font->logFont.lfUnderline) {
    const int uy = baseline + std::max(1, font->descent / 3);
    if (uy >= clip.top && uy < clip.bottom)
      for (int px = std::max(x, static_cast<int>(clip.left)); px < std::min(pen, static_cast<int>(clip.right)); ++px)
        BlendPixel(target, px, uy, dc->textColor, 255);
  }
  return TRUE;
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  if (dc == nullptr) return 0;
  if (!dc->hasClip) {
    dc->clip = RECT{left, top, right, bottom};
    dc->hasClip = true;
  } else {
    dc->clip.left = std::max(dc->clip.left, left);
    dc->clip.top = std::max(dc->clip.top, top);
    dc->clip.right = std::min(dc->clip.right, right);
    dc->clip.bottom = std::min(dc->clip.bottom, bottom);
  }
  return 1;
}

}  // namespace plat
