// The pak layer: name normalisation, reading entries like stdio, archives overriding each
// other, the disk fallback, searches, the published instance and broken archives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/resources/PakInterface.h"
#include "platform/Files.h"
#include "tests/framework/resources/PakTestSupport.h"

using namespace Orvo;
using paktest::RawEntry;

namespace {

class PakTest : public ::testing::Test {
 protected:
  paktest::ScratchDir dir{"pak"};

  std::string MakePak(const std::string& file, const std::vector<RawEntry>& entries) {
    const auto path = dir.Path() / file;
    paktest::WriteFile(path, paktest::Scramble(paktest::PlainArchive(entries)));
    return path.string();
  }

  static std::string ReadAll(PakInterface& pak, const char* name) {
    PakHandle* h = pak.FOpen(name, "rb");
    if (h == nullptr) return "<missing>";
    std::string out;
    char buf[7];
    std::size_t n;
    while ((n = pak.FRead(buf, 1, sizeof buf, h)) > 0) out.append(buf, n);
    pak.FClose(h);
    return out;
  }
};

TEST(PakNormalizeTest, NamesBecomeUpperCaseBackslashKeys) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"images/Title.PNG", "IMAGES\\TITLE.PNG"},
      {"dir//sub\\x.png", "DIR\\SUB\\X.PNG"},
      {"x/y/../z", "X\\Z"},
      {"y/../z", "Z"},
      {"x/y/../../z", "Z"},
      {"./a", ".\\A"},
      {"/../z", "\\Z"},
      {"a.b/c", "A.B\\C"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PakInterface::NormalizePath(c.in), c.out) << c.in;
  EXPECT_EQ(PakInterface::NormalizePath(std::string(255, 'a').c_str()), std::string(255, 'A'));
  EXPECT_EQ(PakInterface::NormalizePath(std::string(256, 'a').c_str()), "") << "too long: held by no archive";
  EXPECT_EQ(PakInterface::NormalizePath(nullptr), "");
}

TEST_F(PakTest, EntriesAreFoundWhateverTheCaseAndSeparator) {
  PakInterface pak;
  ASSERT_TRUE(pak.AddPakFile(MakePak("a.pak", {{"IMAGES\\title.png", "picture"}, {"maps\\1.map", "map one"}})));
  EXPECT_EQ(ReadAll(pak, "images/Title.PNG"), "picture");
  EXPECT_EQ(ReadAll(pak, "IMAGES\\TITLE.png"), "picture");
  EXPECT_EQ(ReadAll(pak, "Maps//1.MAP"), "map one");
  EXPECT_EQ(ReadAll(pak, "maps/x/../1.map"), "map one");
  EXPECT_EQ(ReadAll(pak, "./maps/1.map"), "<missing>") << "a leading ./ is kept, so the disk is asked";
}

TEST_F(PakTest, AbsoluteNameInsideTheWorkingDirectoryFindsTheEntry) {
  PakInterface pak;
  ASSERT_TRUE(pak.AddPakFile(MakePak("a.pak", {{"images\\x.png", "xx"}})));
  char old[4096];
  ASSERT_GT(plat::GetCurrentDirectory(sizeof old, old), 0u);
  ASSERT_TRUE(plat::SetCurrentDirectory(dir.Path().c_str()));
  const std::string inside = dir.Path().string() + "/images/x.png";
  EXPECT_EQ(ReadAll(pak, inside.c_str()), "xx");
  EXPECT_EQ(ReadAll(pak, "/elsewhere/images/x.png"), "<missing>");
  ASSERT_TRUE(plat::SetCurrentDirectory(old));
}

