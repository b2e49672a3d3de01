// SDL2 events as the window procedure sees them: keys with virtual-key codes (Alt makes
// them system keys), typed text as characters, double clicks, wheel steps, activation,
// minimising, closing, and a quit request closing every framed window.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Messages.h"
#include "platform/Window.h"

using namespace plat;

namespace {

class SdlInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitVideo());
    WNDCLASSA wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "SdlInputTestWindow";
    RegisterClassA(&wc);
    hwnd = CreateWindowExA(0, "SdlInputTestWindow", "t", WS_CAPTION, 10, 10, 200, 100, nullptr, nullptr, nullptr,
                           nullptr);
    ASSERT_NE(GetSDLWindow(hwnd), nullptr);
    id = SDL_GetWindowID(GetSDLWindow(hwnd));
    Drain();
  }
  void TearDown() override { DestroyWindow(hwnd); }

  std::vector<MSG> Drain() {
    std::vector<MSG> out;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
      if (m.message != WM_PAINT && m.message != WM_MOVE) out.push_back(m);
    return out;
  }
  void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1); }
  SDL_Event Key(Uint32 type, SDL_Keycode sym, Uint16 mod) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = id;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    return e;
  }

  HWND hwnd = nullptr;
  Uint32 id = 0;
};

}  // namespace

TEST_F(SdlInputTest, KeysBecomeVirtualKeysAndAltMakesThemSystemKeys) {
  struct Case { Uint32 type; SDL_Keycode sym; Uint16 mod; UINT msg; int vk; };
  const Case cases[] = {
      {SDL_KEYDOWN, SDLK_a, KMOD_NONE, WM_KEYDOWN, 'A'},
      {SDL_KEYUP, SDLK_7, KMOD_NONE, WM_KEYUP, '7'},
      {SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT, WM_SYSKEYDOWN, VK_RETURN},
      {SDL_KEYDOWN, SDLK_F4, KMOD_LALT, WM_SYSKEYDOWN, VK_F4},
      {SDL_KEYDOWN, SDLK_LCTRL, KMOD_LCTRL, WM_KEYDOWN, VK_CONTROL},
      {SDL_KEYDOWN, SDLK_LEFT, KMOD_NONE, WM_KEYDOWN, VK_LEFT},
      {SDL_KEYDOWN, SDLK_F1, KMOD_NONE, WM_KEYDOWN, VK_F1},
      {SDL_KEYDOWN, SDLK_ESCAPE, KMOD_NONE, WM_KEYDOWN, VK_ESCAPE},
      {SDL_KEYDOWN, SDLK_SPACE, KMOD_NONE, WM_KEYDOWN, VK_SPACE},
  };
  for (const auto& c : cases) {
    Push(Key(c.type, c.sym, c.mod));
    auto out = Drain();
    ASSERT_EQ(out.size(), 1u) << c.vk;
    EXPECT_EQ(out[0].hwnd, hwnd);
    EXPECT_EQ(out[0].message, c.msg) << c.vk;
    EXPECT_EQ(static_cast<int>(out[0].wParam), c.vk);
  }
}

