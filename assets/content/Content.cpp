// Entry point of the content generator: runs every generator into the output folder.
#include "assets/content/Content.h"

#include "assets/content/BitmapFonts.h"
#include "assets/content/Maps.h"
#include "assets/content/Pictures.h"

namespace assets {

void GenerateContent(const std::filesystem::path& outDir, const std::filesystem::path& sourceDir)
{
    std::filesystem::create_directories(outDir);
    for (const BitmapFontRecipe& recipe : BitmapFontRecipes())
        GenerateBitmapFont(recipe, outDir);
    GenerateMaps(sourceDir, outDir);
    GeneratePictures(outDir);
}

void GenerateContent(const std::filesystem::path& outDir)
{
    GenerateContent(outDir, QUORVANE_ASSETS_SOURCE_DIR);
}

} // namespace assets
