// Message boxes through SDL2, or on stderr when there is no display.
#include "platform/MessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/Window.h"

namespace plat {

namespace {
std::mutex gHookLock;
MessageBoxHook gHook;

std::string Narrow(const wchar_t* w) {
  std::string out;
  for (; w && *w; ++w) out.push_back(static_cast<std::uint32_t>(*w) < 256 ? static_cast<char>(*w) : '?');
  return out;
}
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard<std::mutex> g(gHookLock);
  gHook = std::move(hook);
}

int DefaultMessageBoxAnswer(UINT flags) {
  bool second = (flags & MB_DEFBUTTON2) != 0;
  switch (flags & 0xF) {
    case MB_OKCANCEL: return second ? IDCANCEL : IDOK;
    case MB_YESNO: return second ? IDNO : IDYES;
    case MB_YESNOCANCEL: return second ? IDNO : IDYES;
    default: return IDOK;
  }
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT flags) {
  std::string t = text ? text : "", c = caption ? caption : "";
  {
    std::lock_guard<std::mutex> g(gHookLock);
    if (gHook) return gHook(t, c, flags);
  }
  if (IsHeadless()) {
    std::fprintf(stderr, "%s: %s\n", c.c_str(), t.c_str());
    return DefaultMessageBoxAnswer(flags);
  }
  std::vector<SDL_MessageBoxButtonData> buttons;
  bool second = (flags & MB_DEFBUTTON2) != 0;
  auto add = [&](int id, const char* label, bool isDefault, bool isEscape) {
    Uint32 f = 0;
    if (isDefault) f |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (isEscape) f |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    buttons.push_back(SDL_MessageBoxButtonData{f, id, label});
  };
  switch (flags & 0xF) {
    case MB_OKCANCEL: add(IDOK, "OK", !second, false); add(IDCANCEL, "Cancel", second, true); break;
    case MB_YESNO: add(IDYES, "Yes", !second, false); add(IDNO, "No", second, true); break;
    case MB_YESNOCANCEL:
      add(IDYES, "Yes", !second, false); add(IDNO, "No", second, false); add(IDCANCEL, "Cancel", false, true);
      break;
    default: add(IDOK, "OK", true, true); break;
  }
  Uint32 kind = SDL_MESSAGEBOX_INFORMATION;
  if ((flags & 0xF0) == MB_ICONERROR) kind = SDL_MESSAGEBOX_ERROR;
  if ((flags & 0xF0) == MB_ICONWARNING) kind = SDL_MESSAGEBOX_WARNING;
  SDL_MessageBoxData data{kind, GetSDLWindow(owner), c.c_str(), t.c_str(), static_cast<int>(buttons.size()),
                          buttons.data(), nullptr};
  int chosen = 0;
  if (SDL_ShowMessageBox(&data, &chosen) != 0 || chosen <= 0) {
    std::fprintf(stderr, "%s: %s\n", c.c_str(), t.c_str());
    return DefaultMessageBoxAnswer(flags);
  }
  return chosen;
}

int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags) {
  return MessageBoxA(owner, Narrow(text).c_str(), Narrow(caption).c_str(), flags);
}

}  // namespace plat
