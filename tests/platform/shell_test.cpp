// ShellExecuteA "open": the desktop's opener is started with the link as one argument of its
// own, so text in the link never reaches a shell.
#include "platform/Shell.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

TEST(Shell, OpenStartsTheOpenerWithTheLinkAsOneArgument) {
  const fs::path dir = fs::temp_directory_path() / ("shell_test_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path received = dir / "received.txt";
  // A stand-in opener that records the arguments it was given, one per line.
  {
    std::ofstream opener(dir / "xdg-open");
    opener << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" << received.string() << "'; done\n";
  }
  fs::permissions(dir / "xdg-open", fs::perms::owner_all);
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (dir.string() + ":" + oldPath).c_str(), 1);

  const std::string link = "https://example.org/a b?x=1;touch " + (dir / "pwned").string() + "&y=$(id)";
  EXPECT_GT(plat::ShellExecuteA(nullptr, "open", link.c_str(), nullptr, nullptr, 1), 32);
  for (int i = 0; i < 200 && !fs::exists(received); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::ifstream in(received);
  std::string line, all;
  int lines = 0;
  while (std::getline(in, line)) {
    all = line;
    ++lines;
  }
  EXPECT_EQ(lines, 1);
  EXPECT_EQ(all, link);
  EXPECT_FALSE(fs::exists(dir / "pwned"));

  // Other verbs, empty targets and option-like targets start nothing.
  EXPECT_LE(plat::ShellExecuteA(nullptr, "print", link.c_str(), nullptr, nullptr, 1), 32);
  EXPECT_LE(plat::ShellExecuteA(nullptr, "open", "", nullptr, nullptr, 1), 32);
  EXPECT_LE(plat::ShellExecuteA(nullptr, "open", "--version", nullptr, nullptr, 1), 32);

  setenv("PATH", (dir / "nothing-here").c_str(), 1);  // no opener at all
  EXPECT_LE(plat::ShellExecuteA(nullptr, "open", "https://example.org", nullptr, nullptr, 1), 32);
  setenv("PATH", oldPath.c_str(), 1);
  fs::remove_all(dir);
}
