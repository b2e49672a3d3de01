// The settings store: values survive a reload, letter case does not matter, sub-keys work,
// a corrupt or unreadable file reads as empty and is kept aside, and a failed write leaves
// the old file whole.
#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "tests/platform/FileFaults.h"

namespace fs = std::filesystem;
using namespace plat;

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("orvo_reg_" + std::to_string(std::random_device{}()));
    SetRegistryFolder(folder.string());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder, ec);
    SetRegistryFolder("");
  }
  HKEY Create(const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, "Key", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    return key;
  }
  static std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  fs::path folder;
};

TEST_F(RegistryTest, ValuesRoundTripThroughTheFile) {
  HKEY key = Create("SOFTWARE\\Maker\\Game");
  DWORD number = 85;
  ASSERT_EQ(RegSetValueExA(key, "MusicVolume", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4), ERROR_SUCCESS);
  const char text[] = "tab\there\nline%";
  ASSERT_EQ(RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text) - 1), ERROR_SUCCESS);
  RegCloseKey(key);

  HKEY sub = Create("software\\MAKER\\game\\Test3D");
  const BYTE bin[3] = {0, 255, 7};
  ASSERT_EQ(RegSetValueExA(sub, "RuntimeError", 0, REG_BINARY, bin, 3), ERROR_SUCCESS);
  RegCloseKey(sub);

  HKEY read = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Maker\\GAME", 0, KEY_READ, &read), ERROR_SUCCESS);
  DWORD type = 0, got = 0, size = 4;
  ASSERT_EQ(RegQueryValueExA(read, "musicvolume", nullptr, &type, reinterpret_cast<BYTE*>(&got), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(got, 85u);
  char buf[64] = {};
  size = 3;  // too small: the size needed comes back
  EXPECT_EQ(RegQueryValueExA(read, "Name", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof(text) - 1);
  size = sizeof(buf);
  ASSERT_EQ(RegQueryValueExA(read, "Name", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(buf, size), std::string(text));
  EXPECT_EQ(RegDeleteValueA(read, "Name"), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(read, "Name", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(read);

  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Maker\\Game\\Test3D", 0, KEY_READ, &read), ERROR_SUCCESS);
  BYTE back[3] = {};
  size = 3;
  ASSERT_EQ(RegQueryValueExA(read, "RuntimeError", nullptr, &type, back, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(back[1], 255);
  RegCloseKey(read);

  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Other", 0, KEY_READ, &read), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, CorruptFileReadsAsEmptyAndIsKeptAside) {
  fs::create_directories(folder);
  const char* garbage[] = {"not a registry file\n", "QuorvaneRegistry 1\nV\tx\ty\t4\tzz\n", "QuorvaneRegistry 1\nQ\n"};
  for (const char* content : garbage) {
    std::ofstream(folder / "game.reg", std::ios::binary) << content;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Game", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND) << content;
  }
  HKEY key = Create("SOFTWARE\\Game");
  DWORD v = 1;
  EXPECT_EQ(RegSetValueExA(key, "X", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(ReadAll(folder / "game.reg.corrupt"), garbage[2]);
}

TEST_F(RegistryTest, FailedWriteLeavesTheOldFileWhole) {
  HKEY key = Create("SOFTWARE\\Game");
  DWORD v = 7;
  ASSERT_EQ(RegSetValueExA(key, "Old", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_SUCCESS);
  const std::string before = ReadAll(folder / "game.reg");
  const file_faults::Fault faults[] = {file_faults::DiskFull(),
                                       file_faults::NoInodes(),
                                       file_faults::FolderNotWritable(),
                                       {FileWriteStep::Sync, EIO},
                                       {FileWriteStep::Rename, EACCES}};
  for (const auto& fault : faults) {
    SCOPED_TRACE(static_cast<int>(fault.step));
    file_faults::Scoped injected(fault);
    v = 9;
    EXPECT_EQ(RegSetValueExA(key, "New", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(key, "Old"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadAll(folder / "game.reg"), before);
    EXPECT_FALSE(fs::exists(folder / "game.reg.tmp"));
  }
  DWORD got = 0, size = 4;
  EXPECT_EQ(RegQueryValueExA(key, "Old", nullptr, nullptr, reinterpret_cast<BYTE*>(&got), &size), ERROR_SUCCESS);
  EXPECT_EQ(got, 7u);
  EXPECT_EQ(RegQueryValueExA(key, "New", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

// A store that could not be read keeps its bytes aside even when the first write after it
// fails, and the next write that succeeds does not replace what was kept aside.
TEST_F(RegistryTest, CorruptFileIsKeptAsideWhenTheWriteFails) {
  fs::create_directories(folder);
  std::ofstream(folder / "game.reg", std::ios::binary) << "garbage";
  {
    file_faults::Scoped injected(file_faults::DiskFull());
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Game", 0, "", 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
  }
  HKEY key = Create("SOFTWARE\\Game");
  RegCloseKey(key);
  EXPECT_EQ(ReadAll(folder / "game.reg.corrupt"), "garbage");
  EXPECT_EQ(ReadAll(folder / "game.reg"), "QuorvaneRegistry 1\nK\t\n");
}
