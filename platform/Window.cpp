// Windows, window classes, the message queue and the SDL2 event translation behind them.
// Everything here runs on the main thread except PostMessageA, which any thread may call.
#include "platform/Window.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DisplayWindow.h"
#include "platform/SingleInstance.h"
#include "platform/Time.h"
#include "platform/X11Keys.h"

struct plat::HWND__ {
  std::string className;
  std::string title;
  DWORD style = 0;
  DWORD exStyle = 0;
  plat::RECT rect;  // outer rectangle in screen coordinates
  bool visible = false;
  bool minimised = false;
  bool maximised = false;
  bool enabled = true;
  LONG_PTR userData = 0;
  plat::WNDPROC proc = nullptr;
  UINT classStyle = 0;
  SDL_Window* sdl = nullptr;
  std::uint32_t sdlId = 0;
};

struct plat::CursorObject {
  SDL_Cursor* sdl = nullptr;
  bool system = false;
};

namespace plat {

namespace {

struct ClassRecord {
  UINT style = 0;
  WNDPROC proc = nullptr;
};

struct TimerRecord {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  UINT elapse = 0;
  DWORD last = 0;
};

struct WindowState {
  std::map<std::string, ClassRecord> classes;  // upper-cased class name
  std::vector<HWND> windows;                   // creation order
  // Guards the window list against the cursor thread's coordinate look-ups; windows are
  // only made and destroyed on the main thread.
  std::recursive_mutex windowsLock;
  std::recursive_mutex queueLock;
  std::deque<MSG> queue;
  std::vector<TimerRecord> timers;
  std::map<std::string, UINT> registeredIds;  // name -> id
  std::map<UINT, std::string> registeredNames;
  UINT nextRegisteredId = 0xC000;
  HWND capture = nullptr;
  HWND active = nullptr;
  POINT lastCursor;  // screen position of the last mouse message
  HCURSOR currentCursor = nullptr;
  int cursorShowCount = 0;  // the system cursor is visible while this is 0 or more
  std::map<int, std::unique_ptr<CursorObject>> systemCursors;
  bool videoTried = false;
  bool videoOk = false;
  int headlessDesktopW = 1920;
  int headlessDesktopH = 1080;
};

WindowState& State() {
  static WindowState* state = new WindowState;  // lives to process end; other statics may post late
  return *state;
}

bool Exists(HWND hwnd) {
  auto& w = State().windows;
  return hwnd && std::find(w.begin(), w.end(), hwnd) != w.end();
}

std::string ClassKey(const char* name) {
  std::string key = name ? name : "";
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

int VirtualKeyFromSDL(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (key - SDLK_KP_1);
  switch (key) {
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_PRINTSCREEN: return VK_SNAPSHOT;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_LGUI: return VK_LWIN;
    case SDLK_RGUI: return VK_RWIN;
    case SDLK_APPLICATION: return VK_APPS;
    case SDLK_KP_0: return VK_NUMPAD0;
    case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_KP_PERIOD: return VK_DECIMAL;
    case SDLK_KP_DIVIDE: return VK_DIVIDE;
    case SDLK_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDLK_SCROLLLOCK: return VK_SCROLL;
    case SDLK_SEMICOLON: return VK_OEM_1;
    case SDLK_EQUALS: return VK_OEM_PLUS;
    case SDLK_COMMA: return VK_OEM_COMMA;
    case SDLK_MINUS: return VK_OEM_MINUS;
    case SDLK_PERIOD: return VK_OEM_PERIOD;
    case SDLK_SLASH: return VK_OEM_2;
    case SDLK_BACKQUOTE: return VK_OEM_3;
    case SDLK_LEFTBRACKET: return VK_OEM_4;
    case SDLK_BACKSLASH: return VK_OEM_5;
    case SDLK_RIGHTBRACKET: return VK_OEM_6;
    case SDLK_QUOTE: return VK_OEM_7;
    default: return 0;
  }
}

WPARAM MouseKeyState() {
  WPARAM state = 0;
  Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
  if (buttons & SDL_BUTTON_LMASK) state |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) state |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) state |= MK_MBUTTON;
  SDL_Keymod mod = SDL_GetModState();
  if (mod & KMOD_SHIFT) state |= MK_SHIFT;
  if (mod & KMOD_CTRL) state |= MK_CONTROL;
  return state;
}

// Queues a message last, or first (the next one read) when `next` is set.
void Queue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool next) {
  auto& s = State();
  std::lock_guard<std::recursive_mutex> g(s.queueLock);
  MSG m;
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = timeGetTime();
  m.pt = s.lastCursor;
  if (next)
    s.queue.push_front(m);
  else
    s.queue.push_back(m);
}

