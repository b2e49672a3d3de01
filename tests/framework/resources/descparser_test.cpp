// Descriptor parser: command splitting, tokenizing, defines and the broken-descriptor table.
#include "framework/resources/DescParser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Orvo::DataElement;
using Orvo::ListDataElement;
using Orvo::SingleDataElement;

std::string Show(const DataElement* e) {
  if (!e->mIsList) return static_cast<const SingleDataElement*>(e)->mString;
  std::string s = "(";
  const auto& v = static_cast<const ListDataElement*>(e)->mElementVector;
  for (std::size_t i = 0; i < v.size(); ++i) s += (i ? " " : "") + Show(v[i]);
  return s + ")";
}

// Records every command as text with the line it began on; "FAIL" fails its command.
class RecordingParser : public Orvo::DescParser {
 public:
  bool HandleCommand(const ListDataElement& params) override {
    commands.push_back(Show(&params));
    lines.push_back(mCurrentLineNum);
    if (static_cast<const SingleDataElement*>(params.mElementVector[0])->mString == "FAIL") return Error("failed");
    return true;
  }
  void Define(const std::string& name, DataElement* value) { SetDefine(name, value); }
  std::vector<std::string> commands;
  std::vector<int> lines;
};

struct SplitCase {
  const char* text;
  std::vector<std::string> commands;
};

TEST(DescParser, SplitsCommandsAtSemicolonsAcrossLines) {
  const SplitCase cases[] = {
      {"A 1;B 2", {"(A 1)", "(B 2)"}},
      {"A 1\n  2\n3;", {"(A 1 2 3)"}},
      {"A 'x;y' \"p;q\";B", {"(A 'x;y' \"p;q\")", "(B)"}},
      {"A 1\n  # a comment; not a command\n 2;", {"(A 1 2)"}},
      {"A 1;\r\nB 2;\r\n", {"(A 1)", "(B 2)"}},
      {"A (1 2) 'x y'", {"(A (1 2) 'x y')"}},
      {"A ((1,2),(3 4)) z", {"(A ((1 2) (3 4)) z)"}},
      {"A 'it\\'s'", {"(A 'it's')"}},
      {";;  ;\n\n", {}},
      {"A 1 # not a comment", {"(A 1 # not a comment)"}},
  };
  for (const auto& c : cases) {
    RecordingParser p;
    EXPECT_TRUE(p.ParseText(c.text)) << c.text << ": " << p.mError;
    EXPECT_EQ(p.commands, c.commands) << c.text;
  }
}

TEST(DescParser, BrokenDescriptorsReportTheirMessage) {
  const std::pair<std::string, const char*> cases[] = {
      {"A(1 2)", "Unexpected List Start"},
      {"A 1)", "Unexpected List End"},
      {"A 'open", "Unterminated Single Quotes"},
      {"A \"open", "Unterminated Double Quotes"},
      {"A (1 (2)", "Unterminated List"},
      {"(A) B", "Missing Command"},
      {"A " + std::string(5000, '('), "Unexpected List Start"},
  };
  for (const auto& [text, message] : cases) {
    RecordingParser p;
    EXPECT_FALSE(p.ParseText("X;" + text + ";Y")) << text;
    EXPECT_EQ(p.mError, message) << text;
    // The command before the broken one ran, the one after it did not.
    EXPECT_EQ(p.commands, std::vector<std::string>{"(X)"}) << text;
  }
}

TEST(DescParser, CommandLinesAndStopAtFailingCommand) {
  RecordingParser p;
  EXPECT_FALSE(p.ParseText("A;\n\nB\n  1;\n FAIL;C;"));
  EXPECT_EQ(p.commands, (std::vector<std::string>{"(A)", "(B 1)", "(FAIL)"}));
  EXPECT_EQ(p.lines, (std::vector<int>{1, 3, 5}));
  EXPECT_TRUE(p.mCurrentLine.empty());
}

TEST(DescParser, FirstColumnSplitsCommandsWhenAsked) {
  RecordingParser p;
  p.mCmdSep = Orvo::DescParser::CMDSEP_NO_INDENT;
  EXPECT_TRUE(p.ParseText("A 1\n  2\nB 3\n"));
  EXPECT_EQ(p.commands, (std::vector<std::string>{"(A 1 2)", "(B 3)"}));
}

