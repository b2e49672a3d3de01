// The kinds of visual object: image, text label, link, rectangle, button and check box.
// Drawing is checked on a canvas, input through the objects' own handlers.
#include <filesystem>

#include "framework/graphics/ImageLib.h"
#include "framework/resources/PakInterface.h"
#include "kernel/controls/ButtonVO.h"
#include "kernel/controls/HandleImpls.h"
#include "kernel/controls/SimpleVOs.h"
#include "platform/Shell.h"
#include "tests/framework/graphics/GraphicsTestUtil.h"
#include "tests/kernel/controls/ControlsFixture.h"

namespace {

using namespace ControlLibrary;
using controls_test::FactoryTest;
using controls_test::Recorder;

VisibleObject_impl* Impl(IVisibleObject* vo) { return dynamic_cast<IBridgeToVO*>(vo)->GetImpl(); }

using KindsTest = FactoryTest;

TEST_F(KindsTest, ImageWithoutPictureIsABlockOfItsColour) {
  IImageVO* vo = factory->CreateImageVO();
  EXPECT_FALSE(vo->SetImage((sandbox.root / "missing.png").string(), true));
  vo->SetPosition(10, 10);
  vo->SetVisible(true);
  Frame();
  EXPECT_EQ(Pixel(10, 10), 0xFFFFFFu);
  EXPECT_EQ(Pixel(29, 29), 0xFFFFFFu);
  vo->SetColor({1, 2, 3});
  vo->SetSize(5, 5);
  Frame();
  EXPECT_EQ(Pixel(12, 12), 0x010203u);
  EXPECT_EQ(Pixel(20, 20), 0x000000u);  // the old, larger area is cleared
}

TEST_F(KindsTest, ImageFitsItsPictureAndUsesTheSourceRectOnlyUnrotated) {
  ImageLib::Image picture;
  picture.mWidth = 2;
  picture.mHeight = 1;
  picture.mBits = new std::uint32_t[2]{0xFFFF0000, 0xFF0000FF};
  const std::string path = (sandbox.root / "two.png").string();
  ASSERT_TRUE(ImageLib::WritePNGImage(path, &picture));
  IImageVO* vo = factory->CreateImageVO();
  ASSERT_TRUE(vo->SetImage(path, true));
  EXPECT_EQ(vo->GetSize(), (VOSize{2, 1}));
  EXPECT_EQ(vo->GetImageName(), path);
  vo->SetSize(1, 1);
  vo->SetSourceRect({1, 0, 1, 1});
  vo->SetPosition(40, 40);
  vo->SetVisible(true);
  Frame();
  EXPECT_LE(gtest_util::ChannelDiff(Pixel(40, 40), 0x0000FFu), 2);
}

TEST_F(KindsTest, RectangleModes) {
  IRectVO* vo = factory->CreateRectVO();
  vo->SetPosition(10, 10);
  vo->SetVisible(true);
  const struct {
    std::uint32_t mode;
    std::uint32_t edge, inside;
  } cases[] = {{1, 0xFFFFFF, 0xFFFFFF}, {0, 0xFFFFFF, 0x000000}, {2, 0x000000, 0x000000}};
  for (const auto& c : cases) {
    vo->SetFillMode(c.mode);
    Frame();
    EXPECT_EQ(Pixel(10, 10), c.edge) << c.mode;
    EXPECT_EQ(Pixel(20, 20), c.inside) << c.mode;
  }
}

TEST_F(KindsTest, LabelWithoutFontDrawsNothingButRepaintsEveryPass) {
  IStringVO* vo = factory->CreateStringVO();
  vo->SetText("hello");
  EXPECT_EQ(vo->GetSize(), (VOSize{0, 0}));  // no font: only the text is stored
  vo->SetPosition(5, 6);
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<VORect> fill;
    dynamic_cast<IBridgeToVO*>(vo)->Update(fill);
    ASSERT_FALSE(fill.empty());
    EXPECT_EQ(fill.back(), (VORect{5, 6, 1, 1}));
  }
}

TEST_F(KindsTest, LinkOpensItsAddressOnlyWhenEnabledAndSet) {
  std::vector<std::string> opened;
  plat::SetShellOpenHook([&](const std::string& file) {
    opened.push_back(file);
    return true;
  });
  ILinkVO* link = factory->CreateLinkVO();
  link->SetVisible(true);
  Impl(link)->OnMouseDown(0, 0, kMouseLeft, 1);  // no address
  link->SetAddress("https://example.org/more");
  link->SetEnabled(false);
  Impl(link)->OnMouseDown(0, 0, kMouseLeft, 1);
  link->SetEnabled(true);
  Impl(link)->OnMouseDown(0, 0, kMouseLeft, 1);
  plat::SetShellOpenHook(nullptr);
  EXPECT_EQ(opened, std::vector<std::string>{"https://example.org/more"});
}

TEST_F(KindsTest, ButtonFillsAndCaptionColoursFollowItsState) {
  IButtonVO* button = factory->CreateButtonVO();
  button->SetPosition(10, 10);
  button->SetSize(40, 20);
  button->SetVisible(true);
  VisibleObject_impl* impl = Impl(button);
  Frame();
  EXPECT_EQ(Pixel(20, 20), 0x804000u);  // normal
  impl->OnMouseEnter();
  Frame();
  EXPECT_EQ(Pixel(20, 20), 0xF8D057u);  // hovered
  impl->OnMouseDown(20, 20, kMouseLeft, 1);
  Frame();
  EXPECT_EQ(Pixel(20, 20), 0xFC8585u);  // pressed
  impl->OnMouseUp(20, 20, kMouseLeft, 1);
  button->SetEnabled(false);
  button->SetText("x");  // flags the button for redrawing
  Frame();
  EXPECT_EQ(Pixel(20, 20), 0xCBCBC0u);  // disabled
}

