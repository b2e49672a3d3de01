// libFuzzer target: arbitrary bytes as a player file "save/<name>.usr", read into a player
// and loaded into the list. Whatever the bytes, the stored name never exceeds its field and
// the list never holds an empty or repeated name.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "game/Player.h"
#include "tests/fuzz/fuzz_support.h"

// As many maps as the game ships.
constexpr std::size_t kMapCount = 26;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The player list reads "save/" under the working folder: the scratch folder.
  static const bool ready = [] {
    std::filesystem::create_directories(ScratchFolder() + "/save");
    std::filesystem::current_path(ScratchFolder());
    return true;
  }();
  (void)ready;
  WriteScratchFile("save/a.usr", data, size);
  WriteScratchFile("save/b.usr", data, size);
  Doduderor::Player player;
  if (Doduderor::ReadPlayerFile(&player, "save/a.usr", kMapCount) && player.name.size() > Doduderor::kPlayerNameWidth)
    __builtin_trap();
  Doduderor::PlayerList* list = Doduderor::GetPlayerList();
  Doduderor::LoadAllPlayers(list, kMapCount);
  std::set<std::string> seen;
  for (const Doduderor::Player* p : *list) {
    if (p->name.empty() || !seen.insert(p->name).second) __builtin_trap();
    if (p->mapIndex >= kMapCount && p->mapIndex != Doduderor::kNoMapIndex) __builtin_trap();
  }
  if (list->size() > 1) __builtin_trap();  // both files hold the same name
  Doduderor::FreePlayerList();
  return 0;
}
