// The game file object: big-endian numbers, fixed-width texts, positions, and the listing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "framework/resources/PakInterface.h"
#include "kernel/common/GameFile.h"
#include "platform/Files.h"
#include "tests/platform/FileFaults.h"
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
  // Saves in a child process that is killed at `step` of writing the file.
  static void SaveKilledAt(plat::FileWriteStep step, const std::string& path, std::uint32_t value) {
    EXPECT_EXIT(
        {
          file_faults::Scoped fault({step, 0, true});
          Save(path, value);
        },
        testing::KilledBySignal(SIGKILL), "");
  }
  // Writes a whole option-like file through the game file object, as the game saves.
  static bool Save(const std::string& path, std::uint32_t value, std::string* error = nullptr) {
    GameFile f(path);
    if (!f.OpenWrite() || !f.Open(GameFile::kModeReadWrite) || !f.WriteU32(value, 0)) return false;
    const bool saved = f.Close();
    if (error != nullptr) *error = f.GetSaveError();
    return saved;
  }

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

// A save that fails at any step of writing leaves the old file byte for byte (or no file),
// no scratch file, and says why.
TEST_F(GameFileTest, FailedSavesKeepTheOldFileAndSayWhy) {
  using Step = plat::FileWriteStep;
  const struct {
    const char* what;
    file_faults::Fault fault;
    const char* reason;
  } cases[] = {
      {"disk full", file_faults::DiskFull(), "No space left on device"},
      {"no free inodes", file_faults::NoInodes(), "No space left on device"},
      {"folder not writable", file_faults::FolderNotWritable(), "Permission denied"},
      {"flush fails", {Step::Sync, EIO}, "Input/output error"},
      {"rename fails", {Step::Rename, EACCES}, "Permission denied"},
  };
  const std::vector<unsigned char> old{0, 20, 0, 40, 0, 3};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string existing = Make("options.opt", old);
    const std::string fresh = (dir / "fresh.opt").string();
    {
      file_faults::Scoped fault(c.fault);
      std::string error;
      EXPECT_FALSE(Save(existing, 0x01020304, &error));
      EXPECT_EQ(error, c.reason);
      EXPECT_FALSE(Save(fresh, 7));
    }
    EXPECT_EQ(Bytes(existing), old);
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no scratch file
  }
  // A write far past the end is refused instead of making a file of gigabytes.
  {
    GameFile f(Make("options.opt", old));
    ASSERT_TRUE(f.Open(GameFile::kModeReadWrite));
    EXPECT_FALSE(f.WriteU8(1, 0x7FFFFFFF));
    EXPECT_FALSE(f.Close());
    EXPECT_EQ(f.GetSaveError(), "the file would be too large");
    EXPECT_EQ(Bytes(f.GetPath()), old);
  }
  // Without the fault the same save goes through, and the error is forgotten.
  std::string error = "stale";
  EXPECT_TRUE(Save(Make("options.opt", old), 0x01020304, &error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(Bytes((dir / "options.opt").string()), (std::vector<unsigned char>{1, 2, 3, 4}));
}

// A process killed at any moment of a save leaves the old file whole, and a first save
// leaves no file at all (never an empty one).
TEST_F(GameFileTest, AKilledSaveLeavesTheOldFileOrNone) {
  GTEST_FLAG_SET(death_test_style, "fast");
  const std::string fresh = (dir / "save" / "Ann.usr").string();
  fs::create_directories(dir / "save");
  // Killed between opening and closing a new file.
  EXPECT_EXIT(
      {
        GameFile f(fresh);
        if (f.OpenWrite() && f.Open(GameFile::kModeReadWrite) && f.WriteU8(1, 0)) std::raise(SIGKILL);
      },
      testing::KilledBySignal(SIGKILL), "");
  EXPECT_FALSE(fs::exists(fresh));

  const std::vector<unsigned char> old{1, 'A', 'n', 'n', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0};
  for (const plat::FileWriteStep step : {plat::FileWriteStep::CreateScratch, plat::FileWriteStep::Write,
                                         plat::FileWriteStep::Sync, plat::FileWriteStep::Rename}) {
    SCOPED_TRACE(static_cast<int>(step));
    fs::remove(fresh);
    SaveKilledAt(step, fresh, 0xFFFFFFFF);
    EXPECT_FALSE(fs::exists(fresh));

    Make("save/Ann.usr", old);
    SaveKilledAt(step, fresh, 0xFFFFFFFF);
    EXPECT_EQ(Bytes(fresh), old);
    // What the killed save left beside the file goes at the next load; the file stays.
    GameFile f(fresh);
    EXPECT_TRUE(f.OpenRead());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "save"), fs::directory_iterator()), 1);
    EXPECT_EQ(Bytes(fresh), old);
  }
  // Killed after the rename: the new file is complete.
  SaveKilledAt(plat::FileWriteStep::SyncFolder, fresh, 0x01020304);
  EXPECT_EQ(Bytes(fresh), (std::vector<unsigned char>{1, 2, 3, 4}));
}

// Only regular files are opened or replaced: a folder, a device or a pipe never is (a pipe
// would block the program).
TEST_F(GameFileTest, RefusesWhatIsNotARegularFile) {
  fs::create_directories(dir / "folder.opt");
  const std::string fifo = (dir / "pipe.opt").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {(dir / "folder.opt").string(), fifo, std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    GameFile f(path);
    EXPECT_FALSE(f.OpenRead());
    EXPECT_FALSE(f.Open(GameFile::kModeReadWrite));
    EXPECT_FALSE(f.OpenWrite());
  }
  EXPECT_TRUE(fs::is_directory(dir / "folder.opt"));

}

// A link is read through but never replaced by a save (nor its target); a file marked
// read-only is read but keeps its contents.
TEST_F(GameFileTest, LinksAndReadOnlyFilesAreReadButNotReplaced) {
  const std::string target = Make("real.opt", {1, 2});
  const std::string link = (dir / "link.opt").string();
  fs::create_symlink(target, link);
  const std::string readOnly = Make("options.opt", {1, 2});
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  for (const std::string& path : {link, readOnly}) {
    SCOPED_TRACE(path);
    GameFile f(path);
    ASSERT_TRUE(f.Open(GameFile::kModeReadWrite));
    std::uint16_t v = 0;
    EXPECT_TRUE(f.ReadU16(v, 0));
    EXPECT_EQ(v, 258);
    EXPECT_TRUE(f.WriteU8(9, 0));
    EXPECT_FALSE(f.Close());
    EXPECT_FALSE(f.GetSaveError().empty());
    EXPECT_EQ(Bytes(path), (std::vector<unsigned char>{1, 2}));
  }
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_FALSE(GameFile(link).OpenWrite());
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
  EXPECT_FALSE(f.OpenRead());  // created only when its contents are complete
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
  EXPECT_FALSE(f.Close());  // the refused write is remembered
  EXPECT_EQ(f.GetSaveError(), "an archive entry cannot be written");
  EXPECT_FALSE(fs::exists(dir / "maps"));
}
