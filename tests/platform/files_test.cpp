// File services: names with '\' and any case reach the real files, searches are sorted and
// case-blind, attributes and folders, read-only mappings and named blocks.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("quorvane-files-" + std::to_string(plat::CurrentProcessId()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "Images" / "Dialog");
    Write("Images/Dialog/380 220.png", "dialog");
    Write("Images/cell.PNG", "cell");
    Write("Images/b.txt", "bb");
    Write("maps.txt", "");
  }
  void TearDown() override { fs::remove_all(root_); }
  void Write(const std::string& rel, const std::string& bytes) {
    std::ofstream(root_ / rel, std::ios::binary) << bytes;
  }
  std::string P(const std::string& rel) const { return root_.string() + "/" + rel; }

  fs::path root_;
};

TEST_F(FilesTest, NamesResolveWhateverTheCaseAndSeparator) {
  const struct {
    const char* asked;
    const char* found;
  } cases[] = {
      {"images\\dialog\\380 220.png", "Images/Dialog/380 220.png"},
      {"IMAGES/CELL.png", "Images/cell.PNG"},
      {"Images//cell.PNG", "Images/cell.PNG"},
      {"images\\new.txt", "Images/new.txt"},        // missing file keeps the caller's spelling
      {"nowhere\\Sub\\x.txt", "nowhere/Sub/x.txt"},  // nothing matches from the first component
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fs::path(plat::ResolveFileName(P(c.asked))).lexically_normal(), fs::path(P(c.found)).lexically_normal())
        << c.asked;
  }
  EXPECT_EQ(plat::ResolveFileName(""), "");

  std::FILE* f = plat::OpenFileStream(P("IMAGES\\CELL.PNG").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char buf[8] = {};
  EXPECT_EQ(std::fread(buf, 1, sizeof buf, f), 4u);
  std::fclose(f);
  EXPECT_EQ(plat::OpenFileStream(P("images\\none.png").c_str(), "rb"), nullptr);
  EXPECT_EQ(plat::OpenFileStream(P("images").c_str(), "rb"), nullptr) << "a folder is not a file";
}

std::vector<std::string> Search(const std::string& pattern) {
  std::vector<std::string> names;
  plat::WIN32_FIND_DATA data;
  plat::HANDLE h = plat::FindFirstFile(pattern.c_str(), &data);
  if (h == plat::INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (plat::FindNextFile(h, &data));
  EXPECT_TRUE(plat::FindClose(h));
  return names;
}

TEST_F(FilesTest, SearchesAreSortedCaseBlindAndSkipDotEntries) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Search(P("images\\*.*")), (V{"b.txt", "cell.PNG", "Dialog"}));
  EXPECT_EQ(Search(P("images\\*")), (V{"b.txt", "cell.PNG", "Dialog"}));
  EXPECT_EQ(Search(P("IMAGES\\*.png")), (V{"cell.PNG"}));
  EXPECT_EQ(Search(P("images/?.TXT")), (V{"b.txt"}));
  EXPECT_EQ(Search(P("images/dialog/*")), (V{"380 220.png"}));
  EXPECT_EQ(Search(P("images/CELL.png")), (V{"cell.PNG"}));
  EXPECT_EQ(Search(P("images/*.jpg")), V{});
  EXPECT_EQ(Search(P("missing/*")), V{});

  plat::WIN32_FIND_DATA data;
  plat::HANDLE h = plat::FindFirstFile(P("images\\*").c_str(), &data);
  ASSERT_NE(h, plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 2u);
  EXPECT_EQ(data.dwFileAttributes & plat::FILE_ATTRIBUTE_DIRECTORY, 0u);
  ASSERT_TRUE(plat::FindNextFile(h, &data));
  ASSERT_TRUE(plat::FindNextFile(h, &data));
  EXPECT_STREQ(data.cFileName, "Dialog");
  EXPECT_NE(data.dwFileAttributes & plat::FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_FALSE(plat::FindNextFile(h, &data));
  plat::FindClose(h);
}

