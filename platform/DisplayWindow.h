// What the display services need of a window: where its client area lies on the screen,
// the desktop's size, switching it between a window and SDL's desktop full screen, and
// showing a frame of pixels in it (a streaming texture, scaled to fit in full screen).
// Every function here runs on the main thread only.
#pragma once

#include <functional>

#include "platform/Types.h"
#include "platform/Window.h"

namespace plat {

// Finds the SDL window behind a handle; the window services install it when video starts.
// Without one, or for an unknown handle, the display works without showing anything.
void SetDisplayWindowResolver(std::function<SDL_Window*(HWND)> resolver);
SDL_Window* DisplaySdlWindow(HWND window);

// Screen position of the client area's top-left corner; (0, 0) without a window.
POINT DisplayClientOrigin(HWND window);
// Size of the client area; (0, 0) without a window.
SIZE DisplayClientSize(HWND window);
// Size of the desktop: SDL's current display mode, 1024 x 768 when SDL has no display.
SIZE DisplayDesktopSize();

// Shows the window full screen (SDL's desktop full screen) or as a window.
void DisplaySetFullScreen(HWND window, bool fullScreen);

// Copies a frame into the window's streaming texture and presents it. `format` names the
// layout: 32 for X8R8G8B8, 16 with green mask 0x07E0 for R5G6B5, 0x03E0 for X1R5G5B5.
// In full screen the frame is scaled to fit the screen, keeping its shape.
bool DisplayPresentPixels(HWND window, const void* pixels, int width, int height, int pitch, DWORD bitCount,
                          DWORD greenMask);

// A point in the window's pixels turned into a point of the frame last shown in it (they
// differ in full screen, where the frame is scaled to fit). Any thread.
POINT DisplayWindowToFrame(HWND window, POINT point);

// Releases the renderer and texture kept for a window (before the window is destroyed).
void DisplayForgetWindow(HWND window);

}  // namespace plat
