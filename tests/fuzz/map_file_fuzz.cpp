// libFuzzer target: arbitrary bytes as a map file. A map that is accepted holds exactly
// as many rows as its height, none longer than its width; the list's default record is
// untouched whatever was read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "game/MapList.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = WriteScratchFile("fuzz.map", data, size);

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