TEST_F(FilesTest, AttributesFoldersAndRenames) {
  EXPECT_EQ(plat::GetFileAttributes(P("images").c_str()) & plat::FILE_ATTRIBUTE_DIRECTORY, plat::FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(plat::GetFileAttributes(P("maps.TXT").c_str()), plat::FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(plat::GetFileAttributes(P("none").c_str()), plat::INVALID_FILE_ATTRIBUTES);

  EXPECT_TRUE(plat::CreateDirectory(P("images\\save").c_str(), nullptr));
  EXPECT_TRUE(fs::is_directory(root_ / "Images" / "save"));
  EXPECT_FALSE(plat::CreateDirectory(P("images\\save").c_str(), nullptr)) << "exists already";
  EXPECT_TRUE(plat::RemoveDirectory(P("IMAGES/SAVE").c_str()));

  EXPECT_FALSE(plat::MoveFile(P("maps.txt").c_str(), P("images\\B.TXT").c_str())) << "target exists";
  EXPECT_TRUE(plat::MoveFile(P("MAPS.txt").c_str(), P("images\\moved.txt").c_str()));
  EXPECT_TRUE(fs::exists(root_ / "Images" / "moved.txt"));
  EXPECT_TRUE(plat::DeleteFile(P("images\\moved.TXT").c_str()));
  EXPECT_FALSE(plat::DeleteFile(P("images\\moved.TXT").c_str()));

  char small[2];
  const plat::DWORD needed = plat::GetCurrentDirectory(sizeof small, small);
  std::vector<char> cwd(needed);
  EXPECT_EQ(plat::GetCurrentDirectory(needed, cwd.data()), needed - 1);
  EXPECT_EQ(fs::path(cwd.data()), fs::current_path());
}

TEST_F(FilesTest, ReadOnlyFilesAndTimes) {
  plat::ReadOnlyFile f;
  ASSERT_TRUE(f.Open(P("images\\dialog\\380 220.PNG")));
  ASSERT_EQ(f.Size(), 6u);
  char bytes[8] = {};
  EXPECT_EQ(f.ReadAt(1, bytes, sizeof bytes), 5u);  // the file ends first
  EXPECT_EQ(std::memcmp(bytes, "ialog", 5), 0);
  plat::ReadOnlyFile empty;
  EXPECT_TRUE(empty.Open(P("maps.txt")));
  EXPECT_EQ(empty.Size(), 0u);
  EXPECT_EQ(empty.ReadAt(0, bytes, sizeof bytes), 0u);
  plat::ReadOnlyFile none;
  EXPECT_FALSE(none.Open(P("none.bin")));
  EXPECT_FALSE(none.Open(P("images")));

  const plat::FILETIME t = plat::FileTimeFromUnixSeconds(0);
  EXPECT_EQ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime, 116444736000000000ull);
  EXPECT_EQ(plat::UnixSecondsFromFileTime(plat::FileTimeFromUnixSeconds(1767225600)), 1767225600);
}

// Only plain files are read whole, up to the given size; folders, pipes without a writer
// and devices are refused at once with a reason, as is a larger file.
TEST_F(FilesTest, WholeFileReadsTakePlainFilesOfBoundedSizeOnly) {
  ASSERT_EQ(::mkfifo(P("pipe").c_str(), 0600), 0);
  std::vector<unsigned char> bytes;
  std::string why;
  ASSERT_TRUE(plat::ReadRegularFile(P("images/dialog/380 220.PNG"), 6, &bytes, &why));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "dialog");
  EXPECT_TRUE(plat::ReadRegularFile(P("maps.txt"), 0, &bytes));
  EXPECT_TRUE(bytes.empty());
  const struct {
    std::string name;
    std::size_t max;
    const char* why;
  } refused[] = {
      {P("Images"), 100, "is a folder"},
      {P("pipe"), 100, "is not a plain file"},
      {"/dev/zero", 100, "is not a plain file"},
      {P("Images/Dialog/380 220.png"), 5, "is larger than 5 bytes"},
      {P("none"), 100, "No such file or directory"},
  };
  for (const auto& c : refused) {
    why.clear();
    EXPECT_FALSE(plat::ReadRegularFile(c.name, c.max, &bytes, &why)) << c.name;
    EXPECT_EQ(why, c.why) << c.name;
  }
  for (const char* name : {"Images", "pipe", "none"}) EXPECT_EQ(plat::OpenFileStream(P(name).c_str(), "rb"), nullptr) << name;
}