TEST_F(PakTest, GetCDropsCarriageReturnsButReadKeepsThem) {
  PakInterface pak;
  ASSERT_TRUE(pak.AddPakFile(MakePak("a.pak", {{"t.txt", std::string("a\r\nb", 4)}, {"cr.txt", "\r\r"}})));
  PakHandle* h = pak.FOpen("t.txt", "r");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(pak.FGetC(h), 'a');
  EXPECT_EQ(pak.FGetC(h), '\n');
  EXPECT_EQ(pak.FEof(h), 0);
  EXPECT_EQ(pak.FGetC(h), 'b');
  EXPECT_EQ(pak.FEof(h), 1) << "end of file is reported as soon as the last byte is read";
  EXPECT_EQ(pak.FGetC(h), -1);
  pak.FClose(h);
  EXPECT_EQ(ReadAll(pak, "t.txt"), std::string("a\r\nb", 4));

  h = pak.FOpen("cr.txt", "r");
  EXPECT_EQ(pak.FGetC(h), -1) << "only carriage returns left";
  pak.FClose(h);
}

TEST_F(PakTest, GetsKeepsLineFeedsDropsCarriageReturnsAndStopsAtCount) {
  PakInterface pak;
  ASSERT_TRUE(pak.AddPakFile(MakePak("a.pak", {{"t.txt", "one\r\ntwo\nthreefour"}})));
  PakHandle* h = pak.FOpen("t.txt", "rt");
  char buf[6];
  ASSERT_NE(pak.FGets(buf, sizeof buf, h), nullptr);
  EXPECT_STREQ(buf, "one\n");
  ASSERT_NE(pak.FGets(buf, sizeof buf, h), nullptr);
  EXPECT_STREQ(buf, "two\n");
  ASSERT_NE(pak.FGets(buf, sizeof buf, h), nullptr);
  EXPECT_STREQ(buf, "three");
  ASSERT_NE(pak.FGets(buf, sizeof buf, h), nullptr);
  EXPECT_STREQ(buf, "four");
  EXPECT_EQ(pak.FGets(buf, sizeof buf, h), nullptr);
  pak.FClose(h);
}

TEST_F(PakTest, SeekClampsToTheEntryAndReadCountsWholeElements) {
  PakInterface pak;
  ASSERT_TRUE(pak.AddPakFile(MakePak("a.pak", {{"d.bin", "0123456789"}, {"empty", ""}})));
  PakHandle* h = pak.FOpen("d.bin", "rb");
  const struct {
    std::int32_t offset;
    int origin;
    std::int32_t expected;
  } seeks[] = {{0, SEEK_END, 10}, {-3, SEEK_END, 7}, {-20, SEEK_CUR, 0}, {25, SEEK_SET, 10},
               {4, SEEK_SET, 4},  {2, SEEK_CUR, 6},  {3, 99, 6},         {-1, SEEK_SET, 0}};
  for (const auto& s : seeks) {
    EXPECT_EQ(pak.FSeek(h, s.offset, s.origin), 0);
    EXPECT_EQ(pak.FTell(h), s.expected) << s.offset << " from " << s.origin;
  }
  char buf[16] = {};
  pak.FSeek(h, 3, SEEK_SET);
  EXPECT_EQ(pak.FRead(buf, 3, 5, h), 2u) << "7 bytes left make two whole 3-byte elements";
  EXPECT_EQ(std::string(buf, 7), "3456789");
  EXPECT_EQ(pak.FRead(buf, 0, 5, h), 0u);
  pak.FSeek(h, 1, SEEK_SET);
  EXPECT_EQ(pak.UnGetC('x', h), 'x');
  EXPECT_EQ(pak.FTell(h), 0);
  EXPECT_EQ(pak.UnGetC('x', h), 'x');
  EXPECT_EQ(pak.FTell(h), 0) << "never below the start";
  pak.FClose(h);

  h = pak.FOpen("empty", "rb");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(pak.FEof(h), 1);
  pak.FClose(h);
}

