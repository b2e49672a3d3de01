// The string, path and number helpers: parsing tables, path tables, formatting past the
// first buffer sizes, wide/narrow round trips and deleting trees that hold links.
#include "framework/core/Common.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;
using namespace Orvo;

TEST(CommonNumbers, ParseInt) {
  struct Case { const char* text; bool ok; int value; };
  const Case cases[] = {
      {"-42", true, -42}, {"0x1A", true, 26}, {"0X1f", true, 31}, {"123", true, 123},
      {"1x2", false, 0},  {"", false, 0},      {"12a", false, 0},   {"0xG", false, 0},
      {"-0x10", false, 0},  // the 'x' must be the second character
      {"-x5", false, 0},    // ... and follow a zero
      {"ff", false, 0},     // hexadecimal digits only after "0x"
      // No digits at all: no number.
      {"-", false, 0},      {"0x", false, 0},     {"0X", false, 0},   {"-x", false, 0},
      {"0", true, 0},       {"-0", true, 0},      {"0x0", true, 0},
      // Decimal numbers are ints: the ends of the range read, a step past them is refused.
      {"2147483647", true, INT_MAX}, {"-2147483648", true, INT_MIN},
      {"2147483648", false, 0},      {"-2147483649", false, 0},
      {"4294967297", false, 0},      {"99999999999", false, 0},
      {"00000000002147483647", true, INT_MAX},
      // Hexadecimal numbers are 32-bit patterns; a 33rd bit is refused.
      {"0xFFFFFFFF", true, -1},      {"0x80000000", true, INT_MIN},
      {"0x000000000FF", true, 255},  {"0x100000000", false, 0},
  };
  for (const auto& c : cases) {
    int v = 99;
    EXPECT_EQ(ParseInt(c.text, &v), c.ok) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

TEST(CommonNumbers, ParseDouble) {
  struct Case { const char* text; bool ok; double value; };
  const Case cases[] = {
      {"3.25", true, 3.25}, {"-0.5", true, -0.5}, {"7", true, 7.0}, {"3,5", false, 0.0},
      {"", false, 0.0},     {"1e5", false, 0.0},
      // No digits at all: no number.
      {"-", false, 0.0},    {".", false, 0.0},    {"-.", false, 0.0}, {".5", true, 0.5}, {"2.", true, 2.0},
  };
  for (const auto& c : cases) {
    double v = 99;
    EXPECT_EQ(ParseDouble(c.text, &v), c.ok) << c.text;
    EXPECT_DOUBLE_EQ(v, c.value) << c.text;
  }
  double v = 0;
  EXPECT_TRUE(ParseDoubleBeforeParen("1.5f); // tuned", &v));
  EXPECT_DOUBLE_EQ(v, 1.5);
  EXPECT_TRUE(ParseDoubleBeforeParen("-2)", &v));
  EXPECT_DOUBLE_EQ(v, -2.0);
  EXPECT_FALSE(ParseDoubleBeforeParen("2.0;", &v));
  EXPECT_EQ(v, 0.0);
  EXPECT_FALSE(ParseDoubleBeforeParen("-)", &v));
  EXPECT_FALSE(ParseDoubleBeforeParen(")", &v));
}

TEST(CommonNumbers, GroupDigitsAndNumericText) {
  EXPECT_EQ(GroupDigits(1234567), "1,234,567");
  EXPECT_EQ(GroupDigits(999), "999");
  EXPECT_EQ(GroupDigits(1000), "1,000");
  EXPECT_EQ(GroupDigits(0), "0");
  EXPECT_EQ(GroupDigits(-5), "");
  for (const char* yes : {"1", "-x", "+", "'a'", "\"b\""}) EXPECT_TRUE(IsNumericText(yes)) << yes;
  for (const char* no : {"", "a1", " 1"}) EXPECT_FALSE(IsNumericText(no)) << no;
}

TEST(CommonStrings, CaseTrimFind) {
  EXPECT_EQ(FindNoCase("Hello", "LL"), 2);
  EXPECT_EQ(FindNoCase("Hello", ""), 0);
  EXPECT_EQ(FindNoCase("", ""), -1);
  EXPECT_EQ(FindNoCase("Hello", "xyz"), -1);
  EXPECT_EQ(ToUpperCopy(std::string("aBc1")), "ABC1");
  EXPECT_EQ(ToLowerCopy(std::string("aBc1")), "abc1");
  EXPECT_EQ(Trim(std::string(" \t ab c\r\n")), "ab c");
  EXPECT_EQ(Trim(std::string("   ")), "");
}

TEST(CommonStrings, WideNarrowRoundTripKeepsHighCharacters) {
  const std::string latin = "Caf\xE9 \xFC" "ber";  // bytes above 127
  EXPECT_EQ(ToNarrow(ToWide(latin)), latin);
  EXPECT_EQ(ToWide(latin).size(), latin.size());
  // A character no byte can hold is replaced, the rest of the text stays.
  EXPECT_EQ(ToNarrow(L"a\u4E2Db"), "a?b");
}

TEST(CommonStrings, FormatStringGrowsPastEveryBufferSize) {
  for (std::size_t n : {10u, 159u, 160u, 161u, 700u, 5000u}) {
    std::string body(n, 'x');
    std::string out = FormatString("[%s|%d]", body.c_str(), 7);
    EXPECT_EQ(out, "[" + body + "|7]") << n;
  }
  std::string huge(kMaxFormattedLength + 100, 'y');
  EXPECT_EQ(FormatString("%s", huge.c_str()).size(), kMaxFormattedLength);
}

TEST(CommonPaths, SplittingAndSlashes) {
  EXPECT_EQ(GetFileName("a/b\\c.txt", true), "c");
  EXPECT_EQ(GetFileName("a/b\\c.txt"), "c.txt");
  EXPECT_EQ(GetFileName("dir.d/file", true), "file");
  EXPECT_EQ(GetFileNamePart("plain"), "plain");
  EXPECT_EQ(GetFileDir("c.txt"), "");
  EXPECT_EQ(GetFileDir("a\\b/c.txt"), "a\\b");
  EXPECT_EQ(GetFileDir("a\\b/c.txt", true), "a\\b/");
  EXPECT_EQ(AddTrailingSlash("dir", false), "dir/");
  EXPECT_EQ(AddTrailingSlash("dir", true), "dir\\");
  EXPECT_EQ(AddTrailingSlash("dir/", true), "dir/");
  EXPECT_EQ(AddTrailingSlash("", true), "");
  EXPECT_EQ(RemoveTrailingSlash("dir\\"), "dir");
  EXPECT_EQ(RemoveTrailingSlash("dir"), "dir");
}

TEST(CommonPaths, ResolvePath) {
  struct Case { const char* rel; const char* base; const char* expected; };
  const Case cases[] = {
      {"c.txt", "/a/b", "/a/b/c.txt"},
      {"../c.txt", "/a/b/", "/a/c.txt"},
      {"./x/../y.txt", "/a", "/a/y.txt"},
      {"/etc/z", "/a/b", "/etc/z"},
      {"../../../q", "a/", "../../q"},
      {"D:\\x", "/a", "D:\\x"},
      {"..\\f", "C:\\data\\sub", "C:\\data\\f"},
      {"x/y", "C:\\base", "C:\\base\\x\\y"},  // mixed: the backslash wins everywhere
  };
  for (const auto& c : cases) EXPECT_EQ(ResolvePath(c.rel, c.base), c.expected) << c.rel << " on " << c.base;
}

class CommonTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("orvo_common_" + std::to_string(std::random_device{}()));
    fs::create_directories(root);
  }
  void TearDown() override { fs::remove_all(root); }
  fs::path root;
};

