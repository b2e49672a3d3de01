// The drawing context: translation, clipping, the state stack, image draws with their
// source checks, colour-tagged text, word wrapping and nine-cell boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Common.h"
#include "framework/graphics/Font.h"
#include "framework/graphics/Graphics.h"
#include "tests/framework/graphics/GraphicsTestUtil.h"

using namespace Orvo;
using gtest_util::FromPixels;
using gtest_util::Px;
using gtest_util::Solid;

namespace {

// Every character 5 pixels wide; records what it is asked to draw.
class FakeFont : public Font {
 public:
  struct Drawn {
    int x, y;
    std::string text;
    std::uint32_t color;
  };
  std::vector<Drawn> drawn;

  FakeFont() {
    mAscent = 8;
    mHeight = 10;
    mAscentPadding = 1;
    mLineSpacingOffset = 2;
  }
  int StringWidth(const std::string& text) override { return 5 * static_cast<int>(text.size()); }
  void DrawString(Graphics* g, int x, int y, const std::string& text, const Color& color, const Rect&) override {
    if (!text.empty()) drawn.push_back({x, y, text, static_cast<std::uint32_t>(color.ToInt())});
  }
  Font* Duplicate() override { return new FakeFont(*this); }

  std::string Joined() const {
    std::string s;
    for (const Drawn& d : drawn) s += (s.empty() ? "" : "|") + d.text;
    return s;
  }
};

using ImagePtr = std::unique_ptr<MemoryImage>;

int CountSet(MemoryImage* img, std::uint32_t background) {
  int n = 0;
  for (int i = 0; i < img->mWidth * img->mHeight; ++i) n += img->GetBits()[i] != background;
  return n;
}

}  // namespace

TEST(Graphics, TranslationAndClipNarrowFills) {
  ImagePtr img(Solid(10, 10, 0));
  Graphics g(img.get());
  EXPECT_EQ(g.clipRect, Rect(0, 0, 10, 10));
  g.SetColor(Color(255, 0, 0));
  g.Translate(2, 3);
  g.ClipRect(0, 0, 4, 4);  // clip (2, 3, 4, 4) in image pixels
  g.FillRect(-5, -5, 100, 100);
  EXPECT_EQ(CountSet(img.get(), 0), 16);
  EXPECT_EQ(Px(img.get(), 2, 3), 0xFFFF0000u);
  EXPECT_EQ(Px(img.get(), 6, 3), 0u);
  g.ClipRect(-100, -100, 1000, 1000);  // clipping never widens
  EXPECT_EQ(g.clipRect, Rect(2, 3, 4, 4));
}

TEST(Graphics, StateStackRestoresAndEmptyPopIsHarmless) {
  ImagePtr img(Solid(10, 10, 0));
  Graphics g(img.get());
  g.PopState();
  EXPECT_EQ(g.clipRect, Rect(0, 0, 10, 10));
  g.PushState();
  g.Translate(5, 5);
  g.SetColor(Color(1, 2, 3));
  g.SetDrawMode(1);
  g.ClipRect(0, 0, 2, 2);
  g.PushState();
  g.Translate(1, 1);
  g.PopState();
  EXPECT_EQ(g.transX, 5);
  g.PopState();
  EXPECT_EQ(g.transX, 0);
  EXPECT_EQ(g.GetColor(), Color::Black);
  EXPECT_EQ(g.GetDrawMode(), 0);
  EXPECT_EQ(g.clipRect, Rect(0, 0, 10, 10));
  Graphics copy(g);
  copy.Translate(3, 3);
  EXPECT_EQ(g.transX, 0);
  std::unique_ptr<Graphics> made(g.Create());
  EXPECT_EQ(made->destImage, img.get());
}

