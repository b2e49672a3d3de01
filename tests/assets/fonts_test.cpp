// Reads the generated bitmap fonts back through the project's descriptor parser and checks
// every command, every glyph rectangle against its sheet, and the sizes the game's layouts need.
#include "assets/content/BitmapFonts.h"
#include "assets/content/Canvas.h"
#include "framework/graphics/ImageFont.h"
#include "framework/resources/DescParser.h"
#include "tests/assets/ReadBack.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// Executes the font commands the generator writes, recording what they set and rejecting
// anything a font loader would refuse (unknown command, wrong parameter count, bad entry).
class FontDescriptorCheck : public Orvo::DescParser {
public:
    struct Glyph {
        int width = 0;
        bool hasRect = false;
        std::array<int, 4> rect{};
        std::array<int, 2> offset{};
    };
    std::array<Glyph, 256> glyphs{};
    std::map<std::pair<int, int>, int> kerning;
    int defaultPointSize = 0, pointSize = 0, ascent = 0, height = 0;
    std::string image;
    std::vector<std::string> problems;

    bool HandleCommand(const Orvo::ListDataElement& params) override
    {
        const auto& e = params.mElementVector;
        const std::string command = static_cast<const Orvo::SingleDataElement*>(e[0])->mString;
        static const std::map<std::string, size_t> counts = {
            {"SetDefaultPointSize", 1}, {"CreateLayer", 1}, {"LayerSetImage", 2}, {"LayerSetPointSize", 2},
            {"LayerSetAscent", 2}, {"LayerSetHeight", 2}, {"LayerSetCharWidths", 3}, {"LayerSetImageMap", 3},
            {"LayerSetCharOffsets", 3}, {"LayerSetKerningPairs", 3}};
        auto it = counts.find(command);
        if (it == counts.end())
            return Fail("unknown command " + command);
        if (e.size() != it->second + 1)
            return Fail("wrong parameter count for " + command);
        if (command == "SetDefaultPointSize")
            return Int(e[1], defaultPointSize);
        if (command == "CreateLayer")
            return true;
        if (command == "LayerSetImage") {
            image = Unquote(static_cast<const Orvo::SingleDataElement*>(e[2])->mString);
            return true;
        }
        if (command == "LayerSetPointSize")
            return Int(e[2], pointSize);
        if (command == "LayerSetAscent")
            return Int(e[2], ascent);
        if (command == "LayerSetHeight")
            return Int(e[2], height);

        std::vector<std::string> chars;
        if (!DataToStringVector(e[2], &chars))
            return Fail("character list of " + command + " does not convert");
        const size_t wantLength = command == "LayerSetKerningPairs" ? 2 : 1;
        for (const std::string& c : chars)
            if (c.size() != wantLength)
                return Fail(command + " entry '" + c + "' has the wrong length");
        if (command == "LayerSetCharWidths" || command == "LayerSetKerningPairs") {
            std::vector<int> values;
            if (!DataToIntVector(e[3], &values) || values.size() != chars.size())
                return Fail(command + " values do not pair up");
            for (size_t i = 0; i < chars.size(); ++i) {
                if (command == "LayerSetCharWidths")
                    glyphs[static_cast<unsigned char>(chars[i][0])].width = values[i];
                else
                    kerning[{static_cast<unsigned char>(chars[i][0]), static_cast<unsigned char>(chars[i][1])}] = values[i];
            }
            return true;
        }
        const auto* lists = e[3]->mIsList ? static_cast<const Orvo::ListDataElement*>(e[3]) : nullptr;
        if (!lists || lists->mElementVector.size() != chars.size())
            return Fail(command + " lists do not pair up");
        const size_t want = command == "LayerSetImageMap" ? 4 : 2;
        for (size_t i = 0; i < chars.size(); ++i) {
            std::vector<int> v;
            if (!DataToIntVector(lists->mElementVector[i], &v) || v.size() != want)
                return Fail(command + " entry is not a list of " + std::to_string(want) + " numbers");
            Glyph& g = glyphs[static_cast<unsigned char>(chars[i][0])];
            if (want == 4) {
                g.hasRect = true;
                g.rect = {v[0], v[1], v[2], v[3]};
            } else {
                g.offset = {v[0], v[1]};
            }
        }
        return true;
    }

private:
    bool Int(const Orvo::DataElement* e, int& out)
    {
        if (e->mIsList)
            return Fail("a list where a number belongs");
        const std::string& text = static_cast<const Orvo::SingleDataElement*>(e)->mString;
        size_t used = 0;
        out = std::stoi(text, &used);
        return used == text.size() || Fail("not an integer: " + text);
    }
    bool Fail(const std::string& why)
    {
        problems.push_back(why);
        return false;
    }
};

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class BitmapFontTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = fs::temp_directory_path() / ("quorvane_fonts_" + std::to_string(::getpid()));
        for (const auto& recipe : assets::BitmapFontRecipes())
            assets::GenerateBitmapFont(recipe, dir_);
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    static void Load(FontDescriptorCheck& check, const std::string& name, std::string* text = nullptr)
    {
        const std::string descriptor = ReadText(dir_ / "fonts" / (name + ".txt"));
        if (text)
            *text = descriptor;
        EXPECT_TRUE(check.ParseText(descriptor)) << name << ": " << check.mError
                                                 << (check.problems.empty() ? "" : check.problems.front());
    }
    static int Advance(const FontDescriptorCheck& f, const std::string& s)
    {
        int w = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            w += f.glyphs[static_cast<unsigned char>(s[i])].width;
            if (i > 0) {
                auto k = f.kerning.find({static_cast<unsigned char>(s[i - 1]), static_cast<unsigned char>(s[i])});
                if (k != f.kerning.end())
                    w += k->second;
            }
        }
        return w;
    }
    static inline fs::path dir_;
};

