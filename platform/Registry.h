// The per-user settings store in the shape of the registry calls the framework makes:
// HKEY_CURRENT_USER as a tree of keys holding REG_SZ, REG_DWORD and REG_BINARY values.
// Everything under "SOFTWARE\<name>" is kept in one file per <name> under
// $XDG_CONFIG_HOME/quorvane (default ~/.config/quorvane), written to a temporary file and
// renamed, so a crash mid-write leaves the old file whole. A file that cannot be read or
// does not parse counts as empty; it is kept aside as "<file>.corrupt" when next written.
#pragma once

#include <string>

#include "platform/Types.h"

namespace plat {

struct RegistryKeyObject;
using HKEY = RegistryKeyObject*;

// The one hive the framework uses.
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD KEY_WRITE = 0x20006;
constexpr DWORD KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

// Key paths use '\' and compare without regard to letter case.
LONG RegOpenKeyExA(HKEY parent, const char* subKey, DWORD options, DWORD access, HKEY* result);
LONG RegCreateKeyExA(HKEY parent, const char* subKey, DWORD reserved, const char* keyClass, DWORD options,
                     DWORD access, void* security, HKEY* result, DWORD* disposition);
// Writes the whole store file of the key at once (temporary file + rename). Fails with
// ERROR_ACCESS_DENIED when the file cannot be written; the old file is then untouched.
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
// Fills type, data and size. With a buffer too small: ERROR_MORE_DATA and *size = the size needed.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LONG RegDeleteValueA(HKEY key, const char* valueName);
LONG RegCloseKey(HKEY key);

// The folder holding the store files (tests point it at a temporary folder; empty restores
// the default from the environment).
void SetRegistryFolder(const std::string& folder);
std::string GetRegistryFolder();

}  // namespace plat