TEST_F(PakTest, LaterArchiveReplacesNamesOfEarlierOne) {
  PakInterface pak;
  ASSERT_TRUE(pak.AddPakFile(MakePak("a.pak", {{"same.txt", "first"}, {"only-a.txt", "a"}, {"same.txt", "again"}})));
  EXPECT_EQ(ReadAll(pak, "same.txt"), "again") << "later in the same table wins";
  ASSERT_TRUE(pak.AddPakFile(MakePak("b.pak", {{"SAME.TXT", "second"}})));
  EXPECT_EQ(ReadAll(pak, "same.txt"), "second");
  EXPECT_EQ(ReadAll(pak, "only-a.txt"), "a");

  // A handle opened before the name was replaced goes on reading what it opened.
  PakHandle* before = pak.FOpen("same.txt", "rb");
  ASSERT_TRUE(pak.AddPakFile(MakePak("c.pak", {{"same.txt", "third archive"}})));
  char buf[16] = {};
  EXPECT_EQ(pak.FRead(buf, 1, sizeof buf, before), 6u);
  EXPECT_EQ(std::string(buf, 6), "second");
  pak.FClose(before);
  EXPECT_EQ(ReadAll(pak, "same.txt"), "third archive");
}

TEST_F(PakTest, DiskIsTheFallbackAndWritingModesNeverUseArchives) {
  PakInterface pak;
  ASSERT_TRUE(pak.AddPakFile(MakePak("a.pak", {{"held.txt", "from pak"}})));
  paktest::WriteFile(dir.Path() / "Sub" / "Plain.TXT", "on disk");
  const std::string diskName = dir.Path().string() + "\\sub\\plain.txt";
  EXPECT_EQ(ReadAll(pak, diskName.c_str()), "on disk") << "backslashes and any case reach the disk file";

  char old[4096];
  plat::GetCurrentDirectory(sizeof old, old);
  ASSERT_TRUE(plat::SetCurrentDirectory(dir.Path().c_str()));
  PakHandle* w = pak.FOpen("held.txt", "w");
  ASSERT_NE(w, nullptr);
  ASSERT_NE(w->diskStream, nullptr);
  std::fputs("written", w->diskStream);
  pak.FClose(w);
  PakHandle* a = pak.FOpen("held.txt", "a+");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->entry, nullptr);
  pak.FClose(a);
  EXPECT_EQ(ReadAll(pak, "held.txt"), "from pak");
  plat::SetCurrentDirectory(old);
  EXPECT_EQ(paktest::ReadFile(dir.Path() / "held.txt"), "written");
  EXPECT_EQ(pak.FOpen((dir.Path() / "missing.txt").c_str(), "rb"), nullptr);
}

std::vector<std::string> SearchAll(PakInterface& pak, const std::string& pattern, plat::DWORD* firstSize = nullptr) {
  std::vector<std::string> names;
  plat::WIN32_FIND_DATA data;
  plat::HANDLE h = pak.FindFirstFile(pattern.c_str(), &data);
  if (h == plat::INVALID_HANDLE_VALUE) return names;
  if (firstSize != nullptr) *firstSize = data.nFileSizeLow;
  do names.push_back(data.cFileName);
  while (pak.FindNextFile(h, &data));
  EXPECT_TRUE(pak.FindClose(h));
  return names;
}