void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) { Queue(hwnd, message, wParam, lParam, false); }
void PostNext(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) { Queue(hwnd, message, wParam, lParam, true); }

// Appends the UTF-8 text of a text-input event as WM_CHAR messages, one per character.
void PostText(HWND hwnd, const char* utf8) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8);
  while (*p) {
    std::uint32_t code = *p;
    int extra = 0;
    if (code >= 0xF0) { code &= 0x07; extra = 3; }
    else if (code >= 0xE0) { code &= 0x0F; extra = 2; }
    else if (code >= 0xC0) { code &= 0x1F; extra = 1; }
    ++p;
    for (int i = 0; i < extra && (*p & 0xC0) == 0x80; ++i, ++p) code = (code << 6) | (*p & 0x3F);
    Post(hwnd, WM_CHAR, code, 1);
  }
}

void TranslateSDLEvent(const SDL_Event& e) {
  auto& s = State();
  switch (e.type) {
    case SDL_QUIT:
      // A quit request (window manager, SIGINT or SIGTERM) closes every window with a frame.
      for (HWND w : s.windows)
        if (w->sdl) Post(w, WM_CLOSE, 0, 0);
      return;
    case SDL_WINDOWEVENT: {
      HWND w = FindWindowBySDLId(e.window.windowID);
      if (!w) return;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: Post(w, WM_CLOSE, 0, 0); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          s.active = w;
          Post(w, WM_ACTIVATEAPP, 1, 0);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          if (s.active == w) s.active = nullptr;
          Post(w, WM_ACTIVATEAPP, 0, 0);
          break;
        case SDL_WINDOWEVENT_MINIMIZED:
          w->minimised = true;
          Post(w, WM_SIZE, SIZE_MINIMIZED, 0);
          break;
        case SDL_WINDOWEVENT_MAXIMIZED:
          w->maximised = true;
          Post(w, WM_SIZE, SIZE_MAXIMIZED, 0);
          break;
        case SDL_WINDOWEVENT_RESTORED:
          w->minimised = false;
          w->maximised = false;
          Post(w, WM_SIZE, SIZE_RESTORED, 0);
          break;
        case SDL_WINDOWEVENT_MOVED: {
          int width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
          w->rect.left = e.window.data1;
          w->rect.top = e.window.data2;
          w->rect.right = w->rect.left + width;
          w->rect.bottom = w->rect.top + height;
          Post(w, WM_MOVE, 0, MAKELPARAM(e.window.data1, e.window.data2));
          break;
        }
        case SDL_WINDOWEVENT_EXPOSED: Post(w, WM_PAINT, 0, 0); break;
        default: break;
      }
      return;
    }
    case SDL_MOUSEMOTION: {
      HWND w = s.capture ? s.capture : FindWindowBySDLId(e.motion.windowID);
      if (!w) return;
      POINT pt{e.motion.x, e.motion.y};
      Post(w, WM_MOUSEMOVE, MouseKeyState(), MAKELPARAM(pt.x, pt.y));
      return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      HWND w = s.capture ? s.capture : FindWindowBySDLId(e.button.windowID);
      if (!w) return;
      bool down = e.type == SDL_MOUSEBUTTONDOWN;
      // Every second click of a series is a double click, in classes that ask for them.
      bool dbl = down && (w->classStyle & CS_DBLCLKS) && e.button.clicks >= 2 && e.button.clicks % 2 == 0;
      UINT msg = 0;
      switch (e.button.button) {
        case SDL_BUTTON_LEFT: msg = down ? (dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP; break;
        case SDL_BUTTON_RIGHT: msg = down ? (dbl ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN) : WM_RBUTTONUP; break;
        case SDL_BUTTON_MIDDLE: msg = down ? (dbl ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN) : WM_MBUTTONUP; break;
        default: return;
      }
      Post(w, msg, MouseKeyState(), MAKELPARAM(e.button.x, e.button.y));
      return;
    }
    case SDL_MOUSEWHEEL: {
      HWND w = FindWindowBySDLId(e.wheel.windowID);
      if (!w) return;
      int steps = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
      auto wp = static_cast<WPARAM>((static_cast<DWORD>(static_cast<WORD>(steps * WHEEL_DELTA)) << 16) |
                                    (MouseKeyState() & 0xFFFF));
      Post(w, WM_MOUSEWHEEL, wp, MAKELPARAM(s.lastCursor.x, s.lastCursor.y));
      return;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      HWND w = FindWindowBySDLId(e.key.windowID);
      if (!w) w = s.active;
      if (!w) return;
      int vk = VirtualKeyFromSDL(e.key.keysym.sym);
      if (vk == 0) return;
      bool down = e.type == SDL_KEYDOWN;
      bool alt = (e.key.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU || vk == VK_F10;
      UINT msg = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
      LPARAM lp = 1 | (alt ? (1 << 29) : 0) | (e.key.repeat ? (1 << 30) : 0);
      if (!down) lp |= static_cast<LPARAM>(3u << 30);
      Post(w, msg, static_cast<WPARAM>(vk), lp);
      return;
    }
    case SDL_SYSWMEVENT: {
      // The Linefeed key makes a new line as Return does.
      const int linefeed = LinefeedKeyOf(e);
      HWND w = s.active;
      if (linefeed == 0 || !w) return;
      Post(w, linefeed > 0 ? WM_KEYDOWN : WM_KEYUP, VK_RETURN, linefeed > 0 ? 1 : static_cast<LPARAM>(1u | 3u << 30));
      return;
    }
    case SDL_TEXTINPUT: {
      HWND w = FindWindowBySDLId(e.text.windowID);
      if (!w) w = s.active;
      if (w) PostText(w, e.text.text);
      return;
    }
    default: return;
  }
}

void PumpSDL() {
  auto& s = State();
  if (!s.videoOk) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) TranslateSDLEvent(e);
}

