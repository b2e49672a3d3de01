// The data as the game meets it: generated, packed into the run folder by the asset tool's
// layout, and read back through the pak layer, the image reader and the bitmap font loader,
// with the generated tree gone so nothing can come from loose files by accident.
#include "assets/content/BitmapFonts.h"
#include "assets/content/Content.h"
#include "assets/content/Maps.h"
#include "assets/content/Pictures.h"
#include "assets/content/Sounds.h"
#include "assets/tool/AssetLayout.h"
#include "framework/graphics/ImageFont.h"
#include "framework/graphics/ImageLib.h"
#include "framework/resources/PakInterface.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path kSources = fs::path(QUORVANE_TEST_DATA_DIR).parent_path().parent_path() / "assets";

std::vector<uint8_t> ReadThroughPak(const std::string& name)
{
    Orvo::PakHandle* h = Orvo::PakOpen(name.c_str(), "rb");
    if (!h)
        return {};
    // Block reads, as the game's file object reads: the character reader drops carriage returns.
    std::vector<uint8_t> bytes;
    uint8_t block[256];
    for (size_t n; (n = Orvo::PakRead(block, 1, sizeof block, h)) > 0;)
        bytes.insert(bytes.end(), block, block + n);
    Orvo::PakClose(h);
    return bytes;
}

class GameViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        base_ = fs::temp_directory_path() / ("quorvane_gameview_" + std::to_string(::getpid()));
        assets::GenerateContent(base_ / "generated", kSources);
        assets::WriteRunFolder(base_ / "generated", base_ / "run");
        fs::remove_all(base_ / "generated");
        oldDir_ = fs::current_path();
        fs::current_path(base_ / "run"); // the game runs from its folder
        Orvo::PakInterface* pak = Orvo::FindPakInterface();
        ASSERT_NE(pak, nullptr);
        ASSERT_TRUE(pak->AddPakFile("main.pak"));
        ASSERT_TRUE(pak->AddPakFile("data.pak"));
    }
    static void TearDownTestSuite()
    {
        fs::current_path(oldDir_);
        fs::remove_all(base_);
    }
    static inline fs::path base_, oldDir_;
};

TEST_F(GameViewTest, PicturesLoadByTheirGamePaths)
{
    for (const assets::Picture& p : assets::PictureTable()) {
        std::unique_ptr<ImageLib::Image> image(ImageLib::GetImage(p.path, false));
        ASSERT_TRUE(image) << p.path;
        EXPECT_EQ(image->GetWidth(), p.width) << p.path;
        EXPECT_EQ(image->GetHeight(), p.height) << p.path;
    }
    for (int i = 1; i <= 25; ++i) {
        std::unique_ptr<ImageLib::Image> preview(ImageLib::GetImage("images/maps/" + std::to_string(i) + ".png", false));
        ASSERT_TRUE(preview) << i;
        EXPECT_EQ(preview->GetWidth(), 350);
    }
}

TEST_F(GameViewTest, MapsReadBackFromTheArchive)
{
    const std::vector<assets::MapSource> sources = assets::LoadMapSources(kSources);
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string name = "maps/" + std::to_string(i + 1) + ".map";
        assets::MapSource back;
        ASSERT_TRUE(assets::DecodeMap(ReadThroughPak(name), back)) << name;
        EXPECT_EQ(back.rows, sources[i].rows) << name;
        EXPECT_EQ(back.title, sources[i].title) << name;
    }
}

TEST_F(GameViewTest, FontsLoadFromTheArchiveAndSoundsAndIconLieOnDisk)
{
    for (const assets::BitmapFontRecipe& r : assets::BitmapFontRecipes()) {
        Orvo::ImageFont font(static_cast<Orvo::OrvoAppBase*>(nullptr), "fonts/" + r.name + ".txt");
        EXPECT_TRUE(font.mLoaded) << r.name;
        EXPECT_GT(font.StringWidth("Welcom,"), 0) << r.name;
    }
    // The music back-end opens sounds from the disk by name; the window icon is needed before
    // any archive is mounted.
    for (const assets::SoundRecipe& s : assets::SoundRecipes())
        EXPECT_TRUE(fs::is_regular_file(s.path)) << s.path;
    EXPECT_TRUE(fs::is_regular_file(assets::kWindowIconPath));
}

} // namespace
