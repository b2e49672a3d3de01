// Contact sheet and map renderings for reviewing the generated content by eye.
#include "assets/content/Review.h"

#include "assets/content/BitmapFonts.h"
#include "assets/content/Canvas.h"
#include "assets/content/Face.h"
#include "assets/content/Maps.h"
#include "assets/content/Pictures.h"

#include <algorithm>
#include <memory>

namespace assets {

namespace {

void Checkerboard(Canvas& c, int x, int y, int w, int h)
{
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            c.Set(x + i, y + j, ((i / 8 + j / 8) % 2) ? Rgba{200, 200, 200} : Rgba{150, 150, 150});
}

// Copies a sprite of a sheet onto the screen mock at (x, y), blending.
void Put(Canvas& screen, const Canvas& sheet, const Sprite& s, int x, int y)
{
    Canvas part(s.w, s.h);
    part.Copy(sheet, s.x, s.y, s.w, s.h, 0, 0);
    screen.Draw(part, x, y);
}

const Sprite& SpriteOf(const Picture& p, const std::string& name)
{
    for (const Sprite& s : p.sprites)
        if (s.name == name)
            return s;
    throw std::runtime_error("no sprite " + name + " in " + p.path);
}

Canvas ContactSheet(const std::filesystem::path& contentDir)
{
    const int columnWidth = 1100;
    std::vector<std::pair<std::string, Canvas>> items;
    for (const Picture& p : PictureTable()) {
        Canvas image = ReadPng(contentDir / p.path);
        if (image.Width() > columnWidth)
            image = image.Resized(image.Width() / 2, image.Height() / 2);
        items.emplace_back(p.path, std::move(image));
    }
    for (const BitmapFontRecipe& r : BitmapFontRecipes()) {
        Canvas glyphs = ReadPng(contentDir / "fonts" / (r.name + ".png"));
        Canvas dark(glyphs.Width(), glyphs.Height(), {30, 30, 40});
        dark.Draw(glyphs, 0, 0);
        items.emplace_back("fonts/" + r.name + ".png", std::move(dark));
    }
    Face label("Liberation Sans", "Regular", 14);
    // Shelf layout, 2200 px wide.
    const int sheetWidth = 2200;
    int x = 10, y = 10, row = 0;
    std::vector<std::pair<int, int>> at;
    for (const auto& [name, image] : items) {
        if (x + image.Width() + 10 > sheetWidth) {
            x = 10;
            y += row + 30;
            row = 0;
        }
        at.push_back({x, y});
        x += std::max(image.Width(), 200) + 16;
        row = std::max(row, image.Height());
    }
    Canvas sheet(sheetWidth, y + row + 40, {90, 90, 96});
    for (size_t i = 0; i < items.size(); ++i) {
        const auto& [name, image] = items[i];
        Checkerboard(sheet, at[i].first, at[i].second + 20, image.Width(), image.Height());
        sheet.Draw(image, at[i].first, at[i].second + 20);
        sheet.Text(label, static_cast<float>(at[i].first), at[i].second + 14, name, {255, 255, 255});
    }
    return sheet;
}

// The puzzle screen as the game would show a map: cells at their grid positions with a
// selected line, a fixed crossing line and a refused line, digits in the cell font.
Canvas MapScreen(const std::filesystem::path& contentDir, const MapSource& map, int index)
{
    Canvas screen = ReadPng(contentDir / "images/game_fon/fon.png");
    const Canvas cells[] = {ReadPng(contentDir / "images/cell.png"), ReadPng(contentDir / "images/cell_h.png"),
                            ReadPng(contentDir / "images/cell_g.png"), ReadPng(contentDir / "images/cell_r.png")};
    const BitmapFontRecipe& big = BitmapFontRecipes().back();
    Face digits(big.family, big.style, big.pixelSize);
    const int w = map.Width(), h = map.Height();
    const int x0 = 410 - (w * 35) / 2, y0 = 395 - (h * 35) / 2;
    // Pick the first horizontal run as selected, the first vertical run as fixed, the last
    // horizontal run as refused, to show all four states together.
    int selRow = -1, fixCol = -1, refRow = -1;
    for (int r = 0; r < h && selRow < 0; ++r)
        for (int c = 0; c + 1 < w; ++c)
            if (map.IsCell(c, r) && map.IsCell(c + 1, r)) {
                selRow = r;
                break;
            }
    for (int r = h - 1; r >= 0 && refRow < 0; --r)
        for (int c = 0; c + 1 < w; ++c)
            if (r != selRow && map.IsCell(c, r) && map.IsCell(c + 1, r)) {
                refRow = r;
                break;
            }
    for (int c = 0; c < w && fixCol < 0; ++c)
        for (int r = 0; r + 1 < h; ++r)
            if (map.IsCell(c, r) && map.IsCell(c, r + 1)) {
                fixCol = c;
                break;
            }
    unsigned seed = static_cast<unsigned>(index) * 2654435761u + 1u;
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            if (!map.IsCell(c, r))
                continue;
            int state = 0;
            if (r == refRow)
                state = 3;
            if (c == fixCol)
                state = 2;
            if (r == selRow)
                state = 1;
            const int x = x0 + 35 * c, y = y0 + 35 * r;
            screen.Draw(cells[state], x, y);
            seed = seed * 1103515245u + 12345u;
            if (state != 0 || (seed >> 16) % 3 == 0) {
                const std::string digit(1, static_cast<char>('1' + (seed >> 8) % 8));
                screen.TextCentred(digits, x + 17.0f, y + 15.0f, digit, {255, 255, 255});
            }
        }
    // The top buttons and the panel, at the game's positions.
    const Canvas menu = ReadPng(contentDir / "images/btn_menu.png");
    const Picture& menuSheet = FindPicture("images/btn_menu.png");
    Put(screen, menu, SpriteOf(menuSheet, "restart.normal"), 450 - 66, 10);
    Put(screen, menu, SpriteOf(menuSheet, "menu.hover"), 590 - 40, 10);
    Put(screen, menu, SpriteOf(menuSheet, "options.normal"), 730 - 65, 10);
    Put(screen, menu, SpriteOf(menuSheet, "exit.pressed"), 910 - 39, 10);
    const Canvas buttons = ReadPng(contentDir / "images/buttons.png");
    const Picture& buttonSheet = FindPicture("images/buttons.png");
    Put(screen, buttons, SpriteOf(buttonSheet, "mode0.disabled"), 809 - 40, 312 - 32);
    Put(screen, buttons, SpriteOf(buttonSheet, "mode1.normal"), 810 - 40, 388 - 32);
    Put(screen, buttons, SpriteOf(buttonSheet, "mode2.hover"), 809 - 40, 460 - 32);
    Put(screen, buttons, SpriteOf(buttonSheet, "help.normal"), 760 - 35, 717 - 50);
    Put(screen, buttons, SpriteOf(buttonSheet, "next.normal"), 680 - 35, 740 - 27);
    Put(screen, buttons, SpriteOf(buttonSheet, "previous.hover"), 605 - 35, 740 - 27);
    const Canvas clear = ReadPng(contentDir / "images/btn_clear.png");
    Put(screen, clear, SpriteOf(FindPicture("images/btn_clear.png"), "clear.normal"), 530 - 22, 740 - 25);
    const Canvas arrows = ReadPng(contentDir / "images/up_down.png");
    const Picture& arrowSheet = FindPicture("images/up_down.png");
    Put(screen, arrows, SpriteOf(arrowSheet, "up.disabled"), 816, 57);
    Put(screen, arrows, SpriteOf(arrowSheet, "down.normal"), 816, 713);
    // A few numbers in the column, in the 14-point font's face.
    const BitmapFontRecipe& small = BitmapFontRecipes()[1];
    Face numbers(small.family, small.style, small.pixelSize);
    const char* sample[] = {"12", "47", "315", "3862", "51", "7163", "28", "44184"};
    for (int j = 0; j < 8; ++j)
        screen.TextCentred(numbers, 912, 115.0f + 35 * j, sample[j], j == 2 ? Rgba{203, 203, 192} : Rgba{0, 0, 0});
    return screen;
}


// Text in one of the game's bitmap font sizes (rendered from the same face), centred.
struct Texts {
    std::vector<std::unique_ptr<Face>> faces;
    Texts()
    {
        for (const BitmapFontRecipe& r : BitmapFontRecipes())
            faces.push_back(std::make_unique<Face>(r.family, r.style, r.pixelSize));
    }
    Face& Size(int points)
    {
        const auto& recipes = BitmapFontRecipes();
        for (size_t i = 0; i < recipes.size(); ++i)
            if (recipes[i].pointSize == points)
                return *faces[i];
        return *faces[1];
    }
};

// A dialog picture stretched to its drawn size and centred on (cx, cy) of the screen.
struct Placed {
    int x, y;
};
Placed PutDialog(Canvas& screen, const std::filesystem::path& contentDir, const std::string& picture, int w, int h, int cx, int cy)
{
    Canvas image = ReadPng(contentDir / picture);
    if (image.Width() != w || image.Height() != h)
        image = image.Resized(w, h);
    const Placed at{cx - w / 2, cy - h / 2};
    screen.Draw(image, at.x, at.y);
    return at;
}

void PutButton(Canvas& screen, const std::filesystem::path& contentDir, Texts& t, const std::string& sheet,
               const std::string& sprite, int cx, int cy, const std::string& caption, Rgba colour)
{
    const Canvas image = ReadPng(contentDir / sheet);
    const Sprite& s = SpriteOf(FindPicture(sheet), sprite);
    Put(screen, image, s, cx - s.w / 2, cy - s.h / 2);
    if (!caption.empty())
        screen.TextCentred(t.Size(14), static_cast<float>(cx), cy - 5.0f, caption, colour);
}

const Rgba kBlack{0, 0, 0}, kGrey{203, 203, 192}, kPink{252, 133, 133}, kDarkRed{128, 0, 0};

Canvas StartScreen(const std::filesystem::path& contentDir, Texts& t)
{
    Canvas s = ReadPng(contentDir / "images/fon_start.png");
    s.TextCentred(t.Size(20), 512, 189, "Welcom,", kDarkRed);
    s.TextCentred(t.Size(20), 512, 254, "Ann!", kDarkRed);
    s.TextCentred(t.Size(14), 512, 309, "if you not Ann click here", kBlack);
    PutButton(s, contentDir, t, "images/play.png", "play.normal", 532, 414, "", kBlack);
    PutButton(s, contentDir, t, "images/btn_more_games.png", "more.hover", 512, 664, "", kBlack);
    s.TextCentred(t.Size(14), 1008, 756, "1.0", {103, 102, 87});
    return s;
}

Canvas DialogScreens(const std::filesystem::path& contentDir, Texts& t, const MapSource& map)
{
    // The puzzle screen with the level selection over it, and the other dialogs in a row below.
    Canvas s = MapScreen(contentDir, map, 0);
    const Placed d = PutDialog(s, contentDir, "images/dialog/dlg_level.png", 600, 600, 400, 394);
    s.TextCentred(t.Size(14), d.x + 435.0f, d.y + 60.0f, map.title, kBlack);
    const Canvas preview = ReadPng(contentDir / "images/maps/17.png");
    s.Draw(preview, d.x + 234, d.y + 110);
    const char* titles[] = {"Crossroads", "Old Mill", "Harbour Lights", "Stone Bridge", "Market Square",
                            "Clock Tower", "Fox Trail", "Beehive", "Lantern", "Labyrinth"};
    for (int r = 0; r < 10; ++r)
        s.TextCentred(t.Size(14), d.x + 110.0f, d.y + 95.0f + 40 * r - 5, titles[r], r == 8 ? Rgba{0, 128, 0} : kBlack);
    const char* tabs[] = {"All", "Easy", "Medium", "Hard"};
    const int tabX[] = {100, 285, 410, 540};
    for (int i = 0; i < 4; ++i)
        PutButton(s, contentDir, t, "images/btn_def.png", i == 2 ? "def.disabled" : (i == 3 ? "def.hover" : "def.normal"),
                  d.x + tabX[i], d.y + 550, tabs[i], i == 2 ? kBlack : (i == 3 ? kPink : kGrey));
    PutButton(s, contentDir, t, "images/up_down_1.png", "up.disabled", d.x + 108 + 100, d.y + 156, "", kBlack);
    PutButton(s, contentDir, t, "images/up_down_1.png", "down.normal", d.x + 107 + 100, d.y + 590, "", kBlack);
    s.TextCentred(t.Size(20), d.x + 545.0f, d.y + 480.0f, "Play", {0, 128, 0});
    s.TextCentred(t.Size(10), d.x + 40.0f, d.y + 580.0f, "Profiles", kBlack);
    return s;
}

Canvas SmallDialogs(const std::filesystem::path& contentDir, Texts& t)
{
    Canvas s(1700, 1000, {40, 44, 52});
    // Exit question on the shade.
    s.Draw(ReadPng(contentDir / "images/dialog/black_under_exit.png"), 0, 0);
    Placed d = PutDialog(s, contentDir, "images/dialog/380 220.png", 380, 220, 220, 130);
    s.TextCentred(t.Size(16), d.x + 195.0f, d.y + 70.0f, "Are you sure want to exit?", kBlack);
    PutButton(s, contentDir, t, "images/btn_def.png", "def.normal", d.x + 110, d.y + 165, "Yes", kBlack);
    PutButton(s, contentDir, t, "images/btn_def.png", "def.pressed", d.x + 270, d.y + 165, "No", kGrey);
    // Error dialog: the same picture drawn 400 x 200, yellow text.
    d = PutDialog(s, contentDir, "images/dialog/380 220.png", 400, 200, 650, 130);
    s.TextCentred(t.Size(16), d.x + 200.0f, d.y + 63.0f, "Player with this name already exist!", {255, 255, 10});
    PutButton(s, contentDir, t, "images/btn_def.png", "def.normal", d.x + 200, d.y + 160, "Ok", kBlack);
    // New player.
    d = PutDialog(s, contentDir, "images/dialog/365 215.png", 400, 200, 1100, 130);
    s.TextCentred(t.Size(16), d.x + 200.0f, d.y + 50.0f, "Enter your name:", {255, 255, 128});
    s.FillRect(d.x + 45, d.y + 70, 310, 28, {255, 255, 255});
    s.TextCentred(t.Size(14), d.x + 200.0f, d.y + 84.0f, "Ann", kBlack);
    PutButton(s, contentDir, t, "images/btn_def.png", "def.normal", d.x + 300, d.y + 160, "Create", kBlack);
    PutButton(s, contentDir, t, "images/btn_def.png", "def.hover", d.x + 100, d.y + 160, "Cancel", kPink);
    // Options.
    d = PutDialog(s, contentDir, "images/dialog/450 400.png", 450, 400, 240, 480);
    s.TextCentred(t.Size(16), d.x + 225.0f, d.y + 100.0f, "Music volume", {110, 2, 5});
    s.TextCentred(t.Size(16), d.x + 225.0f, d.y + 160.0f, "40", {110, 2, 5});
    const Canvas left = ReadPng(contentDir / "images/btn_left.png"), right = ReadPng(contentDir / "images/btn_right.png");
    s.Draw(left, d.x + 145 - 15, d.y + 160 - 15);
    s.Draw(right, d.x + 305 - 15, d.y + 160 - 15);
    s.TextCentred(t.Size(14), d.x + 225.0f, d.y + 255.0f, "Full   Screen   (on)", kBlack);
    PutButton(s, contentDir, t, "images/btn_def.png", "def.normal", d.x + 225, d.y + 365, "Close", kBlack);
    // Profiles (drawn 380 x 450).
    d = PutDialog(s, contentDir, "images/dialog/380 460.png", 380, 450, 690, 500);
    const char* names[] = {"Ann", "Bob", "Carla", "Dmitri"};
    const int ys[] = {55, 131, 213, 294};
    for (int i = 0; i < 4; ++i)
        s.TextCentred(t.Size(14), d.x + 190.0f, d.y + ys[i] - 5.0f, names[i], i == 0 ? kBlack : kGrey);
    s.TextCentred(t.Size(14), d.x + 120.0f, d.y + 345.0f, "Delete", kBlack);
    s.TextCentred(t.Size(14), d.x + 260.0f, d.y + 345.0f, "New", {255, 255, 255});
    PutButton(s, contentDir, t, "images/btn_def.png", "def.normal", d.x + 190, d.y + 410, "Close", kBlack);
    // Finish dialog.
    d = PutDialog(s, contentDir, "images/dialog/end_level.png", 400, 320, 1120, 460);
    s.TextCentred(t.Size(14), d.x + 200.0f, d.y + 130.0f, "Your time", kBlack);
    s.TextCentred(t.Size(14), d.x + 200.0f, d.y + 175.0f, "3 min 27 sec", {0, 128, 0});
    PutButton(s, contentDir, t, "images/btn_def.png", "def.normal", d.x + 130, d.y + 245, "Restart", kBlack);
    PutButton(s, contentDir, t, "images/btn_def.png", "def.normal", d.x + 270, d.y + 245, "New level", kBlack);
    PutButton(s, contentDir, t, "images/btn_def.png", "def.normal", d.x + 200, d.y + 290, "Close", kBlack);
    // Tutorial window.
    d = PutDialog(s, contentDir, "images/dialog/620 220.png", 620, 220, 400, 860);
    const char* lines[] = {"Take a look at buttons near the center of number's column.",
                           "This buttons switches display mode for numbers in the list.",
                           "You can see all the numbers for a selected line, or all number except used,",
                           "or only numbers you can fill in.", "", "Now - click the number to fill in vertical line."};
    for (int i = 0; i < 6; ++i)
        s.TextCentred(t.Size(14), d.x + 310.0f, d.y + 20.0f + 21 * i, lines[i], kBlack);
    PutButton(s, contentDir, t, "images/btn_def.png", "def.normal", d.x + 310, d.y + 195, "Skip", kBlack);
    // More games (scaled to half).
    Canvas more(800, 600);
    more.Draw(ReadPng(contentDir / "images/dialog/800 600.png"), 0, 0);
    const auto& games = MoreGames();
    const int px[] = {222, 578, 222}, py[] = {150, 150, 410};
    for (size_t i = 0; i < games.size(); ++i) {
        more.Draw(ReadPng(contentDir / games[i].path), px[i] - 100, py[i] - 70);
        more.TextCentred(t.Size(14), px[i] - 2.0f, py[i] + 90.0f, games[i].title, {110, 2, 5});
    }
    more.TextCentred(t.Size(14), 580, 380, "See all our game at:", kBlack);
    more.TextCentred(t.Size(14), 580, 420, "www.example.com", {110, 2, 5});
    s.Draw(more.Resized(400, 300), 1250, 700);
    return s;
}

} // namespace

void WriteReview(const std::filesystem::path& contentDir, const std::filesystem::path& sourceDir,
                 const std::filesystem::path& reviewDir)
{
    WritePng(reviewDir / "contact_sheet.png", ContactSheet(contentDir));
    const std::vector<MapSource> maps = LoadMapSources(sourceDir);
    Canvas overview(6 * 256 + 70, 5 * 192 + 60, {60, 60, 66});
    for (size_t i = 0; i < maps.size(); ++i) {
        const Canvas screen = MapScreen(contentDir, maps[i], static_cast<int>(i));
        WritePng(reviewDir / "maps" / (std::to_string(i + 1) + ".png"), screen);
        overview.Draw(screen.Resized(256, 192), 10 + static_cast<int>(i % 6) * 266, 10 + static_cast<int>(i / 6) * 202);
    }
    WritePng(reviewDir / "maps_overview.png", overview);
    Texts texts;
    WritePng(reviewDir / "start_screen.png", StartScreen(contentDir, texts));
    WritePng(reviewDir / "level_selection.png", DialogScreens(contentDir, texts, maps[16]));
    WritePng(reviewDir / "dialogs.png", SmallDialogs(contentDir, texts));
}

} // namespace assets