void PumpRegisteredMessages() {
  auto& s = State();
  PollRegisteredMessages([&](const std::string& name) {
    auto it = s.registeredIds.find(name);
    if (it == s.registeredIds.end()) return;
    for (HWND w : s.windows) Post(w, it->second, 0, 0);
  });
}

void PumpTimers() {
  auto& s = State();
  DWORD now = timeGetTime();
  std::lock_guard<std::recursive_mutex> g(s.queueLock);
  for (auto& t : s.timers) {
    if (now - t.last < t.elapse) continue;
    t.last = now;
    bool waiting = std::any_of(s.queue.begin(), s.queue.end(), [&](const MSG& m) {
      return m.message == WM_TIMER && m.hwnd == t.hwnd && m.wParam == t.id;
    });
    if (!waiting) Post(t.hwnd, WM_TIMER, t.id, 0);
  }
}

bool Matches(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
  if (hwnd && m.hwnd != hwnd) return false;
  if (lo == 0 && hi == 0) return true;
  return m.message >= lo && m.message <= hi;
}

}  // namespace

// ---- Video ----

bool InitVideo() {
  auto& s = State();
  if (s.videoTried) return s.videoOk;
  s.videoTried = true;
  // A windowed program does not hold the system screensaver off, as on Windows: the
  // program's own idle check notices when it would run (SDL_VIDEO_ALLOW_SCREENSAVER=0 in
  // the environment keeps SDL's way).
  SDL_SetHintWithPriority(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1", SDL_HINT_DEFAULT);
  s.videoOk = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  if (s.videoOk) {
    SetDisplayWindowResolver([](HWND hwnd) { return GetSDLWindow(hwnd); });
    WatchSystemKeys();
  }
  return s.videoOk;
}

bool IsHeadless() {
  if (!InitVideo()) return true;
  const char* driver = SDL_GetCurrentVideoDriver();
  return !driver || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0;
}

// ---- Classes and windows ----

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
  auto& s = State();
  auto key = ClassKey(wc->lpszClassName);
  if (s.classes.count(key)) return 0;  // already registered
  s.classes[key] = ClassRecord{wc->style, wc->lpfnWndProc};
  return static_cast<ATOM>(s.classes.size());
}

