// A private place for a whole-program test: its own settings, data and runtime folders,
// a fixed command line, all removed again when the sandbox goes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "platform/Process.h"
#include "platform/Registry.h"

struct ProgramSandbox {
  explicit ProgramSandbox(const std::string& name)
      : root(std::filesystem::temp_directory_path() / (name + "_" + std::to_string(std::random_device{}()))) {
    for (const char* d : {"config", "data", "runtime"}) std::filesystem::create_directories(root / d);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
    plat::SetRegistryFolder("");
    plat::SetCommandLineArgs({"/opt/q/quorvane"});
  }
  ~ProgramSandbox() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  ProgramSandbox(const ProgramSandbox&) = delete;
  ProgramSandbox& operator=(const ProgramSandbox&) = delete;

  std::filesystem::path root;
};
