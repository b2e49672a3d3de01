// Draws the game's pictures. Sizes and sprite rectangles come only from PictureTable(), so a
// changed rectangle is one line there; the drawing code asks the table where each face goes.
#include "assets/content/Pictures.h"

#include "assets/content/Canvas.h"
#include "assets/content/Face.h"
#include "assets/content/Palette.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <stdexcept>

namespace assets {

namespace {

namespace pal = palette;

// The four states of a face, as the button sheets order them.
enum class State { Normal, Hover, Pressed, Disabled };

State StateOf(const std::string& spriteName)
{
    const std::string s = spriteName.substr(spriteName.find('.') + 1);
    if (s == "hover")
        return State::Hover;
    if (s == "pressed")
        return State::Pressed;
    if (s == "disabled")
        return State::Disabled;
    return State::Normal;
}

std::string GroupOf(const std::string& spriteName)
{
    return spriteName.substr(0, spriteName.find('.'));
}

std::vector<Sprite> States(const std::string& group, int x, int w, int h, int yNormal, int yHover, int yPressed, int yDisabled)
{
    return {{group + ".normal", x, yNormal, w, h},
            {group + ".hover", x, yHover, w, h},
            {group + ".pressed", x, yPressed, w, h},
            {group + ".disabled", x, yDisabled, w, h}};
}

std::vector<Sprite> Join(std::initializer_list<std::vector<Sprite>> parts)
{
    std::vector<Sprite> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace

const std::vector<Picture>& PictureTable()
{
    // Rectangles are (x, y, w, h) in the order normal, hover, pressed, disabled, as the game
    // crops them. Where states share a picture the game names the same rectangle twice.
    static const std::vector<Picture> table = {
        // The screens' pictures cover the larger screen size: the puzzle screen's lies from
        // the top-left corner, the start screen's is centred.
        {"images/game_fon/fon.png", 1280, 800, {}},
        {"images/fon_start.png", 1280, 800, {}},
        {"images/play.png", 440, 176, {{"play.normal", 10, 8, 426, 46}, {"play.hover", 12, 68, 426, 46},
                                       {"play.pressed", 13, 128, 426, 46}, {"play.disabled", 13, 128, 426, 46}}},
        {"images/btn_more_games.png", 200, 136, States("more", 5, 188, 32, 7, 38, 71, 102)},
        {"images/btn_menu.png", 500, 96,
         Join({States("menu", 5, 80, 30, 5, 36, 65, 65), States("options", 109, 130, 30, 5, 36, 65, 65),
               States("restart", 264, 132, 30, 5, 36, 65, 65), States("exit", 420, 78, 30, 5, 36, 65, 65)})},
        {"images/btn_def.png", 730, 216, States("def", 613, 114, 43, 11, 117, 63, 170)},
        {"images/btn_default.png", 100, 104, States("blank", 0, 100, 26, 0, 26, 52, 78)},
        {"images/btn_left.png", 30, 30, {{"left.normal", 0, 0, 28, 30}, {"left.hover", 2, 0, 28, 30},
                                         {"left.pressed", 0, 0, 28, 30}, {"left.disabled", 0, 0, 28, 30}}},
        {"images/btn_right.png", 30, 30, {{"right.normal", 0, 0, 28, 30}, {"right.hover", 2, 0, 28, 30},
                                          {"right.pressed", 0, 0, 28, 30}, {"right.disabled", 0, 0, 28, 30}}},
        {"images/buttons.png", 264, 440,
         {{"mode0.normal", 181, 11, 80, 64}, {"mode0.hover", 100, 10, 80, 64}, {"mode0.pressed", 9, 10, 80, 64},
          {"mode0.disabled", 9, 10, 80, 64},
          {"mode1.normal", 181, 133, 80, 64}, {"mode1.hover", 100, 132, 80, 64}, {"mode1.pressed", 9, 132, 80, 64},
          {"mode1.disabled", 9, 132, 80, 64},
          {"mode2.normal", 181, 73, 80, 64}, {"mode2.hover", 100, 72, 80, 64}, {"mode2.pressed", 9, 72, 80, 64},
          {"mode2.disabled", 9, 72, 80, 64},
          {"help.normal", 14, 200, 70, 100}, {"help.hover", 105, 200, 70, 100}, {"help.pressed", 186, 201, 70, 100},
          {"help.disabled", 186, 201, 70, 100},
          {"next.normal", 9, 312, 70, 54}, {"next.hover", 100, 312, 70, 54}, {"next.pressed", 181, 313, 70, 54},
          {"next.disabled", 181, 313, 70, 54},
          {"previous.normal", 9, 381, 70, 54}, {"previous.hover", 100, 381, 70, 54},
          {"previous.pressed", 181, 382, 70, 54}, {"previous.disabled", 181, 382, 70, 54}}},
        {"images/btn_clear.png", 45, 150, States("clear", 0, 45, 50, 0, 50, 100, 100)},
        // The numbers column's arrows: normal = pressed; hover and disabled have faces of their
        // own (a hovered arrow is bright, a disabled one muted).
        {"images/up_down.png", 392, 192,
         {{"up.normal", 4, 53, 190, 39}, {"up.hover", 4, 5, 190, 39}, {"up.pressed", 4, 53, 190, 39},
          {"up.disabled", 200, 53, 190, 39}, {"down.normal", 5, 103, 190, 39}, {"down.hover", 5, 152, 190, 39},
          {"down.pressed", 5, 103, 190, 39}, {"down.disabled", 201, 103, 190, 39}}},
        {"images/up_down_1.png", 428, 180,
         Join({States("up", 10, 201, 40, 2, 92, 47, 138), States("down", 226, 201, 40, 2, 92, 47, 138)})},
        {"images/cell.png", 34, 34, {}},
        {"images/cell_h.png", 34, 34, {}},
        {"images/cell_g.png", 34, 34, {}},
        {"images/cell_r.png", 34, 34, {}},
        {"images/dialog/380 220.png", 380, 220, {}},
        {"images/dialog/450 400.png", 450, 400, {}},
        {"images/dialog/620 220.png", 620, 220, {}},
        {"images/dialog/380 460.png", 380, 460, {}},
        {"images/dialog/365 215.png", 365, 215, {}},
        {"images/dialog/800 600.png", 800, 600, {}},
        {"images/dialog/dlg_level.png", 600, 600, {}},
        {"images/dialog/end_level.png", 400, 320, {}},
        {"images/dialog/black_under_exit.png", 1280, 800, {}},
        {"images/more_games/1.png", 200, 140, {}},
        {"images/more_games/2.png", 200, 140, {}},
        {"images/more_games/3.png", 200, 140, {}},
        {kWindowIconPath, 48, 48, {}},
    };
    return table;
}

const Picture& FindPicture(const std::string& path)
{
    for (const Picture& p : PictureTable())
        if (p.path == path)
            return p;
    throw std::out_of_range("no picture " + path + " in the table");
}

const std::vector<MoreGame>& MoreGames()
{
    static const std::vector<MoreGame> games = {
        {"images/more_games/1.png", "Star Garden"},
        {"images/more_games/2.png", "Tile Harbour"},
        {"images/more_games/3.png", "Lantern Keeper"},
    };
    return games;
}

namespace {

struct Box {
    float x, y, w, h;
};

// Faces used for every caption baked into a picture.
struct Fonts {
    Face caption{"Liberation Sans", "Bold", 17};
    Face small{"Liberation Sans", "Bold", 13};
    Face large{"Liberation Sans", "Bold", 26};
    Face title{"Liberation Sans", "Bold", 64};
    Face heading{"Liberation Sans", "Bold", 22};
};

// Where a group's faces may be drawn inside their rectangles: every state of a button gets
// the same inset, large enough that no face reaches into another sprite's rectangle (several
// sheets put neighbouring rectangles one to four pixels over each other).
std::map<std::string, Box> FaceInsets(const Picture& picture)
{
    std::map<std::string, Box> insets; // x = left, y = top, w = right, h = bottom insets
    for (const Sprite& s : picture.sprites) {
        float top = 1, bottom = 1, left = 1, right = 1;
        for (const Sprite& o : picture.sprites) {
            if (GroupOf(o.name) == GroupOf(s.name) && o.x == s.x && o.y == s.y)
                continue;
            const bool sameRect = o.x == s.x && o.y == s.y && o.w == s.w && o.h == s.h;
            if (sameRect)
                continue;
            const bool xOverlap = o.x < s.x + s.w && s.x < o.x + o.w;
            const bool yOverlap = o.y < s.y + s.h && s.y < o.y + o.h;
            if (!xOverlap || !yOverlap)
                continue;
            if (o.y > s.y)
                bottom = std::max(bottom, static_cast<float>(s.y + s.h - o.y + 1));
            else if (o.y < s.y)
                top = std::max(top, static_cast<float>(o.y + o.h - s.y + 1));
            if (o.x > s.x && o.y == s.y)
                right = std::max(right, static_cast<float>(s.x + s.w - o.x + 1));
            else if (o.x < s.x && o.y == s.y)
                left = std::max(left, static_cast<float>(o.x + o.w - s.x + 1));
        }
        Box& b = insets[GroupOf(s.name)];
        b.x = std::max(b.x, left);
        b.y = std::max(b.y, top);
        b.w = std::max(b.w, right);
        b.h = std::max(b.h, bottom);
    }
    return insets;
}

Box Inner(const Sprite& s, const Box& inset)
{
    return {s.x + inset.x, s.y + inset.y, s.w - inset.x - inset.w, s.h - inset.y - inset.h};
}

void Fill(Canvas& c, const Distance& shape, const Paint& paint, const Box& b, int margin = 3)
{
    c.Fill(shape, paint, static_cast<int>(b.x) - margin, static_cast<int>(b.y) - margin,
           static_cast<int>(b.w) + 2 * margin + 1, static_cast<int>(b.h) + 2 * margin + 1);
}

Rgba CaptionColour(State s)
{
    switch (s) {
    case State::Hover: return {255, 255, 128};
    case State::Pressed: return {203, 203, 192};
    case State::Disabled: return {150, 154, 162};
    default: return pal::kWhite;
    }
}

// How a sheet's faces look when hovered: the darker face with an amber rim carries light
// captions (the game's hover texts are pink and yellow); picture-only buttons such as the
// arrows light up instead.
enum class HoverLook { Deep, Bright };

// A rounded button face. Hover has a bright amber rim, pressed is dark and sunk by a pixel,
// disabled (also a selected tab) is flat, grey and low in contrast, without shadow or gloss:
// the states differ in brightness, not only hue.
void DrawFace(Canvas& c, Box b, State s, float radius, HoverLook hoverLook = HoverLook::Deep)
{
    if (s == State::Pressed) {
        b.y += 1;
        b.h -= 1;
    } else if (s != State::Disabled) {
        b.h -= 1.5f; // room for the drop shadow
        Fill(c, RoundRectShape(b.x, b.y + 1.5f, b.w, b.h, radius), Solid(pal::kShadow), b);
    }
    Rgba top = pal::kFaceTop, bottom = pal::kFaceBottom, edge{36, 50, 78};
    if (s == State::Hover && hoverLook == HoverLook::Bright) {
        top = pal::kBrightHoverTop;
        bottom = pal::kBrightHoverBottom;
        edge = pal::kAmber;
    } else if (s == State::Hover) {
        top = pal::kHoverTop;
        bottom = pal::kHoverBottom;
        edge = pal::kAmber;
    } else if (s == State::Pressed) {
        top = pal::kPressedTop;
        bottom = pal::kPressedBottom;
        edge = {16, 20, 32};
    } else if (s == State::Disabled) {
        top = pal::kDisabledTop;
        bottom = pal::kDisabledBottom;
        edge = pal::kDisabledEdge;
    }
    const Distance shape = RoundRectShape(b.x, b.y, b.w, b.h, radius);
    Fill(c, shape, VerticalGradient(b.y, top, b.y + b.h, bottom), b);
    if (s == State::Normal || s == State::Hover) {
        // A soft highlight across the upper part.
        const Distance gloss = RoundRectShape(b.x + 2, b.y + 2, b.w - 4, b.h * 0.45f, std::max(1.0f, radius - 2));
        Fill(c, gloss, VerticalGradient(b.y, {255, 255, 255, 70}, b.y + b.h * 0.45f, {255, 255, 255, 8}), b);
    }
    c.Stroke(shape, s == State::Hover ? 2.0f : 1.2f, Solid(edge), static_cast<int>(b.x) - 2,
             static_cast<int>(b.y) - 2, static_cast<int>(b.w) + 5, static_cast<int>(b.h) + 5);
}

void Caption(Canvas& c, Face& face, const Box& b, const std::string& text, State s, float dy = 0)
{
    const float cx = b.x + b.w / 2, cy = b.y + b.h / 2 + dy + (s == State::Pressed ? 1.0f : 0.0f);
    if (s != State::Disabled)
        c.TextCentred(face, cx + 1, cy + 1, text, {0, 0, 0, 140});
    c.TextCentred(face, cx, cy, text, CaptionColour(s));
}

// Triangle arrow pointing in (dx, dy), centred on (cx, cy).
Distance Arrow(float cx, float cy, float size, int dx, int dy)
{
    const float s = size / 2;
    if (dx != 0)
        return PolygonShape({{cx + dx * s, cy}, {cx - dx * s, cy - s}, {cx - dx * s, cy + s}});
    return PolygonShape({{cx, cy + dy * s}, {cx - s, cy - dy * s}, {cx + s, cy - dy * s}});
}

void IconArrow(Canvas& c, const Box& b, int dx, int dy, float size, State s, float shiftY = 0,
               HoverLook hoverLook = HoverLook::Deep)
{
    const float cx = b.x + b.w / 2, cy = b.y + b.h / 2 + shiftY + (s == State::Pressed ? 1.0f : 0.0f);
    const bool bright = s == State::Hover && hoverLook == HoverLook::Bright;
    const Rgba colour = bright ? pal::kNightTop : CaptionColour(s);
    if (s != State::Disabled && !bright)
        Fill(c, Arrow(cx + 1, cy + 1, size, dx, dy), Solid({0, 0, 0, 120}), b);
    Fill(c, Arrow(cx, cy, size, dx, dy), Solid(colour), b);
}

// Draws every state of every button of a sheet with the given face and decoration.
template <class Decorate>
void DrawSheet(Canvas& c, const Picture& picture, Decorate decorate, HoverLook hoverLook = HoverLook::Deep)
{
    const std::map<std::string, Box> insets = FaceInsets(picture);
    std::vector<std::pair<int, int>> drawn; // rectangles already drawn (a state named twice is drawn once)
    for (const Sprite& s : picture.sprites) {
        if (std::find(drawn.begin(), drawn.end(), std::make_pair(s.x, s.y)) != drawn.end())
            continue;
        drawn.push_back({s.x, s.y});
        const Box b = Inner(s, insets.at(GroupOf(s.name)));
        const State state = StateOf(s.name);
        DrawFace(c, b, state, std::min(8.0f, b.h / 3), hoverLook);
        decorate(c, GroupOf(s.name), b, state);
    }
}

// ---- Backgrounds -------------------------------------------------------------------------

void Starfield(Canvas& c, unsigned seed, int count)
{
    // A fixed pseudo-random sprinkle of faint dots (deterministic: a small LCG).
    unsigned state = seed;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int i = 0; i < count; ++i) {
        const float x = static_cast<float>(next() % static_cast<unsigned>(c.Width()));
        const float y = static_cast<float>(next() % static_cast<unsigned>(c.Height()));
        const float r = 0.6f + (next() % 100) / 100.0f;
        const uint8_t a = static_cast<uint8_t>(40 + next() % 90);
        c.Fill(CircleShape(x, y, r), Solid({255, 244, 214, a}), static_cast<int>(x) - 3, static_cast<int>(y) - 3, 7, 7);
    }
}

void Night(Canvas& c)
{
    c.Fill([](float, float) { return -1.0f; }, VerticalGradient(0, pal::kNightTop, static_cast<float>(c.Height()), pal::kNightBottom), 0,
           0, c.Width(), c.Height());
}

// Faint cell tiles in a corner motif, the game's own shape used as ornament.
void TileMotif(Canvas& c, float x, float y, const std::vector<const char*>& rows, float pitch, Rgba colour)
{
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t col = 0; rows[r][col]; ++col)
            if (rows[r][col] == '#') {
                const float px = x + col * pitch, py = y + r * pitch, s = pitch - 3;
                c.Fill(RoundRectShape(px, py, s, s, s * 0.2f), Solid(colour), static_cast<int>(px) - 2, static_cast<int>(py) - 2,
                       static_cast<int>(s) + 5, static_cast<int>(s) + 5);
            }
}

void Logo(Canvas& c, Fonts& f, float cx, float cy)
{
    for (int dy = -2; dy <= 3; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            if (dx * dx + dy * dy <= 6)
                c.TextCentred(f.title, cx + dx, cy + dy, "Quorvane", {pal::kFrame.r, pal::kFrame.g, pal::kFrame.b, 255});
    c.TextCentred(f.title, cx, cy, "Quorvane", pal::kAmber);
}

Canvas PuzzleBackground(Fonts& f)
{
    // 1280 x 800, laid out from the top-left corner like the game's controls: the 1024 x 768
    // screen shows the part up to (1024, 768), the larger one more of the sky beside it.
    Canvas c(1280, 800);
    Night(c);
    Starfield(c, 7u, 330);
    // Header band with the name; the four top buttons sit on it at x 384-949, y 10-40.
    c.Fill(RoundRectShape(-20, -20, 1320, 70, 16), VerticalGradient(0, {10, 20, 36, 230}, 50, {16, 30, 50, 230}), 0, 0, 1280, 52);
    c.FillRect(0, 49, 1280, 2, WithAlpha(pal::kFrameLight, 160));
    // Beside the column on the larger screen: the game's tiles as a faint ornament.
    TileMotif(c, 1070, 150, {"##.", ".#.", ".##", "..#", ".##"}, 36, WithAlpha(pal::kCell, 90));
    TileMotif(c, 1070, 520, {".#.", "###", ".#."}, 36, WithAlpha(pal::kCell, 70));
    c.Text(f.heading, 24, 34, "Quorvane", pal::kAmber);
    // The board: the field is centred at (410, 395) and at most 700 x 630.
    const Box board{48, 62, 724, 664};
    const Distance boardShape = RoundRectShape(board.x, board.y, board.w, board.h, 18);
    Fill(c, RoundRectShape(board.x, board.y + 4, board.w, board.h, 18), Solid({0, 0, 0, 80}), board, 8);
    Fill(c, boardShape, VerticalGradient(board.y, {32, 58, 88, 235}, board.y + board.h, {26, 48, 72, 235}), board);
    c.Stroke(boardShape, 3, Solid(pal::kFrameLight), 40, 54, 744, 684);
    // A faint grid at the cell pitch, aligned to the cells of even-sized fields.
    for (int x = 410 % 35; x < 1024; x += 35)
        for (int y = 66; y < 722; ++y)
            if (x > board.x + 6 && x < board.x + board.w - 6)
                c.Blend(x, y, {255, 255, 255}, 0.035f);
    for (int y = 395 % 35; y < 768; y += 35)
        for (int x = 56; x < 766; ++x)
            if (y > board.y + 6 && y < board.y + board.h - 6)
                c.Blend(x, y, {255, 255, 255}, 0.035f);
    // The numbers column: parchment, so black numbers read; arrows at (816, 57) and (816, 713).
    const Box column{780, 56, 236, 706};
    const Distance columnShape = RoundRectShape(column.x, column.y, column.w, column.h, 16);
    Fill(c, RoundRectShape(column.x, column.y + 4, column.w, column.h, 16), Solid({0, 0, 0, 80}), column, 8);
    Fill(c, columnShape, VerticalGradient(column.y, pal::kParchment, column.y + column.h, pal::kParchmentShade), column);
    c.Stroke(columnShape, 3, Solid(pal::kFrame), 776, 52, 244, 714);
    // Rows where the numbers stand (centres y 115 + 35 j), a faint ruling.
    for (int j = 0; j < 17; ++j)
        c.FillRect(846, 115 + 35 * j + 14, 136, 1, {120, 86, 48, 50});
    // The bottom tray for clear, previous and next (y 713-767) and help (x 725-795, y 667-767).
    const Box tray{496, 704, 230, 60};
    Fill(c, RoundRectShape(tray.x, tray.y, tray.w, tray.h, 12), Solid({8, 16, 28, 150}), tray);
    return c;
}

Canvas StartBackground(Fonts& f)
{
    // 1280 x 800 and centred on the screen: the 1024 x 768 screen shows its middle, from
    // (128, 16), where every text and button stands; the design below is drawn in the
    // coordinates of that middle part and then put in place.
    Canvas full(1280, 800);
    full.Fill([](float, float) { return -1.0f; }, VerticalGradient(16, {252, 246, 230}, 784, {226, 214, 186}), 0, 0, 1280, 800);
    // Bottom band behind the more-games button and the version.
    full.Fill([](float, float) { return -1.0f; }, VerticalGradient(716, {120, 86, 48, 0}, 784, {120, 86, 48, 70}), 0, 716, 1280, 84);
    TileMotif(full, 20, 40, {"#.", "##", ".#"}, 30, WithAlpha(pal::kCell, 45));
    TileMotif(full, 1200, 40, {".#", "##", "#."}, 30, WithAlpha(pal::kCell, 45));

    Canvas c(1024, 768);
    // Ornament: cell tiles in the corners, kept clear of the texts and buttons in the middle.
    const Rgba tile = WithAlpha(pal::kCell, 60), accent = WithAlpha(pal::kAmberDeep, 70);
    TileMotif(c, 30, 200, {"##..", "#...", "###.", "..#.", "..##"}, 36, tile);
    TileMotif(c, 850, 200, {"..##", "...#", ".###", ".#..", "##.."}, 36, tile);
    TileMotif(c, 30, 560, {"#.#", "###", "#.."}, 36, accent);
    TileMotif(c, 886, 560, {"#.#", "###", "..#"}, 36, accent);
    Logo(c, f, 512, 88);
    c.TextCentred(f.caption, 512, 140, "a number fill-in puzzle", {120, 86, 48});
    // A card behind the welcome and the player's name (texts at y 189, 254 and 314).
    const Box card{262, 162, 500, 176};
    const Distance cardShape = RoundRectShape(card.x, card.y, card.w, card.h, 20);
    Fill(c, cardShape, Solid({255, 252, 242, 220}), card);
    c.Stroke(cardShape, 2, Solid(WithAlpha(pal::kFrameLight, 200)), 256, 156, 512, 190);
    // A soft glow under the play button (centre (532, 414)).
    Fill(c, RoundRectShape(309, 385, 446, 58, 26), Solid({190, 104, 18, 40}), {309, 385, 446, 58}, 6);
    full.Draw(c, 128, 16);
    return full;
}

// ---- Dialogs --------------------------------------------------------------------------------

// The shared dialog card: parchment, a brown frame and an amber inner line.
Canvas DialogCard(int w, int h, Rgba top = pal::kParchment, Rgba bottom = pal::kParchmentShade)
{
    Canvas c(w, h);
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    c.Fill(RoundRectShape(0, 0, fw, fh, 18), Solid(pal::kFrame), 0, 0, w, h);
    c.Fill(RoundRectShape(4, 4, fw - 8, fh - 8, 14), VerticalGradient(4, top, fh - 4, bottom), 0, 0, w, h);
    c.Stroke(RoundRectShape(9, 9, fw - 18, fh - 18, 10), 1.5f, Solid(WithAlpha(pal::kFrameLight, 200)), 0, 0, w, h);
    return c;
}

// A horizontal band of mid tone, where black and light texts both read.
void MidBand(Canvas& c, float y, float h, float x0, float x1)
{
    const Box b{x0, y, x1 - x0, h};
    Fill(c, RoundRectShape(b.x, b.y, b.w, b.h, h / 2), VerticalGradient(y, {128, 146, 172}, y + h, {104, 122, 150}), b);
    c.Stroke(RoundRectShape(b.x, b.y, b.w, b.h, h / 2), 1, Solid({70, 86, 112}), static_cast<int>(x0) - 2,
             static_cast<int>(y) - 2, static_cast<int>(b.w) + 5, static_cast<int>(h) + 5);
}

void Inset(Canvas& c, const Box& b, Rgba fill, float radius = 6)
{
    Fill(c, RoundRectShape(b.x, b.y, b.w, b.h, radius), Solid(fill), b);
    c.Stroke(RoundRectShape(b.x, b.y, b.w, b.h, radius), 1.5f, Solid({120, 86, 48, 160}), static_cast<int>(b.x) - 2,
             static_cast<int>(b.y) - 2, static_cast<int>(b.w) + 5, static_cast<int>(b.h) + 5);
}

Canvas ExitAndErrorDialog()
{
    // Exit text (black) centred at (195, 70); the error dialog squeezes this to 400 x 200 and
    // writes yellow at (200, 63), row 70 at that height: both sit centred on the mid band.
    Canvas c = DialogCard(380, 220);
    MidBand(c, 46, 54, 24, 356);
    return c;
}

Canvas OptionsDialog(Fonts& f)
{
    Canvas c = DialogCard(450, 400);
    c.TextCentred(f.heading, 225, 44, "Options", pal::kFrame);
    c.FillRect(60, 66, 330, 2, WithAlpha(pal::kFrameLight, 200));
    Inset(c, {175, 142, 100, 36}, {255, 250, 238, 220}, 10);      // the volume value between minus and plus
    MidBand(c, 242, 36, 120, 330);                                  // "Full Screen": black, hover white
    return c;
}

Canvas TutorialDialog()
{
    Canvas c = DialogCard(620, 220);
    Inset(c, {16, 8, 588, 160}, {255, 252, 242, 170}, 10);          // the 580 x 150 text box from (20, 10)
    return c;
}

Canvas ProfilesDialog()
{
    Canvas c = DialogCard(380, 460);
    // Name slots (centres y 55, 131, 213, 294 of a 450-high dialog; the picture is 460 high
    // and is drawn 450 high, so rows sit 460/450 lower in the file). Black = current player,
    // light grey = the others: a mid tone carries both.
    const float scale = 460.0f / 450.0f;
    for (float y : {55.0f, 131.0f, 213.0f, 294.0f})
        MidBand(c, (y - 17) * scale, 34 * scale, 58, 322);
    MidBand(c, (350 - 16) * scale, 32 * scale, 60, 320); // Delete and New: black, hover white
    return c;
}

Canvas NewPlayerDialog()
{
    // Drawn 400 x 200 from 365 x 215: the prompt is light yellow at (200, 50), so the card is dark.
    Canvas c = DialogCard(365, 215, {40, 62, 96}, {24, 40, 66});
    const float sx = 365.0f / 400.0f, sy = 215.0f / 200.0f;
    Inset(c, {(200 - 160) * sx, (84 - 17) * sy, 320 * sx, 34 * sy}, {236, 230, 214, 255}, 6); // edit box 310 x 28
    return c;
}

Canvas MoreGamesDialog(Fonts& f)
{
    Canvas c = DialogCard(800, 600);
    c.TextCentred(f.heading, 400, 36, "More Games", pal::kFrame);
    for (auto [x, y] : {std::pair{222.0f, 150.0f}, {578.0f, 150.0f}, {222.0f, 410.0f}})
        Inset(c, {x - 108, y - 78, 216, 156}, {90, 70, 46, 255}, 8); // frames for the 200 x 140 pictures
    Inset(c, {440, 350, 280, 90}, {255, 252, 242, 200}, 10);      // caption and site link
    return c;
}

Canvas LevelDialog(Fonts& f)
{
    Canvas c = DialogCard(600, 600);
    // The heading sits above the list's up arrow, which the game places over y 42 to 82.
    c.TextCentred(f.heading, 110, 25, "Levels", pal::kFrame);
    Inset(c, {40, 74, 140, 402}, {255, 252, 242, 170}, 10);        // the list of 10 rows at (110, 95 + 40 r)
    for (int r = 0; r < 10; ++r)
        c.FillRect(52, 95 + 40 * r + 18, 116, 1, {120, 86, 48, 60});
    Fill(c, RoundRectShape(226, 102, 366, 366, 14), Solid(pal::kFrame), {226, 102, 366, 366}); // preview frame
    Fill(c, RoundRectShape(231, 107, 356, 356, 10), Solid(pal::kNightTop), {231, 107, 356, 356});
    c.FillRect(30, 520, 540, 2, WithAlpha(pal::kFrameLight, 200)); // above the tabs at y 550
    return c;
}

Canvas FinishDialog(Fonts& f)
{
    Canvas c = DialogCard(400, 320);
    // A ribbon with a star above the texts (line 1 at y 130, time at y 175).
    Fill(c, RoundRectShape(60, 30, 280, 56, 28), VerticalGradient(30, pal::kAmber, 86, pal::kAmberDeep), {60, 30, 280, 56});
    std::vector<std::pair<float, float>> star;
    for (int i = 0; i < 10; ++i) {
        const float a = static_cast<float>(-std::numbers::pi / 2 + i * std::numbers::pi / 5);
        const float r = i % 2 ? 9.0f : 21.0f;
        star.push_back({90 + r * std::cos(a), 58 + r * std::sin(a)});
    }
    // The star is not convex: draw it as five triangles around a pentagon.
    for (int i = 0; i < 10; i += 2)
        Fill(c, PolygonShape({star[i], star[(i + 1) % 10], star[(i + 9) % 10]}), Solid(pal::kWhite), {66, 34, 48, 48});
    Fill(c, PolygonShape({star[1], star[3], star[5], star[7], star[9]}), Solid(pal::kWhite), {66, 34, 48, 48});
    c.TextCentred(f.heading, 215, 58, "Well done!", pal::kWhite);
    Inset(c, {60, 108, 280, 90}, {255, 252, 242, 200}, 10);
    return c;
}

Canvas Shade()
{
    return Canvas(1280, 800, {0, 0, 0, 140});
}

// ---- Cells ----------------------------------------------------------------------------------

enum class CellKind { Normal, Selected, Fixed, Refused };

Canvas Cell(CellKind kind)
{
    Canvas c(34, 34);
    Rgba base = pal::kCell;
    if (kind == CellKind::Selected)
        base = pal::kCellSelected;
    else if (kind == CellKind::Fixed)
        base = pal::kCellFixed;
    else if (kind == CellKind::Refused)
        base = pal::kCellRefused;
    const Distance shape = RoundRectShape(1, 1, 32, 32, 6);
    c.Fill(shape, VerticalGradient(1, Mix(base, pal::kWhite, 0.22f), 33, Mix(base, {0, 0, 0}, 0.15f)), 0, 0, 34, 34);
    if (kind == CellKind::Refused) {
        // Diagonal stripes: a refused line reads as "struck" without relying on red.
        for (int y = 0; y < 34; ++y)
            for (int x = 0; x < 34; ++x) {
                const float t = std::fmod(static_cast<float>(x + y), 8.0f);
                if (std::min(t, 8.0f - t) < 1.6f && shape(x + 0.5f, y + 0.5f) < -0.5f)
                    c.Blend(x, y, {0, 0, 0}, 0.28f);
            }
    }
    if (kind == CellKind::Fixed)
        c.Stroke(RoundRectShape(4.5f, 4.5f, 25, 25, 4), 1.6f, Solid({220, 255, 240, 190}), 0, 0, 34, 34);
    // Rim: bright and thick for the selected line, thin and dark for the others.
    if (kind == CellKind::Selected)
        c.Stroke(shape, 2.4f, Solid({255, 226, 130}), 0, 0, 34, 34);
    else
        c.Stroke(shape, 1.2f, Solid(Mix(base, {0, 0, 0}, 0.5f)), 0, 0, 34, 34);
    // A gloss line along the top.
    c.Fill(RoundRectShape(4, 3, 26, 6, 3), VerticalGradient(3, {255, 255, 255, 60}, 9, {255, 255, 255, 0}), 0, 0, 34, 34);
    return c;
}

// ---- Button sheets --------------------------------------------------------------------------

void DrawModeIcon(Canvas& c, Fonts& f, int mode, const Box& b, State s)
{
    const Rgba ink = CaptionColour(s);
    const float dy = s == State::Pressed ? 1.0f : 0.0f;
    const float cx = b.x + b.w / 2, top = b.y + 8 + dy;
    // Labels follow the tutorial's words. Three little number bars: all lit (all numbers), one
    // crossed out (not used), or a
    // cell row with a tick (fits the line).
    if (mode == 0 || mode == 1) {
        for (int i = 0; i < 3; ++i) {
            const float y = top + i * 9;
            const Rgba bar = (mode == 1 && i == 1) ? WithAlpha(ink, 90) : ink;
            Fill(c, RoundRectShape(cx - 16, y, 32, 5, 2.5f), Solid(bar), {cx - 18, y - 2, 36, 9});
        }
        if (mode == 1)
            Fill(c, SegmentShape(cx - 20, top + 19, cx + 20, top + 3, 1.6f), Solid(ink), {cx - 22, top, 44, 24});
    } else {
        for (int i = 0; i < 3; ++i) {
            const float x = cx - 19 + i * 13;
            c.Stroke(RoundRectShape(x, top + 4, 12, 12, 2), 1.5f, Solid(ink), static_cast<int>(x) - 2,
                     static_cast<int>(top) + 2, 16, 16);
        }
        Fill(c, Union(SegmentShape(cx - 6, top + 20, cx - 1, top + 25, 1.8f), SegmentShape(cx - 1, top + 25, cx + 9, top + 14, 1.8f)),
             Solid(ink), {cx - 10, top + 10, 22, 20});
    }
    static const char* labels[] = {"All", "Unused", "Fits"};
    c.TextCentred(f.small, cx, b.y + b.h - 12 + dy, labels[mode], ink);
}

Canvas ButtonsSheet(Fonts& f)
{
    const Picture& p = FindPicture("images/buttons.png");
    Canvas c(p.width, p.height);
    DrawSheet(c, p, [&](Canvas& cv, const std::string& group, const Box& b, State s) {
        if (group.rfind("mode", 0) == 0) {
            DrawModeIcon(cv, f, group[4] - '0', b, s);
        } else if (group == "help") {
            const float cx = b.x + b.w / 2, cy = b.y + 38 + (s == State::Pressed ? 1.0f : 0.0f);
            cv.Stroke(CircleShape(cx, cy, 20), 3, Solid(CaptionColour(s)), static_cast<int>(cx) - 24, static_cast<int>(cy) - 24, 49, 49);
            cv.TextCentred(f.large, cx, cy, "?", CaptionColour(s));
            Caption(cv, f.small, {b.x, b.y + b.h - 26, b.w, 18}, "Help", s);
        } else {
            const int dir = group == "next" ? 1 : -1;
            IconArrow(cv, {b.x, b.y, b.w, b.h - 14}, dir, 0, 18, s, 2);
            Caption(cv, f.small, {b.x, b.y + b.h - 22, b.w, 14}, group == "next" ? "Next" : "Previous", s);
        }
    });
    return c;
}

Canvas SimpleSheet(const std::string& path, const std::function<void(Canvas&, const std::string&, const Box&, State)>& decorate,
                   HoverLook hoverLook = HoverLook::Deep)
{
    const Picture& p = FindPicture(path);
    Canvas c(p.width, p.height);
    DrawSheet(c, p, decorate, hoverLook);
    return c;
}

Canvas ArrowButton(const std::string& path, int dx)
{
    // One picture for all states (the game shifts the crop by 2 px on hover).
    const Picture& p = FindPicture(path);
    Canvas c(p.width, p.height);
    const Box b{2, 1, 26, 28};
    DrawFace(c, b, State::Normal, 13);
    IconArrow(c, b, dx, 0, 12, State::Normal);
    return c;
}

Canvas MoreGamePicture(Fonts& f, int which, const std::string& title)
{
    Canvas c(200, 140);
    static const Rgba tops[] = {{40, 30, 90}, {20, 90, 110}, {70, 40, 20}};
    static const Rgba bottoms[] = {{120, 60, 140}, {40, 150, 150}, {190, 120, 40}};
    c.Fill(RoundRectShape(0, 0, 200, 140, 10), VerticalGradient(0, tops[which], 140, bottoms[which]), 0, 0, 200, 140);
    if (which == 0) {
        Starfield(c, 11u, 60);
        for (int i = 0; i < 5; ++i) {
            const float x = 30.0f + i * 35, h = 20.0f + (i % 3) * 12;
            c.Fill(SegmentShape(x, 120, x, 120 - h, 2), Solid({120, 200, 120}), static_cast<int>(x) - 4, static_cast<int>(120 - h) - 4, 9, static_cast<int>(h) + 8);
            c.Fill(CircleShape(x, 116 - h, 7), Solid({255, 200, 90}), static_cast<int>(x) - 9, static_cast<int>(116 - h) - 9, 19, 19);
        }
    } else if (which == 1) {
        TileMotif(c, 24, 30, {"###.#", "#.###", "###.#"}, 22, {236, 230, 200, 200});
        c.Fill([](float x, float y) { return y - 112 - 4 * std::sin(x / 9); }, Solid({10, 50, 80, 200}), 0, 100, 200, 40);
    } else {
        c.Fill(RoundRectShape(85, 40, 30, 50, 6), Solid({255, 220, 120}), 80, 35, 40, 60);
        c.Fill(CircleShape(100, 65, 40), Solid({255, 220, 120, 50}), 55, 20, 90, 90);
        c.Fill(RoundRectShape(80, 32, 40, 10, 4), Solid({60, 36, 20}), 76, 28, 48, 18);
        c.Fill(RoundRectShape(80, 88, 40, 10, 4), Solid({60, 36, 20}), 76, 84, 48, 18);
    }
    c.TextCentred(f.caption, 101, 23, title, {0, 0, 0, 150});
    c.TextCentred(f.caption, 100, 22, title, pal::kWhite);
    c.Stroke(RoundRectShape(0, 0, 200, 140, 10), 2, Solid({255, 255, 255, 120}), 0, 0, 200, 140);
    return c;
}

Canvas WindowIcon()
{
    Canvas c(48, 48);
    c.Fill(RoundRectShape(1, 1, 46, 46, 9), VerticalGradient(1, pal::kNightTop, 47, pal::kNightBottom), 0, 0, 48, 48);
    c.Stroke(RoundRectShape(1, 1, 46, 46, 9), 2, Solid(pal::kFrameLight), 0, 0, 48, 48);
    // A small cross of cells, one of them selected.
    const int cells[][2] = {{1, 0}, {0, 1}, {1, 1}, {2, 1}, {1, 2}};
    for (const auto& cell : cells) {
        const float x = 7.0f + cell[0] * 12, y = 7.0f + cell[1] * 12;
        const Rgba colour = (cell[0] == 2) ? pal::kCellSelected : Mix(pal::kCell, pal::kWhite, 0.2f);
        c.Fill(RoundRectShape(x, y, 10.5f, 10.5f, 2.5f), Solid(colour), static_cast<int>(x) - 2, static_cast<int>(y) - 2, 15, 15);
    }
    return c;
}

} // namespace

void GeneratePictures(const std::filesystem::path& outDir)
{
    Fonts f;
    std::map<std::string, Canvas> drawn;
    auto put = [&](const std::string& path, Canvas canvas) { drawn.emplace(path, std::move(canvas)); };

    put("images/game_fon/fon.png", PuzzleBackground(f));
    put("images/fon_start.png", StartBackground(f));
    put("images/play.png", SimpleSheet("images/play.png", [&](Canvas& c, const std::string&, const Box& b, State s) {
            IconArrow(c, {b.x + 110, b.y, 40, b.h}, 1, 0, 18, s);
            Caption(c, f.large, b, "Play", s);
        }));
    put("images/btn_more_games.png", SimpleSheet("images/btn_more_games.png", [&](Canvas& c, const std::string&, const Box& b, State s) {
            Caption(c, f.caption, b, "More Games", s);
        }));
    put("images/btn_menu.png", SimpleSheet("images/btn_menu.png", [&](Canvas& c, const std::string& g, const Box& b, State s) {
            static const std::map<std::string, std::string> captions = {
                {"menu", "Menu"}, {"options", "Options"}, {"restart", "Restart"}, {"exit", "Exit"}};
            Caption(c, f.caption, b, captions.at(g), s);
        }));
    put("images/btn_def.png", SimpleSheet("images/btn_def.png", [](Canvas&, const std::string&, const Box&, State) {}));
    put("images/btn_default.png", SimpleSheet("images/btn_default.png", [](Canvas&, const std::string&, const Box&, State) {}));
    put("images/btn_left.png", ArrowButton("images/btn_left.png", -1));
    put("images/btn_right.png", ArrowButton("images/btn_right.png", 1));
    put("images/buttons.png", ButtonsSheet(f));
    put("images/btn_clear.png", SimpleSheet("images/btn_clear.png", [](Canvas& c, const std::string&, const Box& b, State s) {
            const float cx = b.x + b.w / 2, cy = b.y + b.h / 2 + (s == State::Pressed ? 1.0f : 0.0f);
            const Distance cross = Union(SegmentShape(cx - 9, cy - 9, cx + 9, cy + 9, 2.6f), SegmentShape(cx - 9, cy + 9, cx + 9, cy - 9, 2.6f));
            Fill(c, cross, Solid(CaptionColour(s)), b);
        }));
    const auto scrollArrow = [](Canvas& c, const std::string& g, const Box& b, State s) {
        IconArrow(c, b, 0, g == "up" ? -1 : 1, 18, s, 0, HoverLook::Bright);
    };
    put("images/up_down.png", SimpleSheet("images/up_down.png", scrollArrow, HoverLook::Bright));
    put("images/up_down_1.png", SimpleSheet("images/up_down_1.png", scrollArrow, HoverLook::Bright));
    put("images/cell.png", Cell(CellKind::Normal));
    put("images/cell_h.png", Cell(CellKind::Selected));
    put("images/cell_g.png", Cell(CellKind::Fixed));
    put("images/cell_r.png", Cell(CellKind::Refused));
    put("images/dialog/380 220.png", ExitAndErrorDialog());
    put("images/dialog/450 400.png", OptionsDialog(f));
    put("images/dialog/620 220.png", TutorialDialog());
    put("images/dialog/380 460.png", ProfilesDialog());
    put("images/dialog/365 215.png", NewPlayerDialog());
    put("images/dialog/800 600.png", MoreGamesDialog(f));
    put("images/dialog/dlg_level.png", LevelDialog(f));
    put("images/dialog/end_level.png", FinishDialog(f));
    put("images/dialog/black_under_exit.png", Shade());
    for (size_t i = 0; i < MoreGames().size(); ++i)
        put(MoreGames()[i].path, MoreGamePicture(f, static_cast<int>(i), MoreGames()[i].title));
    put(kWindowIconPath, WindowIcon());

    for (const Picture& p : PictureTable()) {
        auto it = drawn.find(p.path);
        if (it == drawn.end())
            throw std::logic_error("no drawing for " + p.path);
        if (it->second.Width() != p.width || it->second.Height() != p.height)
            throw std::logic_error("drawing of " + p.path + " has the wrong size");
        WritePng(outDir / p.path, it->second);
    }
}

} // namespace assets
