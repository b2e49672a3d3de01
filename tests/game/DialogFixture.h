// Test helpers for the game's dialogs: a control factory on a headless application (never
// started) in a fresh program folder, with the option values, the player list and the
// level list put back to their start between tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "game/ListVOlevels.h"
#include "game/Options.h"
#include "game/Player.h"
#include "kernel/controls/Factory.h"
#include "tests/framework/core/AppSandbox.h"

namespace dialogs_test {

// Remembers every show and hide it is told of, as "show <id>" / "hide <id>".
class DialogLog : public ControlLibrary::DialogMessageObserver {
 public:
  void OnDialogShowHide(std::uint32_t dialogId, bool visible) override {
    log.push_back((visible ? "show " : "hide ") + std::to_string(dialogId));
  }
  std::vector<std::string> log;
};

class DialogTest : public ::testing::Test {
 protected:
  DialogTest() {
    Doduderor::ListVOlevels::ResetForNewFactory();  // before the factory: nothing of an old one is touched
    app = std::make_unique<Orvo::OrvoAppBase>();
    ControlLibrary::CreateControlFactory(app.get());
    factory = ControlLibrary::GetFactoryImpl();
    previousFolder = std::filesystem::current_path();
    std::filesystem::current_path(sandbox.root);
    std::filesystem::create_directories("save");
    Doduderor::ResetOptionsToDefaults();
    Doduderor::SetDisplayModeFlag(0);
  }
  ~DialogTest() override {
    Doduderor::FreePlayerList();
    Doduderor::ListVOlevels::ResetForNewFactory();
    ControlLibrary::DestroyControlFactory();
    app.reset();
    std::filesystem::current_path(previousFolder);
  }

  // Appends a player to the process's list (with a file under "save/" when asked).
  Doduderor::Player* AddTestPlayer(const std::string& name, bool current = false, std::uint16_t mapIndex = 0,
                                   bool withFile = false) {
    auto* player = new Doduderor::Player();
    player->name = name;
    player->current = current ? 1 : 0;
    player->mapIndex = mapIndex;
    EXPECT_TRUE(Doduderor::AddPlayer(Doduderor::GetPlayerList(), player));
    if (withFile) {
      EXPECT_TRUE(Doduderor::WritePlayerFile(player));
    }
    return player;
  }

  // A mouse click on a control as the factory's dispatch reports it.
  template <class Dialog>
  static void Click(Dialog& dialog, ControlLibrary::IVisibleObject* control) {
    dialog.OnMouseClick(control->GetId(), ControlLibrary::kMouseLeft);
  }

  AppSandbox sandbox;
  std::unique_ptr<Orvo::OrvoAppBase> app;
  ControlLibrary::Factory_impl* factory = nullptr;
  std::filesystem::path previousFolder;
};

}  // namespace dialogs_test