TEST_F(SdlInputTest, TextBecomesCharactersAndSecondClicksAreDoubleClicks) {
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  text.text.windowID = id;
  SDL_strlcpy(text.text.text, "a\xC3\xA9", sizeof(text.text.text));  // "aé" in UTF-8
  Push(text);
  auto chars = Drain();
  ASSERT_EQ(chars.size(), 2u);
  EXPECT_EQ(chars[0].message, WM_CHAR);
  EXPECT_EQ(chars[0].wParam, static_cast<WPARAM>('a'));
  EXPECT_EQ(chars[1].wParam, 0xE9u);

  struct Case { Uint8 button; Uint8 clicks; Uint32 type; UINT msg; };
  const Case cases[] = {
      {SDL_BUTTON_LEFT, 1, SDL_MOUSEBUTTONDOWN, WM_LBUTTONDOWN},
      {SDL_BUTTON_LEFT, 2, SDL_MOUSEBUTTONDOWN, WM_LBUTTONDBLCLK},
      {SDL_BUTTON_LEFT, 3, SDL_MOUSEBUTTONDOWN, WM_LBUTTONDOWN},
      {SDL_BUTTON_LEFT, 2, SDL_MOUSEBUTTONUP, WM_LBUTTONUP},
      {SDL_BUTTON_RIGHT, 2, SDL_MOUSEBUTTONDOWN, WM_RBUTTONDBLCLK},
      {SDL_BUTTON_MIDDLE, 1, SDL_MOUSEBUTTONUP, WM_MBUTTONUP},
  };
  for (const auto& c : cases) {
    SDL_Event e{};
    e.type = c.type;
    e.button.windowID = id;
    e.button.button = c.button;
    e.button.clicks = c.clicks;
    e.button.x = 30;
    e.button.y = -4;
    Push(e);
    auto out = Drain();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].message, c.msg);
    EXPECT_EQ(GET_X_LPARAM(out[0].lParam), 30);
    EXPECT_EQ(GET_Y_LPARAM(out[0].lParam), -4);
  }

  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.windowID = id;
  wheel.wheel.y = -2;
  Push(wheel);
  auto w = Drain();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].message, WM_MOUSEWHEEL);
  EXPECT_EQ(static_cast<std::int16_t>(HIWORD(w[0].wParam)), -240);
}

// Keys typed faster than the program reads them: a line break or an erase made by
// TranslateMessage from its key comes before the characters typed after that key.
TEST_F(SdlInputTest, FastTypingKeepsItsOrderThroughTranslatedKeys) {
  for (char c : std::string("ab\rcd\be\r")) {
    if (c == '\r' || c == '\b') {
      Push(Key(SDL_KEYDOWN, c == '\r' ? SDLK_RETURN : SDLK_BACKSPACE, KMOD_NONE));
      Push(Key(SDL_KEYUP, c == '\r' ? SDLK_RETURN : SDLK_BACKSPACE, KMOD_NONE));
      continue;
    }
    Push(Key(SDL_KEYDOWN, c, KMOD_NONE));
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    text.text.windowID = id;
    text.text.text[0] = c;
    Push(text);
    Push(Key(SDL_KEYUP, c, KMOD_NONE));
  }
  std::string typed;
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    if (m.message == WM_CHAR) typed += static_cast<char>(m.wParam);
  }
  EXPECT_EQ(typed, "ab\rcd\be\r");
}

TEST_F(SdlInputTest, WindowEventsAndQuit) {
  struct Case { Uint8 event; UINT msg; WPARAM wParam; };
  const Case cases[] = {
      {SDL_WINDOWEVENT_FOCUS_LOST, WM_ACTIVATEAPP, 0},
      {SDL_WINDOWEVENT_FOCUS_GAINED, WM_ACTIVATEAPP, 1},
      {SDL_WINDOWEVENT_MINIMIZED, WM_SIZE, SIZE_MINIMIZED},
      {SDL_WINDOWEVENT_RESTORED, WM_SIZE, SIZE_RESTORED},
      {SDL_WINDOWEVENT_MAXIMIZED, WM_SIZE, SIZE_MAXIMIZED},
      {SDL_WINDOWEVENT_CLOSE, WM_CLOSE, 0},
  };
  for (const auto& c : cases) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = id;
    e.window.event = c.event;
    Push(e);
    auto out = Drain();
    ASSERT_EQ(out.size(), 1u) << int(c.event);
    EXPECT_EQ(out[0].message, c.msg);
    EXPECT_EQ(out[0].wParam, c.wParam);
  }

  // A quit request (SIGINT, SIGTERM, the desktop) closes every window that has a frame;
  // a window without one (the invisible message window) gets nothing.
  HWND invisible = CreateWindowExA(0, "SdlInputTestWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  Push(quit);
  auto out = Drain();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].message, WM_CLOSE);
  EXPECT_EQ(out[0].hwnd, hwnd);
  DestroyWindow(invisible);
}
