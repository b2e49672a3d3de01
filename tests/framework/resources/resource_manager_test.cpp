// The resource manifest: records read from XML, loading and releasing by group through
// stand-in loaders, alpha merging, redefinitions, and the must-exist look-ups.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <set>
#include <tuple>
#include <memory>
#include <string>
#include <vector>

#include "framework/graphics/DDImage.h"
#include "framework/graphics/Font.h"
#include "framework/graphics/ImageFont.h"
#include "framework/graphics/ImageLib.h"
#include "framework/resources/PakInterface.h"
#include "framework/resources/ResourceManager.h"
#include "tests/framework/resources/PakTestSupport.h"

using namespace Orvo;

namespace {

struct FakeFont : Font {
  explicit FakeFont(std::string source) : mSource(std::move(source)) {}
  Font* Duplicate() override { return new FakeFont(*this); }
  std::string mSource;
  std::vector<std::string> mTags;
};

// Images are solid 4 x 2 pictures (colour 0x00112233) unless a size is set for a path.
class FakeLoaders : public ResourceLoaders {
 public:
  ~FakeLoaders() override {
    for (auto& [key, shared] : mCache) delete shared->mImage;
  }
  SharedImageRef AcquireImage(const std::string& path, const std::string& variant, std::uint32_t alphaColor,
                              bool* loadedNow) override {
    ++mImageLoads;
    mLastAlphaColor = alphaColor;
    *loadedNow = false;
    if (mMissing.count(path)) return SharedImageRef();
    auto& shared = mCache[path + "|" + variant];
    if (shared == nullptr) {
      shared = std::make_unique<SharedImage>();
      shared->mImage = new DDImage(nullptr);
      const auto size = mSizes.count(path) ? mSizes[path] : std::pair<int, int>{4, 2};
      shared->mImage->Create(size.first, size.second);
      std::uint32_t* bits = shared->mImage->GetBits();
      for (int i = 0; i < size.first * size.second; ++i) bits[i] = 0x00112233;
      *loadedNow = true;
    }
    return SharedImageRef(shared.get());
  }
  ImageLib::Image* ReadImageFile(const std::string& path) override {
    if (!mFiles.count(path)) return nullptr;
    const auto& [w, h, pixels] = mFiles[path];
    auto* image = new ImageLib::Image;
    image->mWidth = w;
    image->mHeight = h;
    image->mBits = new std::uint32_t[pixels.size()];
    std::copy(pixels.begin(), pixels.end(), image->mBits);
    return image;
  }
  bool Is3DAccelerated() override { return mIs3D; }
  Image* LoadFontImage(const std::string& path) override {
    if (mMissing.count(path)) return nullptr;
    auto* image = new DDImage(nullptr);
    image->Create(8, 8);
    return image;
  }
  Font* CreateSysFont(const std::string& face, int size, bool bold, bool italic, bool underline, bool shadow) override {
    return new FakeFont("sys:" + face + ":" + std::to_string(size) + (bold ? "b" : "") + (shadow ? "s" : ""));
  }
  Font* CreateImageFont(Image* image, const std::string& layout) override { return new FakeFont("image:" + layout); }
  Font* CreateImageFont(const std::string& path) override {
    ++mFontLoads;
    return mMissing.count(path) ? nullptr : new FakeFont("desc:" + path);
  }
  void AddFontTag(Font* font, const std::string& tag) override { static_cast<FakeFont*>(font)->mTags.push_back(tag); }

  std::map<std::string, std::unique_ptr<SharedImage>> mCache;
  std::map<std::string, std::pair<int, int>> mSizes;
  std::map<std::string, std::tuple<int, int, std::vector<std::uint32_t>>> mFiles;
  std::set<std::string> mMissing;
  bool mIs3D = false;
  int mImageLoads = 0;
  int mFontLoads = 0;
  std::uint32_t mLastAlphaColor = 0;
};

class FakeSounds : public ResourceSoundLoader {
 public:
  int GetFreeSoundId() override { return mNext < 2 ? mNext : -1; }
  bool LoadSound(int id, const std::string& path) override {
    if (path.find("missing") != std::string::npos) return false;
    mLoaded[id] = path;
    ++mNext;
    return true;
  }
  void SetBaseVolume(int id, double volume) override { mVolume[id] = volume; }
  void SetBasePan(int id, int pan) override { mPan[id] = pan; }
  void ReleaseSound(int id) override { mLoaded.erase(id); }

