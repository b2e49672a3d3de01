// Map sources, the map byte format, the validator and the level previews.
#include "assets/content/Maps.h"

#include "assets/content/Canvas.h"
#include "assets/content/FileOut.h"
#include "assets/content/Palette.h"

#include <algorithm>
#include <cstdio>
#include <queue>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace assets {

namespace {

constexpr size_t kHeaderSize = 25;
constexpr size_t kTitleOffset = 10;

std::string Trim(std::string_view s)
{
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string_view::npos)
        return {};
    const size_t e = s.find_last_not_of(" \t\r");
    return std::string(s.substr(b, e - b + 1));
}

[[noreturn]] void SourceError(const std::string& name, int line, const std::string& what)
{
    throw std::runtime_error("map source " + name + " line " + std::to_string(line) + ": " + what);
}

// Length of the run of cells through (column, row) in one direction.
int RunLength(const MapSource& map, int column, int row, int dx, int dy)
{
    if (!map.IsCell(column, row))
        return 0;
    int length = 1;
    for (int c = column + dx, r = row + dy; map.IsCell(c, r); c += dx, r += dy)
        ++length;
    for (int c = column - dx, r = row - dy; map.IsCell(c, r); c -= dx, r -= dy)
        ++length;
    return length;
}

// Top row of the vertical run through (column, row).
int RunTop(const MapSource& map, int column, int row)
{
    while (map.IsCell(column, row - 1))
        --row;
    return row;
}

} // namespace

bool MapSource::IsCell(int column, int row) const
{
    if (row < 0 || row >= Height() || column < 0 || column >= static_cast<int>(rows[row].size()))
        return false;
    return rows[row][column] != '0';
}

int MapSource::CellCount() const
{
    int count = 0;
    for (const std::string& row : rows)
        count += static_cast<int>(std::count_if(row.begin(), row.end(), [](char c) { return c != '0'; }));
    return count;
}

MapSource ParseMapSource(const std::string& text, const std::string& name)
{
    MapSource map;
    map.name = name;
    bool haveTitle = false, haveDifficulty = false, haveKind = false;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string t = Trim(line);
        if (t.empty())
            continue;
        if (map.rows.empty() && t[0] == '#' && t.find_first_not_of("#.") != std::string::npos)
            continue; // a comment line
        const size_t colon = t.find(':');
        if (colon != std::string::npos && map.rows.empty()) {
            const std::string key = Trim(t.substr(0, colon));
            const std::string value = Trim(t.substr(colon + 1));
            if (key == "title") {
                map.title = value;
                haveTitle = true;
            } else if (key == "difficulty" || key == "kind") {
                if (value.size() != 1)
                    SourceError(name, number, key + " must be one letter");
                (key == "kind" ? map.kind : map.difficulty) = value[0];
                (key == "kind" ? haveKind : haveDifficulty) = true;
            } else {
                SourceError(name, number, "unknown key '" + key + "'");
            }
            continue;
        }
        if (t.find_first_not_of("#.") != std::string::npos)
            SourceError(name, number, "a row holds only '#' (cell) and '.' (no cell)");
        if (!map.rows.empty() && t.size() != map.rows[0].size())
            SourceError(name, number, "row is " + std::to_string(t.size()) + " wide, the first row " +
                                          std::to_string(map.rows[0].size()));
        std::string row;
        for (char c : t)
            row += c == '#' ? '1' : '0';
        map.rows.push_back(row);
    }
    if (!haveTitle || !haveDifficulty || !haveKind)
        SourceError(name, number, "title, difficulty and kind are all required");
    if (map.rows.empty())
        SourceError(name, number, "no rows");
    return map;
}

std::vector<MapSource> LoadMapSources(const std::filesystem::path& sourceDir)
{
    std::vector<MapSource> maps;
    for (int i = 1; i <= MapLimits::kMapCount; ++i) {
        char file[16];
        std::snprintf(file, sizeof file, "%02d.txt", i);
        const std::vector<uint8_t> bytes = ReadWholeFile(sourceDir / "maps" / file);
        maps.push_back(ParseMapSource(std::string(bytes.begin(), bytes.end()), file));
    }
    return maps;
}

