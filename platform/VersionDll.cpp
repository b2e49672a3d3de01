// "version.dll": GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA over a
// version block that holds the build's product version for every file that exists.
#include "platform/VersionDll.h"

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/Module.h"
#include "platform/Types.h"

namespace plat {

namespace {

constexpr const char* kProductVersionKey = "\\StringFileInfo\\040904B0\\ProductVersion";

DWORD BlockSize() { return static_cast<DWORD>(std::strlen(kBuildProductVersion) + 1); }

bool FileExists(const char* path) {
  struct stat info;
  return path != nullptr && stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

DWORD GetFileVersionInfoSizeA(const char* path, DWORD* handle) {
  if (handle != nullptr) *handle = 0;
  return FileExists(path) ? BlockSize() : 0;
}

int GetFileVersionInfoA(const char* path, DWORD handle, DWORD size, void* data) {
  if (!FileExists(path) || data == nullptr || size < BlockSize()) return 0;
  std::memcpy(data, kBuildProductVersion, BlockSize());
  return 1;
}

int VerQueryValueA(const void* block, const char* key, void** value, UINT* length) {
  if (block == nullptr || key == nullptr || value == nullptr || std::strcmp(key, kProductVersionKey) != 0) return 0;
  *value = const_cast<void*>(block);
  if (length != nullptr) *length = static_cast<UINT>(std::strlen(static_cast<const char*>(block)) + 1);
  return 1;
}

}  // namespace

void RegisterVersionModule() {
  RegisterModule("version.dll", {{"GetFileVersionInfoSizeA", reinterpret_cast<FARPROC>(&GetFileVersionInfoSizeA)},
                                 {"GetFileVersionInfoA", reinterpret_cast<FARPROC>(&GetFileVersionInfoA)},
                                 {"VerQueryValueA", reinterpret_cast<FARPROC>(&VerQueryValueA)}});
}

}  // namespace plat
