// Presentation of display frames through SDL2: one renderer and one streaming texture per
// window, re-created when the frame's size or layout changes.
#include "platform/DisplayWindow.h"

#include <SDL.h>

#include <functional>
#include <map>
#include <mutex>

namespace plat {
namespace {

struct Presenter {
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int width = 0;
  int height = 0;
  Uint32 format = 0;
};

std::mutex gMutex;
std::function<SDL_Window*(HWND)> gResolver;
// By SDL window id: a destroyed window's address may come back for a new window.
std::map<Uint32, Presenter> gPresenters;

void DestroyPresenter(Presenter& p) {
  if (p.texture != nullptr) SDL_DestroyTexture(p.texture);
  if (p.renderer != nullptr) SDL_DestroyRenderer(p.renderer);
  p = Presenter{};
}

Uint32 SdlFormat(DWORD bitCount, DWORD greenMask) {
  if (bitCount == 32) return SDL_PIXELFORMAT_RGB888;
  if (bitCount == 16) return greenMask == 0x03E0 ? SDL_PIXELFORMAT_RGB555 : SDL_PIXELFORMAT_RGB565;
  return 0;
}

}  // namespace

void SetDisplayWindowResolver(std::function<SDL_Window*(HWND)> resolver) {
  std::lock_guard<std::mutex> lock(gMutex);
  gResolver = std::move(resolver);
}

SDL_Window* DisplaySdlWindow(HWND window) {
  std::function<SDL_Window*(HWND)> resolver;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    resolver = gResolver;
  }
  if (!resolver || window == nullptr) return nullptr;
  return resolver(window);
}

POINT DisplayClientOrigin(HWND window) {
  POINT origin;
  if (window != nullptr && !ClientToScreen(window, &origin)) origin = POINT{};
  return origin;
}

SIZE DisplayClientSize(HWND window) {
  RECT r;
  if (window == nullptr || !GetClientRect(window, &r)) return SIZE{};
  return SIZE{r.right - r.left, r.bottom - r.top};
}

SIZE DisplayDesktopSize() { return SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

void DisplaySetFullScreen(HWND window, bool fullScreen) {
  SDL_Window* w = DisplaySdlWindow(window);
  if (w == nullptr) return;
  if (!fullScreen) {
    SDL_SetWindowFullscreen(w, 0);
    return;
  }
  // The window first covers the screen by itself, so that full screen also holds where no
  // window manager carries out SDL's full-screen request (a bare X server).
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(w), &bounds) == 0) {
    SDL_SetWindowFullscreen(w, 0);
    SDL_SetWindowBordered(w, SDL_FALSE);
    SDL_SetWindowPosition(w, bounds.x, bounds.y);
    SDL_SetWindowSize(w, bounds.w, bounds.h);
  }
  SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

bool DisplayPresentPixels(HWND window, const void* pixels, int width, int height, int pitch, DWORD bitCount,
                          DWORD greenMask) {
  SDL_Window* w = DisplaySdlWindow(window);
  Uint32 format = SdlFormat(bitCount, greenMask);
  if (w == nullptr || format == 0 || width <= 0 || height <= 0) return false;
  std::lock_guard<std::mutex> lock(gMutex);
  Presenter& p = gPresenters[SDL_GetWindowID(w)];
  // A renderer that is no longer the window's own went with an earlier window: forget it
  // (SDL freed it, and its texture, with that window).
  if (p.renderer != nullptr && SDL_GetRenderer(w) != p.renderer) p = Presenter{};
  if (p.renderer == nullptr) {
    p.renderer = SDL_GetRenderer(w);
    if (p.renderer == nullptr) p.renderer = SDL_CreateRenderer(w, -1, 0);
    if (p.renderer == nullptr) p.renderer = SDL_CreateRenderer(w, -1, SDL_RENDERER_SOFTWARE);
    if (p.renderer == nullptr) return false;
  }
  if (p.texture == nullptr || p.width != width || p.height != height || p.format != format) {
    if (p.texture != nullptr) SDL_DestroyTexture(p.texture);
    p.texture = SDL_CreateTexture(p.renderer, format, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (p.texture == nullptr) return false;
    p.width = width;
    p.height = height;
    p.format = format;
  }
  SDL_UpdateTexture(p.texture, nullptr, pixels, pitch);
  // The frame keeps its shape on a screen of another size: scaled to fit, bars around it.
  SDL_RenderSetLogicalSize(p.renderer, width, height);
  SDL_SetRenderDrawColor(p.renderer, 0, 0, 0, 255);
  SDL_RenderClear(p.renderer);
  SDL_RenderCopy(p.renderer, p.texture, nullptr, nullptr);
  SDL_RenderPresent(p.renderer);
  return true;
}

POINT DisplayWindowToFrame(HWND window, POINT point) {
  SDL_Window* w = DisplaySdlWindow(window);
  if (w == nullptr) return point;
  std::lock_guard<std::mutex> lock(gMutex);
  auto it = gPresenters.find(SDL_GetWindowID(w));
  if (it == gPresenters.end() || it->second.renderer == nullptr || SDL_GetRenderer(w) != it->second.renderer)
    return point;
  float x = 0;
  float y = 0;
  SDL_RenderWindowToLogical(it->second.renderer, point.x, point.y, &x, &y);
  return POINT{static_cast<LONG>(x), static_cast<LONG>(y)};
}

void DisplayForgetWindow(HWND window) {
  SDL_Window* w = DisplaySdlWindow(window);
  if (w == nullptr) return;
  std::lock_guard<std::mutex> lock(gMutex);
  auto it = gPresenters.find(SDL_GetWindowID(w));
  if (it == gPresenters.end()) return;
  if (SDL_GetRenderer(w) == it->second.renderer) DestroyPresenter(it->second);
  gPresenters.erase(it);
}

}  // namespace plat