TEST(DescParser, ResolvesDefinesAndConvertsVectors) {
  RecordingParser p;
  auto* pair = new ListDataElement();
  pair->Append(new SingleDataElement("1"));
  pair->Append(new SingleDataElement("2"));
  p.Define("pair", pair);
  p.Define("one", new SingleDataElement("7"));

  ListDataElement src, out;
  std::size_t pos = 0;
  ASSERT_TRUE(p.Tokenize("-5 3.5 'q q' Pair (one)", &src, false, pos));
  ASSERT_TRUE(p.ResolveDefines(src, &out));
  EXPECT_EQ(Show(&out), "(-5 3.5 q q (1 2) (7))");

  ListDataElement bad;
  pos = 0;
  ASSERT_TRUE(p.Tokenize("1 nothing", &bad, false, pos));
  EXPECT_FALSE(p.ResolveDefines(bad, &out));
  EXPECT_EQ(p.mError, "Unable to Dereference \"nothing\"");

  std::vector<int> ints;
  SingleDataElement pairName("pair");
  EXPECT_TRUE(p.DataToIntVector(&pairName, &ints));
  EXPECT_EQ(ints, (std::vector<int>{1, 2}));
  // A define that is no list gives false without a message.
  p.mError.clear();
  SingleDataElement oneName("one");
  std::vector<std::string> strings;
  EXPECT_FALSE(p.DataToStringVector(&oneName, &strings));
  EXPECT_EQ(p.mError, "");
  // Nested lists and non-numbers do not convert.
  ListDataElement nested, words;
  pos = 0;
  ASSERT_TRUE(p.Tokenize("(1 (2))", &nested, false, pos));
  EXPECT_FALSE(p.DataToStringVector(nested.mElementVector[0], &strings));
  EXPECT_TRUE(strings.empty());
  pos = 0;
  ASSERT_TRUE(p.Tokenize("(1 '2x')", &words, false, pos));
  EXPECT_FALSE(p.DataToIntVector(words.mElementVector[0], &ints));
  std::vector<double> doubles;
  ListDataElement nums;
  pos = 0;
  ASSERT_TRUE(p.Tokenize("(0.5 -2 3)", &nums, false, pos));
  EXPECT_TRUE(p.DataToDoubleVector(nums.mElementVector[0], &doubles));
  EXPECT_EQ(doubles, (std::vector<double>{0.5, -2.0, 3.0}));
}

TEST(DescParser, Unquote) {
  EXPECT_EQ(Orvo::DescParser::Unquote("'it''s'"), "it's");
  EXPECT_EQ(Orvo::DescParser::Unquote("\"a b\""), "a b");
  EXPECT_EQ(Orvo::DescParser::Unquote("plain"), "plain");
  EXPECT_EQ(Orvo::DescParser::Unquote(""), "");
  EXPECT_EQ(Orvo::DescParser::Unquote("'"), "");
}

TEST(DescParser, ListCopiesAreDeep) {
  ListDataElement a;
  a.Append(new SingleDataElement("x"));
  ListDataElement b(a);
  static_cast<SingleDataElement*>(b.mElementVector[0])->mString = "y";
  EXPECT_EQ(Show(&a), "(x)");
  b.Assign(b);
  a.Assign(b);
  EXPECT_EQ(Show(&a), "(y)");
}

class DescParserFile : public ::testing::Test {
 protected:
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("descparser_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return (dir / name).string();
  }
};

TEST_F(DescParserFile, LoadsFromDiskWithoutStrayEndByte) {
  RecordingParser p;
  EXPECT_TRUE(p.LoadFile(Write("a.txt", "A 1;\nB 'two'")));
  EXPECT_EQ(p.commands, (std::vector<std::string>{"(A 1)", "(B 'two')"}));

  RecordingParser empty;
  EXPECT_TRUE(empty.LoadFile(Write("empty.txt", "")));
  EXPECT_TRUE(empty.commands.empty());

  RecordingParser missing;
  EXPECT_FALSE(missing.LoadFile((dir / "missing.txt").string()));
}

}  // namespace
