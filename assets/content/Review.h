// Review pictures of the generated content: a contact sheet of every picture and font, and a
// rendering of every map on the puzzle screen, for a person to look at (not used by the game).
#pragma once

#include <filesystem>

namespace assets {

/// Reads the generated files in contentDir and writes into reviewDir:
/// "contact_sheet.png", "maps/N.png" (each map on the puzzle screen), "maps_overview.png",
/// "start_screen.png", "level_selection.png" and "dialogs.png" (with sample texts). Throws std::runtime_error when a generated file is missing or broken.
void WriteReview(const std::filesystem::path& contentDir, const std::filesystem::path& sourceDir,
                 const std::filesystem::path& reviewDir);

} // namespace assets