BOOL UnregisterClassA(const char* className, HINSTANCE) { return State().classes.erase(ClassKey(className)) ? TRUE : FALSE; }

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int width,
                     int height, HWND, void*, HINSTANCE, void*) {
  auto& s = State();
  auto cls = s.classes.find(ClassKey(className));
  if (cls == s.classes.end()) return nullptr;
  auto* w = new HWND__;
  w->className = className;
  w->title = title ? title : "";
  w->style = style;
  w->exStyle = exStyle;
  w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  w->proc = cls->second.proc;
  w->classStyle = cls->second.style;
  w->enabled = (style & WS_DISABLED) == 0;
  if (width > 0 && height > 0 && InitVideo()) {
    bool fullScreen = (style & WS_POPUP) && !(style & WS_CAPTION) && (exStyle & WS_EX_TOPMOST);
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (fullScreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (!(style & WS_CAPTION)) flags |= SDL_WINDOW_BORDERLESS;
    // The outer rectangle includes the frame; SDL places the client area.
    RECT frame{0, 0, 0, 0};
    AdjustWindowRect(&frame, style, FALSE);
    int clientW = width - (frame.right - frame.left), clientH = height - (frame.bottom - frame.top);
    w->sdl = SDL_CreateWindow(w->title.c_str(), x - frame.left, y - frame.top, std::max(clientW, 1),
                              std::max(clientH, 1), flags);
    if (w->sdl) w->sdlId = SDL_GetWindowID(w->sdl);
  }
  {
    std::lock_guard<std::recursive_mutex> g(s.windowsLock);
    s.windows.push_back(w);
  }
  if (w->proc) w->proc(w, WM_CREATE, 0, 0);
  if (style & WS_VISIBLE) ShowWindow(w, SW_SHOW);
  return w;
}

BOOL DestroyWindow(HWND hwnd) {
  auto& s = State();
  if (!Exists(hwnd)) return FALSE;
  if (hwnd->proc) hwnd->proc(hwnd, WM_DESTROY, 0, 0);
  DisplayForgetWindow(hwnd);
  std::lock_guard<std::recursive_mutex> windowsGuard(s.windowsLock);
  if (hwnd->sdl) SDL_DestroyWindow(hwnd->sdl);
  s.windows.erase(std::find(s.windows.begin(), s.windows.end(), hwnd));
  {
    std::lock_guard<std::recursive_mutex> g(s.queueLock);
    s.queue.erase(std::remove_if(s.queue.begin(), s.queue.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                  s.queue.end());
    s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(), [&](const TimerRecord& t) { return t.hwnd == hwnd; }),
                   s.timers.end());
  }
  if (s.capture == hwnd) s.capture = nullptr;
  if (s.active == hwnd) s.active = nullptr;
  delete hwnd;
  return TRUE;
}

BOOL IsWindow(HWND hwnd) { return Exists(hwnd) ? TRUE : FALSE; }

BOOL ShowWindow(HWND hwnd, int cmd) {
  if (!Exists(hwnd)) return FALSE;
  BOOL wasVisible = hwnd->visible ? TRUE : FALSE;
  switch (cmd) {
    case SW_HIDE:
      hwnd->visible = false;
      if (hwnd->sdl) SDL_HideWindow(hwnd->sdl);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      hwnd->visible = true;
      hwnd->minimised = true;
      if (hwnd->sdl) SDL_MinimizeWindow(hwnd->sdl);
      break;
    case SW_SHOWMAXIMIZED:
      hwnd->visible = true;
      hwnd->maximised = true;
      if (hwnd->sdl) SDL_MaximizeWindow(hwnd->sdl);
      break;
    case SW_RESTORE:
      hwnd->visible = true;
      hwnd->minimised = false;
      hwnd->maximised = false;
      if (hwnd->sdl) SDL_RestoreWindow(hwnd->sdl);
      break;
    default:
      hwnd->visible = true;
      if (hwnd->sdl) SDL_ShowWindow(hwnd->sdl);
      // Showing a window while none of this program's windows is active activates it.
      if (cmd != SW_SHOWNOACTIVATE && !State().active) {
        State().active = hwnd;
        Post(hwnd, WM_ACTIVATEAPP, 1, 0);
      }
      break;
  }
  return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd) { return Exists(hwnd) && hwnd->visible ? TRUE : FALSE; }

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
  if (!Exists(hwnd)) return FALSE;
  hwnd->rect = RECT{x, y, x + width, y + height};
  if (hwnd->sdl) {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRect(&frame, hwnd->style, FALSE);
    SDL_SetWindowPosition(hwnd->sdl, x - frame.left, y - frame.top);
    SDL_SetWindowSize(hwnd->sdl, std::max(1, width - (frame.right - frame.left)),
                      std::max(1, height - (frame.bottom - frame.top)));
  }
  return TRUE;
}

