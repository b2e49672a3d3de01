// The game file object: big-endian numbers, fixed-width texts, positions, and the listing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "framework/resources/PakInterface.h"
#include "kernel/common/GameFile.h"
#include "tests/framework/resources/PakTestSupport.h"

using namespace CommonLibrary;
namespace fs = std::filesystem;

class GameFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(QUORVANE_BINARY_DIR) / "test_sandbox" /
          ("game_file_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Make(const std::string& name, const std::vector<unsigned char>& bytes) {
    const std::string path = (dir / name).string();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::vector<unsigned char> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path dir;
};

TEST_F(GameFileTest, ReadsBigEndianAtPositions) {
  GameFile f(Make("a.bin", {0x01, 0x02, 0x05, 0x00, 0xDE, 0xAD, 0xBE, 0xEF}));
  ASSERT_TRUE(f.Open(GameFile::kModeReadWrite));
  std::uint16_t u16 = 0;
  std::uint8_t u8 = 9;
  std::uint32_t u32 = 0;
  EXPECT_TRUE(f.ReadU16(u16, 0));
  EXPECT_EQ(u16, 258);
  EXPECT_TRUE(f.ReadU8(u8, -1));  // current position: the byte 0x05
  EXPECT_EQ(u8, 1);
  EXPECT_TRUE(f.ReadU8(u8, 3));
  EXPECT_EQ(u8, 0);
  EXPECT_TRUE(f.ReadU32(u32, 4));
  EXPECT_EQ(u32, 0xDEADBEEFu);
  // Past the end: false, outputs untouched.
  u32 = 7;
  EXPECT_FALSE(f.ReadU32(u32, 6));
  EXPECT_EQ(u32, 7u);
  u16 = 3;
  EXPECT_FALSE(f.ReadU16(u16, 100));
  EXPECT_EQ(u16, 3);
}

TEST_F(GameFileTest, WritesBigEndianAndFixedWidthTexts) {
  const std::string path = Make("w.bin", {});
  GameFile f(path);
  ASSERT_TRUE(f.Open(GameFile::kModeReadWrite));
  EXPECT_TRUE(f.WriteU32(258, 0));
  EXPECT_TRUE(f.WriteString("abcde", 8, -1));
  EXPECT_TRUE(f.WriteString("abcde", 5, -1));
  EXPECT_TRUE(f.WriteString("abcdefghij", 4, -1));
  EXPECT_TRUE(f.WriteU16(0xBEEF, -1));
  EXPECT_TRUE(f.WriteU8(0x7F, -1));
  // Read back what was just written on the same stream, then overwrite in the middle.
  std::string text;
  EXPECT_TRUE(f.ReadString(text, 8, 4));
  EXPECT_EQ(text, "abcde");
  EXPECT_TRUE(f.WriteU8(0x41, 0));
  f.Close();
  EXPECT_EQ(Bytes(path), (std::vector<unsigned char>{0x41, 0, 1, 2, 'a', 'b', 'c', 'd', 'e', 0, 0, 0, 'a', 'b',
                                                     'c', 'd', 'e', 'a', 'b', 'c', 'd', 0xBE, 0xEF, 0x7F}));
}

// Saving never leaves a half-written file: until Close the file on disk keeps its previous
// contents, and a session that ends without Close (a crash) changes nothing.
TEST_F(GameFileTest, SavesReplaceTheFileOnlyWhenClosed) {
  const std::string path = Make("options.opt", {0, 1, 0, 2, 0, 3});
  {
    GameFile f(path);
    ASSERT_TRUE(f.OpenWrite());
    EXPECT_EQ(Bytes(path).size(), 6u);  // not cut yet
    ASSERT_TRUE(f.Open(GameFile::kModeReadWrite));
    std::uint16_t v = 0;
    EXPECT_FALSE(f.ReadU16(v, 0));  // but it reads as the empty file it is about to be
    EXPECT_TRUE(f.WriteU16(9, -1));
    EXPECT_TRUE(f.WriteU16(8, -1));
    EXPECT_EQ(Bytes(path), (std::vector<unsigned char>{0, 1, 0, 2, 0, 3}));
    f.Close();
  }
  EXPECT_EQ(Bytes(path), (std::vector<unsigned char>{0, 9, 0, 8}));
  EXPECT_FALSE(fs::exists(path + ".tmp"));

  // Updating in place: the unchanged bytes are kept, the file is only replaced at Close.
  GameFile f(path);
  ASSERT_TRUE(f.Open(GameFile::kModeReadWrite));
  EXPECT_TRUE(f.WriteU8(7, 1));
  std::uint8_t b = 0;
  EXPECT_TRUE(f.ReadU8(b, 3));
  EXPECT_EQ(b, 1);
  EXPECT_EQ(Bytes(path), (std::vector<unsigned char>{0, 9, 0, 8}));
  f.Close();
  EXPECT_EQ(Bytes(path), (std::vector<unsigned char>{0, 7, 0, 8}));

  // OpenWrite with no session after it empties the file when the object closes.
  ASSERT_TRUE(f.OpenWrite());
  f.Close();
  EXPECT_TRUE(Bytes(path).empty());
}

