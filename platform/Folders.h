// Where the program's files live: the executable's own path, the per-user data folder and
// the working directory.
#pragma once

#include <string>

#include "platform/Types.h"

namespace plat {

constexpr int CSIDL_APPDATA = 0x001A;
constexpr int CSIDL_FLAG_CREATE = 0x8000;

// The full path of the running executable (an empty text when it cannot be read). The
// copy into `buffer` is cut to `size` - 1 characters; returns the characters copied.
DWORD GetModuleFileNameA(void* module, char* buffer, DWORD size);
std::string GetModuleFileName();

// CSIDL_APPDATA: $XDG_DATA_HOME, else ~/.local/share. S_OK, or E_FAIL when there is none.
HRESULT SHGetFolderPathA(void* owner, int folder, void* token, DWORD flags, char* path);
std::string GetAppDataPath();

BOOL SetCurrentDirectoryA(const char* path);
std::string GetCurrentDirectory();

}  // namespace plat