std::vector<uint8_t> EncodeMap(const MapSource& map)
{
    if (map.Width() > 99 || map.Height() > 99 || map.title.size() > MapLimits::kMaxTitle)
        throw std::runtime_error("map " + map.name + " does not fit the map header");
    char header[64];
    std::snprintf(header, sizeof header, "%02d %02d %c %c ", map.Width(), map.Height(), map.difficulty, map.kind);
    std::vector<uint8_t> bytes(header, header + kTitleOffset);
    // Zero padding ends the title exactly where it ends.
    bytes.insert(bytes.end(), map.title.begin(), map.title.end());
    bytes.resize(kHeaderSize, 0);
    for (const std::string& row : map.rows) {
        bytes.push_back('\r');
        bytes.push_back('\n');
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    bytes.push_back('\r');
    bytes.push_back('\n');
    return bytes;
}

bool DecodeMap(const std::vector<uint8_t>& bytes, MapSource& out)
{
    // Every read is text up to its first zero byte, as the game's file object reads it.
    auto text = [&](size_t offset, size_t length) {
        std::string s(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                      bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
        return s.substr(0, s.find('\0'));
    };
    if (bytes.size() < kHeaderSize)
        return false;
    const std::string header = text(0, kHeaderSize);
    auto field = [&](size_t offset, size_t length) {
        return offset < header.size() ? header.substr(offset, length) : std::string();
    };
    out = MapSource{};
    const int width = std::atoi(field(0, 2).c_str());
    const int height = std::atoi(field(3, 2).c_str());
    const std::string difficulty = field(6, 1), kind = field(8, 1);
    out.difficulty = difficulty.empty() ? '\0' : difficulty[0];
    out.kind = kind.empty() ? '\0' : kind[0];
    out.title = field(kTitleOffset, MapLimits::kMaxTitle);
    size_t pos = kHeaderSize;
    for (int r = 0; r < height; ++r) {
        pos += 2;
        if (pos + static_cast<size_t>(width) > bytes.size())
            return false;
        out.rows.push_back(text(pos, static_cast<size_t>(width)));
        pos += static_cast<size_t>(width);
    }
    return true;
}

std::vector<std::string> ValidateMaps(const std::vector<MapSource>& maps)
{
    std::vector<std::string> problems;
    auto problem = [&](const MapSource& m, const std::string& what) { problems.push_back(m.name + ": " + what); };

    if (maps.size() != MapLimits::kMapCount)
        problems.push_back("there are " + std::to_string(maps.size()) + " maps, the game reads " +
                           std::to_string(MapLimits::kMapCount));
    int total = 0, tutorials = 0;
    for (size_t i = 0; i < maps.size(); ++i) {
        const MapSource& m = maps[i];
        const int w = m.Width(), h = m.Height();
        total += m.CellCount();
        if (m.title.empty() || m.title.size() > MapLimits::kMaxTitle)
            problem(m, "title must be 1 to 15 bytes");
        for (char c : m.title)
            if (c < 32 || c > 126)
                problem(m, "title holds a byte outside printable ASCII");
        if (m.difficulty != 'e' && m.difficulty != 'm' && m.difficulty != 'h')
            problem(m, "difficulty must be e, m or h");
        if (m.kind != 'n' && m.kind != 'h')
            problem(m, "kind must be n (level) or h (tutorial)");
        if (w < 2 || h < 1 || w > MapLimits::kMaxWidth || h > MapLimits::kMaxHeight)
            problem(m, "field " + std::to_string(w) + " x " + std::to_string(h) + " does not fit the puzzle screen");
        if (w >= MapLimits::kWideFrom && h > MapLimits::kMaxHeightWhenWide)
            problem(m, "a field this wide must be at most 15 rows high to clear the help button");
        for (const std::string& row : m.rows)
            if (static_cast<int>(row.size()) != w || row.find_first_not_of("01") != std::string::npos)
                problem(m, "rows must be '0'/'1' and all as wide as the first");

        int longest = 0;
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
                if (!m.IsCell(c, r))
                    continue;
                const int across = RunLength(m, c, r, 1, 0), down = RunLength(m, c, r, 0, 1);
                longest = std::max({longest, across, down});
                if (across < 2 && down < 2)
                    problem(m, "cell at column " + std::to_string(c) + ", row " + std::to_string(r) +
                                   " lies in no line of two or more cells");
            }
        if (longest > MapLimits::kMaxLine)
            problem(m, "a line of " + std::to_string(longest) + " cells does not fit a number button");

        // One connected field: every cell reachable from the first through neighbours.
        std::vector<std::vector<bool>> seen(h, std::vector<bool>(w, false));
        int reached = 0;
        std::queue<std::pair<int, int>> todo;
        for (int r = 0; r < h && todo.empty(); ++r)
            for (int c = 0; c < w && todo.empty(); ++c)
                if (m.IsCell(c, r)) {
                    todo.push({c, r});
                    seen[r][c] = true;
                }
        while (!todo.empty()) {
            auto [c, r] = todo.front();
            todo.pop();
            ++reached;
            const int dc[] = {1, -1, 0, 0}, dr[] = {0, 0, 1, -1};
            for (int k = 0; k < 4; ++k) {
                const int nc = c + dc[k], nr = r + dr[k];
                if (m.IsCell(nc, nr) && !seen[nr][nc]) {
                    seen[nr][nc] = true;
                    todo.push({nc, nr});
                }
            }
        }
        if (reached != m.CellCount())
            problem(m, "the field falls apart into separate pieces");

        if (m.kind == 'h') {
            ++tutorials;
            if (i == 0)
                problem(m, "the tutorial must not be the first map (the first level follows the tutorial)");
            const int c = MapLimits::kTutorialColumn, r = MapLimits::kTutorialRow;
            if (RunLength(m, c, r, 1, 0) < 2 || RunLength(m, c, r, 0, 1) < 2)
                problem(m, "the tutorial cell (5, 5) must lie in a horizontal and a vertical line");
            else if (RunTop(m, c, r) < 1)
                problem(m, "the tutorial's vertical line must stay below row 0 (under the tutorial window)");
            if (h != MapLimits::kTutorialHeight)
                problem(m, "the tutorial map must be 6 rows high to clear the tutorial window");
            for (int col = 0; col < w; ++col)
                if (m.IsCell(col, 0))
                    problem(m, "the tutorial's row 0 lies under the tutorial window and must stay empty");
        }
    }
    if (tutorials != 1)
        problems.push_back("there must be exactly one tutorial map (kind h), found " + std::to_string(tutorials));
    if (total > MapLimits::kMaxTotalCells)
        problems.push_back("all maps together hold " + std::to_string(total) + " cells, more than " +
                           std::to_string(MapLimits::kMaxTotalCells));

    // Difficulty grows: every easy map is smaller than every medium one, every medium than every hard one.
    auto extreme = [&](char d, bool largest) {
        int v = largest ? 0 : 1 << 30;
        for (const MapSource& m : maps)
            if (m.kind != 'h' && m.difficulty == d)
                v = largest ? std::max(v, m.CellCount()) : std::min(v, m.CellCount());
        return v;
    };
    if (extreme('e', true) >= extreme('m', false) || extreme('m', true) >= extreme('h', false))
        problems.push_back("map sizes must grow from easy to medium to hard");
    // And so does the tangle: on average more crossing cells (in a horizontal and a vertical line).
    auto meanCrossings = [&](char d) {
        double sum = 0;
        int count = 0;
        for (const MapSource& m : maps) {
            if (m.kind == 'h' || m.difficulty != d)
                continue;
            ++count;
            for (int r = 0; r < m.Height(); ++r)
                for (int c = 0; c < m.Width(); ++c)
                    sum += RunLength(m, c, r, 1, 0) >= 2 && RunLength(m, c, r, 0, 1) >= 2;
        }
        return count ? sum / count : 0.0;
    };
    if (!(meanCrossings('e') < meanCrossings('m') && meanCrossings('m') < meanCrossings('h')))
        problems.push_back("the tangle (crossing cells per map) must grow from easy to medium to hard");
    return problems;
}

Canvas DrawMapPreview(const MapSource& map)
{
    constexpr int kSize = 350;
    Canvas c(kSize, kSize);
    c.Fill(RoundRectShape(0, 0, kSize, kSize, 18), VerticalGradient(0, palette::kNightTop, kSize, palette::kNightBottom),
           0, 0, kSize, kSize);
    c.Stroke(RoundRectShape(1, 1, kSize - 2, kSize - 2, 17), 3, Solid(palette::kFrameLight), 0, 0, kSize, kSize);
    const int w = std::max(1, map.Width()), h = std::max(1, map.Height());
    const float pitch = std::min(300.0f / w, 300.0f / h);
    const float x0 = (kSize - pitch * w) / 2, y0 = (kSize - pitch * h) / 2;
    const float inset = std::max(1.0f, pitch * 0.08f);
    for (int r = 0; r < map.Height(); ++r)
        for (int col = 0; col < map.Width(); ++col) {
            if (!map.IsCell(col, r))
                continue;
            const float x = x0 + col * pitch + inset, y = y0 + r * pitch + inset, s = pitch - 2 * inset;
            const int bx = static_cast<int>(x) - 1, by = static_cast<int>(y) - 1, bs = static_cast<int>(s) + 3;
            c.Fill(RoundRectShape(x, y, s, s, s * 0.2f),
                   VerticalGradient(y, Mix(palette::kCell, palette::kWhite, 0.25f), y + s, palette::kCell), bx, by, bs, bs);
        }
    return c;
}

void GenerateMaps(const std::filesystem::path& sourceDir, const std::filesystem::path& outDir)
{
    const std::vector<MapSource> maps = LoadMapSources(sourceDir);
    const std::vector<std::string> problems = ValidateMaps(maps);
    if (!problems.empty()) {
        std::string all = "the map sources break the game's rules:";
        for (const std::string& p : problems)
            all += "\n  " + p;
        throw std::runtime_error(all);
    }
    for (size_t i = 0; i < maps.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        WriteFileAtomic(outDir / "maps" / (number + ".map"), EncodeMap(maps[i]));
        // The level selection shows map index i as images/maps/(i + 1).png.
        if (maps[i].kind != 'h')
            WritePng(outDir / "images" / "maps" / (number + ".png"), DrawMapPreview(maps[i]));
    }
}

} // namespace assets
