// Player profiles: one small file per player under "save/" (whether it is the current
// player, its name, its map and whether its tutorial is still due), all held in one
// process-wide list that is loaded at start and saved at shut-down, at the end of the
// tutorial, and whenever a player is created or deleted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Doduderor {

// One profile. A new player is not current, has no name, map 0 and the tutorial due.
struct Player {
  std::uint8_t current = 0;
  std::string name;
  std::uint16_t mapIndex = 0;
  std::uint8_t tutorialPending = 1;
};

// Width of the stored name field; longer names keep their first 15 bytes.
constexpr std::uint32_t kPlayerNameWidth = 15;
// Map index a player holds after the tutorial, until a level is chosen.
constexpr std::uint16_t kNoMapIndex = 999;

// The ordered list of players; the list owns them.
using PlayerList = std::vector<Player*>;

// The process's list, created empty on the first call.
PlayerList* GetPlayerList();
// Frees the list and the players in it; the next GetPlayerList makes a new empty list.
void FreePlayerList();

// The first player with `current` set; without one, a shared default player.
Player* GetCurrentPlayer(PlayerList* list);
void ClearCurrentFlags(PlayerList* list);
// Clears every current flag of the process's list, then sets the player's to `value`.
void SelectPlayer(Player* player, std::uint8_t value);
// False for an empty name or a name already in the list; otherwise the list takes the player.
bool AddPlayer(PlayerList* list, Player* player);
// Takes the first player of that name out of the list (the object and file stay); when it
// was current, the first remaining player becomes current.
void RemovePlayer(PlayerList* list, Player* player);
// Deletes the player's file, then the player; false when the file stayed on disk.
bool DeletePlayer(Player* player);

// "save/" + name + ".usr".
std::string PlayerFilePath(const Player& player);
// A stored map index at or past `mapCount` (other than kNoMapIndex) is a broken field: the
// player keeps the map it had, as for a field past the end of a short file.
bool ReadPlayerFile(Player* player, const std::string& path, std::size_t mapCount);
// Replaces the player's file whole. False (the old file kept, the failure logged) when it
// cannot be written, for instance without a "save/" folder or on a full disk.
bool WritePlayerFile(Player* player);
// False (logged) when the file exists and cannot be deleted.
bool DeletePlayerFile(Player* player);
// Writes every player; false when any file could not be written.
bool SaveAllPlayers(PlayerList* list);
// Reads every "save/*.usr" file (throwing away scratch files of interrupted saves); files
// that cannot be read, or hold no name or a name already loaded, are skipped and left alone.
// `mapCount` is the number of maps in the map list (see ReadPlayerFile).
void LoadAllPlayers(PlayerList* list, std::size_t mapCount);

}  // namespace Doduderor
