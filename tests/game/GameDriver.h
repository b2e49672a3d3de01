// Drives the real program headless (or on a real display) through its window's message
// queue, as a player's mouse and keyboard would: the kernel runs the game object, and the
// driver posts clicks and keys. After each batch of input it posts a key of its own; when
// that key reaches the game, everything posted before it has been handled, and the driver
// looks at the screens to choose its next move. Only what a player sees is read, plus the
// cells' solutions, which stand in for a player who knows the answers.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "game/FieldMgr.h"
#include "game/FinishDlg.h"
#include "game/GameImpl.h"
#include "game/GameMgr.h"
#include "game/HelpDlg.h"
#include "game/LevelSelectDlg.h"
#include "game/ListVO.h"
#include "game/ListVOlevels.h"
#include "game/MapList.h"
#include "game/NumberMgr.h"
#include "game/Player.h"
#include "game/StartMgr.h"
#include "kernel/controls/BaseVOBridge.h"
#include "kernel/controls/Factory.h"
#include "kernel/controls/IFactory.h"
#include "kernel/controls/VisibleObject.h"
#include "kernel/kernel/MainApp.h"
#include "kernel/kernel/Kernel.h"
#include "kernel/time/ITimeSystem.h"
#include "platform/Messages.h"
#include "tests/game/GameSandbox.h"

