// The map set: the validator over the shipped sources and over broken variants of them,
// the exact byte format, and the generated map files and previews read back.
#include "assets/content/BitmapFonts.h"
#include "assets/content/Canvas.h"
#include "assets/content/Face.h"
#include "assets/content/Maps.h"
#include "tests/assets/ReadBack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using assets::MapSource;

const fs::path kSources = fs::path(QUORVANE_TEST_DATA_DIR).parent_path().parent_path() / "assets";

std::vector<MapSource> Shipped()
{
    return assets::LoadMapSources(kSources);
}

bool Mentions(const std::vector<std::string>& problems, const std::string& text)
{
    for (const std::string& p : problems)
        if (p.find(text) != std::string::npos)
            return true;
    return false;
}

TEST(MapValidator, ShippedMapsPassEveryRule)
{
    const std::vector<MapSource> maps = Shipped();
    const std::vector<std::string> problems = assets::ValidateMaps(maps);
    for (const std::string& p : problems)
        ADD_FAILURE() << p;
    // The tutorial is the last map, the rest run easy, medium, hard.
    EXPECT_EQ(maps.back().kind, 'h');
    EXPECT_EQ(maps.front().difficulty, 'e');
    EXPECT_EQ(maps[24].difficulty, 'h');
    // Each title fits its 130-px row of the level list in the 14-point font.
    const assets::BitmapFontRecipe& font14 = assets::BitmapFontRecipes()[1];
    ASSERT_EQ(font14.pointSize, 14);
    assets::Face face(font14.family, font14.style, font14.pixelSize);
    for (const MapSource& m : maps)
        EXPECT_LE(face.Measure(m.title), 130) << m.title;
}

TEST(MapValidator, CatchesEveryBrokenRule)
{
    struct Case {
        const char* what;
        std::function<void(std::vector<MapSource>&)> breakIt;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"lonely cell", [](auto& m) {
             for (auto& r : m[0].rows) r += "00";
             m[0].rows.back().back() = '1';
         }, "lies in no line"},
        {"too wide", [](auto& m) { for (auto& r : m[0].rows) r += std::string(20, '0'); }, "does not fit the puzzle screen"},
        {"wide and tall", [](auto& m) {
             m[1].rows.assign(16, std::string(19, '0'));
             m[1].rows[0] = std::string(2, '1') + std::string(17, '0');
         }, "clear the help button"},
        {"line too long", [](auto& m) { m[24].rows[0] = std::string(17, '1') + std::string(3, '0'); }, "does not fit a number button"},
        {"title too long", [](auto& m) { m[2].title = "A Title Too Long!"; }, "title must be"},
        {"no tutorial", [](auto& m) { m[25].kind = 'n'; }, "exactly one tutorial"},
        {"tutorial first", [](auto& m) { std::swap(m[0], m[25]); }, "must not be the first map"},
        {"tutorial cell missing", [](auto& m) { m[25].rows[5][5] = '0'; }, "(5, 5)"},
        {"tutorial row 0 used", [](auto& m) { m[25].rows[0] = "011000000"; }, "row 0"},
        {"two pieces", [](auto& m) { for (auto& r : m[3].rows) r += "0011"; }, "separate pieces"},
        {"bad difficulty", [](auto& m) { m[4].difficulty = 'x'; }, "difficulty"},
        {"too many cells", [](auto& m) { for (int i = 0; i < 26; ++i) m.push_back(m[20]); }, "more than 1900"},
        {"easy larger than hard", [](auto& m) { m[20].difficulty = 'e'; }, "grow from easy"},
        {"hard but untangled", [](auto& m) {
             for (int i = 17; i < 25; ++i) {
                 m[i].rows.assign(13, std::string(16, '0'));
                 for (int r = 0; r < 13; r += 2) m[i].rows[r] = std::string(16, '1');
             }
         }, "tangle"},
    };
    for (const Case& c : cases) {
        std::vector<MapSource> maps = Shipped();
        c.breakIt(maps);
        EXPECT_TRUE(Mentions(assets::ValidateMaps(maps), c.expected)) << c.what;
    }
}

TEST(MapFormat, WritesTheExactBytesAndReadsThemBack)
{
    MapSource square;
    square.title = "Little Square";
    square.rows = {"1111", "1001", "1111"};
    const std::vector<uint8_t> bytes = assets::EncodeMap(square);
    const std::string expected("04 03 e n Little Square\0\0\r\n1111\r\n1001\r\n1111\r\n", 45);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);

    MapSource back;
    ASSERT_TRUE(assets::DecodeMap(bytes, back));
    EXPECT_EQ(back.title, "Little Square");
    EXPECT_EQ(back.rows, square.rows);

    // A file that ends inside a row, or inside the header, is dropped as the game drops it.
    std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 5);
    EXPECT_FALSE(assets::DecodeMap(cut, back));
    EXPECT_FALSE(assets::DecodeMap(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20), back));
}

TEST(MapSourceText, BrokenSourcesAreRefusedWithTheirLine)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"title: A\ndifficulty: e\nkind: n\n##\n###\n", "line 5"},
        {"title: A\ndifficulty: e\nkind: n\n#x\n", "line 4"},
        {"difficulty: e\nkind: n\n##\n", "required"},
        {"title: A\ndifficulty: easy\nkind: n\n##\n", "one letter"},
        {"title: A\ndifficulty: e\nkind: n\n", "no rows"},
    };
    for (const auto& [text, expected] : cases) {
        try {
            assets::ParseMapSource(text, "t.txt");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
    }
}

TEST(GeneratedMaps, FilesAndPreviewsMatchTheSources)
{
    const fs::path out = fs::temp_directory_path() / ("quorvane_maps_" + std::to_string(::getpid()));
    assets::GenerateMaps(kSources, out);
    const std::vector<MapSource> sources = Shipped();
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        SCOPED_TRACE("map " + n);
        MapSource back;
        std::ifstream in(out / "maps" / (n + ".map"), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_TRUE(assets::DecodeMap(bytes, back));
        EXPECT_EQ(back.title, sources[i].title);
        EXPECT_EQ(back.difficulty, sources[i].difficulty);
        EXPECT_EQ(back.kind, sources[i].kind);
        EXPECT_EQ(back.rows, sources[i].rows);
        const fs::path preview = out / "images" / "maps" / (n + ".png");
        if (sources[i].kind == 'h') {
            EXPECT_FALSE(fs::exists(preview));
        } else {
            const assets::Canvas image = assets_test::ReadPicture(preview);
            EXPECT_EQ(image.Width(), 350);
            EXPECT_EQ(image.Height(), 350);
        }
    }
    fs::remove_all(out);
}

} // namespace