TEST_F(KindsTest, StateFontsAndImagesFallBackToTheFirst) {
  IFont* font = factory->CreateFont();
  IFont* fonts[4] = {font, nullptr, nullptr, nullptr};
  IButtonVO* button = factory->CreateButtonVO();
  button->SetStateFonts(fonts);
  EXPECT_EQ(font->GetRefCount(), 5);  // the creator's reference and one for each state

  ImageLib::Image picture;
  picture.mWidth = 1;
  picture.mHeight = 1;
  picture.mBits = new std::uint32_t[1]{0xFF00FF00};
  const std::string path = (sandbox.root / "green.png").string();
  ASSERT_TRUE(ImageLib::WritePNGImage(path, &picture));
  const std::string names[4] = {path, "", "", ""};
  ICheckBoxVO* box = factory->CreateCheckBoxVO();
  EXPECT_TRUE(box->SetImages(names));
  box->SetEnabled(false);
  box->SetPosition(60, 60);
  box->SetVisible(true);
  Frame();
  EXPECT_LE(gtest_util::ChannelDiff(Pixel(70, 70), 0x00FF00u), 2);  // the disabled, unchecked state shows image 0 too

  factory->DeleteVO(button);
  EXPECT_EQ(font->GetRefCount(), 1);
  factory->Release(font);
}

TEST_F(KindsTest, PerformClickOnButtonAndCheckBox) {
  Recorder rec;
  IButtonVO* button = factory->CreateButtonVO();
  button->SetVisible(true);
  button->AddMouseObserver(&rec);
  button->PerformClick();
  const std::string b = std::to_string(button->GetId());
  EXPECT_EQ(rec.log, (std::vector<std::string>{"down " + b, "click " + b}));
  EXPECT_FALSE(Impl(button)->IsHovered());

  rec.log.clear();
  ICheckBoxVO* box = factory->CreateCheckBoxVO();
  box->SetVisible(true);
  box->AddMouseObserver(&rec);
  box->PerformClick();  // the mouse is elsewhere: toggled, but no click
  EXPECT_TRUE(box->IsChecked());
  const std::string c = std::to_string(box->GetId());
  EXPECT_EQ(rec.log, (std::vector<std::string>{"down " + c}));
  // A press released outside toggles all the same.
  Impl(box)->OnMouseDown(0, 0, kMouseLeft, 1);
  Impl(box)->OnMouseUp(0, 0, kMouseLeft, 1);
  EXPECT_FALSE(box->IsChecked());
}

// Text sizing needs a real bitmap font: the generated ones in the run folder.
class TextKindsTest : public FactoryTest {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(QUORVANE_RUN_DIR)) GTEST_SKIP() << "no run folder";
    std::filesystem::current_path(QUORVANE_RUN_DIR);
    Orvo::FindPakInterface()->AddPakFile("main.pak");
    Orvo::FindPakInterface()->AddPakFile("data.pak");
    font = factory->CreateFont();
    if (!font->Load("fonts/a_BosaNova14.txt")) GTEST_SKIP() << "the asset tool has not written the fonts yet";
  }
  void TearDown() override {
    if (font != nullptr) factory->Release(font);
  }
  IFont* font = nullptr;
};

TEST_F(TextKindsTest, LabelSizesFromFontAndText) {
  IStringVO* label = factory->CreateStringVO();
  label->SetText("Quorvane");
  label->SetFont(font);
  const int width = font->GetTextWidth("Quorvane");
  ASSERT_GT(width, 0);
  EXPECT_EQ(label->GetSize(), (VOSize{width, font->GetHeight()}));
  label->SetText("Quorvane!");
  EXPECT_EQ(label->GetSize(), (VOSize{font->GetTextWidth("Quorvane!") + 2, font->GetHeight() + 4}));
  // The same font again shares its table entry.
  IFont* again = factory->CreateFont();
  ASSERT_TRUE(again->Load("fonts/a_BosaNova14.txt"));
  EXPECT_EQ(static_cast<Font_impl*>(again)->GetFontId(), static_cast<Font_impl*>(font)->GetFontId());
  factory->Release(again);
  factory->DeleteVO(label);
  EXPECT_EQ(font->GetRefCount(), 1);
}

TEST_F(TextKindsTest, TextOnlyCheckBoxCaptionStartsFourPixelsRight) {
  ICheckBoxVO* box = factory->CreateCheckBoxVO();
  IFont* fonts[4] = {font, nullptr, nullptr, nullptr};
  box->SetStateFonts(fonts);
  box->SetText("IIII");
  box->SetTextOnly(true);
  box->SetPosition(20, 20);
  box->SetSize(100, 40);
  box->SetVisible(true);
  Frame();
  int firstInk = -1;
  for (int x = 0; x < 200 && firstInk < 0; ++x)
    for (int y = 20; y < 60; ++y)
      if (Pixel(x, y) != 0x102030u && Pixel(x, y) != 0x000000u) {
        firstInk = x;
        break;
      }
  EXPECT_GE(firstInk, 24);
  EXPECT_LE(firstInk, 27);  // the glyph's own left bearing, a pixel or two
}

}  // namespace
