// Player profiles: the list's rules and the files "save/<name>.usr".
#include <gtest/gtest.h>

#include "game/Player.h"
#include "tests/game/GameSandbox.h"
#include "tests/platform/FileFaults.h"

using namespace Doduderor;
using game_test::ScratchFolder;

namespace {

class PlayerTest : public ::testing::Test {
 protected:
  // The number of maps the players' indices are read against.
  static constexpr std::size_t kMapCount = 26;

  PlayerTest() : folder("player") {
    FreePlayerList();
    std::filesystem::create_directory("save");
  }
  ~PlayerTest() override { FreePlayerList(); }

  static Player* Make(const std::string& name, std::uint8_t current = 0) {
    auto* p = new Player();
    p->name = name;
    p->current = current;
    return p;
  }
  static std::vector<std::string> Names(const PlayerList& list) {
    std::vector<std::string> out;
    for (const Player* p : list) out.push_back(p->name);
    return out;
  }
  ScratchFolder folder;
};

TEST_F(PlayerTest, EmptyFolderGivesEmptyListAndTheDefaultPlayer) {
  PlayerList* list = GetPlayerList();
  LoadAllPlayers(list, kMapCount);
  EXPECT_TRUE(list->empty());
  Player* p = GetCurrentPlayer(list);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->current, 0);
  EXPECT_EQ(p->name, "");
  EXPECT_EQ(p->mapIndex, 0);
  EXPECT_EQ(p->tutorialPending, 1);
  EXPECT_EQ(GetCurrentPlayer(list), p);  // one shared default
}

TEST_F(PlayerTest, FileLayoutRoundTrips) {
  Player p;
  p.current = 1;
  p.name = "Anna";
  p.mapIndex = 0x0102;
  p.tutorialPending = 0;
  ASSERT_TRUE(WritePlayerFile(&p));
  const std::vector<unsigned char> expected = {1, 'A', 'n', 'n', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x02, 0};
  EXPECT_EQ(ScratchFolder::Read("save/Anna.usr"), expected);
  Player back;
  ASSERT_TRUE(ReadPlayerFile(&back, "save/Anna.usr", 0x0103));  // a map list that holds the index
  EXPECT_EQ(back.current, 1);
  EXPECT_EQ(back.name, "Anna");
  EXPECT_EQ(back.mapIndex, 0x0102);
  EXPECT_EQ(back.tutorialPending, 0);
}

TEST_F(PlayerTest, LongNamesKeepFifteenBytesAfterAReload) {
  Player p;
  p.name = "ABCDEFGHIJKLMNOPQRST";  // 20 characters
  ASSERT_TRUE(WritePlayerFile(&p));
  ASSERT_TRUE(std::filesystem::exists("save/ABCDEFGHIJKLMNOPQRST.usr"));
  EXPECT_EQ(ScratchFolder::Read("save/ABCDEFGHIJKLMNOPQRST.usr").size(), 19u);
  PlayerList* list = GetPlayerList();
  LoadAllPlayers(list, kMapCount);
  ASSERT_EQ(list->size(), 1u);
  EXPECT_EQ(list->front()->name, "ABCDEFGHIJKLMNO");
  EXPECT_EQ(list->front()->current, 1);  // nobody was current: the first becomes current
  SaveAllPlayers(list);
  EXPECT_TRUE(std::filesystem::exists("save/ABCDEFGHIJKLMNO.usr"));
}

