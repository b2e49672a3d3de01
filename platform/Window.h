// Window classes and windows backed by SDL2: a window with a size gets an SDL window, a
// window of zero size (the invisible message window) lives only here. Also mouse capture,
// the cursor position, cursors, the work area and the system metrics the framework asks for.
#pragma once

#include <cstdint>

#include "platform/Messages.h"
#include "platform/Types.h"

struct SDL_Window;

namespace plat {

struct CursorObject;
using HCURSOR = CursorObject*;
using HICON = void*;
using HINSTANCE = void*;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

constexpr UINT CS_DBLCLKS = 0x0008;

constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_DISABLED = 0x08000000u;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000u;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000u;
constexpr DWORD WS_EX_TOPMOST = 0x00000008u;

constexpr int GWL_USERDATA = -21;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;

struct WNDCLASSA {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  HINSTANCE hInstance = nullptr;
  HICON hIcon = nullptr;
  HCURSOR hCursor = nullptr;
  const char* lpszClassName = nullptr;
};

struct WINDOWPLACEMENT {
  UINT showCmd = SW_SHOWNORMAL;
  RECT rcNormalPosition;
};

// True when SDL's video system runs (a real display or SDL's dummy driver).
bool InitVideo();
// True when the video driver is SDL's dummy one (no display: message boxes go to stderr).
bool IsHeadless();

ATOM RegisterClassA(const WNDCLASSA* wc);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);

// WS_POPUP with WS_EX_TOPMOST and no caption opens as a desktop full-screen window; any
// other window with a size opens as a normal window at the given outer position.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int width,
                     int height, HWND parent, void* menu, HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int cmd);
BOOL IsWindowVisible(HWND hwnd);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowTextA(HWND hwnd, const char* text);
BOOL EnableWindow(HWND hwnd, BOOL enable);
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement);
BOOL SetForegroundWindow(HWND hwnd);
HWND GetActiveWindow();
HWND SetFocus(HWND hwnd);
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
// The class name a window was created with.
const char* GetWindowClassName(HWND hwnd);
// Every window that exists, top-level ones first in creation order.
int EnumWindowCount();

// The SDL window behind a window (null for a window without one), for the display.
SDL_Window* GetSDLWindow(HWND hwnd);
// The window whose SDL window has this SDL id, or null.
HWND FindWindowBySDLId(std::uint32_t sdlWindowId);

// Mouse capture and position.
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
// Screen coordinates. Without a real pointer (headless), the position of the last mouse
// message dispatched to a window stands for it.
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL ClientToScreen(HWND hwnd, POINT* point);
HWND WindowFromPoint(POINT point);

// Cursors.
constexpr int IDC_ARROW = 32512;
constexpr int IDC_IBEAM = 32513;
constexpr int IDC_WAIT = 32514;
constexpr int IDC_SIZENWSE = 32642;
constexpr int IDC_SIZENESW = 32643;
constexpr int IDC_SIZEWE = 32644;
constexpr int IDC_SIZENS = 32645;
constexpr int IDC_SIZEALL = 32646;
constexpr int IDC_NO = 32648;
constexpr int IDC_HAND = 32649;

HCURSOR LoadCursorA(HINSTANCE instance, int id);
// A monochrome cursor from AND and XOR masks, one bit per pixel, rows of width / 8 bytes.
HCURSOR CreateCursor(HINSTANCE instance, int hotX, int hotY, int width, int height, const void* andMask,
                     const void* xorMask);
BOOL DestroyCursor(HCURSOR cursor);
// Shows `cursor`, or hides the system cursor for null; returns the previous one.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// Raises (show) or lowers the display count of the system cursor, which is visible while
// the count is 0 or more; returns the new count.
int ShowCursor(BOOL show);

// System metrics and parameters.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXFULLSCREEN = 16;
constexpr int SM_CYFULLSCREEN = 17;
constexpr int SM_TABLETPC = 86;
int GetSystemMetrics(int index);

constexpr UINT SPI_GETSCREENSAVETIMEOUT = 0x000E;
constexpr UINT SPI_GETSCREENSAVEACTIVE = 0x0010;
constexpr UINT SPI_GETWORKAREA = 0x0030;
constexpr UINT SPI_SCREENSAVERRUNNING = 0x0061;
constexpr UINT SPI_GETSCREENSAVERRUNNING = 0x0072;
// SPI_GETWORKAREA fills a RECT; the screensaver queries fill an int / BOOL: the time-out
// (SetScreenSaverTimeout, 600 s unless set), whether the screensaver may run while the
// program's windows are up (the video system's own state), and SPI_GETSCREENSAVERRUNNING
// fails (the system does not say).
BOOL SystemParametersInfoA(UINT action, UINT param, void* out, UINT winIni);
// The screensaver time-out in seconds that SPI_GETSCREENSAVETIMEOUT reports.
void SetScreenSaverTimeout(int seconds);

// The desktop's display mode, as EnumDisplaySettingsA / ChangeDisplaySettingsA know it.
struct DEVMODEA {
  DWORD dmFields = 0;
  DWORD dmBitsPerPel = 0;
  DWORD dmPelsWidth = 0;
  DWORD dmPelsHeight = 0;
};
constexpr DWORD DM_BITSPERPEL = 0x00040000;
constexpr DWORD DM_PELSWIDTH = 0x00080000;
constexpr DWORD DM_PELSHEIGHT = 0x00100000;
constexpr DWORD ENUM_CURRENT_SETTINGS = 0xFFFFFFFFu;
constexpr DWORD CDS_FULLSCREEN = 0x00000004;
constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_FAILED = -1;
// The current mode only (ENUM_CURRENT_SETTINGS): the desktop's size, and 32 bits per pixel
// (16 for a 16-bit desktop).
BOOL EnumDisplaySettingsA(const char* device, DWORD modeNumber, DEVMODEA* mode);
// The video system offers no way to switch the desktop's own mode under a window: a mode
// equal to the current one, and a null mode (back to the stored one), succeed; any other
// fails with DISP_CHANGE_FAILED, and the caller takes its fallback (scaled full screen).
LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags);

// For tests: the desktop size reported when no real display exists (default 1920 x 1080).
void SetHeadlessDesktopSize(int width, int height);

}  // namespace plat