TEST(Graphics, RectanglesOutlinesAndInvisibleColours) {
  ImagePtr img(Solid(12, 12, 0));
  Graphics g(img.get());
  g.SetColor(Color::White);
  g.DrawRect(0, 0, 10, 10);
  EXPECT_EQ(Px(img.get(), 10, 10), 0xFFFFFFFFu);
  EXPECT_EQ(Px(img.get(), 10, 0), 0xFFFFFFFFu);
  EXPECT_EQ(CountSet(img.get(), 0), 40);
  // A clipped outline takes the four-fill route and stays inside the clip.
  ImagePtr img2(Solid(12, 12, 0));
  Graphics g2(img2.get());
  g2.SetColor(Color::White);
  g2.ClipRect(0, 0, 6, 12);
  g2.DrawRect(2, 2, 8, 4);
  EXPECT_EQ(Px(img2.get(), 5, 2), 0xFFFFFFFFu);
  EXPECT_EQ(Px(img2.get(), 6, 2), 0u);
  EXPECT_EQ(Px(img2.get(), 2, 6), 0xFFFFFFFFu);

  ImagePtr img3(Solid(4, 4, 0xFF000000));
  Graphics g3(img3.get());
  g3.SetColor(Color(255, 255, 255, 0));
  g3.FillRect(0, 0, 4, 4);
  g3.DrawRect(0, 0, 3, 3);
  EXPECT_EQ(CountSet(img3.get(), 0xFF000000), 0);
  g3.DrawLine(0, 0, 3, 0);  // the line still reaches the image, which draws the fill as given
  EXPECT_EQ(CountSet(img3.get(), 0xFF000000), 0);
}

TEST(Graphics, LinesAreClippedToTheClipRectangle) {
  struct Case {
    int x1, y1, x2, y2;
    bool drawn;
  } cases[] = {
      {-10, 2, -1, 8, false}, {20, 2, 30, 8, false}, {2, -10, 8, -1, false}, {2, 20, 8, 30, false},
      {-10, -10, 20, 20, true}, {5, -3, 5, 30, true},  {0, 9, 9, 9, true},
  };
  for (const Case& c : cases) {
    ImagePtr img(Solid(12, 12, 0));
    Graphics g(img.get());
    g.SetColor(Color::White);
    g.Translate(1, 1);
    g.ClipRect(0, 0, 10, 10);
    g.DrawLine(c.x1, c.y1, c.x2, c.y2);
    int set = CountSet(img.get(), 0);
    EXPECT_EQ(set > 0, c.drawn) << c.x1 << "," << c.y1;
    for (int i = 0; i < 12; ++i) {
      EXPECT_EQ(Px(img.get(), 0, i), 0u);
      EXPECT_EQ(Px(img.get(), 11, i), 0u);
      EXPECT_EQ(Px(img.get(), i, 0), 0u);
      EXPECT_EQ(Px(img.get(), i, 11), 0u);
    }
  }
}

TEST(Graphics, DrawImageClipsAndColourisesOnlyWhenAsked) {
  ImagePtr src(FromPixels(2, 2, {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004}));
  ImagePtr img(Solid(4, 4, 0xFF000000));
  Graphics g(img.get());
  g.SetColor(Color(0, 0, 0));
  g.Translate(-1, 3);
  g.DrawImage(src.get(), 0, 0);  // only source (1, 0) lands inside
  EXPECT_EQ(Px(img.get(), 0, 3), 0xFF000002u);
  EXPECT_EQ(CountSet(img.get(), 0xFF000000), 1);
  g.SetColorizeImages(true);
  ImagePtr white(Solid(2, 2, 0xFFFFFFFF));
  g.SetColor(Color(255, 0, 0));
  g.DrawImage(white.get(), 2, -2);
  EXPECT_EQ(Px(img.get(), 1, 1), 0xFFFD0000u);
}

