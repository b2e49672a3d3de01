// The game's four bitmap fonts: glyph sheets rendered from an installed face and the font
// descriptors that map every printable ASCII character into them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace assets {

struct BitmapFontRecipe {
    std::string name;    // "a_BosaNova14": descriptor fonts/<name>.txt, sheet fonts/<name>.png
    int pointSize;       // the descriptor's default point size
    std::string family;  // installed face
    std::string style;
    int pixelSize;       // the size the glyphs are rendered at
};

/// The four fonts the game names, with the faces and sizes they are rendered from.
const std::vector<BitmapFontRecipe>& BitmapFontRecipes();

/// Renders one font into outDir/"fonts": the glyph sheet PNG and the descriptor text.
void GenerateBitmapFont(const BitmapFontRecipe& recipe, const std::filesystem::path& outDir);

/// Quotes one or two characters for a descriptor string list so that the descriptor
/// parser reads them back unchanged (empty when the text cannot be quoted safely).
std::string QuoteForDescriptor(const std::string& text);

} // namespace assets
