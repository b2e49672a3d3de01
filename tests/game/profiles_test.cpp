// The profiles dialog, the new-player dialog and its error dialog over the profiles store:
// which names show, choosing and deleting players, and the rules for a new name.
#include <filesystem>
#include <string>
#include <vector>

#include "game/ErrorDialog.h"
#include "game/NewPlayerDialog.h"
#include "game/ProfilesDialog.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/ITextVOs.h"
#include "tests/game/DialogFixture.h"
#include "tests/game/GameSandbox.h"
#include "tests/platform/FileFaults.h"

namespace {

using namespace Doduderor;
using dialogs_test::DialogTest;

constexpr int kEnter = 13;
constexpr int kBackspace = 8;

class ProfilesTest : public DialogTest {
 protected:
  // The start screen gives the dialog object this size.
  void MakeDialog() {
    profiles = std::make_unique<ProfilesDialog>(nullptr);
    profiles->GetDialog()->SetSize(380, 450);
  }
  ~ProfilesTest() override { profiles.reset(); }

  std::vector<std::string> NameTexts() const {
    std::vector<std::string> names;
    for (int i = 0; i < ProfilesDialog::kNameCount; ++i) names.push_back(profiles->GetNameButton(i)->GetText());
    return names;
  }
  std::vector<bool> NamesEnabled() const {
    std::vector<bool> enabled;
    for (int i = 0; i < ProfilesDialog::kNameCount; ++i) enabled.push_back(profiles->GetNameButton(i)->IsEnabled());
    return enabled;
  }
  void Type(const std::string& text) {
    for (char c : text) factory->OnKeyChar(c);
  }

