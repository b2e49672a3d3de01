// Generates the game's whole data set (bitmap fonts, pictures, sounds, maps and their
// previews, the window icon) into a folder, deterministically from the sources in assets/.
#pragma once

#include <filesystem>

namespace assets {

/// Writes every generated file under outDir at its game path ("fonts/a_BosaNova14.txt",
/// "images/cell.png", "sounds/click.wav", "maps/1.map", ...). Sources (map texts) are read
/// from the assets/ folder of the source tree this library was built from.
/// Throws std::runtime_error with a readable message when a source is broken or a file
/// cannot be written.
void GenerateContent(const std::filesystem::path& outDir);

/// Same, reading the sources from sourceDir (the assets/ folder) instead.
void GenerateContent(const std::filesystem::path& outDir, const std::filesystem::path& sourceDir);

} // namespace assets
