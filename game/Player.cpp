// Player profiles and their files "save/<name>.usr" (19 bytes: current flag, 15-byte name,
// big-endian map index, tutorial flag), kept in one process-wide list.
#include "game/Player.h"

#include <algorithm>

#include "kernel/common/GameFile.h"

namespace Doduderor {

namespace {

const char kSaveFolder[] = "save/";

PlayerList* gPlayerList = nullptr;

// A stored or typed name becomes part of a file name; one holding a folder separator would
// reach outside "save/", so such a player is never written or deleted on disk.
bool IsSafeFileName(const std::string& name) { return name.find_first_of("/\\") == std::string::npos; }

bool WriteFields(CommonLibrary::GameFile& file, const Player& player) {
  return file.WriteU8(player.current, 0) && file.WriteString(player.name, kPlayerNameWidth, 1) &&
         file.WriteU16(player.mapIndex, 16) && file.WriteU8(player.tutorialPending, 18);
}

}  // namespace

PlayerList* GetPlayerList() {
  if (gPlayerList == nullptr) gPlayerList = new PlayerList();
  return gPlayerList;
}

void FreePlayerList() {
  if (gPlayerList == nullptr) return;
  // Shut-down is the list's last user, so the players it owns go with it.
  for (Player* player : *gPlayerList) delete player;
  delete gPlayerList;
  gPlayerList = nullptr;
}

Player* GetCurrentPlayer(PlayerList* list) {
  if (list != nullptr) {
    for (Player* player : *list) {
      if (player->current != 0) return player;
    }
  }
  static Player* defaultPlayer = new Player();
  return defaultPlayer;
}

void ClearCurrentFlags(PlayerList* list) {
  if (list == nullptr) return;
  for (Player* player : *list) player->current = 0;
}

void SelectPlayer(Player* player, std::uint8_t value) {
  ClearCurrentFlags(GetPlayerList());
  if (player != nullptr) player->current = value;
}

bool AddPlayer(PlayerList* list, Player* player) {
  if (list == nullptr || player == nullptr || player->name.empty()) return false;
  for (const Player* other : *list) {
    if (other->name == player->name) return false;
  }
  list->push_back(player);
  return true;
}

void RemovePlayer(PlayerList* list, Player* player) {
  if (list == nullptr || player == nullptr) return;
  auto it = std::find_if(list->begin(), list->end(), [&](const Player* p) { return p->name == player->name; });
  if (it == list->end()) return;
  list->erase(it);
  if (player->current != 0 && !list->empty()) SelectPlayer(list->front(), 1);
}

bool DeletePlayer(Player* player) {
  if (player == nullptr) return true;
  const bool deleted = DeletePlayerFile(player);
  delete player;
  return deleted;
}

std::string PlayerFilePath(const Player& player) { return kSaveFolder + player.name + ".usr"; }

bool ReadPlayerFile(Player* player, const std::string& path, std::size_t mapCount) {
  CommonLibrary::GameFile file(path);
  if (!file.OpenRead()) return false;
  if (!file.Open(CommonLibrary::GameFile::kModeReadWrite)) return false;
  // A field past the end of a short file keeps the value the player had.
  file.ReadU8(player->current, 0);
  std::string name;
  if (file.ReadString(name, kPlayerNameWidth, 1) || !name.empty()) player->name = name;
  std::uint16_t mapIndex = player->mapIndex;
  // An index past the map list (only an edited file holds one) would open the level
  // selection on no row and start a field without cells.
  if (file.ReadU16(mapIndex, 16) && (mapIndex < mapCount || mapIndex == kNoMapIndex)) player->mapIndex = mapIndex;
  file.ReadU8(player->tutorialPending, 18);
  file.Close();
  return true;
}

bool WritePlayerFile(Player* player) {
  if (player == nullptr || !IsSafeFileName(player->name)) return false;
  const std::string path = PlayerFilePath(*player);
  CommonLibrary::GameFile file(path);
  if (!file.OpenRead() && !file.OpenWrite()) {
    CommonLibrary::ReportSaveFailure(path, "the folder \"save\" is missing");
    return false;
  }
  if (!file.Open(CommonLibrary::GameFile::kModeReadWrite)) {
    CommonLibrary::ReportSaveFailure(path, "the file cannot be read");
    return false;
  }
  const bool written = WriteFields(file, *player);
  if (file.Close() && written) return true;
  CommonLibrary::ReportSaveFailure(path, file.GetSaveError());
  return false;
}

bool DeletePlayerFile(Player* player) {
  if (player == nullptr || !IsSafeFileName(player->name)) return false;
  const std::string path = PlayerFilePath(*player);
  CommonLibrary::GameFile file(path);
  if (!file.OpenRead() || file.Delete()) return true;
  CommonLibrary::ReportSaveFailure(path, "the file cannot be deleted");
  return false;
}

bool SaveAllPlayers(PlayerList* list) {
  if (list == nullptr) return true;
  bool saved = true;
  for (Player* player : *list) saved = WritePlayerFile(player) && saved;
  return saved;
}

void LoadAllPlayers(PlayerList* list, std::size_t mapCount) {
  if (list == nullptr) return;
  // Scratch copies of player files that an interrupted save left behind: the files
  // themselves are whole (or were never written).
  std::vector<std::string> names;
  CommonLibrary::ListFilesByExtension(kSaveFolder, "tmp", names);
  for (const std::string& fileName : names) {
    if (fileName.size() > 8 && fileName.compare(fileName.size() - 8, 8, ".usr.tmp") == 0)
      CommonLibrary::GameFile(kSaveFolder + fileName).Delete();
  }
  CommonLibrary::ListFilesByExtension(kSaveFolder, "usr", names);
  bool anyCurrent = false;
  for (const std::string& fileName : names) {
    auto* player = new Player();
    if (ReadPlayerFile(player, kSaveFolder + fileName, mapCount) && AddPlayer(list, player)) {
      anyCurrent = anyCurrent || player->current != 0;
    } else {
      delete player;
    }
  }
  if (!anyCurrent && !list->empty()) SelectPlayer(list->front(), 1);
}

}  // namespace Doduderor