// Whole-file writes keep the replaced file's permissions, clear a stale scratch entry of any
// kind, take the name in any case, and refuse a name that is not a regular file.
TEST_F(FilesTest, WholeFileWritesReplaceOnlyRegularFilesAndKeepTheirPermissions) {
  Write("Images/save.usr", "old");
  fs::permissions(root_ / "Images" / "save.usr", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(root_ / "maps.txt", root_ / "Images" / "save.usr.tmp");  // stale scratch entry
  const plat::FilePiece pieces[] = {{"ne", 2}, {"", 0}, {"w!", 2}};
  ASSERT_TRUE(plat::WriteFileWhole(P("IMAGES\\Save.usr"), pieces, 3));
  std::ifstream in(root_ / "Images" / "save.usr", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new!");
  EXPECT_EQ(fs::status(root_ / "Images" / "save.usr").permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(fs::exists(root_ / "Images" / "save.usr.tmp"));
  EXPECT_TRUE(fs::exists(root_ / "maps.txt"));

  errno = 0;
  EXPECT_FALSE(plat::WriteFileWhole(P("Images/Dialog"), pieces, 3));
  EXPECT_EQ(errno, EISDIR);
  EXPECT_TRUE(fs::is_directory(root_ / "Images" / "Dialog"));
  EXPECT_FALSE(plat::WriteFileWhole(P("missing/file.usr"), pieces, 3));
  EXPECT_EQ(errno, ENOENT);
}

// A deleted file's folder is flushed (seen through the write hook), so the file does not come
// back after a power cut; a name that is missing or a folder is refused and nothing is flushed.
TEST_F(FilesTest, DeletingAFileFlushesItsFolder) {
  static std::vector<std::string> flushed;
  flushed.clear();
  plat::SetFileWriteHook([](plat::FileWriteStep step, const char* name) {
    if (step == plat::FileWriteStep::SyncFolder) flushed.emplace_back(name);
    return 0;
  });
  Write("Images/old.usr", "x");
  EXPECT_TRUE(plat::DeleteFileWhole(P("IMAGES\\Old.usr")));
  EXPECT_FALSE(fs::exists(root_ / "Images" / "old.usr"));
  errno = 0;
  EXPECT_FALSE(plat::DeleteFileWhole(P("Images/old.usr")));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(plat::DeleteFileWhole(P("Images/Dialog")));
  EXPECT_TRUE(fs::is_directory(root_ / "Images" / "Dialog"));
  plat::SetFileWriteHook(nullptr);
  EXPECT_EQ(flushed, std::vector<std::string>{(root_ / "Images" / "old.usr").string()});
}

TEST(NamedBlockTest, SameNameGivesTheSameZeroedBlock) {
  void* a = plat::MapNamedSharedBlock("files-test-block", 16);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(a)[15], 0);
  EXPECT_EQ(plat::MapNamedSharedBlock("files-test-block", 8), a);
  EXPECT_EQ(plat::MapNamedSharedBlock("files-test-block", 32), nullptr) << "cannot grow";
  EXPECT_NE(plat::MapNamedSharedBlock("files-test-other", 8), a);
  EXPECT_EQ(plat::MapNamedSharedBlock("files-test-zero", 0), nullptr);
}

}  // namespace