BOOL SetWindowTextA(HWND hwnd, const char* text) {
  if (!Exists(hwnd)) return FALSE;
  hwnd->title = text ? text : "";
  if (hwnd->sdl) SDL_SetWindowTitle(hwnd->sdl, hwnd->title.c_str());
  return TRUE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  if (!Exists(hwnd)) return FALSE;
  BOOL wasDisabled = hwnd->enabled ? FALSE : TRUE;
  bool now = enable != FALSE;
  if (now != hwnd->enabled) {
    hwnd->enabled = now;
    if (hwnd->proc) hwnd->proc(hwnd, WM_ENABLE, now ? 1 : 0, 0);
  }
  return wasDisabled;
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  if (!Exists(hwnd) || index != GWL_USERDATA) return 0;
  LONG_PTR old = hwnd->userData;
  hwnd->userData = value;
  return old;
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
  if (!Exists(hwnd) || index != GWL_USERDATA) return 0;
  return hwnd->userData;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  if (!Exists(hwnd) || !rect) return FALSE;
  if (hwnd->sdl) {
    int w = 0, h = 0;
    SDL_GetWindowSize(hwnd->sdl, &w, &h);
    *rect = RECT{0, 0, w, h};
    return TRUE;
  }
  RECT frame{0, 0, 0, 0};
  AdjustWindowRect(&frame, hwnd->style, FALSE);
  *rect = RECT{0, 0, std::max(0, (hwnd->rect.right - hwnd->rect.left) - (frame.right - frame.left)),
               std::max(0, (hwnd->rect.bottom - hwnd->rect.top) - (frame.bottom - frame.top))};
  return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  if (!Exists(hwnd) || !rect) return FALSE;
  *rect = hwnd->rect;
  return TRUE;
}

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement) {
  if (!Exists(hwnd) || !placement) return FALSE;
  if (hwnd->sdl) {
    Uint32 flags = SDL_GetWindowFlags(hwnd->sdl);
    if (flags & SDL_WINDOW_MINIMIZED) hwnd->minimised = true;
  }
  placement->showCmd = !hwnd->visible ? SW_HIDE
                       : hwnd->minimised ? SW_SHOWMINIMIZED
                       : hwnd->maximised ? SW_SHOWMAXIMIZED
                                         : SW_SHOWNORMAL;
  placement->rcNormalPosition = hwnd->rect;
  return TRUE;
}

BOOL SetForegroundWindow(HWND hwnd) {
  if (!Exists(hwnd)) return FALSE;
  if (hwnd->sdl) SDL_RaiseWindow(hwnd->sdl);
  State().active = hwnd;
  return TRUE;
}

HWND GetActiveWindow() { return State().active; }

HWND SetFocus(HWND hwnd) {
  HWND old = State().active;
  if (Exists(hwnd)) {
    State().active = hwnd;
    if (hwnd->sdl) SDL_SetWindowInputFocus(hwnd->sdl);
  }
  return old;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL) {
  if (!rect) return FALSE;
  // A caption bar and a thin border, as a typical desktop draws them.
  if (style & WS_CAPTION) {
    rect->left -= 3;
    rect->right += 3;
    rect->top -= 26;
    rect->bottom += 3;
  }
  return TRUE;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4 asks the window to close.
      if (wParam == static_cast<WPARAM>(VK_F4)) Post(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_QUERYOPEN:
      return 1;
    default:
      return 0;
  }
}

BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL) {
  if (!Exists(hwnd)) return FALSE;
  Post(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

const char* GetWindowClassName(HWND hwnd) { return Exists(hwnd) ? hwnd->className.c_str() : ""; }

int EnumWindowCount() { return static_cast<int>(State().windows.size()); }

SDL_Window* GetSDLWindow(HWND hwnd) {
  std::lock_guard<std::recursive_mutex> g(State().windowsLock);  // the cursor thread asks too
  return Exists(hwnd) ? hwnd->sdl : nullptr;
}

HWND FindWindowBySDLId(std::uint32_t sdlWindowId) {
  for (HWND w : State().windows)
    if (w->sdl && w->sdlId == sdlWindowId) return w;
  return nullptr;
}

// ---- Capture and cursor position ----

HWND SetCapture(HWND hwnd) {
  HWND old = State().capture;
  State().capture = Exists(hwnd) ? hwnd : nullptr;
  if (State().videoOk && hwnd && hwnd->sdl) SDL_CaptureMouse(SDL_TRUE);
  return old;
}

BOOL ReleaseCapture() {
  State().capture = nullptr;
  if (State().videoOk) SDL_CaptureMouse(SDL_FALSE);
  return TRUE;
}

HWND GetCapture() { return State().capture; }

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  auto& s = State();
  if (s.videoOk && SDL_GetMouseFocus() != nullptr) {
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    *point = POINT{x, y};
    return TRUE;
  }
  std::lock_guard<std::recursive_mutex> g(s.queueLock);
  *point = s.lastCursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  {
    std::lock_guard<std::recursive_mutex> g(State().queueLock);
    State().lastCursor = POINT{x, y};
  }
  if (State().videoOk && !IsHeadless()) SDL_WarpMouseGlobal(x, y);
  return TRUE;
}

namespace {
POINT ClientOrigin(HWND hwnd) {
  if (hwnd->sdl) {
    int x = 0, y = 0;
    SDL_GetWindowPosition(hwnd->sdl, &x, &y);
    return POINT{x, y};
  }
  RECT frame{0, 0, 0, 0};
  AdjustWindowRect(&frame, hwnd->style, FALSE);
  return POINT{hwnd->rect.left - frame.left, hwnd->rect.top - frame.top};
}
}  // namespace

BOOL ScreenToClient(HWND hwnd, POINT* point) {
  std::lock_guard<std::recursive_mutex> g(State().windowsLock);
  if (!Exists(hwnd) || !point) return FALSE;
  POINT o = ClientOrigin(hwnd);
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
  std::lock_guard<std::recursive_mutex> g(State().windowsLock);
  if (!Exists(hwnd) || !point) return FALSE;
  POINT o = ClientOrigin(hwnd);
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

HWND WindowFromPoint(POINT point) {
  auto& w = State().windows;
  for (auto it = w.rbegin(); it != w.rend(); ++it) {
    HWND h = *it;
    if (!h->visible) continue;
    RECT client;
    GetClientRect(h, &client);
    POINT p = point;
    ScreenToClient(h, &p);
    if (p.x >= 0 && p.y >= 0 && p.x < client.right && p.y < client.bottom) return h;
  }
  return nullptr;
}

// ---- Cursors ----

HCURSOR LoadCursorA(HINSTANCE, int id) {
  auto& s = State();
  auto& slot = s.systemCursors[id];
  if (!slot) {
    slot = std::make_unique<CursorObject>();
    slot->system = true;
    if (InitVideo()) {
      SDL_SystemCursor kind = SDL_SYSTEM_CURSOR_ARROW;
      switch (id) {
        case IDC_IBEAM: kind = SDL_SYSTEM_CURSOR_IBEAM; break;
        case IDC_WAIT: kind = SDL_SYSTEM_CURSOR_WAIT; break;
        case IDC_SIZENWSE: kind = SDL_SYSTEM_CURSOR_SIZENWSE; break;
        case IDC_SIZENESW: kind = SDL_SYSTEM_CURSOR_SIZENESW; break;
        case IDC_SIZEWE: kind = SDL_SYSTEM_CURSOR_SIZEWE; break;
        case IDC_SIZENS: kind = SDL_SYSTEM_CURSOR_SIZENS; break;
        case IDC_SIZEALL: kind = SDL_SYSTEM_CURSOR_SIZEALL; break;
        case IDC_NO: kind = SDL_SYSTEM_CURSOR_NO; break;
        case IDC_HAND: kind = SDL_SYSTEM_CURSOR_HAND; break;
        default: break;
      }
      slot->sdl = SDL_CreateSystemCursor(kind);
    }
  }
  return slot.get();
}

HCURSOR CreateCursor(HINSTANCE, int hotX, int hotY, int width, int height, const void* andMask, const void* xorMask) {
  if (width <= 0 || height <= 0 || (width % 8) != 0 || !andMask || !xorMask) return nullptr;
  auto* cursor = new CursorObject;
  if (InitVideo()) {
    // Windows masks: AND 1 + XOR 0 is transparent, AND 0 + XOR 0 black, AND 0 + XOR 1 white.
    // SDL wants data (1 black) and mask (1 opaque).
    const int bytes = width / 8 * height;
    std::vector<Uint8> data(static_cast<std::size_t>(bytes)), mask(static_cast<std::size_t>(bytes));
    const auto* a = static_cast<const Uint8*>(andMask);
    const auto* x = static_cast<const Uint8*>(xorMask);
    for (int i = 0; i < bytes; ++i) {
      mask[static_cast<std::size_t>(i)] = static_cast<Uint8>(~a[i] | x[i]);
      data[static_cast<std::size_t>(i)] = static_cast<Uint8>(~a[i] & ~x[i]);
    }
    cursor->sdl = SDL_CreateCursor(data.data(), mask.data(), width, height, hotX, hotY);
  }
  return cursor;
}

BOOL DestroyCursor(HCURSOR cursor) {
  if (!cursor || cursor->system) return FALSE;
  auto& s = State();
  if (s.currentCursor == cursor) s.currentCursor = nullptr;
  if (cursor->sdl) SDL_FreeCursor(cursor->sdl);
  delete cursor;
  return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
  auto& s = State();
  HCURSOR old = s.currentCursor;
  s.currentCursor = cursor;
  if (s.videoOk) {
    if (cursor && cursor->sdl) {
      SDL_SetCursor(cursor->sdl);
      SDL_ShowCursor(SDL_ENABLE);
    } else {
      SDL_ShowCursor(SDL_DISABLE);
    }
  }
  return old;
}

HCURSOR GetCursor() { return State().currentCursor; }

int ShowCursor(BOOL show) {
  auto& s = State();
  const bool wasVisible = s.cursorShowCount >= 0;
  s.cursorShowCount += show ? 1 : -1;
  const bool visible = s.cursorShowCount >= 0;
  if (s.videoOk && visible != wasVisible) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
  return s.cursorShowCount;
}

// ---- System metrics ----

void SetHeadlessDesktopSize(int width, int height) {
  State().headlessDesktopW = width;
  State().headlessDesktopH = height;
}

namespace {
SIZE DesktopSize() {
  if (InitVideo() && !IsHeadless()) {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) return SIZE{mode.w, mode.h};
  }
  return SIZE{State().headlessDesktopW, State().headlessDesktopH};
}
}  // namespace

BOOL EnumDisplaySettingsA(const char*, DWORD modeNumber, DEVMODEA* mode) {
  if (mode == nullptr || modeNumber != ENUM_CURRENT_SETTINGS) return FALSE;
  const SIZE d = DesktopSize();
  int bits = 32;
  SDL_DisplayMode current;
  if (InitVideo() && !IsHeadless() && SDL_GetDesktopDisplayMode(0, &current) == 0 &&
      SDL_BITSPERPIXEL(current.format) <= 16)
    bits = 16;
  mode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
  mode->dmBitsPerPel = static_cast<DWORD>(bits);
  mode->dmPelsWidth = static_cast<DWORD>(d.cx);
  mode->dmPelsHeight = static_cast<DWORD>(d.cy);
  return TRUE;
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD) {
  if (mode == nullptr) return DISP_CHANGE_SUCCESSFUL;
  DEVMODEA current;
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current)) return DISP_CHANGE_FAILED;
  const bool same = (!(mode->dmFields & DM_PELSWIDTH) || mode->dmPelsWidth == current.dmPelsWidth) &&
                    (!(mode->dmFields & DM_PELSHEIGHT) || mode->dmPelsHeight == current.dmPelsHeight) &&
                    (!(mode->dmFields & DM_BITSPERPEL) || mode->dmBitsPerPel == current.dmBitsPerPel);
  return same ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_FAILED;
}

