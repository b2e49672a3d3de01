// Entry point of the content generator: runs every generator into the output folder.
#include "assets/content/Content.h"

#include "assets/content/BitmapFonts.h"
#include "assets/content/DriverLists.h"
#include "assets/content/Maps.h"
#include "assets/content/Pictures.h"
#include "assets/content/Sounds.h"

namespace assets {

void GenerateContent(const std::filesystem::path& outDir, const std::filesystem::path& sourceDir)
{
    std::filesystem::create_directories(outDir);
    // Maps first: they are the only part read from sources, so a broken source stops the run
    // before anything else is written.
    GenerateMaps(sourceDir, outDir);
    for (const BitmapFontRecipe& recipe : BitmapFontRecipes())
        GenerateBitmapFont(recipe, outDir);
    GeneratePictures(outDir);
    GenerateSounds(outDir);
    GenerateDriverLists(outDir);
}

void GenerateContent(const std::filesystem::path& outDir)
{
    GenerateContent(outDir, QUORVANE_ASSETS_SOURCE_DIR);
}

} // namespace assets
