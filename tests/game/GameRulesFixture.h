// Test helpers for the game's rules, headless: one control factory on a never-started
// application for the whole test program (the game's managers are process-wide), a folder
// of small hand-made maps as the working directory, a game screen stand-in that logs what
// the field tells it, and a way to deal chosen digits in place of random ones.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "framework/resources/PakInterface.h"
#include "game/FieldMgr.h"
#include "game/GameModule.h"
#include "game/ListVO.h"
#include "game/MapList.h"
#include "game/NumberMgr.h"
#include "kernel/controls/Factory.h"
#include "tests/framework/core/AppSandbox.h"

namespace rules_test {

// The maps of the test folder, by index.
enum : std::uint16_t {
  kSquareMap = 0,  // 3 x 3, every place a cell
  kPlusMap = 1,    // a plus sign in a 4-wide map whose last column has no cell
  kLonelyMap = 2,  // a cell in no line, and one horizontal pair
  kStepMap = 3,    // two horizontal pairs joined by one vertical pair, and a pair apart
  kFirstStepsMap = 4,  // the shape of the game's first level: two columns of five, rows between
};

inline const std::vector<std::vector<std::string>> kTestMaps = {
    {"111", "111", "111"},
    {"0100", "1110", "0100"},
    {"100", "000", "011"},
    {"11011", "01100"},
    {"011110", "110011", "011110", "110011", "011110"},
};

class RulesEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    sandbox = std::make_unique<AppSandbox>();
    std::filesystem::create_directories(sandbox->root / "maps");
    for (std::size_t i = 0; i < kTestMaps.size(); ++i) {
      const auto& rows = kTestMaps[i];
      std::string bytes = "0" + std::to_string(rows[0].size()) + " 0" + std::to_string(rows.size()) + " e n test map";
      bytes.resize(25, ' ');
      for (const std::string& row : rows) bytes += "\r\n" + row;
      std::ofstream(sandbox->root / "maps" / (std::to_string(i + 1) + ".map"), std::ios::binary) << bytes;
    }
    previousFolder = std::filesystem::current_path();
    std::filesystem::current_path(sandbox->root);
    app = std::make_unique<Orvo::OrvoAppBase>();
    ControlLibrary::CreateControlFactory(app.get());
    // The maps above are read first; the pictures then come from the game's archive.
    Doduderor::MapList::Instance();
    if (Orvo::PakInterface* pak = Orvo::FindPakInterface()) pak->AddPakFile(QUORVANE_RUN_DIR "/data.pak");
  }
  // The managers outlive the factory; their destructors never touch their visual objects.
  void TearDown() override {
    std::filesystem::current_path(previousFolder);
    ControlLibrary::DestroyControlFactory();
    app.reset();
    sandbox.reset();
  }

  std::unique_ptr<AppSandbox> sandbox;
  std::unique_ptr<Orvo::OrvoAppBase> app;
  std::filesystem::path previousFolder;
};

// The game screen as the field manager sees it.
class FakeGame : public Doduderor::IGameMgr {
 public:
  void OnLevelComplete() override { ++levelsCompleted; }
  bool IsTutorialShown() override { return tutorialShown; }
  bool OnTutorialLineSelected(bool horizontal) override {
    log.push_back(horizontal ? "selected horizontal" : "selected vertical");
    return acceptTutorialLine;
  }
  void AdvanceTutorial() override { log.push_back("advance"); }
  bool IsPaused() override { return paused; }
  bool IsTutorialPlacementStep() override { return placementStep; }
  void AdvanceTutorialAfterPlacement() override { log.push_back("advance after placement"); }

  int levelsCompleted = 0;
  bool tutorialShown = false;
  bool acceptTutorialLine = true;
  bool paused = false;
  bool placementStep = false;
  std::vector<std::string> log;
};

class RulesTest : public ::testing::Test {
 protected:
  RulesTest() : field(Doduderor::FieldMgr::Instance()), numbers(Doduderor::NumberMgr::Instance()) {
    static bool panelBuilt = false;
    if (!panelBuilt) {
      field->BuildPanel(&game());
      numbers->CreateModeButtons();
      panelBuilt = true;
    }
    game() = FakeGame();
  }

  static FakeGame& game() {
    static FakeGame fake;
    return fake;
  }

  // Starts the map with the given digits, one string per map row ('0' places are skipped),
  // and brings the numbers column up as the game screen does.
  void Deal(std::uint16_t map, const std::vector<std::string>& digits) {
    field->SetActive(false);  // the last level's cells leave the screen
    field->StartLevelOnMap(map);
    for (const auto& column : field->GetGrid()->columns) {
      for (Doduderor::CellVO* cell : column) cell->SetSolution(digits[cell->GetRow()].substr(cell->GetColumn(), 1));
    }
    numbers->Clear();
    std::vector<std::string> lineNumbers;
    field->CollectLineNumbers(lineNumbers);
    for (const std::string& n : lineNumbers) numbers->AddNumber(n);
    numbers->Build();
    numbers->SetActive(true);
    field->SetActive(true);
  }

  Doduderor::CellVO* Cell(std::uint16_t column, std::uint16_t row) { return field->GetGrid()->CellAt(column, row); }

  // The field's shown digits, one string per map row, '.' for an empty cell, '#' for no cell.
  std::vector<std::string> Shown() {
    const Doduderor::MapRecord& map = *field->GetGrid()->map;
    std::vector<std::string> out(map.height, std::string(map.width, '#'));
    for (std::uint16_t r = 0; r < map.height; ++r) {
      for (std::uint16_t c = 0; c < map.width; ++c) {
        if (Doduderor::CellVO* cell = Cell(c, r)) {
          const std::string shown = cell->GetShownText();
          out[r][c] = shown.empty() ? '.' : shown[0];
        }
      }
    }
    return out;
  }

  // The texts of the column's rows, in order.
  std::vector<std::string> Column() {
    std::vector<std::string> out;
    for (const Doduderor::NumberItem* item : Doduderor::ListVO::Instance().Rows()) out.push_back(item->button->GetText());
    return out;
  }

  // Clicks the first shown row of the column carrying `number`.
  void ClickNumber(const std::string& number) {
    for (Doduderor::NumberItem* item : Doduderor::ListVO::Instance().Rows()) {
      if (item->button->GetText() == number && item->button->IsVisible()) {
        numbers->OnMouseClick(item->button->GetId(), ControlLibrary::kMouseLeft);
        return;
      }
    }
    ADD_FAILURE() << "no shown row " << number;
  }

  void Select(bool horizontal, std::uint16_t column, std::uint16_t row) {
    Cell(column, row)->OnMouseDown(Cell(column, row)->GetPicture()->GetId(),
                                   horizontal ? ControlLibrary::kMouseLeft : ControlLibrary::kMouseRight);
  }

  // Defined by the tests that use it.
  void DealSquareWithTopRowsPlaced();

  Doduderor::FieldMgr* field;
  Doduderor::NumberMgr* numbers;
};

inline ::testing::Environment* const gRulesEnvironment = ::testing::AddGlobalTestEnvironment(new RulesEnvironment);

}  // namespace rules_test