// Negative or empty source rectangles used to reach the 1:1 blit, which trusts them.
TEST(Graphics, DrawImageSrcRefusesSourcesOutsideTheImage) {
  ImagePtr src(Solid(4, 4, 0xFFFFFFFF));
  for (Rect bad : {Rect(-1, 0, 2, 2), Rect(0, -3, 2, 2), Rect(3, 0, 2, 2), Rect(0, 3, 1, 2), Rect(0, 0, -2, 2),
                   Rect(0, 0, 2, 0)}) {
    ImagePtr img(Solid(8, 8, 0));
    Graphics g(img.get());
    g.DrawImageSrc(src.get(), 2, 2, bad);
    EXPECT_EQ(CountSet(img.get(), 0), 0) << bad.mX << "," << bad.mY << "," << bad.mWidth;
  }
  ImagePtr img(Solid(8, 8, 0));
  Graphics g(img.get());
  g.DrawImageSrc(src.get(), 2, 2, Rect(1, 1, 3, 3));
  EXPECT_EQ(CountSet(img.get(), 0), 9);
}

TEST(Graphics, ScaledStretchedAndRotatedImages) {
  ImagePtr src(Solid(2, 2, 0xFFFFFFFF));
  ImagePtr img(Solid(8, 8, 0xFF000000));
  Graphics g(img.get());
  g.SetFastStretch(true);
  g.scaleX = 2;
  g.scaleY = 2;
  g.DrawImage(src.get(), 1, 1);  // scaled about (0, 0): lands at (2, 2), 4 x 4
  EXPECT_EQ(CountSet(img.get(), 0xFF000000), 16);
  EXPECT_NE(Px(img.get(), 2, 2), 0xFF000000u);

  ImagePtr img2(Solid(8, 8, 0xFF000000));
  Graphics g2(img2.get());
  g2.SetFastStretch(true);
  g2.Translate(1, 0);
  g2.ClipRect(0, 0, 3, 8);
  g2.DrawImageStretched(src.get(), Rect(0, 0, 6, 6), Rect(0, 0, 2, 2));
  EXPECT_EQ(CountSet(img2.get(), 0xFF000000), 18);

  ImagePtr img3(Solid(8, 8, 0xFF000000));
  Graphics g3(img3.get());
  ImagePtr big(Solid(4, 4, 0xFFFFFFFF));
  g3.Translate(2, 2);
  g3.DrawImageRotated(big.get(), 0, 0, 0.0, 0, 0);
  EXPECT_EQ(CountSet(img3.get(), 0xFF000000), 9);
  EXPECT_NE(Px(img3.get(), 2, 2), 0xFF000000u);
}

TEST(Graphics, ImageBoxKeepsCornersAndTilesEdges) {
  std::vector<std::uint32_t> px(30 * 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) px[y * 30 + x] = 0xFF000000u | static_cast<std::uint32_t>((x / 10) * 16 + y / 10 + 1);
  ImagePtr src(FromPixels(30, 30, px));
  ImagePtr img(Solid(100, 50, 0xFF000000));
  Graphics g(img.get());
  g.DrawImageBox(Rect(0, 0, 100, 50), src.get());
  auto cell = [&](int x, int y) { return Px(img.get(), x, y) & 0xFF; };
  EXPECT_EQ(cell(0, 0), 0x01u);
  EXPECT_EQ(cell(99, 0), 0x21u);
  EXPECT_EQ(cell(0, 49), 0x03u);
  EXPECT_EQ(cell(99, 49), 0x23u);
  EXPECT_EQ(cell(45, 5), 0x11u);   // top edge tile
  EXPECT_EQ(cell(89, 5), 0x11u);   // last tile cut at the band's clip
  EXPECT_EQ(cell(5, 25), 0x02u);   // left edge
  EXPECT_EQ(cell(50, 25), 0x12u);  // centre
  EXPECT_EQ(CountSet(img.get(), 0xFF000000), 100 * 50);
  ImagePtr tiny(Solid(1, 2, 0xFFFFFFFF));
  g.DrawImageBox(Rect(0, 0, 7, 7), tiny.get());  // cells of 0 pixels divide nothing by zero
}