namespace game_test {

namespace fs = std::filesystem;

// A private copy of the run folder (the game writes its files next to its data) with one
// player whose tutorial is due, and the screen size given.
inline fs::path MakeGameFolder(const fs::path& root, std::uint8_t resolutionIndex) {
  const fs::path folder = root / "game";
  fs::create_directories(folder / "save");
  for (const char* name : {"data.pak", "main.pak"}) fs::copy_file(fs::path(QUORVANE_RUN_DIR) / name, folder / name);
  ScratchFolder::Write((folder / "save" / "Tess.usr").string(),
                       {1, 'T', 'e', 's', 's', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  ScratchFolder::Write((folder / "resolution.opt").string(), {0, resolutionIndex, 0});
  return folder;
}

// The game object of the program with a driver's hands on the mouse and keyboard.
class DrivenGame : public Doduderor::GameImpl,
                   public ControlLibrary::KeybdSysMessageObserver,
                   public TimeLibrary::TimeObjectMessageObserver {
 public:
  // F24: no control of the game answers it.
  static constexpr int kSyncKey = 0x87;

  void Start() override {
    GameImpl::Start();
    ControlLibrary::GetControlFactory()->AddKeybdSysObserver(this);
    delayTimer = TimeLibrary::GetTimeSystem()->CreateTimeObject(this, 1, 1);
    Sync();
  }
  void OnKeyDown(int key) override {
    if (key != kSyncKey || done) return;
    if (++steps > maxSteps) {
      Fail("gave up after " + std::to_string(maxSteps) + " moves");
      return;
    }
    Act();
    if (!done && !waiting) Sync();
  }
  // The delay of SyncLater ended (on the timing thread): the next move is asked for.
  void OnTimerFinished(std::uint32_t) override {
    waiting = false;
    Sync();
  }

  std::vector<std::string> problems;
  int steps = 0;
  int maxSteps = 100000;

 protected:
  // The next move; called on the main thread after everything posted before was handled.
  virtual void Act() = 0;

  void Fail(const std::string& problem) {
    problems.push_back(problem);
    Stop();
  }
  // Ends the run: the quit is confirmed, then the window closed.
  void Stop() {
    done = true;
    OnQuitRequest();
    plat::PostMessageA(Window(), plat::WM_CLOSE, 0, 0);
  }
  // Lets the program run frames for a while before the next move (for a screenshot).
  void SyncLater(int ms) {
    waiting = true;
    delayTimer->SetLimit(ms);
    delayTimer->SetPeriod(ms);
    delayTimer->Start(false, 0);
  }

  static plat::HWND Window() { return KernelLibrary::GetMainApp()->mHWnd; }
  static void Sync() {
    plat::PostMessageA(Window(), plat::WM_KEYDOWN, kSyncKey, 0);
    plat::PostMessageA(Window(), plat::WM_KEYUP, kSyncKey, 0);
  }
  static void PostKey(int key) {
    plat::PostMessageA(Window(), plat::WM_KEYDOWN, static_cast<plat::WPARAM>(key), 0);
    plat::PostMessageA(Window(), plat::WM_KEYUP, static_cast<plat::WPARAM>(key), 0);
  }
  static void PostMove(int x, int y) { plat::PostMessageA(Window(), plat::WM_MOUSEMOVE, 0, plat::MAKELPARAM(x, y)); }
  // A click on the object, left or right: at the first point of it (the centre first) that
  // nothing else covers, since digits fly over the field and the column for a while after
  // each placement. The mouse comes from one pixel aside: a control that appeared under a
  // still mouse is not hovered until the mouse moves (a player's hand always moves a little).
  static void PostClick(ControlLibrary::IVisibleObject* vo, bool right = false) {
    const ControlLibrary::VOPoint p = FreePointOf(vo);
    const plat::LPARAM at = plat::MAKELPARAM(p.x, p.y);
    plat::PostMessageA(Window(), plat::WM_MOUSEMOVE, 0, plat::MAKELPARAM(p.x - 1, p.y));
    plat::PostMessageA(Window(), plat::WM_MOUSEMOVE, 0, at);
    plat::PostMessageA(Window(), right ? plat::WM_RBUTTONDOWN : plat::WM_LBUTTONDOWN,
                       right ? plat::MK_RBUTTON : plat::MK_LBUTTON, at);
    plat::PostMessageA(Window(), right ? plat::WM_RBUTTONUP : plat::WM_LBUTTONUP, 0, at);
  }
  static ControlLibrary::VOPoint FreePointOf(ControlLibrary::IVisibleObject* vo) {
    const ControlLibrary::VORect r = vo->GetScreenRect();
    ControlLibrary::Factory_impl* factory = ControlLibrary::GetFactoryImpl();
    auto topmostAt = [&](int x, int y) -> std::uint32_t {
      for (int i = factory->ShownCount() - 1; i >= 0; --i) {
        ControlLibrary::IBridgeToVO* shown = factory->ShownAt(i);
        if (shown == nullptr) continue;
        const ControlLibrary::VORect s = shown->GetImpl()->GetScreenRect();
        if (x >= s.x && x <= s.x + s.width && y >= s.y && y <= s.y + s.height) return shown->GetId();
      }
      return 0;
    };
    const int fractions[] = {50, 85, 15, 70, 30};
    for (int fy : fractions) {
      for (int fx : fractions) {
        const int x = r.x + r.width * fx / 100;
        const int y = r.y + r.height * fy / 100;
        if (topmostAt(x, y) == vo->GetId()) return {x, y};
      }
    }
    return {r.x + r.width / 2, r.y + r.height / 2};
  }

  // ---- Moves a player makes ----

  // Picks map `target` in the shown level selection: the "All" tab, the arrows until its row
  // shows, the row, then "Play".
  void ChooseLevel(std::uint16_t target) {
    Doduderor::LevelSelectDlg* select = GetGameScreen()->GetLevelSelectDialog();
    if (Doduderor::GetCurrentPlayer(Doduderor::GetPlayerList())->mapIndex == target) {
      PostClick(select->GetPlayButton());
      return;
    }
    if (select->GetTab(0)->IsEnabled()) {
      PostClick(select->GetTab(0));
      return;
    }
    Doduderor::ListVOlevels& list = Doduderor::ListVOlevels::Instance();
    for (const auto* row : list.GetRows()) {
      if (row->mapIndex != target) continue;
      if (row->button->IsVisible()) {
        PostClick(row->button);
      } else if (list.GetDownButton()->IsEnabled()) {
        PostClick(list.GetDownButton());
      } else {
        Fail("the row of map " + std::to_string(target) + " cannot be reached");
      }
      return;
    }
    Fail("map " + std::to_string(target) + " is not in the level selection");
  }

  // One move towards the solution of the level in play: selects the next line that is not
  // full, or puts its solution in from the numbers column. False when nothing is left.
  bool PlayLevelMove() {
    Doduderor::FieldMgr* field = Doduderor::FieldMgr::Instance();
    if (!field->TakesInput()) return true;  // the screen is still changing
    bool horizontal = false;
    std::vector<Doduderor::CellVO*> line;
    if (!NextLine(horizontal, line)) return false;
    if (field->GetSelection() != line || (field->GetOrientation() == Doduderor::FieldMgr::kHorizontal) != horizontal) {
      SelectLine(line, horizontal);
      return true;
    }
    PutSolution(line);
    return true;
  }

 private:
  // The line to work on: during the tutorial's first steps the marked ones, then every
  // vertical line that has an empty cell, then every such horizontal line.
  bool NextLine(bool& horizontal, std::vector<Doduderor::CellVO*>& line) {
    Doduderor::FieldMgr* field = Doduderor::FieldMgr::Instance();
    Doduderor::HelpDlg* tutorial = GetGameScreen()->GetHelpDialog();
    if (tutorial->IsShown() && tutorial->GetStep() < 3) {
      horizontal = tutorial->GetStep() < 2;
      field->VerticalLineAt(5, 5, line);
      if (horizontal) field->HorizontalLineAt(5, 5, line);
      return true;
    }
    const Doduderor::MapRecord& map = *field->GetGrid()->map;
    for (const bool h : {false, true}) {
      for (std::uint16_t c = 0; c < map.width; ++c) {
        for (std::uint16_t r = 0; r < map.height; ++r) {
          h ? field->HorizontalLineAt(c, r, line) : field->VerticalLineAt(c, r, line);
          if (line.empty() || Doduderor::FieldMgr::LinePattern(line).find(' ') == std::string::npos) continue;
          horizontal = h;
          return true;
        }
      }
    }
    return false;
  }

  // Gives up on a line that makes no progress after many moves (a click that something
  // else caught is tried again; a refused number is not).
  bool NoProgress(const std::vector<Doduderor::CellVO*>& line) {
    const std::string pattern = Doduderor::FieldMgr::LinePattern(line);
    if (line != lastLine || pattern != lastPattern) {
      lastLine = line;
      lastPattern = pattern;
      movesOnLine = 0;
    }
    if (++movesOnLine <= 4 * line.size() + 8) return false;
    const Doduderor::CellVO* first = line.front();
    Fail("map " + std::to_string(Doduderor::FieldMgr::Instance()->GetMapIndex()) + ": the line from column " +
         std::to_string(first->GetColumn()) + ", row " + std::to_string(first->GetRow()) + " stays at '" + pattern +
         "' (solution " + Doduderor::FieldMgr::LineSolution(line) + ")");
    return true;
  }

  // A click on a cell of the line with the button of its direction, a different cell each
  // time the line is asked for again.
  void SelectLine(const std::vector<Doduderor::CellVO*>& line, bool horizontal) {
    if (NoProgress(line)) return;
    PostClick(line[movesOnLine % line.size()]->GetPicture(), !horizontal);
  }

  // A click on the line's solution in the numbers column, scrolling to it first.
  void PutSolution(const std::vector<Doduderor::CellVO*>& line) {
    if (NoProgress(line)) return;
    const std::string solution = Doduderor::FieldMgr::LineSolution(line);
    Doduderor::ListVO& column = Doduderor::ListVO::Instance();
    const auto& rows = column.Rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i]->used || rows[i]->button->GetText() != solution) continue;
      if (rows[i]->button->IsVisible()) {
        PostClick(rows[i]->button);
      } else {
        PostClick(i < column.firstShown ? column.upButton : column.downButton);
      }
      return;
    }
    Fail("map " + std::to_string(Doduderor::FieldMgr::Instance()->GetMapIndex()) + " does not offer " + solution +
         " for '" + Doduderor::FieldMgr::LinePattern(line) + "'");
  }

  bool done = false;
  std::atomic<bool> waiting{false};
  TimeLibrary::ITimeObject* delayTimer = nullptr;
  std::vector<Doduderor::CellVO*> lastLine;
  std::string lastPattern;
  std::size_t movesOnLine = 0;
};

}  // namespace game_test
