// libFuzzer target: arbitrary bytes as a map file. A map that is accepted holds exactly
// as many rows as its height, none longer than its width; the list's default record is
// untouched whatever was read.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "game/MapList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    auto d = std::filesystem::temp_directory_path() / "quorvane_map_fuzz";
    std::filesystem::create_directories(d);
    return (d / "fuzz.map").string();
  }();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  Doduderor::MapList list;
  list.ReadMap(path);
  if (list.Count() > 1) __builtin_trap();
  if (list.Count() == 1) {
    const Doduderor::MapRecord& map = list.At(0);
    if (map.rows.size() != map.height || map.title.size() > 15 || map.kind.size() > 1) __builtin_trap();
    for (const std::string& row : map.rows) {
      if (row.size() > map.width) __builtin_trap();
    }
  }
  const Doduderor::MapRecord& none = list.At(1);
  if (none.width != 0 || none.height != 0) __builtin_trap();
  return 0;
}
