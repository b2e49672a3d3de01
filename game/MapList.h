// The shapes of the puzzle fields: map files "maps/<n>.map" read once into records that
// live for the whole run. A map's index is its position among the maps that were read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Doduderor {

// One read map. In a row, '0' is a place without a cell and any other character a cell.
struct MapRecord {
  MapRecord() = default;
  ~MapRecord() = default;

  std::string title;  // the 15 title bytes of the header
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::string difficulty;  // "e", "m" or "h"
  std::string kind;        // "h" marks the tutorial map
  std::vector<std::string> rows;

  // The character at (column, row), or '0' where the row holds no such character.
  char At(std::uint16_t column, std::uint16_t row) const;
};

class MapList {
 public:
  static constexpr int kMapFileCount = 26;

  // The one list, loaded from "maps/1.map" .. "maps/26.map" on the first call.
  static MapList& Instance();

  MapList() = default;
  ~MapList();
  MapList(const MapList&) = delete;
  MapList& operator=(const MapList&) = delete;

  // The record at `index`, or the default record (no cells) past the end.
  MapRecord& At(std::uint16_t index);
  std::size_t Count() const { return mMaps.size(); }
  // Index of the first map whose kind is exactly "h", or -1 when there is none.
  int TutorialIndex() const;

  // Empties the list and reads every map file; missing or broken files are skipped.
  void Load();
  // Reads one map file and appends it; an unreadable or cut-short file appends nothing.
  void ReadMap(const std::string& path);

 private:
  void Clear();

  std::vector<MapRecord*> mMaps;
  MapRecord mDefault;
};

}  // namespace Doduderor
