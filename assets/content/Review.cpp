// Contact sheet and map renderings for reviewing the generated content by eye.
#include "assets/content/Review.h"

#include "assets/content/BitmapFonts.h"
#include "assets/content/Canvas.h"
#include "assets/content/Face.h"
#include "assets/content/Maps.h"
#include "assets/content/Pictures.h"

#include <algorithm>

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
}

} // namespace assets
