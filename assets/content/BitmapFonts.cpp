// Bitmap font generation. Each glyph is rendered white with its coverage as alpha, so one
// sheet serves every text colour (the font layer multiplies it by the drawing colour).
// The descriptor uses one command per line, each ending with ';'.
#include "assets/content/BitmapFonts.h"

#include "assets/content/Canvas.h"
#include "assets/content/Face.h"
#include "assets/content/FileOut.h"

#include <algorithm>
#include <sstream>

namespace assets {

namespace {

constexpr int kFirstChar = 32;
constexpr int kLastChar = 126;
constexpr int kSheetWidth = 256;
constexpr char kLayer[] = "Main";

} // namespace

const std::vector<BitmapFontRecipe>& BitmapFontRecipes()
{
    // Liberation Sans keeps the 14-point captions narrow enough for the number buttons and
    // the tutorial box; the two large sizes are bold so the cell digits read at a glance.
    static const std::vector<BitmapFontRecipe> recipes = {
        {"a_BosaNova10", 10, "Liberation Sans", "Regular", 13},
        {"a_BosaNova14", 14, "Liberation Sans", "Regular", 15},
        {"a_BosaNova16", 16, "Liberation Sans", "Bold", 18},
        {"a_BosaNova20", 20, "Liberation Sans", "Bold", 24},
    };
    return recipes;
}

std::string QuoteForDescriptor(const std::string& text)
{
    // Backslashes are escaped; a text holding a double quote is wrapped in single quotes.
    // A text with both kinds of quote has no safe spelling and is left out.
    const bool hasDouble = text.find('"') != std::string::npos;
    const bool hasSingle = text.find('\'') != std::string::npos;
    if (hasDouble && hasSingle)
        return {};
    const char quote = hasDouble ? '\'' : '"';
    std::string out(1, quote);
    for (char c : text) {
        if (c == '\\')
            out += '\\';
        out += c;
    }
    out += quote;
    return out;
}

void GenerateBitmapFont(const BitmapFontRecipe& recipe, const std::filesystem::path& outDir)
{
    Face face(recipe.family, recipe.style, recipe.pixelSize);

    struct Placed {
        unsigned char c;
        GlyphBitmap glyph;
        int x = 0, y = 0;
    };
    std::vector<Placed> glyphs;
    for (int c = kFirstChar; c <= kLastChar; ++c)
        glyphs.push_back({static_cast<unsigned char>(c), face.Render(static_cast<unsigned char>(c))});

    // Shelf packing: glyphs left to right with a one-pixel gutter, a new row when full.
    int x = 1, y = 1, rowHeight = 0;
    for (Placed& p : glyphs) {
        if (p.glyph.width == 0 || p.glyph.height == 0)
            continue;
        if (x + p.glyph.width + 1 > kSheetWidth) {
            x = 1;
            y += rowHeight + 1;
            rowHeight = 0;
        }
        p.x = x;
        p.y = y;
        x += p.glyph.width + 1;
        rowHeight = std::max(rowHeight, p.glyph.height);
    }
    const int sheetHeight = y + rowHeight + 1;

    Canvas sheet(kSheetWidth, sheetHeight, {255, 255, 255, 0});
    for (const Placed& p : glyphs)
        for (int j = 0; j < p.glyph.height; ++j)
            for (int i = 0; i < p.glyph.width; ++i)
                sheet.Set(p.x + i, p.y + j, {255, 255, 255, p.glyph.coverage[static_cast<size_t>(j) * p.glyph.width + i]});

    const int ascent = face.Ascent();
    const int height = ascent + face.Descent();

    std::ostringstream widths, widthValues, mapChars, mapRects, offChars, offValues, kernPairs, kernValues;
    bool firstWidth = true, firstMap = true, firstKern = true;
    for (const Placed& p : glyphs) {
        const std::string quoted = QuoteForDescriptor(std::string(1, static_cast<char>(p.c)));
        widths << (firstWidth ? "" : ", ") << quoted;
        widthValues << (firstWidth ? "" : ", ") << p.glyph.advance;
        firstWidth = false;
        if (p.glyph.width == 0 || p.glyph.height == 0)
            continue;
        mapChars << (firstMap ? "" : ", ") << quoted;
        mapRects << (firstMap ? "" : ", ") << "(" << p.x << ", " << p.y << ", " << p.glyph.width << ", " << p.glyph.height << ")";
        offChars << (firstMap ? "" : ", ") << quoted;
        // The layer draws a glyph at (pen + offset x, baseline - ascent + offset y).
        offValues << (firstMap ? "" : ", ") << "(" << p.glyph.left << ", " << ascent - p.glyph.top << ")";
        firstMap = false;
    }
    for (int a = kFirstChar + 1; a <= kLastChar; ++a)
        for (int b = kFirstChar + 1; b <= kLastChar; ++b) {
            const int k = face.Kerning(static_cast<unsigned char>(a), static_cast<unsigned char>(b));
            if (k == 0)
                continue;
            const std::string pair = QuoteForDescriptor(std::string{static_cast<char>(a), static_cast<char>(b)});
            if (pair.empty())
                continue;
            kernPairs << (firstKern ? "" : ", ") << pair;
            kernValues << (firstKern ? "" : ", ") << std::clamp(k, -128, 127);
            firstKern = false;
        }

    std::ostringstream text;
    text << "# " << recipe.name << ": " << recipe.family << " " << recipe.style << " at " << recipe.pixelSize
         << " pixels, white glyphs with alpha coverage.\n";
    text << "SetDefaultPointSize " << recipe.pointSize << ";\n";
    text << "CreateLayer " << kLayer << ";\n";
    text << "LayerSetImage " << kLayer << " \"" << recipe.name << ".png\";\n";
    text << "LayerSetPointSize " << kLayer << " " << recipe.pointSize << ";\n";
    text << "LayerSetAscent " << kLayer << " " << ascent << ";\n";
    text << "LayerSetHeight " << kLayer << " " << height << ";\n";
    text << "LayerSetCharWidths " << kLayer << " (" << widths.str() << ") (" << widthValues.str() << ");\n";
    text << "LayerSetImageMap " << kLayer << " (" << mapChars.str() << ") (" << mapRects.str() << ");\n";
    text << "LayerSetCharOffsets " << kLayer << " (" << offChars.str() << ") (" << offValues.str() << ");\n";
    if (!firstKern)
        text << "LayerSetKerningPairs " << kLayer << " (" << kernPairs.str() << ") (" << kernValues.str() << ");\n";

    WritePng(outDir / "fonts" / (recipe.name + ".png"), sheet);
    WriteFileAtomic(outDir / "fonts" / (recipe.name + ".txt"), text.str());
}

} // namespace assets