TEST_F(CommonTreeTest, AtomicWriteReplacesWholeFilesAndLeavesTheOldOneWhenItCannot) {
  const std::string file = (root / "saved.bin").string();
  ASSERT_TRUE(WriteFileAtomically(file, "first", 5));
  ASSERT_TRUE(WriteFileAtomically(file, "second!", 7));
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "second!");
  EXPECT_FALSE(fs::exists(file + ".tmp"));

  // A target that is a folder cannot be replaced: the call fails and leaves no temporary.
  fs::create_directories(root / "folder" / "inner");
  EXPECT_FALSE(WriteFileAtomically((root / "folder").string(), "x", 1));
  EXPECT_TRUE(fs::is_directory(root / "folder" / "inner"));
  EXPECT_FALSE(fs::exists((root / "folder").string() + ".tmp"));
  EXPECT_FALSE(WriteFileAtomically((root / "missing" / "f.bin").string(), "x", 1));
}

TEST_F(CommonTreeTest, MakeDirsAndDeleteTree) {
  std::string deep = (root / "one" / "two").string() + "\\three";
  MakeDirs(deep);
  EXPECT_TRUE(fs::is_directory(root / "one" / "two" / "three"));
  std::ofstream(root / "one" / "two" / "f.txt") << "data";
  EXPECT_GT(GetFileDate((root / "one" / "two" / "f.txt").string()), 1600000000);
  EXPECT_EQ(GetFileDate((root / "missing").string()), 0);

  EXPECT_TRUE(DeleteTree((root / "one").string() + "/"));
  EXPECT_FALSE(fs::exists(root / "one"));
  EXPECT_FALSE(DeleteTree("c"));
}

TEST_F(CommonTreeTest, DeleteTreeNeverFollowsLinks) {
  fs::create_directories(root / "outside");
  std::ofstream(root / "outside" / "keep.txt") << "keep";
  fs::create_directories(root / "victim" / "sub");
  fs::create_directory_symlink(root / "outside", root / "victim" / "sub" / "link");
  fs::create_symlink(root / "outside" / "keep.txt", root / "victim" / "filelink");

  EXPECT_TRUE(DeleteTree((root / "victim").string()));
  EXPECT_FALSE(fs::exists(root / "victim"));
  EXPECT_TRUE(fs::exists(root / "outside" / "keep.txt"));

  // A link given as the tree itself is not walked.
  fs::create_directory_symlink(root / "outside", root / "toplink");
  EXPECT_FALSE(DeleteTree((root / "toplink").string()));
  EXPECT_TRUE(fs::exists(root / "outside" / "keep.txt"));
}

TEST(CommonTypes, RatioAndTwister) {
  EXPECT_EQ(Ratio(8, 6), Ratio(4, 3));
  Ratio r;
  EXPECT_EQ(r.mNumerator, 1);
  r.Set(1280, 800);
  EXPECT_EQ(r.mNumerator, 8);
  EXPECT_EQ(r.mDenominator, 5);
  MTRand a(0), b(4357);
  EXPECT_EQ(a.Next(), b.Next());
  // MT19937 seeded with 5489 gives 3499211612 first.
  MTRand c(5489);
  EXPECT_EQ(c.Next(), 3499211612u);
}

TEST(CommonSystem, AppDataFolderGetsTrailingSeparator) {
  SetAppDataFolder("/home/u/.local/share/Co/Prod");
  EXPECT_EQ(GetAppDataFolder(), "/home/u/.local/share/Co/Prod/");
  SetAppDataFolder("C:\\Data");
  EXPECT_EQ(GetAppDataFolder(), "C:\\Data\\");
  SetAppDataFolder("");
  EXPECT_EQ(GetAppDataFolder(), "");
}
