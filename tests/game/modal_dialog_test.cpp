// A modal dialog over another screen, in the running program: keys typed while the exit
// question covers the new-player dialog never reach the name box behind it, and the level
// selection keeps its look (only the chosen row green) under the question.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/graphics/Graphics.h"
#include "framework/graphics/MemoryImage.h"
#include "game/ExitDialog.h"
#include "game/NewPlayerDialog.h"
#include "game/ProfilesDialog.h"
#include "kernel/controls/ITextVOs.h"
#include "tests/framework/core/AppSandbox.h"
#include "tests/game/GameDriver.h"

using namespace Doduderor;

namespace {

// A key as a keyboard gives it: down, the character it types, up.
// A close request ends a batch of posted input (the window takes nothing after it), so the
// drivers below take their next move when the exit question is shown.
void PostTyped(plat::HWND window, int virtualKey, char c) {
  plat::PostMessageA(window, plat::WM_KEYDOWN, static_cast<plat::WPARAM>(virtualKey), 0);
  plat::PostMessageA(window, plat::WM_CHAR, static_cast<plat::WPARAM>(static_cast<unsigned char>(c)), 0);
  plat::PostMessageA(window, plat::WM_KEYUP, static_cast<plat::WPARAM>(virtualKey), 0);
}

// The new-player dialog with "Bo" typed, then the window's close box: the exit question
// appears over it. "b" and Enter typed then belong to the question, not to the name box.
class TypingBehindTheQuestion : public game_test::DrivenGame {
 public:
  bool boxFocusedBeforeQuestion = false;
  bool boxFocusedUnderQuestion = true;
  std::string textAfterB;
  bool createEnabledAfterB = true;
  int exitAnswer = -1;
  std::vector<std::string> playersWhenAnswered;

  void OnDialogShowHide(std::uint32_t id, bool visible) override {
    if (id == GetExitDialog()->GetDialog()->GetId()) {
      if (visible) {
        Sync();
      } else {
        exitAnswer = GetExitDialog()->answer;
        for (const Player* p : *GetPlayerList()) playersWhenAnswered.push_back(p->name);
      }
    }
    GameImpl::OnDialogShowHide(id, visible);
  }

 protected:
  void Act() override {
    ProfilesDialog* profiles = GetStartScreen()->GetProfilesDialog();
    NewPlayerDialog* newPlayer = profiles->GetNewPlayerDialog();
    ControlLibrary::IEditBoxVO* box = newPlayer->GetEditBox();
    switch (phase++) {
      case 0: PostClick(GetStartScreen()->GetPlayerButton()); break;
      case 1: PostClick(profiles->GetNewButton()); break;
      case 2:
        if (!newPlayer->IsShown()) return Fail("the new-player dialog did not open");
        boxFocusedBeforeQuestion = box->HasFocus();
        PostTyped(Window(), 'B', 'B');
        PostTyped(Window(), 'O', 'o');
        plat::PostMessageA(Window(), plat::WM_CLOSE, 0, 0);
        break;
      case 3:
        if (!GetExitDialog()->IsShown()) return Fail("the close box did not ask the exit question");
        if (box->GetText() != "Bo") return Fail("the name box holds '" + box->GetText() + "' before the question");
        boxFocusedUnderQuestion = box->HasFocus();
        PostTyped(Window(), 'B', 'b');
        break;
      case 4:
        textAfterB = box->GetText();
        createEnabledAfterB = newPlayer->GetCreateButton()->IsEnabled();
        PostTyped(Window(), 13, '\r');  // the question's own key: "Yes"
        break;
      default: Stop(); break;
    }
  }

 private:
  int phase = 0;
};

TEST(ModalDialogInGame, KeysTypedUnderTheExitQuestionNeverReachTheNameBoxBehindIt) {
  AppSandbox sandbox;
  const auto folder = game_test::MakeGameFolder(sandbox.root, 0);
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-changedir=" + folder.string()});

  TypingBehindTheQuestion game;
  game.quitsOnCloseWhenHeadless = false;
  ASSERT_TRUE(KernelLibrary::KernelStart(nullptr, &game));
  KernelLibrary::KernelStop();

  EXPECT_EQ(game.problems, std::vector<std::string>{});
  EXPECT_TRUE(game.boxFocusedBeforeQuestion);
  EXPECT_FALSE(game.boxFocusedUnderQuestion);  // the question took the keys
  EXPECT_EQ(game.textAfterB, "Bo");
  EXPECT_FALSE(game.createEnabledAfterB);  // still held down by the question
  EXPECT_EQ(game.exitAnswer, 1);           // Enter answered the question
  EXPECT_EQ(game.playersWhenAnswered, std::vector<std::string>{"Tess"});
  EXPECT_FALSE(std::filesystem::exists(folder / "save" / "Bob.usr"));
  EXPECT_FALSE(std::filesystem::exists(folder / "save" / "Bo.usr"));
}

// The level selection with map 3 chosen, then the window's close box: under the exit
// question only the chosen row shows green, as without it.
class LevelRowsUnderTheQuestion : public game_test::DrivenGame {
 public:
  // For each look (under the question, after it): the rows drawn green, by map index.
  std::vector<std::uint16_t> greenUnderQuestion;
  std::vector<std::uint16_t> greenAfterQuestion;
  int rowsSeen = 0;

