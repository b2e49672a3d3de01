// The asset tool's packing: a tree packed by the writer reads back byte for byte through the
// pak layer, names in any case and with either separator, deterministically; the run folder
// gets each file in its place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "assets/tool/AssetLayout.h"
#include "assets/tool/PakWriter.h"
#include "framework/resources/PakInterface.h"
#include "tests/framework/resources/PakTestSupport.h"

namespace fs = std::filesystem;
using namespace Orvo;

namespace {

// A small tree with folders, mixed case, carriage returns, an empty file and every byte value.
std::map<std::string, std::string> SampleTree() {
  std::string allBytes;
  for (int i = 0; i < 256; ++i) allBytes += static_cast<char>(i);
  return {
      {"fonts/a_Font14.txt", "Define Size 14;\r\nCreateLayer Main;\r\n"},
      {"images/Cell.png", allBytes + allBytes},
      {"images/dialog/380 220.png", std::string(3000, 'x')},
      {"maps/1.map", "04 03 e n Little Square\0\0\r\n1111\r\n"},
      {"maps/empty.map", ""},
  };
}

void WriteTree(const fs::path& root, const std::map<std::string, std::string>& tree) {
  for (const auto& [name, bytes] : tree) paktest::WriteFile(root / name, bytes);
}

std::string ReadWholeThroughLayer(const std::string& name) {
  PakHandle* h = PakOpen(name.c_str(), "rb");
  if (h == nullptr) return "<missing>";
  PakSeek(h, 0, SEEK_END);
  const std::int32_t size = PakTell(h);
  PakSeek(h, 0, SEEK_SET);
  std::string out(static_cast<std::size_t>(size), '\0');
  const std::size_t n = size > 0 ? PakRead(out.data(), 1, out.size(), h) : 0;
  EXPECT_EQ(n, out.size()) << name;
  EXPECT_EQ(PakEof(h), 1) << name;
  PakClose(h);
  return out;
}

std::string ReadTextThroughLayer(const std::string& name) {
  PakHandle* h = PakOpen(name.c_str(), "r");
  if (h == nullptr) return "<missing>";
  std::string out;
  for (int c = PakGetC(h); c != -1; c = PakGetC(h)) out += static_cast<char>(c);
  PakClose(h);
  return out;
}

std::string WithoutCarriageReturns(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
  return s;
}

TEST(PakRoundTripTest, PackedTreeReadsBackByteForByte) {
  paktest::ScratchDir dir("roundtrip");
  const auto tree = SampleTree();
  WriteTree(dir.Path() / "tree", tree);
  const fs::path pak = dir.Path() / "packed.pak";
  assets::WritePakFile(pak, assets::CollectTree(dir.Path() / "tree"));
  ASSERT_TRUE(FindPakInterface()->AddPakFile(pak.string()));
  fs::rename(dir.Path() / "tree", dir.Path() / "gone");  // no disk fallback can answer

  for (const auto& [name, bytes] : tree) {
    std::string upperBackslash = name;
    for (char& c : upperBackslash) c = c == '/' ? '\\' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(ReadWholeThroughLayer(name), bytes) << name;
    EXPECT_EQ(ReadWholeThroughLayer(upperBackslash), bytes) << upperBackslash;
    EXPECT_EQ(ReadTextThroughLayer(name), WithoutCarriageReturns(bytes)) << name;
  }

  // Every entry is listed by a search, with its stored name, size and the fixed file time.
  std::set<std::string> listed;
  plat::WIN32_FIND_DATA data;
  plat::HANDLE s = PakFindFirstFile("*", &data);
  ASSERT_NE(s, plat::INVALID_HANDLE_VALUE);
  std::map<std::string, plat::DWORD> sizes;
  do {
    if (data.ftLastWriteTime.dwHighDateTime == (assets::kPakFixedFileTime >> 32)) {
      listed.insert(data.cFileName);
      sizes[data.cFileName] = data.nFileSizeLow;
    }
  } while (PakFindNextFile(s, &data));
  PakFindClose(s);
  for (const auto& [name, bytes] : tree) {
    const std::string shortName = fs::path(name).filename().string();
    EXPECT_TRUE(listed.count(shortName)) << shortName;
    EXPECT_EQ(sizes[shortName], bytes.size()) << shortName;
  }
}

TEST(PakRoundTripTest, SameTreeGivesTheSameBytesAndBadNamesAreRefused) {
  std::vector<assets::PakSource> forward = {{"b\\x", {1, 2}}, {"A\\y", {3}}, {"a\\z", {}}};
  std::vector<assets::PakSource> backward(forward.rbegin(), forward.rend());
  EXPECT_EQ(assets::BuildPak(forward), assets::BuildPak(backward));

  const std::vector<std::vector<assets::PakSource>> refused = {
      {{"", {1}}},
      {{std::string(256, 'n'), {1}}},
      {{"Images\\A.png", {1}}, {"images/a.PNG", {2}}},
  };
  for (const auto& entries : refused) EXPECT_THROW(assets::BuildPak(entries), std::runtime_error);
  EXPECT_NO_THROW(assets::BuildPak({{std::string(255, 'n'), {1}}}));

  // An empty archive is a valid archive with nothing in it.
  paktest::ScratchDir dir("emptypak");
  assets::WritePakFile(dir.Path() / "empty.pak", {});
  PakInterface pak;
  EXPECT_TRUE(pak.AddPakFile((dir.Path() / "empty.pak").string()));
  EXPECT_EQ(pak.Entries().size(), 1u) << "only the archive's own name";
  EXPECT_FALSE(fs::exists(dir.Path() / "empty.pak.tmp"));
}

TEST(RunFolderTest, EachGeneratedFileGoesToItsPlace) {
  const struct {
    const char* path;
    assets::AssetPlace place;
  } cases[] = {
      {"fonts/a_BosaNova14.txt", assets::AssetPlace::MainPak},
      {"fonts/a_BosaNova14.png", assets::AssetPlace::MainPak},
      {"images/cell.png", assets::AssetPlace::DataPak},
      {"images/dialog/380 220.png", assets::AssetPlace::DataPak},
      {"maps/1.map", assets::AssetPlace::DataPak},
      {"sounds/click.wav", assets::AssetPlace::PlainFile},
      {"vhw.dat", assets::AssetPlace::PlainFile},
  };
  for (const auto& c : cases) EXPECT_EQ(assets::PlaceOf(c.path), c.place) << c.path;

  paktest::ScratchDir dir("runfolder");
  WriteTree(dir.Path() / "gen", {{"fonts/f.txt", "font"}, {"maps/1.map", "map"}, {"sounds/click.wav", "RIFF"}, {"vhw.dat", "card"}});
  const auto summary = assets::WriteRunFolder(dir.Path() / "gen", dir.Path() / "run");
  EXPECT_EQ(summary.mainPakEntries, 1u);
  EXPECT_EQ(summary.dataPakEntries, 1u);
  EXPECT_EQ(summary.plainFiles, 2u);
  EXPECT_EQ(paktest::ReadFile(dir.Path() / "run" / "sounds" / "click.wav"), "RIFF");
  EXPECT_EQ(paktest::ReadFile(dir.Path() / "run" / "vhw.dat"), "card");
  EXPECT_TRUE(fs::is_directory(dir.Path() / "run" / "save"));
  EXPECT_FALSE(fs::exists(dir.Path() / "run" / "maps"));
  PakInterface pak;
  ASSERT_TRUE(pak.AddPakFile((dir.Path() / "run" / "main.pak").string()));
  ASSERT_TRUE(pak.AddPakFile((dir.Path() / "run" / "data.pak").string()));
  EXPECT_TRUE(pak.Entries().count("FONTS\\F.TXT"));
  EXPECT_TRUE(pak.Entries().count("MAPS\\1.MAP"));
  EXPECT_FALSE(pak.Entries().count("SOUNDS\\CLICK.WAV"));
}

TEST(RunFolderTest, BuildWroteTheFontsIntoMainPak) {
  // The build runs the asset tool before the tests: its main.pak holds the bitmap fonts.
  PakInterface pak;
  ASSERT_TRUE(pak.AddPakFile(std::string(QUORVANE_RUN_DIR) + "/main.pak"));
  ASSERT_TRUE(pak.AddPakFile(std::string(QUORVANE_RUN_DIR) + "/data.pak"));
  for (const char* name : {"fonts/a_BosaNova10.txt", "fonts/a_BosaNova14.txt", "fonts/a_BosaNova16.txt",
                           "fonts/a_BosaNova20.txt"}) {
    PakHandle* h = pak.FOpen(name, "r");
    ASSERT_NE(h, nullptr) << name;
    EXPECT_NE(h->entry, nullptr) << name << " read from the archive";
    EXPECT_GT(h->entry->size, 0) << name;
    pak.FClose(h);
  }
}

}  // namespace