int GetSystemMetrics(int index) {
  SIZE d = DesktopSize();
  switch (index) {
    case SM_CXSCREEN: return d.cx;
    case SM_CYSCREEN: return d.cy;
    case SM_CXFULLSCREEN: return d.cx;
    case SM_CYFULLSCREEN: return d.cy - 26;  // the screen less a caption bar
    default: return 0;
  }
}

namespace {
std::atomic<int> gScreenSaverTimeout{600};
}  // namespace

void SetScreenSaverTimeout(int seconds) { gScreenSaverTimeout = seconds; }

BOOL SystemParametersInfoA(UINT action, UINT, void* out, UINT) {
  switch (action) {
    case SPI_GETWORKAREA: {
      if (!out) return FALSE;
      RECT area{0, 0, 0, 0};
      SDL_Rect usable;
      if (InitVideo() && !IsHeadless() && SDL_GetDisplayUsableBounds(0, &usable) == 0) {
        area = RECT{usable.x, usable.y, usable.x + usable.w, usable.y + usable.h};
      } else {
        SIZE d = DesktopSize();
        area = RECT{0, 0, d.cx, d.cy};
      }
      *static_cast<RECT*>(out) = area;
      return TRUE;
    }
    case SPI_GETSCREENSAVETIMEOUT:
      if (out) *static_cast<int*>(out) = gScreenSaverTimeout.load();
      return TRUE;
    case SPI_GETSCREENSAVEACTIVE:
      // Active when the video system lets the screensaver run while our windows are up.
      if (out) *static_cast<BOOL*>(out) = InitVideo() && SDL_IsScreenSaverEnabled() ? TRUE : FALSE;
      return TRUE;
    case SPI_GETSCREENSAVERRUNNING:
      // Whether it runs cannot be asked here: the question fails, as the caller allows.
      return FALSE;
    case SPI_SCREENSAVERRUNNING:
      return TRUE;
    default:
      return FALSE;
  }
}

