// Live tuning: site tags, marked values compiled into this test, and the re-parse of
// source files with look-alike text in comments and strings, broken input and no change.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "framework/core/Tuning.h"

namespace fs = std::filesystem;
using namespace Orvo;

namespace {

struct Box {
  std::string text, title;
};

class TuningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("orvo_tuning_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    registry.SetReporter([this](const std::string& text, const std::string& title) { boxes.push_back({text, title}); });
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Write(const std::string& name, const std::string& content) {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  // Moves a file's time on, so the next re-parse sees it as changed whatever the clock's grain.
  static void Touch(const std::string& path, int seconds) {
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(seconds));
  }
  template <typename T>
  ModValRecord* Site(const std::string& path, int line, int counter, T value) {
    const std::string tag = path + std::to_string(line) + "," + std::to_string(counter);
    return registry.Register(tag.c_str(), ModValRecord::From(value));
  }

  fs::path dir;
  ModValRegistry registry;
  std::vector<Box> boxes;
};

}  // namespace

TEST(ModValTagTest, TrailingLineAndCounterAreSplitOff) {
  struct Case {
    const char* tag;
    bool ok;
    const char* file;
    int line, counter;
  } cases[] = {
      {"game.cpp120,3", true, "game.cpp", 120, 3},
      {"/src/v2/x7.cpp12,0", true, "/src/v2/x7.cpp", 12, 0},
      {"a1,2,3", true, "a1,", 2, 3},  // only one comma belongs to the run
      {"game.cpp", false, "", 0, 0},  // no numbers
      {"120,3", false, "", 0, 0},     // the run is the whole text
      {"game.cpp120", false, "", 0, 0},
      {"game.cpp,3", false, "", 0, 0},
      {"", false, "", 0, 0},
  };
  for (const Case& c : cases) {
    std::string text = c.tag;
    int line = -1, counter = -1;
    EXPECT_EQ(ParseModValTag(&text, &line, &counter), c.ok) << c.tag;
    if (c.ok) {
      EXPECT_EQ(text, c.file) << c.tag;
      EXPECT_EQ(line, c.line) << c.tag;
      EXPECT_EQ(counter, c.counter) << c.tag;
    } else {
      EXPECT_EQ(text, c.tag);
    }
  }
}

TEST(ModValMacroTest, MarkedValuesKeepTheirTypeAndRegisterBeforeMain) {
  auto i = ORVO_MODVAL(17);
  auto d = ORVO_MODVAL(2.5);
  auto f = ORVO_MODVAL(0.25f);
  auto b = ORVO_MODVAL(true);
  auto t = ORVO_MODVAL("text");
  static_assert(std::is_same_v<decltype(i), int> && std::is_same_v<decltype(d), double> &&
                std::is_same_v<decltype(f), float> && std::is_same_v<decltype(b), bool> &&
                std::is_same_v<decltype(t), const char*>);
  EXPECT_EQ(i, 17);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(f, 0.25f);
  EXPECT_TRUE(b);
  EXPECT_STREQ(t, "text");
  // Two on one line: the earlier one has the smaller counter and is registered under this file.
  const int line = __LINE__ + 1;
  const int sum = ORVO_MODVAL(1) + ORVO_MODVAL(20);
  EXPECT_EQ(sum, 21);
  std::vector<long long> inCounterOrder;
  for (int counter = 0; counter < 1000; ++counter)
    if (ModValRecord* r = GetModValRegistry().Find(__FILE__, line, counter)) inCounterOrder.push_back(r->mInteger);
  EXPECT_EQ(inCounterOrder, (std::vector<long long>{1, 20}));
}

TEST_F(TuningTest, ChangedSourcesUpdateTheValuesAndLookAlikesAreSkipped) {
  const std::string path = Write("values.cpp",
                                 "// ORVO_MODVAL(99) in a comment\n"
                                 "/* a block comment ORVO_MODVAL(98)\n"
                                 "   still comment */ int a = ORVO_MODVAL(-0x1F);\n"
                                 "auto s = ORVO_MODVAL(\"say \\\"hi\\\" // no comment\"); double d = ORVO_MODVAL(2.5f);\r\n"
                                 "auto q = \"ORVO_MODVAL(1)\"; int b = ORVO_MODVAL( 12 ); bool f = ORVO_MODVAL(true);\n"
                                 "int big = 1'000; char ch = '\"'; int c = ORVO_MODVAL(kNamed);\n"
                                 "auto raw = R\"x(ORVO_MODVAL(5) \" )x\"; int r = ORVO_MODVAL(0X10);\n");
  ModValRecord* a = Site(path, 3, 5, 0);
  ModValRecord* s = Site(path, 4, 7, "old");
  ModValRecord* d = Site(path, 4, 8, 0.0);
  ModValRecord* b = Site(path, 5, 1, 0);
  ModValRecord* f = Site(path, 5, 2, false);
  ModValRecord* c = Site(path, 6, 4, 42);
  ModValRecord* r = Site(path, 7, 3, 0);
  const char* oldText = s->Get<const char*>();

  ASSERT_TRUE(registry.ReparseAll()) << (boxes.empty() ? "" : boxes[0].text);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(a->Get<int>(), -31);
  EXPECT_STREQ(s->Get<const char*>(), "say \"hi\" // no comment");
  EXPECT_STREQ(oldText, "old");  // a text handed out earlier stays as it was
  EXPECT_EQ(d->Get<double>(), 2.5);
  EXPECT_EQ(b->Get<int>(), 12);
  EXPECT_TRUE(f->Get<bool>());
  EXPECT_EQ(c->Get<int>(), 42);  // a named constant cannot be read from the source
  EXPECT_EQ(r->Get<int>(), 16);

  // Nothing changed since: a warning naming the files, and the values stay.
  EXPECT_FALSE(registry.ReparseAll());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "MODVAL WARNING!");
  EXPECT_EQ(boxes[0].text, "WARNING: No file changes detected.  Files parsed: \r\n  " + path);

  // An edit is picked up by the next re-parse.
  Write("values.cpp",
        "\n\n   int a = ORVO_MODVAL(7);\n"
        "auto s = ORVO_MODVAL(\"new\"); double d = ORVO_MODVAL(-1);\n"
        "int b = ORVO_MODVAL(0); bool f = ORVO_MODVAL(false);\n"
        "int c = ORVO_MODVAL(kNamed);\nint r = ORVO_MODVAL(3);\n");
  Touch(path, 5);
  ASSERT_TRUE(registry.ReparseAll());
  EXPECT_EQ(a->Get<int>(), 7);
  EXPECT_STREQ(s->Get<const char*>(), "new");
  EXPECT_EQ(d->Get<double>(), -1.0);
  EXPECT_FALSE(f->Get<bool>());
}