  int mNext = 0;
  std::map<int, std::string> mLoaded;
  std::map<int, double> mVolume;
  std::map<int, int> mPan;
};

std::string Manifest(const std::string& body) { return "<ResourceManifest>\n" + body + "\n</ResourceManifest>"; }

class ResourceManagerTest : public ::testing::Test {
 protected:
  FakeLoaders loaders;
  FakeSounds sounds;
  ResourceManager manager{&loaders, &sounds};

  ResourceManager::ImageRes* ImageRecord(const std::string& id) {
    return static_cast<ResourceManager::ImageRes*>(manager.GetImageMap().at(id));
  }
};

TEST_F(ResourceManagerTest, ManifestBecomesRecordsInGroups) {
  ASSERT_TRUE(manager.ParseResourcesText(Manifest(R"(
<Resources id="Init">
  <SetDefaults path="images/" idprefix="IMG_/"/>
  <Image path="cell.png"/>
  <Image id="Strip" path="strip.png" rows="2" cols="3" anim="Loop" framedelay="5" nopal alphacolor="ff00ff"
         variant="v1" nobits2d a8r8g8b8/>
  <Image id="Prog" path="!program"/>
  <SetDefaults path="sounds\" idprefix=""/>
  <Sound path="click.wav" volume="0.5" pan="-200"/>
</Resources>
<Resources id="Fonts">
  <Font id="F14" path="fonts/a.txt" tags="bold, small	big"/>
  <Font id="Sys" path="!sys:Arial" size="12" bold shadow/>
</Resources>)")))
      << manager.GetErrorText();

  const auto& groups = manager.GetGroups();
  ASSERT_EQ(groups.at("Init").size(), 4u);
  ASSERT_EQ(groups.at("Fonts").size(), 2u);

  auto* cell = ImageRecord("IMG_cell");
  EXPECT_EQ(cell->mPath, "images/cell.png");
  EXPECT_EQ(cell->mResGroup, "Init");
  EXPECT_TRUE(cell->mPalletize);
  EXPECT_EQ(cell->mAlphaColor, 0x00FFFFFFu);

  auto* strip = ImageRecord("IMG_Strip");
  EXPECT_FALSE(strip->mPalletize);
  EXPECT_TRUE(strip->mPurgeBits) << "nobits2d on a display without 3D";
  EXPECT_TRUE(strip->mA8R8G8B8);
  EXPECT_EQ(strip->mAlphaColor, 0xFF00FFu);
  EXPECT_EQ(strip->mVariant, "v1");
  EXPECT_EQ(strip->mAnimInfo.mAnimType, AnimInfo::TYPE_LOOP);
  EXPECT_EQ(strip->mAnimInfo.mNumCels, 3) << "the larger of rows and cols";
  EXPECT_EQ(strip->mAnimInfo.mFrameDelay, 5);
  EXPECT_EQ(strip->mXMLAttributes.at("variant"), "v1");

  EXPECT_TRUE(ImageRecord("IMG_Prog")->mFromProgram);

  auto* click = static_cast<ResourceManager::SoundRes*>(manager.GetSoundMap().at("click"));
  EXPECT_EQ(click->mPath, "sounds/click.wav");
  EXPECT_DOUBLE_EQ(click->mVolume, 0.5);
  EXPECT_EQ(click->mPanning, -200);

  auto* sys = static_cast<ResourceManager::FontRes*>(manager.GetFontMap().at("Sys"));
  EXPECT_TRUE(sys->mSysFont);
  EXPECT_TRUE(sys->mBold);
  EXPECT_TRUE(sys->mShadow);
  EXPECT_FALSE(sys->mItalic);
  EXPECT_EQ(sys->mSize, 12);
}

TEST_F(ResourceManagerTest, BadManifestsGiveTheirError) {
  const struct {
    const char* body;
    const char* error;
  } cases[] = {
      {"<Resources id=\"G\"><Image id=\"x\"/></Resources>", "No path specified. on Line 1"},
      {"<Resources id=\"G\"><Picture path=\"a\"/></Resources>", "Invalid Section 'Picture' on Line 1"},
      {"<Resources id=\"G\">stray words</Resources>", "Element Not Expected 'stray words' on Line 1"},
      {"<Resources id=\"G\"><Image path=\"a\" anim=\"bounce\"/></Resources>", "Invalid animation type. on Line 1"},
      {"<Resources id=\"G\"><Font path=\"!sys:Arial\"/></Resources>", "SysFont needs point size on Line 1"},
      {"<Resources id=\"G\"><Image path=\"a\"><Image path=\"b\"/></Image></Resources>",
       "Unexpected element found. on Line 1"},
      {"<Resources id=\"G\"><Image path=\"a\"></Sound></Resources>",
       "End 'Sound' Doesn't Match Start 'Image' on Line 1"},
      {"<Resources id=\"G\"><Image path=\"a.png\"/><Image path=\"b/a.jpg\"/></Resources>",
       "Resource already defined. on Line 1"},
  };
  for (const auto& c : cases) {
    FakeLoaders l;
    ResourceManager m(&l, &sounds);
    EXPECT_FALSE(m.ParseResourcesText(Manifest(c.body))) << c.body;
    EXPECT_EQ(m.GetErrorText(), c.error) << c.body;
  }

  paktest::ScratchDir dir("manifest");
  paktest::WriteFile(dir.Path() / "bad.xml", Manifest("<Resources id=\"G\">\n\n<Image/>\n</Resources>"));
  EXPECT_FALSE(manager.ParseResourcesFile((dir.Path() / "bad.xml").string()));
  EXPECT_EQ(manager.GetErrorText(), "No path specified. on Line 3 in File '" + (dir.Path() / "bad.xml").string() + "'");
}

// Rows, cols and frame counts are bounded by the picture: a cell is at least a pixel. The
// manifest can only be checked against the largest picture there may be; the picture itself
// is checked when it is loaded, before any frame table is built for it.
TEST_F(ResourceManagerTest, GridsFinerThanAPixelAreRefused) {
  const struct {
    const char* image;
    const char* error;
  } unreadable[] = {
      {R"(<Image path="a.png" rows="2000000000" anim="pingpong"/>)", "Too many rows or columns. on Line 1"},
      {R"(<Image path="a.png" rows="300000000" anim="loop" enddelay="5"/>)", "Too many rows or columns. on Line 1"},
      {R"(<Image path="a.png" cols="32768"/>)", "Too many rows or columns. on Line 1"},
      {R"(<Image path="a.png" rows="99999999999" anim="once"/>)", "Too many rows or columns. on Line 1"},
      {R"(<Image path="a.png" cols="40" anim="loop" framedelay="100000000"/>)", "Animation too long. on Line 1"},
      {R"(<Image path="a.png" cols="2" anim="once" perframedelay="2000000000,2000000000"/>)",
       "Animation too long. on Line 1"},
  };
  for (const auto& c : unreadable) {
    FakeLoaders l;
    ResourceManager m(&l, &sounds);
    EXPECT_FALSE(m.ParseResourcesText(Manifest(std::string("<Resources id=\"G\">") + c.image + "</Resources>")))
        << c.image;
    EXPECT_EQ(m.GetErrorText(), c.error) << c.image;
  }

  // Pictures are 4 x 2 pixels.
  const struct {
    const char* image;
    bool loads;
  } loadable[] = {
      {R"(<Image path="a.png" rows="2" cols="4" anim="pingpong" framedelay="10"/>)", true},
      {R"(<Image path="a.png" rows="3"/>)", false},
      {R"(<Image path="a.png" cols="5" anim="loop"/>)", false},
      {R"(<Image path="a.png" cols="32767" anim="pingpong" enddelay="5"/>)", false},
  };
  for (const auto& c : loadable) {
    FakeLoaders l;
    ResourceManager m(&l, &sounds);
    ASSERT_TRUE(m.ParseResourcesText(Manifest(std::string("<Resources id=\"G\">") + c.image + "</Resources>")))
        << c.image << ": " << m.GetErrorText();
    EXPECT_EQ(m.LoadGroup("G"), c.loads) << c.image;
    MemoryImage* picture = l.mCache.at("a.png|")->mImage;
    if (c.loads) {
      ASSERT_NE(picture->mAnimInfo, nullptr);
      EXPECT_EQ(picture->mAnimInfo->mFrameMap, (std::vector<int>{0, 1, 2, 3, 2, 1}));
      EXPECT_EQ(picture->mAnimInfo->mTotalAnimTime, 60);
      EXPECT_EQ(static_cast<ResourceManager::ImageRes*>(m.GetImageMap().at("a"))->mAnimInfo.mTotalAnimTime, 60);
    } else {
      EXPECT_EQ(m.GetErrorText(), "Too many rows or columns for image: a.png") << c.image;
      EXPECT_EQ(picture->mAnimInfo, nullptr) << c.image;
    }
  }
}

// A pan past the int range is held to its end (which the sound refuses as any pan out of its
// range) instead of wrapping round to a pan near the middle.
TEST_F(ResourceManagerTest, PansPastTheIntRangeAreHeldToIt) {
  ASSERT_TRUE(manager.ParseResourcesText(Manifest(R"(
<Resources id="G">
  <Sound id="wide" path="a.wav" pan="4294967297"/>
  <Sound id="far" path="b.wav" pan="-99999999999999999999"/>
  <Sound id="plain" path="c.wav" pan="-200"/>
  <Sound id="none" path="d.wav" pan="left"/>
</Resources>)")));
  const struct {
    const char* id;
    int pan;
  } cases[] = {{"wide", INT_MAX}, {"far", INT_MIN}, {"plain", -200}, {"none", 0}};
  for (const auto& c : cases)
    EXPECT_EQ(static_cast<ResourceManager::SoundRes*>(manager.GetSoundMap().at(c.id))->mPanning, c.pan) << c.id;
}

TEST_F(ResourceManagerTest, RedefinitionNeverLeavesADeletedRecordInItsGroup) {
  // Refused: the group keeps only the first record, which still loads.
  EXPECT_FALSE(manager.ParseResourcesText(
      Manifest("<Resources id=\"G\"><Image id=\"a\" path=\"one.png\"/><Image id=\"a\" path=\"two.png\"/></Resources>")));
  EXPECT_EQ(manager.GetGroups().at("G").size(), 1u);
  EXPECT_TRUE(manager.LoadGroup("G")) << manager.GetErrorText();
  EXPECT_EQ(ImageRecord("a")->mPath, "one.png");

  // Allowed: the earlier record takes the new path and attributes and lets go of its image.
  manager.SetAllowAlreadyDefinedResources(true);
  ASSERT_TRUE(manager.ParseResourcesText(
      Manifest("<Resources id=\"H\"><Image id=\"a\" path=\"three.png\" nopal/></Resources>")))
      << manager.GetErrorText();
  EXPECT_EQ(manager.GetGroups().at("G").size(), 1u);
  EXPECT_EQ(manager.GetGroups().count("H") ? manager.GetGroups().at("H").size() : 0u, 0u);
  auto* a = ImageRecord("a");
  EXPECT_EQ(a->mPath, "three.png");
  EXPECT_FALSE(a->mPalletize);
  EXPECT_EQ(a->mImage.GetImage(), nullptr) << "the image of the old path is released";
  manager.DeleteResources("G");
  ASSERT_TRUE(manager.LoadGroup("G"));
  EXPECT_NE(loaders.mCache.count("three.png|"), 0u);
}

TEST_F(ResourceManagerTest, GroupsLoadOnceReleaseAndLoadAgain) {
  ASSERT_TRUE(manager.ParseResourcesText(Manifest(R"(
<Resources id="G">
  <Image id="pic" path="pic.png" rows="2" cols="1"/>
  <Image id="prog" path="!program"/>
  <Sound id="snd" path="s.wav" volume="0.25" pan="30"/>
  <Font id="f" path="f.txt" tags="a,b"/>
  <Font id="copy" path="!ref:f"/>
  <Font id="img" path="layout" image="font.png"/>
</Resources>)")));
  ASSERT_TRUE(manager.LoadGroup("G")) << manager.GetErrorText();
  EXPECT_TRUE(manager.IsGroupLoaded("G"));
  EXPECT_EQ(loaders.mImageLoads, 1) << "records from program are skipped";
  EXPECT_EQ(loaders.mFontLoads, 1);

  MemoryImage* pic = manager.RequireImage("pic").GetImage();
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->mNumRows, 2);
  EXPECT_EQ(manager.RequireSound("snd"), 0);
  EXPECT_DOUBLE_EQ(sounds.mVolume[0], 0.25);
  EXPECT_EQ(sounds.mPan[0], 30);
  auto* f = static_cast<FakeFont*>(manager.RequireFont("f"));
  EXPECT_EQ(f->mSource, "desc:f.txt");
  EXPECT_EQ(f->mTags, (std::vector<std::string>{"a", "b"}));
  auto* copy = static_cast<FakeFont*>(manager.RequireFont("copy"));
  EXPECT_NE(copy, f);
  EXPECT_EQ(copy->mSource, "desc:f.txt");
  EXPECT_EQ(static_cast<FakeFont*>(manager.RequireFont("img"))->mSource, "image:layout");

  ASSERT_TRUE(manager.LoadGroup("G"));
  EXPECT_EQ(loaders.mImageLoads, 1) << "a loaded group loads nothing again";
  EXPECT_EQ(loaders.mFontLoads, 1);

  manager.DeleteResources("G");
  EXPECT_FALSE(manager.IsGroupLoaded("G"));
  EXPECT_TRUE(sounds.mLoaded.empty());
  EXPECT_THROW(manager.RequireImage("pic"), ResourceManagerException);
  manager.ClearError();
  ASSERT_TRUE(manager.LoadGroup("G")) << manager.GetErrorText();
  EXPECT_EQ(loaders.mImageLoads, 2);
  EXPECT_EQ(manager.RequireSound("snd"), 1);
}

TEST_F(ResourceManagerTest, LoadFailuresAndLookupsReportTheFirstError) {
  loaders.mMissing = {"gone.png", "gone.txt"};
  ASSERT_TRUE(manager.ParseResourcesText(Manifest(R"(
<Resources id="Pics"><Image id="gone" path="gone.png"/></Resources>
<Resources id="Fonts"><Font id="f" path="gone.txt"/><Font id="r" path="!ref:nothing"/></Resources>
<Resources id="Sounds"><Sound id="s" path="missing.wav"/></Resources>
<Resources id="Prog"><Image id="p" path="!program"/></Resources>)")));

  const struct {
    const char* group;
    const char* error;
  } loads[] = {{"Pics", "Failed to load image: gone.png"},
               {"Fonts", "Failed to load font: gone.txt"},
               {"Sounds", "Failed to load sound: missing.wav"}};
  for (const auto& l : loads) {
    EXPECT_FALSE(manager.LoadGroup(l.group));
    EXPECT_EQ(manager.GetErrorText(), l.error);
    EXPECT_FALSE(manager.IsGroupLoaded(l.group));
  }

  manager.ClearError();
  try {
    manager.RequireFont("f");
    FAIL() << "no exception";
  } catch (const ResourceManagerException& e) {
    EXPECT_STREQ(e.what(), "Font resource not found: f");
  }
  try {
    manager.RequireSound("unknown");
    FAIL() << "no exception";
  } catch (const ResourceManagerException& e) {
    EXPECT_STREQ(e.what(), "Font resource not found: f") << "the first error since the last clearing stands";
  }
  manager.ClearError();
  EXPECT_THROW(manager.RequireImage("p"), ResourceManagerException);
  manager.SetAllowMissingProgramImages(true);
  EXPECT_EQ(manager.RequireImage("p").GetImage(), nullptr);

  FakeLoaders l;
  FakeSounds full;
  full.mNext = 2;
  ResourceManager quiet(&l, &full);
  ASSERT_TRUE(quiet.ParseResourcesText(Manifest("<Resources id=\"S\"><Sound path=\"a.wav\"/></Resources>")));
  EXPECT_FALSE(quiet.LoadGroup("S"));
  EXPECT_EQ(quiet.GetErrorText(), "Out of free sound ids");
}

TEST_F(ResourceManagerTest, AlphaImagesAndGridsSetAlphaFromBlue) {
  loaders.mFiles["a_alpha.png"] = {4, 2, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0xFFFFFF80}};
  loaders.mFiles["grid.png"] = {2, 1, {0xAA, 0xBB}};
  loaders.mFiles["small.png"] = {3, 2, std::vector<std::uint32_t>(6, 0)};
  ASSERT_TRUE(manager.ParseResourcesText(Manifest(R"(
<Resources id="A"><Image id="a" path="a.png" alphaimage="a_alpha.png" nopal/></Resources>
<Resources id="G"><Image id="g" path="g.png" alphagrid="grid.png" rows="2" cols="2" nopal/></Resources>
<Resources id="Z"><Image id="z" path="g0.png" alphagrid="grid.png" rows="0" cols="-1" nopal/></Resources>
<Resources id="M"><Image id="m" path="m.png" alphaimage="small.png"/></Resources>)")));

  ASSERT_TRUE(manager.LoadGroup("A")) << manager.GetErrorText();
  const std::uint32_t* a = manager.RequireImage("a").GetImage()->GetBits();
  EXPECT_EQ(a[0], 0x10112233u);
  EXPECT_EQ(a[7], 0x80112233u);

  ASSERT_TRUE(manager.LoadGroup("G")) << manager.GetErrorText();
  const std::uint32_t* g = manager.RequireImage("g").GetImage()->GetBits();
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(g[y * 4 + x] >> 24, x % 2 == 0 ? 0xAAu : 0xBBu) << x << "," << y;
  }

  EXPECT_FALSE(manager.LoadGroup("Z")) << "rows and cols below 1 are one cell: the grid must be the whole image";
  EXPECT_EQ(manager.GetErrorText(), "GridAlphaImage size mismatch between g0.png and grid.png");
  EXPECT_FALSE(manager.LoadGroup("M"));
  EXPECT_EQ(manager.GetErrorText(), "AlphaImage size mismatch between m.png and small.png");
}

}  // namespace

namespace {

// The application's own loaders, here without an application: the game's bitmap fonts come
// out of the main.pak the asset tool wrote; images and sounds need an application.
TEST(AppResourceLoadersTest, FontsLoadFromMainPakAndTheRestFailsCleanly) {
  ASSERT_TRUE(FindPakInterface()->AddPakFile(std::string(QUORVANE_RUN_DIR) + "/main.pak"));
  ResourceManager manager(static_cast<OrvoAppBase*>(nullptr));
  ASSERT_TRUE(manager.ParseResourcesText(Manifest(R"(
<Resources id="Pictures"><Image path="images/none.png"/></Resources>
<Resources id="Sounds"><Sound path="sounds/click.wav"/></Resources>
<Resources id="Fonts">
  <SetDefaults path="fonts"/>
  <Font id="Body" path="a_BosaNova14.txt" tags="bold"/>
  <Font id="Copy" path="!ref:Body"/>
  <Font id="Missing" path="no_such_font.txt"/>
</Resources>)")))
      << manager.GetErrorText();

  EXPECT_FALSE(manager.LoadGroup("Fonts"));
  EXPECT_EQ(manager.GetErrorText(), "Failed to load font: fonts/no_such_font.txt");
  auto* body = dynamic_cast<ImageFont*>(manager.RequireFont("Body"));
  ASSERT_NE(body, nullptr);
  EXPECT_TRUE(body->mLoaded);
  EXPECT_GT(body->StringWidth("Quorvane"), 0);
  EXPECT_TRUE(body->HasTag("BOLD"));
  auto* copy = dynamic_cast<ImageFont*>(manager.RequireFont("Copy"));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->StringWidth("Quorvane"), body->StringWidth("Quorvane"));

  EXPECT_FALSE(manager.LoadGroup("Pictures"));
  EXPECT_EQ(manager.GetErrorText(), "Failed to load image: images/none.png");
  EXPECT_FALSE(manager.LoadGroup("Sounds"));
  EXPECT_EQ(manager.GetErrorText(), "Out of free sound ids");
}

}  // namespace
