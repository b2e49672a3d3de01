// The executable's path from /proc, the XDG data folder and the working directory.
#include "platform/Folders.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace plat {

std::string GetModuleFileName() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
    buf.resize(buf.size() * 2);
  }
}

DWORD GetModuleFileNameA(void*, char* buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  std::string path = GetModuleFileName();
  std::size_t n = std::min<std::size_t>(path.size(), size - 1);
  std::memcpy(buffer, path.data(), n);
  buffer[n] = 0;
  return static_cast<DWORD>(n);
}

std::string GetAppDataPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return data;
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.local/share";
  return {};
}

HRESULT SHGetFolderPathA(void*, int folder, void*, DWORD, char* path) {
  if (!path || (folder & 0xFF) != CSIDL_APPDATA) return E_FAIL;
  std::string p = GetAppDataPath();
  if (p.empty() || p.size() >= MAX_PATH) return E_FAIL;
  std::memcpy(path, p.c_str(), p.size() + 1);
  return S_OK;
}

BOOL SetCurrentDirectoryA(const char* path) {
  if (!path || !*path) return FALSE;
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  return chdir(p.c_str()) == 0 ? TRUE : FALSE;
}

std::string GetCurrentDirectory() {
  std::vector<char> buf(1024);
  while (!getcwd(buf.data(), buf.size())) {
    if (buf.size() > (1u << 20)) return {};
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

}  // namespace plat
