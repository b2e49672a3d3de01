// libFuzzer target: arbitrary bytes as a player file "save/<name>.usr", read into a player
// and loaded into the list. Whatever the bytes, the stored name never exceeds its field and
// the list never holds an empty or repeated name.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "game/Player.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / "quorvane_player_fuzz";
    std::filesystem::create_directories(d / "save");
    std::filesystem::current_path(d);
    return d;
  }();
  for (const char* name : {"save/a.usr", "save/b.usr"}) {
    std::FILE* f = std::fopen(name, "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  Doduderor::Player player;
  if (Doduderor::ReadPlayerFile(&player, "save/a.usr") && player.name.size() > Doduderor::kPlayerNameWidth)
    __builtin_trap();
  Doduderor::PlayerList* list = Doduderor::GetPlayerList();
  Doduderor::LoadAllPlayers(list);
  std::set<std::string> seen;
  for (const Doduderor::Player* p : *list) {
    if (p->name.empty() || !seen.insert(p->name).second) __builtin_trap();
  }
  if (list->size() > 1) __builtin_trap();  // both files hold the same name
  Doduderor::FreePlayerList();
  return 0;
}
