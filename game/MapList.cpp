// Reading the map files: a 25-byte text header (width, height, difficulty, kind, title)
// followed by one line break and one row of cells per map row.
#include "game/MapList.h"

#include "kernel/common/GameFile.h"
#include "kernel/common/Helpers.h"

namespace Doduderor {

namespace {

constexpr std::uint32_t kHeaderBytes = 25;
constexpr std::uint32_t kLineBreakBytes = 2;

// The part of `text` at [offset, offset + count), shorter (or empty) where `text` ends first;
// a zero byte in the header ends the text there.
std::string Field(const std::string& text, std::size_t offset, std::size_t count) {
  if (offset >= text.size()) return std::string();
  return text.substr(offset, count);
}

}  // namespace

char MapRecord::At(std::uint16_t column, std::uint16_t row) const {
  if (row >= rows.size() || column >= rows[row].size()) return '0';
  return rows[row][column];
}

MapList& MapList::Instance() {
  static MapList list;
  static const bool loaded = (list.Load(), true);
  (void)loaded;
  return list;
}

MapList::~MapList() { Clear(); }

void MapList::Clear() {
  for (MapRecord* map : mMaps) delete map;
  mMaps.clear();
}

MapRecord& MapList::At(std::uint16_t index) {
  if (index < mMaps.size()) return *mMaps[index];
  return mDefault;
}

int MapList::TutorialIndex() const {
  for (std::size_t i = 0; i < mMaps.size(); ++i) {
    if (mMaps[i]->kind == "h") return static_cast<int>(i);
  }
  return -1;
}

void MapList::Load() {
  Clear();
  mDefault = MapRecord();
  mDefault.rows = {"101", "111", "101"};
  for (int i = 1; i <= kMapFileCount; ++i) ReadMap("maps/" + std::to_string(i) + ".map");
}

void MapList::ReadMap(const std::string& path) {
  if (path.empty()) return;
  CommonLibrary::GameFile file(path);
  if (!file.Open(CommonLibrary::GameFile::kModeReadWrite)) return;

  // A file too short to hold the whole header is no map.
  std::string header;
  if (!file.ReadString(header, kHeaderBytes, 0)) return;
  const std::int32_t width = CommonLibrary::StringToInt(Field(header, 0, 2));
  const std::int32_t height = CommonLibrary::StringToInt(Field(header, 3, 2));
  // Sizes are two decimal digits; a sign in their place marks a broken header.
  if (width < 0 || height < 0) return;

  auto* map = new MapRecord;
  map->width = static_cast<std::uint16_t>(width);
  map->height = static_cast<std::uint16_t>(height);
  map->title = Field(header, 10, 15);
  map->difficulty = Field(header, 6, 1);
  map->kind = Field(header, 8, 1);
  for (std::uint16_t r = 0; r < map->height; ++r) {
    std::string lineBreak;
    file.ReadString(lineBreak, kLineBreakBytes, -1);
    std::string row;
    if (!file.ReadString(row, map->width, -1)) {
      delete map;
      return;
    }
    map->rows.push_back(row);
  }
  file.Close();
  mMaps.push_back(map);
}

}  // namespace Doduderor