TEST_F(PakTest, SearchReturnsArchiveMatchesInKeyOrderThenDiskMatches) {
  PakInterface pak;
  ASSERT_TRUE(pak.AddPakFile(MakePak("a.pak", {{"IMAGES\\title.png", "12345"},
                                               {"images\\deep\\b.png", "b"},
                                               {"images\\a.jpg", "a"},
                                               {"other\\c.png", "c"}})));
  paktest::WriteFile(dir.Path() / "images" / "z.png", "z");
  paktest::WriteFile(dir.Path() / "images" / "y.PNG", "y");
  char old[4096];
  plat::GetCurrentDirectory(sizeof old, old);
  ASSERT_TRUE(plat::SetCurrentDirectory(dir.Path().c_str()));

  plat::DWORD size = 0;
  EXPECT_EQ(SearchAll(pak, "images/*", &size), (std::vector<std::string>{"a.jpg", "b.png", "title.png", "y.PNG", "z.png"}));
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(SearchAll(pak, "images\\*.png"), (std::vector<std::string>{"b.png", "title.png", "y.PNG", "z.png"}));
  EXPECT_EQ(SearchAll(pak, "IMAGES\\*.*"), (std::vector<std::string>{"a.jpg", "b.png", "title.png", "y.PNG", "z.png"}));
  EXPECT_EQ(SearchAll(pak, "images\\title.png"), std::vector<std::string>{}) << "no '*': archives are not searched";
  EXPECT_EQ(SearchAll(pak, "nothing\\*"), std::vector<std::string>{});

  plat::WIN32_FIND_DATA data;
  plat::HANDLE h = pak.FindFirstFile("images\\t*", &data);
  ASSERT_NE(h, plat::INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "title.png");
  EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, 0x01DC0000u);
  EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, 0x12345678u);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  pak.FindClose(h);
  plat::SetCurrentDirectory(old);
}

TEST_F(PakTest, ArchiveNamedWithSlashesAndDotsIsStillRead) {
  // The archive's own entry is keyed the way names are looked up, so any spelling of its
  // file name finds its table.
  PakInterface pak;
  MakePak("sub/data.pak", {{"x.txt", "x"}});
  char old[4096];
  plat::GetCurrentDirectory(sizeof old, old);
  ASSERT_TRUE(plat::SetCurrentDirectory(dir.Path().c_str()));
  EXPECT_TRUE(pak.AddPakFile("./sub//data.pak"));
  EXPECT_EQ(ReadAll(pak, "x.txt"), "x");
  plat::SetCurrentDirectory(old);
}

TEST_F(PakTest, BrokenArchivesAddNothingButTheirOwnNameAndNeverReadPastTheFile) {
  const std::string good = paktest::PlainArchive({{"a.txt", "AAAA"}, {"b.txt", "BBBB"}});
  struct Case {
    const char* what;
    std::string plainBytes;
    bool added;
    std::vector<std::pair<std::string, std::string>> expect;  // name -> content ("<missing>")
  };
  const std::vector<Case> cases = {
      {"empty file", "", false, {{"a.txt", "<missing>"}}},
      {"wrong magic", paktest::PlainArchive({{"a.txt", "A"}}, 0xBAC04AC1u), false, {{"a.txt", "<missing>"}}},
      {"version 1", paktest::PlainArchive({{"a.txt", "A"}}, 0xBAC04AC0u, 1), false, {{"a.txt", "<missing>"}}},
      {"header only", good.substr(0, 8), true, {{"a.txt", "<missing>"}}},
      {"table cut inside second record", good.substr(0, 8 + 19 + 4), true, {{"a.txt", ""}, {"b.txt", "<missing>"}}},
      {"data cut short", good.substr(0, good.size() - 2), true, {{"a.txt", "AAAA"}, {"b.txt", "BB"}}},
      {"size past the end",
       paktest::PlainArchive({{"a.txt", "AAAA"}, {"b.txt", "BB", 0x7FFFFFF0u}}),
       true,
       {{"a.txt", "AAAA"}, {"b.txt", "BB"}}},
      {"offset past the end",
       paktest::PlainArchive({{"a.txt", "AAAA", 0xFFFFFFF0u}, {"b.txt", "BBBB"}}),
       true,
       {{"a.txt", "AAAABBBB"}, {"b.txt", ""}}},
  };
  // Every case as a file and as a buffer held in memory: both go through the same table reader.
  for (const Case& c : cases) {
    for (const bool fromMemory : {false, true}) {
      PakInterface pak;
      const auto path = dir.Path() / "bad.pak";
      const std::string scrambled = paktest::Scramble(c.plainBytes);
      paktest::WriteFile(path, scrambled);
      const bool added = fromMemory ? pak.AddPakBuffer("bad.pak", reinterpret_cast<const std::uint8_t*>(scrambled.data()),
                                                       scrambled.size())
                                    : pak.AddPakFile(path.string());
      EXPECT_EQ(added, c.added) << c.what << (fromMemory ? " (buffer)" : "");
      for (const auto& [name, content] : c.expect) {
        EXPECT_EQ(ReadAll(pak, name.c_str()), content) << c.what << ": " << name;
        PakHandle* h = pak.FOpen(name.c_str(), "rb");
        if (h == nullptr) continue;
        pak.FSeek(h, 0, SEEK_END);
        const std::int32_t end = pak.FTell(h);
        EXPECT_LE(static_cast<std::size_t>(h->entry->start) + static_cast<std::size_t>(end), c.plainBytes.size())
            << c.what << ": " << name << " reaches past the file";
        while (pak.FGetC(h) != -1) {
        }
        pak.FClose(h);
      }
      // A rejected archive leaves only its own name behind.
      if (!c.added) {
        EXPECT_EQ(pak.Entries().size(), 1u) << c.what;
      }
    }
  }
  PakInterface pak;
  EXPECT_FALSE(pak.AddPakFile((dir.Path() / "does-not-exist.pak").string()));
  EXPECT_FALSE(pak.AddPakFile(dir.Path().string())) << "a folder is not an archive";
  EXPECT_TRUE(pak.Entries().empty());
}

