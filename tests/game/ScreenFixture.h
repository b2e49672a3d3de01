// Headless fixture for the game's screens and dialogs: an application that is never
// started, the time system (ticked by hand, no timing thread) and the control factory,
// with input fed straight into the factory's dispatch. A test that builds the puzzle screen
// gives it back (the game's shutdown) before the fixture destroys the factory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "framework/core/OrvoAppBase.h"
#include "framework/resources/PakInterface.h"
#include "kernel/controls/Factory.h"
#include "kernel/time/TimeSystem_impl.h"
#include "tests/framework/core/AppSandbox.h"

namespace game_test {

class ScreenTest : public ::testing::Test {
 protected:
  ScreenTest() {
    app = std::make_unique<Orvo::OrvoAppBase>();
    TimeLibrary::CreateTimeSystem();
    ControlLibrary::CreateControlFactory(app.get());
    factory = ControlLibrary::GetFactoryImpl();
    // The game's pictures, fonts and sounds, from the run folder and its archive.
    previousFolder = std::filesystem::current_path();
    std::filesystem::current_path(QUORVANE_RUN_DIR);
    static const bool pakAdded = [] {
      Orvo::PakInterface* pak = Orvo::FindPakInterface();
      return pak != nullptr && pak->AddPakFile("main.pak") && pak->AddPakFile("data.pak");
    }();
    (void)pakAdded;
  }
  ~ScreenTest() override {
    ControlLibrary::DestroyControlFactory();
    TimeLibrary::DeleteAllTimeObjects();
    TimeLibrary::DestroyTimeSystem();
    app.reset();
    std::filesystem::current_path(previousFolder);
  }

  // Makes a scratch folder with the data archive and an empty "save/" the current
  // directory, so that option and player files written by the game stay in the test.
  std::filesystem::path UseScratchGameFolder() {
    const std::filesystem::path folder = sandbox.root / "game";
    std::filesystem::create_directories(folder / "save");
    std::filesystem::copy_file(std::filesystem::path(QUORVANE_RUN_DIR) / "data.pak", folder / "data.pak");
    std::filesystem::current_path(folder);
    return folder;
  }

  // Advances every running time object by `steps` periods of 5 ms.
  static void Tick(int steps = 1) {
    auto* time = static_cast<TimeLibrary::TimeSystem_impl*>(TimeLibrary::GetTimeSystem());
    for (int i = 0; i < steps; ++i) time->TickTimeObjects();
  }
  // A left click at the centre of the object's rectangle on the screen.
  void ClickOn(ControlLibrary::IVisibleObject* vo) {
    const ControlLibrary::VORect r = vo->GetScreenRect();
    const int x = r.x + r.width / 2;
    const int y = r.y + r.height / 2;
    factory->OnMouseMove(x, y);
    factory->OnMouseDown(x, y, ControlLibrary::kMouseLeft, 1);
    factory->OnMouseUp(x, y, ControlLibrary::kMouseLeft, 1);
  }
  void PressKey(int key) {
    factory->OnKeyDown(key);
    factory->OnKeyUp(key);
  }

  AppSandbox sandbox;
  std::filesystem::path previousFolder;
  std::unique_ptr<Orvo::OrvoAppBase> app;
  ControlLibrary::Factory_impl* factory = nullptr;
};

}  // namespace game_test
