// The map reader: the exact byte format, broken files refused whole, the list's indexes
// over missing files, the default record, and the generated maps of the run folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "framework/resources/PakInterface.h"
#include "game/MapList.h"

using Doduderor::MapList;
using Doduderor::MapRecord;

namespace {

class TempFolder {
 public:
  TempFolder() {
    path = std::filesystem::temp_directory_path() / ("quorvane_maps_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(path / "maps");
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const auto file = path / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file.string();
  }
  std::filesystem::path path;
};

// A header as the game's maps carry it: "WW HH d k " and a 15-byte title.
std::string Header(const std::string& sizes, char difficulty, char kind, const std::string& title) {
  std::string h = sizes + " " + difficulty + " " + kind + " " + title;
  h.resize(25, ' ');
  return h;
}

}  // namespace

TEST(MapListTest, ReadsHeaderAndRowsExactly) {
  TempFolder dir;
  MapList list;
  list.ReadMap(dir.Write("a.map", Header("03 02", 'm', 'x', "Crossing lines!") + "\r\n110\r\n010 trailing"));
  ASSERT_EQ(list.Count(), 1u);
  const MapRecord& map = list.At(0);
  EXPECT_EQ(map.width, 3);
  EXPECT_EQ(map.height, 2);
  EXPECT_EQ(map.difficulty, "m");
  EXPECT_EQ(map.kind, "x");
  EXPECT_EQ(map.title, "Crossing lines!");
  EXPECT_EQ(map.rows, (std::vector<std::string>{"110", "010"}));
  EXPECT_EQ(list.TutorialIndex(), -1);
}

TEST(MapListTest, BrokenOrOddFilesAreRefusedOrReadAsStated) {
  struct Case {
    const char* what;
    std::string bytes;
    bool read;
    std::vector<std::string> rows;
  };
  const std::string h22 = Header("02 02", 'e', 'n', "t");
  const Case cases[] = {
      {"empty file", "", false, {}},
      {"header cut short", h22.substr(0, 20), false, {}},
      {"height 0: header alone", Header("05 00", 'e', 'n', "t"), true, {}},
      {"last row cut short", h22 + "\r\n11\r\n1", false, {}},
      {"missing last row", h22 + "\r\n11", false, {}},
      {"negative width", Header("-1 02", 'e', 'n', "t") + "\r\n11\r\n11", false, {}},
      {"zero byte cuts a row short", h22 + "\r\n1" + std::string(1, '\0') + "\r\n11", true, {"1", "11"}},
      {"sizes read from leading digits", Header("2x 1y", 'e', 'n', "t") + "\r\n11", true, {"11"}},
  };
  TempFolder dir;
  for (const Case& c : cases) {
    MapList list;
    list.ReadMap(dir.Write("case.map", c.bytes));
    ASSERT_EQ(list.Count(), c.read ? 1u : 0u) << c.what;
    if (c.read) {
      EXPECT_EQ(list.At(0).rows, c.rows) << c.what;
    }
  }
  MapList list;
  list.ReadMap("");
  list.ReadMap((dir.path / "absent.map").string());
  EXPECT_EQ(list.Count(), 0u);
}

TEST(MapListTest, MissingFilesMoveLaterMapsUpAndPastTheEndIsTheDefault) {
  TempFolder dir;
  for (int i : {1, 2, 4}) {
    const char kind = i == 4 ? 'h' : 'n';
    dir.Write("maps/" + std::to_string(i) + ".map", Header("02 01", 'e', kind, "map " + std::to_string(i)) + "\r\n11");
  }
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path);
  MapList list;
  list.Load();
  std::filesystem::current_path(before);

  ASSERT_EQ(list.Count(), 3u);
  EXPECT_EQ(list.At(2).title.substr(0, 5), "map 4");
  EXPECT_EQ(list.TutorialIndex(), 2);
  for (std::uint16_t index : {std::uint16_t{3}, std::uint16_t{999}, std::uint16_t{65535}}) {
    const MapRecord& def = list.At(index);
    EXPECT_EQ(def.width, 0);
    EXPECT_EQ(def.height, 0);
    EXPECT_EQ(def.rows, (std::vector<std::string>{"101", "111", "101"}));
  }
}

TEST(MapListTest, GeneratedMapsAllReadWithTheTutorialAmongThem) {
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(QUORVANE_RUN_DIR);
  ASSERT_NE(Orvo::FindPakInterface(), nullptr);
  ASSERT_TRUE(Orvo::FindPakInterface()->AddPakFile("data.pak"));
  MapList list;
  list.Load();
  std::filesystem::current_path(before);
  ASSERT_EQ(list.Count(), 26u);
  EXPECT_GE(list.TutorialIndex(), 0);
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const MapRecord& map = list.At(static_cast<std::uint16_t>(i));
    ASSERT_EQ(map.rows.size(), map.height) << i;
    for (const std::string& row : map.rows) EXPECT_EQ(row.size(), map.width) << i;
  }
}