// ---- Messages ----

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) return FALSE;
  auto& s = State();
  PumpSDL();
  PumpRegisteredMessages();
  PumpTimers();
  std::lock_guard<std::recursive_mutex> g(s.queueLock);
  for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
    if (!Matches(*it, hwnd, filterMin, filterMax)) continue;
    *msg = *it;
    if (removeFlags & PM_REMOVE) s.queue.erase(it);
    return TRUE;
  }
  return FALSE;
}

// The character a key makes is the next message read, as on Windows: typed text that is
// already waiting (read from the system with the key) comes after it, not before.
BOOL TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  if (msg->message == WM_KEYDOWN) {
    switch (static_cast<int>(msg->wParam)) {
      case VK_RETURN: PostNext(msg->hwnd, WM_CHAR, '\r', msg->lParam); return TRUE;
      case VK_BACK: PostNext(msg->hwnd, WM_CHAR, '\b', msg->lParam); return TRUE;
      case VK_ESCAPE: PostNext(msg->hwnd, WM_CHAR, 27, msg->lParam); return TRUE;
      case VK_TAB: PostNext(msg->hwnd, WM_CHAR, '\t', msg->lParam); return TRUE;
      default: return FALSE;
    }
  }
  if (msg->message == WM_SYSKEYDOWN) {
    int vk = static_cast<int>(msg->wParam);
    if (vk == VK_RETURN) {
      PostNext(msg->hwnd, WM_SYSCHAR, '\r', msg->lParam);
      return TRUE;
    }
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) {
      PostNext(msg->hwnd, WM_SYSCHAR, static_cast<WPARAM>(vk >= 'A' && vk <= 'Z' ? vk - 'A' + 'a' : vk), msg->lParam);
      return TRUE;
    }
  }
  return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !Exists(msg->hwnd) || !msg->hwnd->proc) return 0;
  if (msg->message >= WM_MOUSEMOVE && msg->message <= WM_MBUTTONDBLCLK) {
    // Remember where the pointer was, in screen coordinates, for GetCursorPos.
    POINT p{GET_X_LPARAM(msg->lParam), GET_Y_LPARAM(msg->lParam)};
    ClientToScreen(msg->hwnd, &p);
    std::lock_guard<std::recursive_mutex> g(State().queueLock);  // the cursor thread reads it
    State().lastCursor = p;
  }
  return msg->hwnd->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto& s = State();
  if (hwnd == HWND_BROADCAST) {
    std::string name;
    {
      std::lock_guard<std::recursive_mutex> g(s.queueLock);
      auto it = s.registeredNames.find(message);
      if (it != s.registeredNames.end()) name = it->second;
      for (HWND w : s.windows) Post(w, message, wParam, lParam);
    }
    if (!name.empty()) SendRegisteredMessage(name);
    return TRUE;
  }
  std::lock_guard<std::recursive_mutex> g(s.queueLock);
  if (hwnd && !Exists(hwnd)) return FALSE;
  Post(hwnd, message, wParam, lParam);
  return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!Exists(hwnd) || !hwnd->proc) return 0;
  return hwnd->proc(hwnd, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) { Post(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0); }

UINT RegisterWindowMessageA(const char* name) {
  if (!name || !*name) return 0;
  auto& s = State();
  std::lock_guard<std::recursive_mutex> g(s.queueLock);
  auto it = s.registeredIds.find(name);
  if (it != s.registeredIds.end()) return it->second;
  UINT id = s.nextRegisteredId++;
  s.registeredIds[name] = id;
  s.registeredNames[id] = name;
  ListenForRegisteredMessage(name);
  return id;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, void*) {
  auto& s = State();
  if (!Exists(hwnd)) return 0;
  std::lock_guard<std::recursive_mutex> g(s.queueLock);
  for (auto& t : s.timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t.elapse = std::max<UINT>(elapse, 1);
      t.last = timeGetTime();
      return id;
    }
  }
  s.timers.push_back(TimerRecord{hwnd, id, std::max<UINT>(elapse, 1), timeGetTime()});
  return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  auto& s = State();
  std::lock_guard<std::recursive_mutex> g(s.queueLock);
  auto before = s.timers.size();
  s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(),
                                [&](const TimerRecord& t) { return t.hwnd == hwnd && t.id == id; }),
                 s.timers.end());
  return s.timers.size() != before ? TRUE : FALSE;
}

int PendingMessageCount() {
  auto& s = State();
  std::lock_guard<std::recursive_mutex> g(s.queueLock);
  return static_cast<int>(s.queue.size());
}

void ResetMessageQueue() {
  auto& s = State();
  std::lock_guard<std::recursive_mutex> g(s.queueLock);
  s.queue.clear();
  s.timers.clear();
}

}  // namespace plat