TEST(Graphics, WriteStringHonoursColourTags) {
  ImagePtr img(Solid(4, 4, 0));
  Graphics g(img.get());
  FakeFont font;
  g.SetFont(&font);
  g.SetColor(Color(1, 2, 3, 200));
  EXPECT_EQ(g.WriteString("a^^b", 0, 10, -1, -1), 15);
  EXPECT_EQ(font.Joined(), "a^b");

  font.drawn.clear();
  g.WriteString("^FF0000^red^oldclr^x", 0, 10, -1, -1);
  ASSERT_EQ(font.drawn.size(), 2u);
  EXPECT_EQ(font.drawn[0].text, "red");
  EXPECT_EQ(font.drawn[0].color, 0xC8FF0000u);
  EXPECT_EQ(font.drawn[1].text, "x");
  EXPECT_EQ(font.drawn[1].x, 15);
  EXPECT_EQ(font.drawn[1].color, 0xC8010203u);  // the colour before the text, alpha kept

  struct Case {
    const char* text;
    const char* drawn;
    std::uint32_t lastColor;
  } cases[] = {
      {"ab^FF00", "ab", 0xC8010203},       // '^' in the last seven characters ends the text
      {"^zz00FFx!", "!", 0xC80000FF},      // non-hex digits count as 0
      {"^other..y", "y", 0xC8000000},      // 'o' but not oldclr: black
      {"^00ff00;go", "go", 0xC800FF00},    // lower-case hex, any closing character
  };
  for (const Case& c : cases) {
    font.drawn.clear();
    g.SetColor(Color(1, 2, 3, 200));
    g.WriteString(c.text, 0, 0, -1, -1);
    EXPECT_EQ(font.Joined(), c.drawn) << c.text;
    EXPECT_EQ(static_cast<std::uint32_t>(g.GetColor().ToInt()), c.lastColor) << c.text;
  }
  g.writeColoredString = false;
  font.drawn.clear();
  g.WriteString("^FF0000^a", 0, 0, -1, -1);
  EXPECT_EQ(font.Joined(), "^FF0000^a");
}

TEST(Graphics, WriteStringJustifies) {
  Graphics g(nullptr);
  FakeFont font;
  g.SetFont(&font);
  struct Case {
    int justification, x;
  } cases[] = {{0, 100 + 20}, {1, 100 + 40}, {-1, 100}, {7, 100}};
  for (const Case& c : cases) {
    font.drawn.clear();
    g.WriteString("^FF0000^abcd", 100, 0, 60, c.justification);
    ASSERT_EQ(font.drawn.size(), 1u);
    EXPECT_EQ(font.drawn[0].x, c.x) << c.justification;
  }
}

