// Test helper: points every file the application writes (settings, per-user data, the
// instance lock) at a fresh temporary folder, and removes it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"

class AppSandbox {
 public:
  AppSandbox() {
    root = std::filesystem::temp_directory_path() / ("orvo_app_" + std::to_string(std::random_device{}()));
    for (const char* dir : {"config", "data", "runtime"}) std::filesystem::create_directories(root / dir);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
    plat::SetRegistryFolder("");
    plat::SetCommandLineArgs({"/opt/q/quorvane"});
  }
  ~AppSandbox() {
    plat::StopListeningForRegisteredMessages();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  AppSandbox(const AppSandbox&) = delete;
  AppSandbox& operator=(const AppSandbox&) = delete;

  std::filesystem::path root;
};
