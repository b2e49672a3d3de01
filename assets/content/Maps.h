// The puzzle maps: readable sources in assets/maps, the game's byte format, the checks
// every map must pass (sizes, runs, totals, the tutorial's needs) and the level previews.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace assets {

class Canvas;

struct MapSource {
    std::string name;        // where it came from, for messages ("12.txt")
    std::string title;       // at most 15 bytes
    char difficulty = 'e';   // 'e', 'm' or 'h'
    char kind = 'n';         // 'h' marks the tutorial map
    std::vector<std::string> rows; // '1' = cell, '0' = no cell

    int Width() const { return rows.empty() ? 0 : static_cast<int>(rows[0].size()); }
    int Height() const { return static_cast<int>(rows.size()); }
    bool IsCell(int column, int row) const;
    int CellCount() const;
};

/// Limits the maps must respect, from the puzzle screen's layout and the kernel's id tables.
struct MapLimits {
    static constexpr int kMapCount = 26;
    static constexpr int kMaxWidth = 20;
    static constexpr int kMaxHeight = 18;
    static constexpr int kWideFrom = 19;          // this wide or wider ...
    static constexpr int kMaxHeightWhenWide = 15; // ... must stay clear of the help button
    static constexpr int kMaxLine = 16;           // digits that fit a number button
    static constexpr int kMaxTotalCells = 1900;   // cells built in one session stay below the id limit
    static constexpr int kMaxTitle = 15;
    static constexpr int kTutorialColumn = 5;     // the tutorial marks the lines through this cell
    static constexpr int kTutorialRow = 5;
    static constexpr int kTutorialHeight = 6;
};

/// Parses a map source text: "key: value" lines (title, difficulty, kind) then rows of
/// '#' (cell) and '.' (no cell); '#' lines before the header are comments.
/// Throws std::runtime_error naming the source and line on any error.
MapSource ParseMapSource(const std::string& text, const std::string& name);

/// Reads assets/maps/01.txt .. 26.txt in order.
std::vector<MapSource> LoadMapSources(const std::filesystem::path& sourceDir);

/// The map file bytes: 25-byte header, then CR LF and the row for every row, then CR LF.
std::vector<uint8_t> EncodeMap(const MapSource& map);

/// Reads map file bytes the way the game does (header text, CR LF, rows). Returns false for a
/// file the game would drop (short header or a row cut short).
bool DecodeMap(const std::vector<uint8_t>& bytes, MapSource& out);

/// Every problem of the map set, one readable line each; empty when the set is sound.
std::vector<std::string> ValidateMaps(const std::vector<MapSource>& maps);

/// The 350 x 350 preview of a map shown in the level selection.
Canvas DrawMapPreview(const MapSource& map);

/// Writes maps/N.map for every source and images/maps/N.png for every non-tutorial map,
/// after validating the set (throws std::runtime_error listing the problems).
void GenerateMaps(const std::filesystem::path& sourceDir, const std::filesystem::path& outDir);

} // namespace assets