  std::unique_ptr<ProfilesDialog> profiles;
};

TEST_F(ProfilesTest, NamesShownForOneFourAndFivePlayers) {
  struct Case {
    std::vector<std::string> players;
    std::vector<std::string> names;
    std::vector<bool> enabled;
    bool newEnabled;
  };
  const Case cases[] = {
      {{"Ann"}, {"Ann", "", "", ""}, {true, false, false, false}, true},
      {{"Ann", "Bob", "Cid", "Dee"}, {"Ann", "Bob", "Cid", "Dee"}, {true, true, true, true}, false},
      {{"Ann", "Bob", "Cid", "Dee", "Eve"}, {"Ann", "Bob", "Cid", "Dee"}, {true, true, true, true}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.players.size());
    for (std::size_t i = 0; i < c.players.size(); ++i) AddTestPlayer(c.players[i], i == 0);
    MakeDialog();
    profiles->Show(true);
    EXPECT_EQ(NameTexts(), c.names);
    EXPECT_EQ(NamesEnabled(), c.enabled);
    EXPECT_EQ(profiles->GetNewButton()->IsEnabled(), c.newEnabled);
    EXPECT_FALSE(profiles->GetNewPlayerDialog()->IsShown());
    EXPECT_EQ(profiles->GetCloseButton()->GetPosition(), (ControlLibrary::VOPoint{190, 410}));
    Click(*profiles, profiles->GetCloseButton());
    EXPECT_FALSE(profiles->IsShown());
    profiles.reset();
    FreePlayerList();
  }
}

TEST_F(ProfilesTest, ClickingANameMakesItCurrent) {
  Player* ann = AddTestPlayer("Ann", true);
  Player* bob = AddTestPlayer("Bob");
  MakeDialog();
  profiles->Show(true);
  Click(*profiles, profiles->GetNameButton(1));
  EXPECT_EQ(ann->current, 0);
  EXPECT_EQ(bob->current, 1);
  EXPECT_TRUE(profiles->IsShown());
  Click(*profiles, profiles->GetNameButton(3));  // no player there: nothing changes
  EXPECT_EQ(bob->current, 1);
}

TEST_F(ProfilesTest, DeleteRemovesTheCurrentPlayerAndItsFile) {
  AddTestPlayer("Ann", false, 0, true);
  AddTestPlayer("Bob", true, 0, true);
  AddTestPlayer("Cid", false, 0, true);
  AddTestPlayer("Dee", false, 0, true);
  MakeDialog();
  profiles->Show(true);
  EXPECT_FALSE(profiles->GetNewButton()->IsEnabled());
  Click(*profiles, profiles->GetDeleteButton());
  EXPECT_FALSE(std::filesystem::exists("save/Bob.usr"));
  EXPECT_TRUE(std::filesystem::exists("save/Ann.usr"));
  PlayerList* players = GetPlayerList();
  ASSERT_EQ(players->size(), 3u);
  EXPECT_EQ(GetCurrentPlayer(players)->name, "Ann");
  EXPECT_EQ(game_test::ScratchFolder::Read("save/Ann.usr").at(0), 1);  // the new current player, on disk at once
  EXPECT_EQ(NameTexts(), (std::vector<std::string>{"Ann", "Cid", "Dee", ""}));
  EXPECT_TRUE(profiles->GetNewButton()->IsEnabled());
}

TEST_F(ProfilesTest, WithoutPlayersTheNewPlayerDialogOpensAndCannotBeCancelled) {
  AddTestPlayer("Ann", true, 0, true);
  MakeDialog();
  profiles->Show(true);
  NewPlayerDialog* newPlayer = profiles->GetNewPlayerDialog();
  Click(*profiles, profiles->GetDeleteButton());
  EXPECT_TRUE(GetPlayerList()->empty());
  EXPECT_TRUE(newPlayer->IsShown());
  EXPECT_FALSE(newPlayer->GetCancelButton()->IsEnabled());
  EXPECT_FALSE(newPlayer->GetCreateButton()->IsEnabled());
  // Delete once more with no player at all: the shared default player is left alone.
  Click(*profiles, profiles->GetDeleteButton());
  EXPECT_TRUE(GetPlayerList()->empty());
  EXPECT_EQ(GetCurrentPlayer(GetPlayerList())->tutorialPending, 1);
}

TEST_F(ProfilesTest, TypingEnablesCreateAndEnterMakesTheNewPlayerCurrent) {
  Player* ann = AddTestPlayer("Ann", true);
  MakeDialog();
  profiles->Show(true);
  Click(*profiles, profiles->GetNewButton());
  NewPlayerDialog* newPlayer = profiles->GetNewPlayerDialog();
  ASSERT_TRUE(newPlayer->IsShown());
  EXPECT_TRUE(newPlayer->GetCancelButton()->IsEnabled());
  EXPECT_TRUE(newPlayer->GetEditBox()->HasFocus());

  factory->OnKeyDown(kEnter);  // empty box: Enter does nothing
  EXPECT_TRUE(newPlayer->IsShown());
  Type("Z");
  EXPECT_TRUE(newPlayer->GetCreateButton()->IsEnabled());
  factory->OnKeyDown(kBackspace);
  EXPECT_FALSE(newPlayer->GetCreateButton()->IsEnabled());
  Type("Zoe");
  factory->OnKeyDown(kEnter);

  EXPECT_FALSE(newPlayer->IsShown());
  PlayerList* players = GetPlayerList();
  ASSERT_EQ(players->size(), 2u);
  const Player* zoe = players->back();
  EXPECT_EQ(zoe->name, "Zoe");
  EXPECT_EQ(zoe->current, 1);
  EXPECT_EQ(zoe->mapIndex, 0);
  EXPECT_EQ(zoe->tutorialPending, 1);
  EXPECT_EQ(ann->current, 0);
  EXPECT_EQ(GetCurrentPlayer(players), zoe);
  EXPECT_EQ(profiles->GetNameButton(1)->GetText(), "Zoe");  // names rebuilt on the hide
  // On disk at once, with the current flags as they now are.
  EXPECT_EQ(game_test::ScratchFolder::Read("save/Zoe.usr"),
            (std::vector<unsigned char>{1, 'Z', 'o', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(game_test::ScratchFolder::Read("save/Ann.usr").at(0), 0);
}

// A new player whose file cannot be written stays for this run, and the error dialog says
// the players could not be saved; the files already on disk are untouched.
TEST_F(ProfilesTest, ANewPlayerThatCannotBeSavedIsKeptAndTheErrorSaysSo) {
  AddTestPlayer("Ann", true, 5, true);
  const std::vector<unsigned char> annFile = game_test::ScratchFolder::Read("save/Ann.usr");
  MakeDialog();
  profiles->Show(true);
  Click(*profiles, profiles->GetNewButton());
  NewPlayerDialog* newPlayer = profiles->GetNewPlayerDialog();
  ErrorDialog* error = newPlayer->GetErrorDialog();
  Type("Zoe");
  {
    file_faults::Scoped fault(file_faults::DiskFull());
    testing::internal::CaptureStderr();
    Click(*newPlayer, newPlayer->GetCreateButton());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Could not save save/Zoe.usr: No space left on device"),
              std::string::npos);
  }
  EXPECT_FALSE(newPlayer->IsShown());
  EXPECT_TRUE(error->IsShown());
  EXPECT_EQ(error->GetMessage()->GetText(), "Could not save the players!");
  EXPECT_EQ(GetCurrentPlayer(GetPlayerList())->name, "Zoe");
  EXPECT_FALSE(std::filesystem::exists("save/Zoe.usr"));
  EXPECT_EQ(game_test::ScratchFolder::Read("save/Ann.usr"), annFile);
  Click(*error, error->GetOkButton());
  EXPECT_FALSE(error->IsShown());
  EXPECT_EQ(profiles->GetNameButton(1)->GetText(), "Zoe");
}

TEST_F(ProfilesTest, ATakenNameShowsTheErrorAndOkReturnsToAnEmptyBox) {
  Player* ann = AddTestPlayer("Ann", true, 5, true);
  const auto annFileTime = std::filesystem::last_write_time("save/Ann.usr");
  MakeDialog();
  profiles->Show(true);
  Click(*profiles, profiles->GetNewButton());
  NewPlayerDialog* newPlayer = profiles->GetNewPlayerDialog();
  ErrorDialog* error = newPlayer->GetErrorDialog();
  Type("Ann");
  Click(*newPlayer, newPlayer->GetCreateButton());
  EXPECT_TRUE(error->IsShown());
  EXPECT_TRUE(newPlayer->IsShown());
  EXPECT_EQ(error->GetMessage()->GetText(), "Player with this name already exist!");
  EXPECT_EQ(GetPlayerList()->size(), 1u);
  EXPECT_EQ(ann->mapIndex, 5);
  EXPECT_EQ(std::filesystem::last_write_time("save/Ann.usr"), annFileTime);

  Click(*error, error->GetOkButton());
  EXPECT_FALSE(error->IsShown());
  EXPECT_TRUE(newPlayer->IsShown());
  EXPECT_EQ(newPlayer->GetEditBox()->GetText(), "");
  EXPECT_FALSE(newPlayer->GetCreateButton()->IsEnabled());

  Type("ann");  // another letter case is another player
  Click(*newPlayer, newPlayer->GetCreateButton());
  EXPECT_FALSE(newPlayer->IsShown());
  EXPECT_EQ(GetPlayerList()->size(), 2u);
}

TEST_F(ProfilesTest, NamesAreCutAtFourteenCharactersTakeNoBackslashAndCancelAddsNothing) {
  AddTestPlayer("Ann", true);
  MakeDialog();
  profiles->Show(true);
  Click(*profiles, profiles->GetNewButton());
  NewPlayerDialog* newPlayer = profiles->GetNewPlayerDialog();
  Type("abcdefghijklmnopq");
  EXPECT_EQ(newPlayer->GetEditBox()->GetText(), "abcdefghijklmn");
  for (int i = 0; i < 14; ++i) factory->OnKeyDown(kBackspace);
  Type("\\");  // would put the player's file in a folder of its own: not taken
  EXPECT_EQ(newPlayer->GetEditBox()->GetText(), "");
  EXPECT_FALSE(newPlayer->GetCreateButton()->IsEnabled());
  Type("a\\b:[]");
  EXPECT_EQ(newPlayer->GetEditBox()->GetText(), "ab:[]");
  Click(*newPlayer, newPlayer->GetCancelButton());
  EXPECT_FALSE(newPlayer->IsShown());
  EXPECT_EQ(GetPlayerList()->size(), 1u);
}

}  // namespace
