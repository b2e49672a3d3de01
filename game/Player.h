// Player profiles: one small file per player under "save/" (whether it is the current
// player, its name, its map and whether its tutorial is still due), all held in one
// process-wide list that is loaded at start and saved at shut-down.
#pragma once

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
// Deletes the player's file, then the player.
void DeletePlayer(Player* player);

// "save/" + name + ".usr".
std::string PlayerFilePath(const Player& player);
bool ReadPlayerFile(Player* player, const std::string& path);
// False when the file can be neither opened nor created (no "save/" folder).
bool WritePlayerFile(Player* player);
void DeletePlayerFile(Player* player);
void SaveAllPlayers(PlayerList* list);
void LoadAllPlayers(PlayerList* list);

}  // namespace Doduderor