TEST_F(PlayerTest, LoadSkipsBrokenDuplicateAndEmptyNamedFiles) {
  ScratchFolder::Write("save/a.usr", {0, 'B', 'o', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0});
  ScratchFolder::Write("save/b.usr", {1, 'B', 'o', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0});  // same name
  ScratchFolder::Write("save/c.usr", {1});                        // no name at all
  ScratchFolder::Write("save/d.usr", {0, 'C', 'y', 0});          // short: map and tutorial keep defaults
  ScratchFolder::Write("save/e.txt", {0, 'Z', 0});               // other extension
  PlayerList* list = GetPlayerList();
  LoadAllPlayers(list, kMapCount);
  ASSERT_EQ(Names(*list), (std::vector<std::string>{"Bob", "Cy"}));
  EXPECT_EQ((*list)[0]->mapIndex, 5);
  EXPECT_EQ((*list)[1]->mapIndex, 0);
  EXPECT_EQ((*list)[1]->tutorialPending, 1);
  EXPECT_EQ(GetCurrentPlayer(list), (*list)[0]);
}

// A map index past the map list (only an edited file holds one) is a broken field: the
// player keeps the default map 0, the rest of the file counts. The index the tutorial leaves
// stays for the level selection to turn into 0.
TEST_F(PlayerTest, AMapIndexPastTheMapListLoadsAsTheDefaultMap) {
  const struct {
    std::uint16_t stored;
    std::uint16_t loaded;
  } cases[] = {{0, 0}, {25, 25}, {26, 0}, {500, 0}, {kNoMapIndex, kNoMapIndex}, {0xFFFF, 0}};
  for (const auto& c : cases) {
    FreePlayerList();
    const auto hi = static_cast<unsigned char>(c.stored >> 8);
    const auto lo = static_cast<unsigned char>(c.stored & 0xFF);
    ScratchFolder::Write("save/Tess.usr", {1, 'T', 'e', 's', 's', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, hi, lo, 0});
    PlayerList* list = GetPlayerList();
    LoadAllPlayers(list, kMapCount);
    ASSERT_EQ(Names(*list), std::vector<std::string>{"Tess"}) << c.stored;
    EXPECT_EQ(list->front()->mapIndex, c.loaded) << c.stored;
    EXPECT_EQ(list->front()->tutorialPending, 0) << c.stored;
    EXPECT_EQ(list->front()->current, 1) << c.stored;
  }
}

TEST_F(PlayerTest, AddRefusesEmptyAndRepeatedNamesButNotOtherCase) {
  PlayerList* list = GetPlayerList();
  Player* anna = Make("Anna");
  Player* empty = Make("");
  Player* again = Make("Anna");
  Player* lower = Make("anna");
  EXPECT_TRUE(AddPlayer(list, anna));
  EXPECT_FALSE(AddPlayer(list, empty));
  EXPECT_FALSE(AddPlayer(list, again));
  EXPECT_TRUE(AddPlayer(list, lower));
  EXPECT_EQ(list->size(), 2u);
  delete empty;
  delete again;
}

TEST_F(PlayerTest, RemovingTheCurrentPlayerSelectsTheFirstRemaining) {
  PlayerList* list = GetPlayerList();
  Player* a = Make("A");
  Player* b = Make("B", 1);
  Player* c = Make("C");
  AddPlayer(list, a);
  AddPlayer(list, b);
  AddPlayer(list, c);
  RemovePlayer(list, c);  // not current: B stays current
  EXPECT_EQ(GetCurrentPlayer(list), b);
  RemovePlayer(list, b);
  EXPECT_EQ(GetCurrentPlayer(list), a);
  EXPECT_EQ(Names(*list), (std::vector<std::string>{"A"}));
  Player stranger;
  stranger.name = "nobody";
  RemovePlayer(list, &stranger);
  EXPECT_EQ(list->size(), 1u);
  delete b;
  delete c;
}

TEST_F(PlayerTest, WritingFailsWithoutTheSaveFolderAndDeleteRemovesTheFile) {
  Player* p = Make("Dee");
  ASSERT_TRUE(WritePlayerFile(p));
  ASSERT_TRUE(std::filesystem::exists("save/Dee.usr"));
  DeletePlayer(p);
  EXPECT_FALSE(std::filesystem::exists("save/Dee.usr"));

  std::filesystem::remove_all("save");
  Player q;
  q.name = "Eve";
  EXPECT_FALSE(WritePlayerFile(&q));
  EXPECT_FALSE(std::filesystem::exists("save"));  // the game never makes the folder
}

