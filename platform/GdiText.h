// GDI text: fonts chosen by face name (through fontconfig, rendered with FreeType), text
// metrics and extents, and anti-aliased text drawn into 32-bit memory bitmaps.
// Windows face names map to installed free faces: Arial to Liberation Sans, Tahoma and
// "Arial Unicode MS" to DejaVu Sans. Narrow text is taken as Latin-1, one byte a character.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace plat {

struct GdiFont;
struct GdiDC;
struct GdiBitmap;
struct GdiBrush;
using HFONT = GdiFont*;
using HDC = GdiDC*;
using HBITMAP = GdiBitmap*;
using HBRUSH = const GdiBrush*;
using COLORREF = DWORD;

constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;
constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD OUT_TT_PRECIS = 4;
constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
constexpr DWORD ANTIALIASED_QUALITY = 4;
constexpr int LOGPIXELSY = 90;
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr UINT DT_CALCRECT = 0x400;
constexpr UINT DT_NOPREFIX = 0x800;
constexpr int WHITE_BRUSH = 0;
constexpr int BLACK_BRUSH = 4;
constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr int LF_FACESIZE = 32;

inline COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

struct LOGFONTA {
  LONG lfHeight = 0;
  LONG lfWidth = 0;
  LONG lfEscapement = 0;
  LONG lfOrientation = 0;
  LONG lfWeight = 0;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = 0;
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  char lfFaceName[LF_FACESIZE] = {};
};

struct TEXTMETRICA {
  LONG tmHeight = 0;
  LONG tmAscent = 0;
  LONG tmDescent = 0;
  LONG tmInternalLeading = 0;
  LONG tmExternalLeading = 0;
  LONG tmAveCharWidth = 0;
  LONG tmMaxCharWidth = 0;
  LONG tmWeight = 0;
};

struct BITMAPINFOHEADER {
  DWORD biSize = 0;
  LONG biWidth = 0;
  LONG biHeight = 0;  // negative: top-down rows
  WORD biPlanes = 1;
  WORD biBitCount = 0;
  DWORD biCompression = 0;
  DWORD biSizeImage = 0;
  LONG biXPelsPerMeter = 0;
  LONG biYPelsPerMeter = 0;
  DWORD biClrUsed = 0;
  DWORD biClrImportant = 0;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
};

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* faceName);
HFONT CreateFontIndirectA(const LOGFONTA* logFont);
// Copies the font's LOGFONTA; returns the bytes written, 0 on failure.
int GetObjectA(HFONT font, int size, LOGFONTA* out);
BOOL DeleteObject(HFONT font);
BOOL DeleteObject(HBITMAP bitmap);

// A device context that measures only (the window's context: text goes nowhere).
HDC GetDC(const void* window);
int ReleaseDC(const void* window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
// A device context drawing straight into pixels the caller owns: 16- or 32-bit, with the
// given channel masks (as a surface's pixel format describes them).
HDC CreateDCOverPixels(void* bits, int width, int height, int pitchBytes, int bitsPerPixel, DWORD redMask,
                       DWORD greenMask, DWORD blueMask);
BOOL DeleteDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);
int MulDiv(int number, int numerator, int denominator);

HFONT SelectObject(HDC dc, HFONT font);
HBITMAP SelectObject(HDC dc, HBITMAP bitmap);
HBRUSH GetStockObject(int brush);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
int DrawTextExA(HDC dc, const char* text, int length, RECT* rect, UINT format, void* params);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section, DWORD offset);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
// Draws text with the top of its cell at y.
BOOL TextOutA(HDC dc, int x, int y, const char* text, int length);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);

}  // namespace plat