// Entries are read from the archive file a piece at a time, small reads through a read-ahead:
// any mix of reads, character reads and seeks gives the entry's bytes, from a file as from
// a buffer.
TEST_F(PakTest, MixedReadsAndSeeksGiveTheEntryAcrossReadAheads) {
  std::string data(10000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('!' + i * 7 % 90);
  const std::string scrambled = paktest::Scramble(paktest::PlainArchive({{"big.bin", data}}));
  const auto path = dir.Path() / "big.pak";
  paktest::WriteFile(path, scrambled);
  for (const bool fromMemory : {false, true}) {
    PakInterface pak;
    ASSERT_TRUE(fromMemory ? pak.AddPakBuffer("big.pak", reinterpret_cast<const std::uint8_t*>(scrambled.data()),
                                              scrambled.size())
                           : pak.AddPakFile(path.string()));
    PakHandle* h = pak.FOpen("big.bin", "rb");
    ASSERT_NE(h, nullptr);
    std::string got;
    char buf[10000];
    auto read = [&](std::size_t n) {
      const std::size_t k = pak.FRead(buf, 1, n, h);
      got.append(buf, k);
      return k;
    };
    for (int i = 0; i < 5; ++i) got += static_cast<char>(pak.FGetC(h));
    EXPECT_EQ(read(4090), 4090u) << "across the end of the first read-ahead";
    EXPECT_EQ(read(3), 3u);
    pak.FSeek(h, -100, SEEK_CUR);
    got.resize(got.size() - 100);
    EXPECT_EQ(read(5000), 5000u);
    pak.UnGetC('x', h);
    got.pop_back();
    got += static_cast<char>(pak.FGetC(h));
    char line[8];
    ASSERT_NE(pak.FGets(line, sizeof line, h), nullptr);
    got += line;
    EXPECT_EQ(read(sizeof buf), 995u);
    EXPECT_EQ(pak.FGetC(h), -1);
    EXPECT_TRUE(got == data) << (fromMemory ? "buffer" : "file") << ": differs from byte "
                             << std::mismatch(got.begin(), got.end(), data.begin(), data.end()).first - got.begin();
    pak.FClose(h);
  }
}

// Another program may shrink or rewrite a loaded archive in place (a new data.pak copied over
// the old one). What the file no longer holds reads short, as a read error; nothing faults.
TEST_F(PakTest, ArchiveShrunkOrRewrittenUnderTheProgramReadsShortNeverFaults) {
  const std::string big(20000, 'B');
  const std::string path = MakePak("live.pak", {{"big.bin", big}, {"t.txt", "line one\nline two\n"}});
  PakInterface pak;
  ASSERT_TRUE(pak.AddPakFile(path));
  PakHandle* open = pak.FOpen("big.bin", "rb");
  char buf[20000];
  ASSERT_EQ(pak.FRead(buf, 1, 10, open), 10u);

  std::filesystem::resize_file(path, 0);
  pak.FSeek(open, 8192, SEEK_SET);
  EXPECT_EQ(pak.FRead(buf, 1, sizeof buf, open), 0u) << "data no longer in the file";
  EXPECT_EQ(pak.FGetC(open), -1);
  PakHandle* text = pak.FOpen("t.txt", "rt");
  ASSERT_NE(text, nullptr) << "the entries stay";
  char line[32];
  EXPECT_EQ(pak.FGets(line, sizeof line, text), nullptr);
  EXPECT_EQ(pak.FGetC(text), -1);
  EXPECT_EQ(ReadAll(pak, "big.bin"), "");

  // Rewritten with other content, half as long: reads give what is there now, then stop.
  paktest::WriteFile(path, std::string(10000, 'x'));
  pak.FSeek(open, 0, SEEK_SET);
  EXPECT_LT(pak.FRead(buf, 1, sizeof buf, open), sizeof buf);
  EXPECT_LT(ReadAll(pak, "big.bin").size(), big.size());
  pak.FClose(open);
  pak.FClose(text);

  // The archive copied back whole reads as before.
  MakePak("live.pak", {{"big.bin", big}, {"t.txt", "line one\nline two\n"}});
  EXPECT_EQ(ReadAll(pak, "big.bin"), big);
  EXPECT_EQ(ReadAll(pak, "t.txt"), "line one\nline two\n");
}

TEST(PakPublishTest, OneInstanceIsPublishedWithItsWholeAddress) {
  PakInterface* published = FindPakInterface();
  ASSERT_NE(published, nullptr) << "made before main";
  const std::string name = "gPakInterfaceP_" + std::to_string(plat::CurrentProcessId());
  void* block = plat::MapNamedSharedBlock(name, sizeof(void*));
  ASSERT_NE(block, nullptr);
  PakInterface* stored = nullptr;
  std::memcpy(&stored, block, sizeof stored);
  EXPECT_EQ(stored, published) << "all 64 bits of the pointer are kept";
  {
    PakInterface another;
    EXPECT_EQ(FindPakInterface(), published) << "a second instance does not take over";
  }
  EXPECT_EQ(FindPakInterface(), published);
}

TEST_F(PakTest, FreeFunctionsReadThroughThePublishedInstance) {
  ASSERT_TRUE(FindPakInterface()->AddPakFile(MakePak("free.pak", {{"FREE\\Lines.txt", "x\r\ny"}})));
  PakHandle* h = PakOpen("free/lines.txt", "r");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(PakGetC(h), 'x');
  EXPECT_EQ(PakGetC(h), '\n');
  EXPECT_EQ(PakTell(h), 3);
  EXPECT_EQ(PakSeek(h, 0, SEEK_SET), 0);
  char buf[8] = {};
  EXPECT_EQ(PakRead(buf, 1, sizeof buf, h), 4u);
  EXPECT_EQ(std::string(buf, 4), "x\r\ny");
  EXPECT_EQ(PakEof(h), 1);
  EXPECT_EQ(PakClose(h), 0);

  plat::WIN32_FIND_DATA data;
  plat::HANDLE s = PakFindFirstFile("free\\*", &data);
  ASSERT_NE(s, plat::INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "Lines.txt");
  EXPECT_TRUE(PakFindClose(s));
}

}  // namespace