  void OnDialogShowHide(std::uint32_t id, bool visible) override {
    if (visible && id == GetExitDialog()->GetDialog()->GetId()) Sync();
    GameImpl::OnDialogShowHide(id, visible);
  }

 protected:
  void Act() override {
    LevelSelectDlg* select = GetGameScreen()->GetLevelSelectDialog();
    switch (phase) {
      case 0: PostClick(GetStartScreen()->GetPlayButton()); ++phase; break;
      case 1:
        if (!select->IsShown()) return;  // the puzzle screen is still opening
        plat::PostMessageA(Window(), plat::WM_CLOSE, 0, 0);
        ++phase;
        break;
      case 2:
        if (!GetExitDialog()->IsShown()) return Fail("the close box did not ask the exit question");
        greenUnderQuestion = GreenRows();
        PostKey(27);  // "No"
        ++phase;
        break;
      case 3:
        if (GetExitDialog()->IsShown()) return Fail("Escape did not close the exit question");
        greenAfterQuestion = GreenRows();
        ++phase;
        break;
      default: Stop(); break;
    }
  }

 private:
  // Draws everything shown onto a canvas of the screen's size and returns the map indices
  // of the shown rows whose text is green (green well above red and blue).
  std::vector<std::uint16_t> GreenRows() {
    auto canvas = std::make_unique<Orvo::MemoryImage>(static_cast<Orvo::OrvoAppBase*>(nullptr));
    std::vector<std::uint32_t> blank(kWidth * kHeight, 0xFF000000u);
    canvas->SetBits(blank.data(), kWidth, kHeight);
    Orvo::Graphics graphics(canvas.get());
    ControlLibrary::GetFactoryImpl()->DrawAll(&graphics);
    std::vector<std::uint16_t> green;
    rowsSeen = 0;
    for (const ListVOlevels::RowItem* row : ListVOlevels::Instance().GetRows()) {
      if (!row->button->IsVisible()) continue;
      ++rowsSeen;
      const ControlLibrary::VORect r = row->button->GetScreenRect();
      int greenPixels = 0;
      for (int y = std::max(r.y, 0); y < std::min(r.y + r.height, kHeight); ++y) {
        for (int x = std::max(r.x, 0); x < std::min(r.x + r.width, kWidth); ++x) {
          const std::uint32_t p = canvas->GetBits()[y * kWidth + x];
          const int red = (p >> 16) & 0xFF, grn = (p >> 8) & 0xFF, blue = p & 0xFF;
          if (grn > 2 * red + 20 && grn > 2 * blue + 20) ++greenPixels;
        }
      }
      if (greenPixels > 5) green.push_back(row->mapIndex);
    }
    return green;
  }

  static constexpr int kWidth = 1024;
  static constexpr int kHeight = 768;
  int phase = 0;
};

TEST(ModalDialogInGame, UnderTheExitQuestionOnlyTheChosenLevelRowIsGreen) {
  AppSandbox sandbox;
  const auto folder = game_test::MakeGameFolder(sandbox.root, 0);
  // Tess has played the tutorial; map 3 is hers.
  game_test::ScratchFolder::Write((folder / "save" / "Tess.usr").string(),
                                  {1, 'T', 'e', 's', 's', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0});
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-changedir=" + folder.string()});

  LevelRowsUnderTheQuestion game;
  game.quitsOnCloseWhenHeadless = false;
  ASSERT_TRUE(KernelLibrary::KernelStart(nullptr, &game));
  KernelLibrary::KernelStop();

  EXPECT_EQ(game.problems, std::vector<std::string>{});
  EXPECT_GT(game.rowsSeen, 1);
  EXPECT_EQ(game.greenAfterQuestion, std::vector<std::uint16_t>{3});
  EXPECT_EQ(game.greenUnderQuestion, std::vector<std::uint16_t>{3});
}

}  // namespace
