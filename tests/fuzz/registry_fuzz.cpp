// The settings store's file reader on arbitrary bytes: the file is read as a store, its
// values queried, and one value written back through a rename. Nothing may crash or run
// past a buffer, whatever the file holds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/Registry.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = ScratchFolder() + "/registry";
  static bool ready = [] {
    plat::SetRegistryFolder(folder);
    return true;
  }();
  (void)ready;
  std::string dir = folder;
  std::string file = dir + "/fuzz.reg";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) {
    // The folder is made by the first write.
    plat::HKEY key = nullptr;
    plat::RegCreateKeyExA(plat::HKEY_CURRENT_USER, "SOFTWARE\\Fuzz", 0, "Key", 0, plat::KEY_ALL_ACCESS, nullptr, &key,
                          nullptr);
    if (key) plat::RegCloseKey(key);
    f = std::fopen(file.c_str(), "wb");
    if (!f) return 0;
  }
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  for (const char* path : {"SOFTWARE\\Fuzz", "SOFTWARE\\Fuzz\\Test3D", "SOFTWARE\\fuzz\\a\\b"}) {
    plat::HKEY key = nullptr;
    if (plat::RegOpenKeyExA(plat::HKEY_CURRENT_USER, path, 0, plat::KEY_READ, &key) != plat::ERROR_SUCCESS) continue;
    for (const char* name : {"MusicVolume", "", "RuntimeError", "x"}) {
      plat::BYTE small[4];
      plat::DWORD type = 0, len = sizeof(small);
      plat::RegQueryValueExA(key, name, nullptr, &type, small, &len);
      len = 0;
      plat::RegQueryValueExA(key, name, nullptr, &type, nullptr, &len);
    }
    const plat::BYTE value[4] = {1, 2, 3, 4};
    plat::RegSetValueExA(key, "Written", 0, plat::REG_DWORD, value, 4);
    plat::RegCloseKey(key);
  }
  std::remove((file + ".corrupt").c_str());
  return 0;
}
