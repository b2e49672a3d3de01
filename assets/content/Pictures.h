// The game's pictures: one table of every file with its pixel size and the source rectangle
// of each sprite the game crops from it, and the code that draws them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace assets {

struct Sprite {
    std::string name; // "menu.hover", "mode0.pressed", ...; states of one button share the part before '.'
    int x, y, w, h;
};

struct Picture {
    std::string path; // game path, "images/btn_menu.png"
    int width, height;
    std::vector<Sprite> sprites; // empty for pictures drawn whole
};

/// Every picture the game names (previews and fonts aside), with the rectangles the game uses.
const std::vector<Picture>& PictureTable();

/// Looks a picture up by its game path; throws std::out_of_range when it is not in the table.
const Picture& FindPicture(const std::string& path);

/// Draws every picture of the table into outDir under its game path, plus the window icon.
void GeneratePictures(const std::filesystem::path& outDir);

/// The window icon (the application object's "IDI_MAIN_ICON"), a plain file in the program
/// folder: the window is made before any archive is mounted.
inline constexpr const char* kWindowIconPath = "IDI_MAIN_ICON.png";

/// The pictures of the more-games dialog, with the titles they show.
struct MoreGame {
    std::string path;
    std::string title;
};
const std::vector<MoreGame>& MoreGames();

} // namespace assets
