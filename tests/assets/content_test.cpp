// The whole generated data set: every file the game names is there, two runs give the same
// bytes, and broken sources stop the run with a message naming the file.
#include "assets/content/BitmapFonts.h"
#include "assets/content/Content.h"
#include "assets/content/DriverLists.h"
#include "assets/content/Pictures.h"
#include "assets/content/Sounds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path kSources = fs::path(QUORVANE_TEST_DATA_DIR).parent_path().parent_path() / "assets";

std::map<std::string, std::vector<char>> ReadTree(const fs::path& root)
{
    std::map<std::string, std::vector<char>> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            files[fs::relative(entry.path(), root).generic_string()] =
                std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        }
    return files;
}

class ContentTest : public ::testing::Test {
protected:
    void SetUp() override { base_ = fs::temp_directory_path() / ("quorvane_content_" + std::to_string(::getpid())); }
    void TearDown() override { fs::remove_all(base_); }
    fs::path base_;
};

TEST_F(ContentTest, TwoRunsWriteEveryNamedFileWithTheSameBytes)
{
    assets::GenerateContent(base_ / "a", kSources);
    assets::GenerateContent(base_ / "b", kSources);
    const auto a = ReadTree(base_ / "a");
    const auto b = ReadTree(base_ / "b");

    std::vector<std::string> named;
    for (const auto& r : assets::BitmapFontRecipes()) {
        named.push_back("fonts/" + r.name + ".txt");
        named.push_back("fonts/" + r.name + ".png");
    }
    for (const auto& p : assets::PictureTable())
        named.push_back(p.path);
    for (const auto& s : assets::SoundRecipes())
        named.push_back(s.path);
    for (int i = 1; i <= 26; ++i)
        named.push_back("maps/" + std::to_string(i) + ".map");
    for (int i = 1; i <= 25; ++i)
        named.push_back("images/maps/" + std::to_string(i) + ".png");
    named.push_back(assets::kTrustedDriversPath);
    named.push_back(assets::kRefusedDriversPath);
    for (const std::string& name : named)
        EXPECT_TRUE(a.count(name)) << name << " missing";
    EXPECT_EQ(a.size(), named.size()) << "no stray or temporary files";

    ASSERT_EQ(a.size(), b.size());
    for (const auto& [name, bytes] : a) {
        auto other = b.find(name);
        ASSERT_NE(other, b.end()) << name;
        EXPECT_TRUE(bytes == other->second) << name << " differs between runs";
    }
}

TEST_F(ContentTest, ABrokenMapSourceStopsTheRunNamingTheFile)
{
    const fs::path sources = base_ / "sources";
    fs::create_directories(sources);
    fs::copy(kSources / "maps", sources / "maps");
    {
        std::ofstream broken(sources / "maps" / "05.txt", std::ios::trunc);
        broken << "title: Broken\ndifficulty: e\nkind: n\n##\n#x\n";
    }
    try {
        assets::GenerateContent(base_ / "out", sources);
        FAIL() << "a broken source was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("05.txt"), std::string::npos) << e.what();
    }
    // A missing source folder is an error too, not an empty data set.
    EXPECT_THROW(assets::GenerateContent(base_ / "out2", base_ / "nowhere"), std::runtime_error);
}

} // namespace