// A write that does not reach the disk reports failure instead of success.
TEST_F(GameFileTest, WriteToFullDeviceFails) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  GameFile f("/dev/full");
  ASSERT_TRUE(f.Open(GameFile::kModeReadWrite));
  EXPECT_FALSE(f.WriteU32(1, 0));
  EXPECT_FALSE(f.WriteString("name", 15, -1));
}

TEST_F(GameFileTest, ReadStringFieldsAndShortFields) {
  GameFile f(Make("s.bin", {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'x', 'y'}));
  ASSERT_TRUE(f.Open(GameFile::kModeReadWrite));
  std::string text;
  EXPECT_TRUE(f.ReadString(text, 8, 0));
  EXPECT_EQ(text, "abcdefgh");
  // A field cut short by the end of the file still gives what was read.
  EXPECT_FALSE(f.ReadString(text, 15, -1));
  EXPECT_EQ(text, "xy");
}

TEST_F(GameFileTest, ClosedAndPathlessObjectsRefuseEverything) {
  GameFile none;
  EXPECT_FALSE(none.Open(GameFile::kModeReadWrite));
  EXPECT_FALSE(none.OpenRead());
  EXPECT_FALSE(none.OpenWrite());
  EXPECT_FALSE(none.Delete());
  EXPECT_FALSE(none.ReopenForWrite());
  std::uint8_t b = 0;
  EXPECT_FALSE(none.ReadU8(b, 0));
  EXPECT_FALSE(none.WriteU8(1, 0));
  std::string s = "keep";
  EXPECT_FALSE(none.ReadString(s, 4, 0));
  EXPECT_EQ(s, "keep");

  GameFile missing((dir / "missing.bin").string());
  EXPECT_FALSE(missing.OpenRead());
  EXPECT_FALSE(missing.Open(GameFile::kModeReadWrite));  // "r+b" does not create
}

TEST_F(GameFileTest, CreateTruncateReopenAndDelete) {
  const std::string path = (dir / "new.opt").string();
  GameFile f(path);
  EXPECT_TRUE(f.OpenWrite());
  EXPECT_TRUE(f.OpenRead());
  ASSERT_TRUE(f.Open(GameFile::kModeReadWrite));
  EXPECT_TRUE(f.WriteU32(1, 0));
  EXPECT_TRUE(f.ReopenForWrite());
  EXPECT_TRUE(f.WriteU16(5, 0));
  f.Close();
  EXPECT_EQ(Bytes(path), (std::vector<unsigned char>{0, 5}));
  // Any other mode appends, whatever the position.
  ASSERT_TRUE(f.Open(2));
  EXPECT_TRUE(f.WriteU8(9, 0));
  f.SetPath(path);  // closes
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(Bytes(path), (std::vector<unsigned char>{0, 5, 9}));
  EXPECT_TRUE(f.Delete());
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(f.Delete());
}

TEST_F(GameFileTest, ListsByExtensionSkippingDotNames) {
  for (const char* name : {"2.map", "1.map", ".hidden.map", "notes.txt", "10.MAP"}) Make(name, {1});
  std::vector<std::string> names{"stale"};
  ListFilesByExtension(dir.string() + "/", "map", names);
  EXPECT_EQ(names, (std::vector<std::string>{"1.map", "10.MAP", "2.map"}));
  ListFilesByExtension((dir / "nothing").string() + "/", "map", names);
  EXPECT_TRUE(names.empty());
}

// Files in a pak archive are read like plain files, but a write into one is refused and
// reported instead of vanishing.
TEST_F(GameFileTest, ReadsArchiveEntriesAndRefusesToWriteThem) {
  paktest::WriteFile(dir / "data.pak",
                     paktest::Scramble(paktest::PlainArchive({{"maps\\1.map", std::string("\x01\x02name\0\0", 8)}})));
  // The process's own pak interface, which the program's globals publish.
  Orvo::PakInterface* pak = Orvo::FindPakInterface();
  ASSERT_NE(pak, nullptr);
  ASSERT_TRUE(pak->AddPakFile((dir / "data.pak").string()));
  GameFile f("maps\\1.MAP");
  EXPECT_TRUE(f.OpenRead());
  ASSERT_TRUE(f.Open(GameFile::kModeReadWrite));
  std::uint16_t v = 0;
  EXPECT_TRUE(f.ReadU16(v, 0));
  EXPECT_EQ(v, 258);
  std::string name;
  EXPECT_TRUE(f.ReadString(name, 6, -1));
  EXPECT_EQ(name, "name");
  EXPECT_FALSE(f.WriteU16(7, 0));
  f.Close();
  EXPECT_FALSE(fs::exists(dir / "maps"));
}
