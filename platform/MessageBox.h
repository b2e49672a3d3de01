// Message boxes: an SDL2 message box on a real display; headless, the caption and text go
// to stderr and the default button answers. A test can take the boxes over with a hook.
#pragma once

#include <functional>
#include <string>

#include "platform/Messages.h"
#include "platform/Types.h"

namespace plat {

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_DEFBUTTON2 = 0x100;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows the box and returns the button chosen.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT flags);
// Wide texts keep characters below 256 and show others as '?'.
int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);

// The answer a box gets when nobody can click it: its default button.
int DefaultMessageBoxAnswer(UINT flags);

// Replaces every box with `hook(text, caption, flags)` (nullptr restores real boxes).
using MessageBoxHook = std::function<int(const std::string& text, const std::string& caption, UINT flags)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace plat
