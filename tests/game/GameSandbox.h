// A scratch folder for the game's file tests: made fresh for each test and made the current
// directory, since the game reads and writes its option and player files there.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace game_test {

class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& tag) {
    namespace fs = std::filesystem;
    previous = fs::current_path();
    dir = fs::path(QUORVANE_BINARY_DIR) / "test_sandbox" /
          (tag + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
  }
  ~ScratchFolder() {
    std::filesystem::current_path(previous);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  static void Write(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  static std::vector<unsigned char> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::filesystem::path dir;
  std::filesystem::path previous;
};

}  // namespace game_test