TEST_F(BitmapFontTest, EveryFontCoversPrintableAsciiInsideItsWhiteSheet)
{
    for (const auto& recipe : assets::BitmapFontRecipes()) {
        SCOPED_TRACE(recipe.name);
        std::string text;
        FontDescriptorCheck f;
        Load(f, recipe.name, &text);
        EXPECT_EQ(f.defaultPointSize, recipe.pointSize);
        EXPECT_EQ(f.pointSize, recipe.pointSize);
        EXPECT_EQ(f.image, recipe.name + ".png");
        EXPECT_GT(f.ascent, 0);
        EXPECT_GT(f.height, f.ascent);

        // One command per line, each ending with ';' (comment lines aside).
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line[0] != '#') {
                EXPECT_EQ(line.back(), ';') << line.substr(0, 40);
            }
        }

        const assets::Canvas sheet = assets_test::ReadPicture(dir_ / "fonts" / f.image);
        for (int c = 32; c <= 126; ++c) {
            const auto& g = f.glyphs[c];
            EXPECT_GT(g.width, 0) << "character " << c;
            if (c == ' ') {
                EXPECT_FALSE(g.hasRect);
                continue;
            }
            ASSERT_TRUE(g.hasRect) << "character " << c;
            EXPECT_GE(g.rect[0], 0);
            EXPECT_GE(g.rect[1], 0);
            EXPECT_LE(g.rect[0] + g.rect[2], sheet.Width()) << "character " << c;
            EXPECT_LE(g.rect[1] + g.rect[3], sheet.Height()) << "character " << c;
            // The glyph sits inside the line: top at or below the line top, bottom above its end.
            EXPECT_GE(g.offset[1], 0) << "character " << c;
            EXPECT_LE(g.offset[1] + g.rect[3], f.height + 1) << "character " << c;
        }
        // Line feeds end tutorial lines: no width, no glyph.
        EXPECT_EQ(f.glyphs[10].width, 0);
        EXPECT_FALSE(f.glyphs[10].hasRect);

        bool anyCoverage = false;
        for (int y = 0; y < sheet.Height(); ++y)
            for (int x = 0; x < sheet.Width(); ++x) {
                const assets::Rgba p = sheet.At(x, y);
                ASSERT_TRUE(p.r == 255 && p.g == 255 && p.b == 255) << "sheet pixel not white at " << x << "," << y;
                anyCoverage |= p.a == 255;
            }
        EXPECT_TRUE(anyCoverage);
    }
}

TEST_F(BitmapFontTest, SizesFitTheGameLayouts)
{
    FontDescriptorCheck f14;
    Load(f14, "a_BosaNova14");
    // Number buttons are 150 px wide and hold up to 16 digits.
    for (char d = '0'; d <= '9'; ++d)
        EXPECT_LE(f14.glyphs[static_cast<unsigned char>(d)].width, 9) << d;
    // The tutorial box is 580 x 150: its longest line fits one row, so the longest step lays
    // out to 6 lines, and even 7 would fit at this height.
    EXPECT_LE(f14.height, 21);
    EXPECT_LE(Advance(f14, "You can see all the numbers for a selected line, or all number except used, "), 580);
    // A 14-character player name fits the 250-px name row.
    EXPECT_LE(Advance(f14, "WWWWWWWWWWWWWW"), 250);

    // Cell digits are drawn in the large font inside a 34-px cell.
    FontDescriptorCheck f20;
    Load(f20, "a_BosaNova20");
    for (char d = '0'; d <= '9'; ++d) {
        const auto& g = f20.glyphs[static_cast<unsigned char>(d)];
        EXPECT_LE(g.rect[3], 22) << d;
        EXPECT_LE(g.width, 34) << d;
    }
}

TEST_F(BitmapFontTest, TheFrameworkFontLoaderAcceptsEveryFont)
{
    // The framework's own bitmap font reads the descriptor and its glyph sheet from disk.
    for (const auto& recipe : assets::BitmapFontRecipes()) {
        SCOPED_TRACE(recipe.name);
        FontDescriptorCheck check;
        Load(check, recipe.name);
        Orvo::ImageFont font(static_cast<Orvo::OrvoAppBase*>(nullptr), (dir_ / "fonts" / (recipe.name + ".txt")).string());
        ASSERT_TRUE(font.mLoaded);
        EXPECT_EQ(font.GetHeight(), check.height);
        EXPECT_EQ(font.GetAscent(), check.ascent);
        const std::string text = "Are you sure want to exit?";
        EXPECT_EQ(font.StringWidth(text), Advance(check, text));
        EXPECT_EQ(font.CharWidth('\n'), 0);
    }
}

TEST(DescriptorQuoting, SpecialCharactersSurviveTheParser)
{
    // Each text is quoted, tokenised and unquoted the way the descriptor loader reads lists.
    struct Parser : Orvo::DescParser {
        std::vector<std::string> got;
        bool HandleCommand(const Orvo::ListDataElement& params) override
        {
            return DataToStringVector(params.mElementVector[1], &got);
        }
    };
    const std::vector<std::string> texts = {"\"", "'", "\\", ";", ",", "(", ")", "#", " ", "A", "\\\"", "'s", "V\\"};
    std::string line = "X (";
    for (size_t i = 0; i < texts.size(); ++i)
        line += (i ? ", " : "") + assets::QuoteForDescriptor(texts[i]);
    line += ");\n";
    Parser parser;
    ASSERT_TRUE(parser.ParseText(line)) << parser.mError << " in " << line;
    EXPECT_EQ(parser.got, texts);
    EXPECT_EQ(assets::QuoteForDescriptor("'\""), "");
}

} // namespace