TEST_F(PlayerTest, NamesWithFolderSeparatorsNeverReachTheDisk) {
  for (const char* name : {"../escape", "sub\\dir"}) {
    Player p;
    p.name = name;
    EXPECT_FALSE(WritePlayerFile(&p)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists("escape.usr"));
}

// Broken files never cost another player: they are skipped and left on disk as they are,
// and scratch files of interrupted saves are thrown away.
TEST_F(PlayerTest, BrokenFilesAreSkippedAndKeptAndScratchFilesGo) {
  const std::vector<unsigned char> ann{1, 'A', 'n', 'n', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0};
  const std::vector<unsigned char> empty{};
  const std::vector<unsigned char> garbage{0x00, 0x00, 0xFF, 0x13, 0x80, 0x7F, 0x00, 0xEE, 0xEE, 0xEE, 0xEE};
  ScratchFolder::Write("save/Ann.usr", ann);
  ScratchFolder::Write("save/Empty.usr", empty);
  ScratchFolder::Write("save/Garbage.usr", garbage);
  ScratchFolder::Write("save/Ann.usr.tmp", {1, 'A'});  // a save of Ann cut short
  ScratchFolder::Write("save/Zed.usr.tmp", {1, 'Z'});  // a first save cut short
  ScratchFolder::Write("save/notes.tmp", {7});          // not ours
  PlayerList* list = GetPlayerList();
  LoadAllPlayers(list, kMapCount);
  ASSERT_EQ(Names(*list), (std::vector<std::string>{"Ann"}));
  EXPECT_EQ((*list)[0]->mapIndex, 4);
  EXPECT_FALSE(std::filesystem::exists("save/Ann.usr.tmp"));
  EXPECT_FALSE(std::filesystem::exists("save/Zed.usr.tmp"));
  EXPECT_TRUE(std::filesystem::exists("save/notes.tmp"));
  EXPECT_TRUE(SaveAllPlayers(list));
  EXPECT_EQ(ScratchFolder::Read("save/Ann.usr"), ann);
  EXPECT_EQ(ScratchFolder::Read("save/Empty.usr"), empty);
  EXPECT_EQ(ScratchFolder::Read("save/Garbage.usr"), garbage);
}

// A save that fails (full disk, no inodes, a folder the game may not write) leaves every
// player file byte for byte as it was, and says which file failed and why.
TEST_F(PlayerTest, FailedSavesKeepEveryOldFileAndAreReported) {
  const std::vector<unsigned char> ann{1, 'A', 'n', 'n', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0};
  const std::vector<unsigned char> bob{0, 'B', 'o', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 1};
  ScratchFolder::Write("save/Ann.usr", ann);
  ScratchFolder::Write("save/Bob.usr", bob);
  PlayerList* list = GetPlayerList();
  LoadAllPlayers(list, kMapCount);
  ASSERT_EQ(list->size(), 2u);
  for (Player* p : *list) p->mapIndex = 12;
  AddPlayer(list, Make("Cy"));
  for (const auto& fault : {file_faults::DiskFull(), file_faults::NoInodes(), file_faults::FolderNotWritable()}) {
    file_faults::Scoped injected(fault);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SaveAllPlayers(list));
    const std::string log = testing::internal::GetCapturedStderr();
    for (const char* name : {"save/Ann.usr", "save/Bob.usr", "save/Cy.usr"})
      EXPECT_NE(log.find(std::string("Could not save ") + name + ": "), std::string::npos) << log;
    EXPECT_EQ(ScratchFolder::Read("save/Ann.usr"), ann);
    EXPECT_EQ(ScratchFolder::Read("save/Bob.usr"), bob);
    EXPECT_FALSE(std::filesystem::exists("save/Cy.usr"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("save"), std::filesystem::directory_iterator()), 2);
  }
}

}  // namespace