TEST_F(TuningTest, BrokenSourcesAreReportedAndChangeNothing) {
  struct Case {
    const char* what;
    const char* content;  // null: the file does not exist
    int siteLine;
    const char* title;
    const char* message;  // %s stands for the path
  } cases[] = {
      {"open quote", "int x = ORVO_MODVAL(1);\nconst char* t = \"abc;\n", 1, "MODVAL ERROR",
       "ERROR in %s on line 2: Error parsing quotes"},
      {"open char", "char c = 'a;\nint x = ORVO_MODVAL(1);\n", 2, "MODVAL ERROR",
       "ERROR in %s on line 1: Error parsing quotes"},
      {"line comment carried on", "int x = ORVO_MODVAL(1); // see \\\nint y = 2;\n", 1, "MODVAL ERROR",
       "ERROR in %s on line 1: Error parsing c++ comment"},
      {"open block comment", "int x = ORVO_MODVAL(1);\n/* never closed\n\n", 1, "MODVAL ERROR",
       "ERROR in %s on line 2: Error parsing c comment"},
      {"expression", "int x = ORVO_MODVAL(3 + 4);\n", 1, "MODVAL ERROR", "ERROR in %s on line 1.  Parsing Error."},
      {"text for a number", "int x = ORVO_MODVAL(\"3\");\n", 1, "MODVAL ERROR",
       "ERROR in %s on line 1.  Parsing Error."},
      {"decimal for an integer", "int x = ORVO_MODVAL(3.5);\n", 1, "MODVAL ERROR",
       "ERROR in %s on line 1.  Parsing Error."},
      {"no closing paren", "int x = ORVO_MODVAL(3\n);\n", 1, "MODVAL ERROR", "ERROR in %s on line 1.  Parsing Error."},
      {"huge number", "int x = ORVO_MODVAL(99999999999999999999);\n", 1, "MODVAL ERROR",
       "ERROR in %s on line 1.  Parsing Error."},
      {"line moved", "\nint x = ORVO_MODVAL(3);\n", 1, "MODVAL ERROR", "ERROR in %s on line 1.  Parsing Error."},
      {"file shorter", "int x = 0;\n", 9, "MODVAL ERROR", "ERROR in %s on line 9.  Parsing Error."},
      {"missing file", nullptr, 1, "MODVAL ERROR!", "ERROR: Unable to open %s for reparsing."},
  };
  int n = 0;
  for (const Case& c : cases) {
    ModValRegistry local;
    std::vector<Box> seen;
    local.SetReporter([&](const std::string& text, const std::string& title) { seen.push_back({text, title}); });
    const std::string name = "broken" + std::to_string(n++) + ".cpp";
    const std::string path = c.content ? Write(name, c.content) : (dir / name).string();
    // A sound file beside it must keep its old value too: values change only all together.
    const std::string good = Write("good" + std::to_string(n) + ".cpp", "int y = ORVO_MODVAL(5);\n");
    ModValRecord* goodValue = local.Register((good + "1,0").c_str(), ModValRecord::From(1));
    ModValRecord* value = local.Register((path + std::to_string(c.siteLine) + ",0").c_str(), ModValRecord::From(1));

    EXPECT_FALSE(local.ReparseAll()) << c.what;
    ASSERT_EQ(seen.size(), 1u) << c.what;
    EXPECT_EQ(seen[0].title, c.title) << c.what;
    char expected[1024];
    std::snprintf(expected, sizeof(expected), c.message, path.c_str());
    EXPECT_EQ(seen[0].text, expected) << c.what;
    EXPECT_EQ(value->Get<int>(), 1) << c.what;
    EXPECT_EQ(goodValue->Get<int>(), 1) << c.what;
  }
}

TEST_F(TuningTest, GarbageSourcesNeverCrash) {
  std::mt19937 rng(7);
  const std::string alphabet = "ORVO_MODVAL()\"'\\/*\n\r x0-9.,R";
  for (int round = 0; round < 300; ++round) {
    std::string content;
    const int length = static_cast<int>(rng() % 200);
    for (int i = 0; i < length; ++i) content += alphabet[rng() % alphabet.size()];
    ModValRegistry local;
    local.SetReporter([](const std::string&, const std::string&) {});
    const std::string path = Write("garbage" + std::to_string(round) + ".cpp", content);
    local.Register((path + "1,0").c_str(), ModValRecord::From(1));
    local.Register((path + "2,0").c_str(), ModValRecord::From("t"));
    local.ReparseAll();
  }
}

TEST_F(TuningTest, NoRegisteredFileWarnsWithNone) {
  EXPECT_FALSE(registry.ReparseAll());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "WARNING: No file changes detected.  Files parsed: \r\n  none");
}