TEST(Graphics, WordWrapping) {
  ImagePtr img(Solid(200, 200, 0));
  Graphics g(img.get());
  FakeFont font;
  g.SetFont(&font);
  int maxWidth = -1;
  // 30 pixels hold six characters. Lines of 12 pixels (height 10 + offset 2).
  int h = g.WriteWordWrapped(Rect(10, 20, 30, 100), "ab cd efgh\nxyzwvutsrq", -1, -1, &maxWidth);
  EXPECT_EQ(font.Joined(), "ab cd|efgh|xyzwvu|tsrq");
  ASSERT_EQ(font.drawn.size(), 4u);
  EXPECT_EQ(font.drawn[0].y, 20 + 8 - 1);
  EXPECT_EQ(font.drawn[1].y, 20 + 7 + 12);
  EXPECT_EQ(font.drawn[3].y, 20 + 7 + 36);
  EXPECT_EQ(font.drawn[0].x, 10);
  EXPECT_EQ(maxWidth, 30);
  EXPECT_EQ(h, 2 + (7 + 48 - 12));  // descent + last baseline offset - line spacing
  EXPECT_EQ(g.GetWordWrappedHeight(30, "ab cd efgh\nxyzwvutsrq"), h);
  int measured = -1;
  g.GetWordWrappedHeight(30, "ab cd efgh\nxyzwvutsrq", -1, &measured);
  EXPECT_EQ(measured, 30);  // widths of lines outside any clip still count

  font.drawn.clear();
  int last = 10;
  g.WriteWordWrapped(Rect(0, 0, 30, 100), "^00FF00^ab\n", -1, -1, nullptr, -1, &last);
  EXPECT_EQ(font.Joined(), "ab");
  EXPECT_EQ(font.drawn[0].x, 10);  // continues a line begun elsewhere
  EXPECT_EQ(font.drawn[0].color & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(last, 0);
  EXPECT_EQ(g.GetColor(), Color::Black);  // restored after the block
}

// Calls that continue one line each start where the one before ended, whether the line was
// begun by a call that fitted or by one whose text wrapped.
TEST(Graphics, WordWrappingContinuesABegunLine) {
  ImagePtr img(Solid(200, 200, 0));
  Graphics g(img.get());
  FakeFont font;
  g.SetFont(&font);
  int last = 0;
  for (const char* piece : {"ab", "cd", "e"}) g.WriteWordWrapped(Rect(0, 0, 100, 100), piece, -1, -1, nullptr, -1, &last);
  ASSERT_EQ(font.drawn.size(), 3u);
  EXPECT_EQ(font.drawn[0].x, 0);
  EXPECT_EQ(font.drawn[1].x, 10);
  EXPECT_EQ(font.drawn[2].x, 20);
  EXPECT_EQ(last, 25);

  font.drawn.clear();
  last = 10;
  int maxWidth = 0;
  g.WriteWordWrapped(Rect(0, 0, 30, 100), "abc", -1, -1, &maxWidth, -1, &last);
  EXPECT_EQ(last, 25);
  EXPECT_EQ(maxWidth, 25);
  // A word longer than what is left of the line: the overflowing part starts a new line.
  font.drawn.clear();
  last = 20;
  g.WriteWordWrapped(Rect(0, 0, 30, 100), "abcdefgh", -1, -1, nullptr, -1, &last);
  EXPECT_EQ(font.Joined(), "ab|cdefgh");
  ASSERT_EQ(font.drawn.size(), 2u);
  EXPECT_EQ(font.drawn[0].x, 20);
  EXPECT_EQ(font.drawn[1].x, 0);
  EXPECT_EQ(last, 30);

  // A call whose text wraps at its own trailing space leaves nothing on the line it broke, so
  // the next call starts at the left edge, not back over the text just written.
  struct Case { std::vector<const char*> pieces; std::vector<int> lasts; };
  const Case cases[] = {
      {{"hello ", "world ", "again"}, {30, 0, 25}},
      {{"hello ", "world   ", "x"}, {30, 0, 5}},  // the spaces after the break are skipped too
      {{"ab ", "cdefghij klmno"}, {15, 25}},      // a break inside the text: the rest's width
  };
  for (const Case& c : cases) {
    last = 0;
    for (std::size_t i = 0; i < c.pieces.size(); ++i) {
      g.WriteWordWrapped(Rect(0, 0, 57, 100), c.pieces[i], -1, -1, nullptr, -1, &last);
      EXPECT_EQ(last, c.lasts[i]) << c.pieces[i];
    }
  }
}

namespace {

// Where FakeFont drew each visible character of a word-wrapped text.
struct Glyph {
  char c;
  int x, y;
  bool operator==(const Glyph&) const = default;
};
struct Layout {
  std::vector<Glyph> glyphs;
  int bottom;  // rect y of the first call + the height of the whole block
  int last;    // lastWidth after the last call
};

// Lays the pieces out as one text: each call continues where the one before ended, on the
// rect moved down by the previous block's height less one line (the line it continues).
Layout LayOutContinued(const std::vector<std::string>& pieces, int width) {
  ImagePtr img(Solid(1, 4000, 0));  // the clip reaches every line
  Graphics g(img.get());
  FakeFont font;
  g.SetFont(&font);
  const int oneLine = g.GetWordWrappedHeight(1000, "x");
  font.drawn.clear();
  int y = 0, last = 0, height = oneLine;
  for (const std::string& piece : pieces) {
    y += height - oneLine;
    height = g.WriteWordWrapped(Rect(0, y, width, 4000), piece, -1, -1, nullptr, -1, &last);
  }
  Layout out{{}, y + height, last};
  for (const FakeFont::Drawn& d : font.drawn)
    for (std::size_t k = 0; k < d.text.size(); ++k)
      if (d.text[k] != ' ') out.glyphs.push_back({d.text[k], d.x + 5 * static_cast<int>(k), d.y});
  return out;
}

std::string Describe(const Layout& l) {
  std::string s;
  for (const Glyph& g : l.glyphs) s += FormatString("%c@%d,%d ", g.c, g.x, g.y);
  return s + FormatString("bottom %d last %d", l.bottom, l.last);
}

}  // namespace

// Continued calls lay a text out as one call does, for every way of cutting it into two or
// three pieces (empty ones included): the same characters at the same places, the same
// height and the same lastWidth. Two kinds of cut cannot match, since a call cannot take back
// what an earlier one wrote and learns of it only its width: a cut right after a space (one
// call would break the line there when the next word overflows it, or skip the spaces that
// follow a wrap), and a cut after which one call lays the text before it out otherwise than
// that text alone (it breaks the line at a space before the cut).
TEST(Graphics, WordWrappingInPiecesMatchesOneCall) {
  const char* texts[] = {"hello world again", "ab cd efgh\nxyzwvutsrq", "  lead", "trail  ", "a  b   c",
                         "abcdefghijklmn", "abcdef ghijkl", "abc\n\ndef", "\nabc", "abc\n", "x\n y  z\n",
                         "a b c d e f g h", "^FF0000^red ^00FF00^green"};
  // None, narrower than a character, exactly a word of six, between, and wide.
  const int widths[] = {-5, 0, 4, 5, 27, 30, 32, 57};
  auto visible = [](const std::string& s) {
    int n = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '^') {
        i += 7;
        continue;
      }
      n += s[i] != ' ' && s[i] != '\n';
    }
    return static_cast<std::size_t>(n);
  };
  auto insideTag = [](const std::string& s, std::size_t cut) {
    const std::size_t tag = s.rfind('^', cut == 0 ? 0 : cut - 1);
    return cut > 0 && tag != std::string::npos && cut <= tag + 7;
  };
  int compared = 0;
  for (const char* t : texts) {
    const std::string text = t;
    for (int width : widths) {
      const Layout one = LayOutContinued({text}, width);
      // A text that starts with a character begins on the first line, whatever the width.
      if (std::isalpha(static_cast<unsigned char>(text[0]))) {
        EXPECT_EQ(one.glyphs.at(0).y, 7) << width << " " << text;
      }
      // A cut the pieces can follow: see above.
      auto followable = [&](std::size_t cut) {
        if (insideTag(text, cut)) return false;
        if (cut > 0 && text[cut - 1] == ' ') return false;
        const std::string before = text.substr(0, cut);
        const std::vector<Glyph> alone = LayOutContinued({before}, width).glyphs;
        return visible(before) <= one.glyphs.size() &&
               std::equal(alone.begin(), alone.end(), one.glyphs.begin(), one.glyphs.begin() + visible(before));
      };
      for (std::size_t a = 0; a <= text.size(); ++a) {
        if (!followable(a)) continue;
        for (std::size_t b = a; b <= text.size(); ++b) {
          if (!followable(b)) continue;
          const Layout pieces = LayOutContinued({text.substr(0, a), text.substr(a, b - a), text.substr(b)}, width);
          ++compared;
          EXPECT_TRUE(pieces.glyphs == one.glyphs && pieces.bottom == one.bottom && pieces.last == one.last)
              << "width " << width << ": \"" << text.substr(0, a) << "\" + \"" << text.substr(a, b - a) << "\" + \""
              << text.substr(b) << "\"\n one call: " << Describe(one) << "\n pieces:   " << Describe(pieces);
        }
      }
    }
  }
  EXPECT_GT(compared, 1000);
}
