// The developer keys on a headless application: the key table, screenshots and the image
// dump written and read back, the video statistics box, the overlays drawn onto the screen,
// and the pieces behind them (numbering, demo time, the dump's index page).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <cstdio>
#include <random>
#include <sstream>

#include "framework/core/DebugTools.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/core/Profiler.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/Font.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/ImageLib.h"
#include "framework/graphics/MemoryImage.h"
#include "framework/sound/SoundManager.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Messages.h"
#include "platform/Time.h"
#include "tests/framework/core/AppSandbox.h"

namespace fs = std::filesystem;
using namespace Orvo;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class DebugKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetClockSource(&clock);
    plat::SetMessageBoxHook([this](const std::string& text, const std::string& caption, UINT flags) {
      boxes.push_back({caption, text});
      return plat::DefaultMessageBoxAnswer(flags);
    });
    oldDir = fs::current_path();
    fs::current_path(sandbox.root);
    app = std::make_unique<OrvoAppBase>();
    app->mProductName = "DebugKeys" + std::to_string(std::random_device{}());
    app->mRegKey = "DebugKeysTest";
    app->Init();
    ASSERT_NE(app->mDDInterface, nullptr);
    ASSERT_NE(app->mDDInterface->GetScreenImage(), nullptr);
  }
  void TearDown() override {
    app.reset();
    fs::current_path(oldDir);
    plat::SetMessageBoxHook(nullptr);
    plat::SetClockSource(nullptr);
  }

  // Presses `key` with the given modifiers held.
  bool Press(int key, bool shift = false, bool ctrl = false, bool alt = false) {
    auto& down = app->mWidgetManager->mKeyDown;
    down[plat::VK_SHIFT] = shift;
    down[plat::VK_CONTROL] = ctrl;
    down[plat::VK_MENU] = alt;
    const bool used = app->HandleDebugKey(key);
    down[plat::VK_SHIFT] = down[plat::VK_CONTROL] = down[plat::VK_MENU] = 0;
    return used;
  }
  void FillScreen(const Color& color) {
    DDImage* screen = app->mDDInterface->GetScreenImage();
    Graphics g(screen);
    g.SetColor(color);
    g.FillRect(0, 0, screen->mWidth, screen->mHeight);
  }
  std::uint32_t ScreenPixel(int x, int y) {
    DDImage* screen = app->mDDInterface->GetScreenImage();
    return screen->GetBits()[y * screen->mWidth + x] & 0xFFFFFF;
  }

  struct Box {
    std::string caption, text;
  };
  plat::SimulatedClock clock{50000};
  AppSandbox sandbox;
  fs::path oldDir;
  std::unique_ptr<OrvoAppBase> app;
  std::vector<Box> boxes;
};

}  // namespace

TEST_F(DebugKeysTest, KeysSwitchSpeedPauseOverlaysAndTheProfiler) {
  EXPECT_TRUE(Press(plat::VK_F10, false, true));
  EXPECT_EQ(app->mSpeedFactor, 0.25);
  EXPECT_TRUE(Press(plat::VK_F10, false, true));
  EXPECT_EQ(app->mSpeedFactor, 1.0);
  EXPECT_TRUE(Press(plat::VK_F10, true));
  EXPECT_EQ(app->mStepMode, 2);  // updates held
  EXPECT_TRUE(Press(plat::VK_F10));
  EXPECT_EQ(app->mStepMode, 0);

  EXPECT_TRUE(Press(plat::VK_F3));
  EXPECT_TRUE(app->mShowDebugOverlays);
  EXPECT_TRUE(Press(plat::VK_F3));
  EXPECT_FALSE(app->mShowDebugOverlays);
  EXPECT_TRUE(Press(plat::VK_F3, true));
  EXPECT_TRUE(app->mShowDebugOverlays);
  EXPECT_EQ(app->mDebugOverlayMode, 1);
  EXPECT_TRUE(Press(plat::VK_F3, true));
  EXPECT_TRUE(app->mShowDebugOverlays);
  EXPECT_EQ(app->mDebugOverlayMode, 0);

  // F2 starts and stops the profiler; it never counts as used.
  EXPECT_FALSE(Press(plat::VK_F2));
  EXPECT_TRUE(IsProfiling());
  EXPECT_TRUE(boxes.empty());
  app->UpdateApp();  // the loop's updates and drawing are profiled sections
  app->UpdateApp();
  app->DrawFrame();
  EXPECT_FALSE(Press(plat::VK_F2));
  EXPECT_FALSE(IsProfiling());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Perf Results");
  EXPECT_EQ(boxes[0].text.rfind("Total Time: ", 0), 0u);
  EXPECT_NE(boxes[0].text.find("\nUpdate (2 calls, %"), std::string::npos) << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("\nDraw (1 calls, %"), std::string::npos) << boxes[0].text;

  EXPECT_FALSE(Press('R'));  // R alone is no debug key
  EXPECT_FALSE(Press('X'));

  // Alt+R with nothing to re-parse warns, and the box leaves no key held.
  app->mWidgetManager->mKeyDown['Q'] = 1;
  EXPECT_TRUE(Press('R', false, false, true));
  EXPECT_EQ(boxes.back().caption, "MODVAL WARNING!");
  for (unsigned char down : app->mWidgetManager->mKeyDown) EXPECT_EQ(down, 0);

  EXPECT_TRUE(Press(plat::VK_F8, true));
  EXPECT_EQ(boxes.back().caption, "Mode Switch");
  EXPECT_TRUE(boxes.back().text == "3D-Mode: ON" || boxes.back().text == "3D-Mode: OFF") << boxes.back().text;
}

TEST_F(DebugKeysTest, QueuedKeysReachTheDebugKeysOnlyOnceCtrlAltDTurnedThemOn) {
  auto key = [&](UINT message, int vk) {
    app->QueueMessage(QueuedMessage{app->mHWnd, message, static_cast<WPARAM>(vk), 0});
    app->ProcessQueuedMessages(false);
  };
  auto tap = [&](int vk) {
    key(plat::WM_KEYDOWN, vk);
    key(plat::WM_KEYUP, vk);
  };
  ASSERT_FALSE(app->mDebugKeysEnabled);
  // The chime the switch plays, from the run folder's sounds.
  app->mMenuCommandSound = (fs::path(QUORVANE_RUN_DIR) / "sounds" / "menu_command").string();
  tap(plat::VK_F3);
  EXPECT_FALSE(app->mShowDebugOverlays);  // an ordinary key while debug keys are off

  key(plat::WM_KEYDOWN, plat::VK_CONTROL);
  key(plat::WM_KEYDOWN, plat::VK_MENU);
  tap('D');
  key(plat::WM_KEYUP, plat::VK_MENU);
  key(plat::WM_KEYUP, plat::VK_CONTROL);
  ASSERT_TRUE(app->mDebugKeysEnabled);
  ASSERT_GE(app->mMenuCommandSoundId, 0) << "the switch played its chime";
  EXPECT_EQ(app->mSoundManager->LoadSound(app->mMenuCommandSound), app->mMenuCommandSoundId);
  tap(plat::VK_F3);
  EXPECT_TRUE(app->mShowDebugOverlays);
  key(plat::WM_KEYDOWN, plat::VK_CONTROL);
  tap(plat::VK_F10);  // the modifier comes from the widget manager's key table
  key(plat::WM_KEYUP, plat::VK_CONTROL);
  EXPECT_EQ(app->mSpeedFactor, 0.25);
}

TEST_F(DebugKeysTest, VideoStatsTellTheStoredThreeDOutcome) {
  struct Case {
    const char* failure;  // null: no outcome stored
    const char* warning;
    const char* support;
  } cases[] = {
      {nullptr, "", "Unsupported"},
      {"Not enough video memory.", "", "Unsupported"},
      {"", "Low video memory.", "Supported"},
      {"", "", "Recommended"},
  };
  for (const Case& c : cases) {
    if (c.failure) {
      app->RegWriteText("Test3D\\FailureReason", c.failure);
      app->RegWriteText("Test3D\\Warning", c.warning);
    }
    boxes.clear();
    EXPECT_TRUE(Press(plat::VK_F8));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Video Stats");
    const std::string expectedStart = std::string("3D-Mode is ") + (app->Is3DAccelerated() ? "On" : "Off") +
                                      " (3D is " + c.support + " on this system)\r\n\r\nNum Images: " +
                                      std::to_string(app->mMemoryImageSet.size()) + "\r\nNum Sounds: ";
    EXPECT_EQ(boxes[0].text.rfind(expectedStart, 0), 0u) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find("\r\nPalette8: "), std::string::npos);
  }
}

TEST_F(DebugKeysTest, ScreenshotsTakeTheNextNumberAndHoldTheScreen) {
  const std::string folder = GetAppDataFolder() + "_screenshots/";
  EXPECT_EQ(NextScreenshotNumber(folder), 1);  // no folder yet
  fs::create_directories(folder);
  for (const char* name : {"3.png", "12.png", "notes.png", "7.jpg"}) std::ofstream(folder + name) << "x";

  FillScreen(Color(0x20, 0x80, 0xC0));
  EXPECT_TRUE(Press(plat::VK_F11));
  ASSERT_TRUE(fs::exists(folder + "13.png"));
  std::unique_ptr<ImageLib::Image> shot(ImageLib::GetPNGImage(folder + "13.png"));
  ASSERT_NE(shot, nullptr);
  DDImage* screen = app->mDDInterface->GetScreenImage();
  EXPECT_EQ(shot->mWidth, screen->mWidth);
  EXPECT_EQ(shot->mHeight, screen->mHeight);
  // The screen keeps its own pixel format: the file holds what the screen holds.
  EXPECT_EQ(shot->mBits[5 * shot->mWidth + 7] & 0xFFFFFF, ScreenPixel(7, 5));
  EXPECT_NE(ScreenPixel(7, 5), 0u);

  EXPECT_TRUE(app->TakeScreenshot());
  EXPECT_TRUE(fs::exists(folder + "14.png"));
  for (const auto& entry : fs::directory_iterator(folder))
    EXPECT_EQ(entry.path().extension(), entry.path().filename() == "7.jpg" ? ".jpg" : ".png");
}

TEST_F(DebugKeysTest, ImageDumpWritesEveryImageAndAnIndex) {
  auto image = std::make_unique<MemoryImage>(app.get());
  image->Create(8, 4);
  std::uint32_t* bits = image->GetBits();
  for (int i = 0; i < 32; ++i) bits[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x010203);
  image->BitsChanged();

  EXPECT_TRUE(Press(plat::VK_F11, true));
  const std::string html = ReadFile("_dump/imagelist.html");
  EXPECT_EQ(html.rfind("<HTML><BODY BGCOLOR=EEEEFF><CENTER><FONT SIZE=+2><B>", 0), 0u);
  EXPECT_NE(html.find("</B></FONT><BR>Total Image Allocation: "), std::string::npos);
  EXPECT_NE(html.find("<TR><TD>Totals</TD>"), std::string::npos);
  const std::string end = "</TABLE></CENTER></BODY></HTML>";
  EXPECT_EQ(html.substr(html.size() - end.size()), end);

  // Find our image's row, then its picture and thumbnail on disk.
  const std::size_t cells = html.find("<TD ALIGN=RIGHT>8 x 4<BR>128 bytes</TD><TD>mBits<BR>128</TD>");
  ASSERT_NE(cells, std::string::npos) << html;
  const std::size_t rowStart = html.rfind("<TR>", cells);
  ASSERT_NE(rowStart, std::string::npos);
  int imgNumber = -1, thumbNumber = -1, w = 0, h = 0;
  ASSERT_EQ(std::sscanf(html.c_str() + rowStart, "<TR><TD><A HREF=img%4d.png><IMG SRC=thumb%4d.jpg WIDTH=%d HEIGHT=%d>",
                        &imgNumber, &thumbNumber, &w, &h),
            4);
  EXPECT_EQ(imgNumber, thumbNumber);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 4);
  std::unique_ptr<ImageLib::Image> back(ImageLib::GetPNGImage(FormatString("_dump/img%04d.png", imgNumber)));
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->mWidth, 8);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(back->mBits[i], bits[i]) << i;
  std::unique_ptr<ImageLib::Image> thumb(ImageLib::GetJPEGImage(FormatString("_dump/thumb%04d.jpg", thumbNumber)));
  ASSERT_NE(thumb, nullptr);
  EXPECT_EQ(thumb->mWidth, 8);
  EXPECT_FALSE(fs::exists("_dump/imagelist.html.tmp"));
}

TEST_F(DebugKeysTest, OverlaysAreDrawnOverTheWidgetsAndCountFrames) {
  EXPECT_TRUE(Press(plat::VK_F3, true));  // overlays on, with the mouse position
  FillScreen(Color(255, 0, 0));
  const std::uint32_t red = ScreenPixel(100, 100);
  const int screenHeight = app->mDDInterface->GetScreenImage()->mHeight;
  int frames = 0;
  for (; frames < 25; ++frames) {
    clock.Advance(40);
    app->DrawDebugOverlays();
  }
  EXPECT_EQ(app->mFPSDisplay, 25);  // 25 frames in 1000 ms

  EXPECT_EQ(ScreenPixel(0, 0), 0u);         // the frame-rate box is black
  EXPECT_EQ(ScreenPixel(49, 1), 0u);
  EXPECT_EQ(ScreenPixel(50, 1), red);  // and 50 pixels wide
  EXPECT_EQ(ScreenPixel(0, screenHeight - 1), 0u);  // the mouse position at the bottom
  bool text = false;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 50; ++x) text = text || ScreenPixel(x, y) != 0;
  EXPECT_TRUE(text);  // something was written in the box

  // During playback the time left is shown under the frame rate.
  const int overlayHeight = app->mDebugFont->GetHeight() + 4;
  FillScreen(Color(255, 0, 0));
  app->DrawDebugOverlays();
  EXPECT_EQ(ScreenPixel(0, overlayHeight), red);
  app->mPlayingDemo = true;
  app->DrawDebugOverlays();
  app->mPlayingDemo = false;
  EXPECT_EQ(ScreenPixel(0, overlayHeight), 0u);
  EXPECT_EQ(ScreenPixel(0, 2 * overlayHeight), red);
}

TEST(DebugToolsTest, DemoTimeLeftNeverGoesBelowZero) {
  struct Case {
    int length, updates, period;
    const char* text;
  } cases[] = {
      {366100, 0, 10, "01:01:01"}, {1000, 1000, 10, "00:00:00"}, {1000, 1300, 10, "00:00:00"},
      {1000, 899, 10, "00:00:01"}, {0, 0, 10, "00:00:00"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDemoTimeLeft(c.length, c.updates, c.period), c.text) << c.updates;
}

TEST(DebugToolsTest, DumpIndexRowsShowOnlyWhatAnImageHas) {
  ImageDumpEntry a;
  a.mImageFile = "img0000.png";
  a.mThumbFile = "thumb0000.jpg";
  a.mThumbWidth = a.mWidth = 20;
  a.mThumbHeight = a.mHeight = 10;
  a.mBitsBytes = 800;
  a.mTextureBytes = 400;
  a.mTextureFormat = TEXFMT_A4R4G4B4;
  a.mHasAlpha = true;
  ImageDumpEntry b = a;
  b.mImageFile = "img0001.png";
  b.mThumbFile = "thumb0001.jpg";
  b.mBitsBytes = -1;
  b.mTextureBytes = -1;
  b.mHasAlpha = false;
  b.mSurfaceBytes = 1000;
  b.mRLAlphaBytes = 200;
  b.mVolatile = true;

  const std::string html = BuildImageDumpHtml({a, b}, "Thu Dec 10 12:00:00 2026\n");
  const std::string nb = "<TD>&nbsp;</TD>";
  EXPECT_NE(html.find("Total Image Allocation: 2,400 bytes<BR>"), std::string::npos);
  EXPECT_NE(html.find("<TD ALIGN=RIGHT>20 x 10<BR>1,200 bytes</TD><TD>mBits<BR>800</TD>" + nb + nb +
                      "<TD>Texture<BR>A4R4G4B4<BR>400</TD>" + nb + nb + "<TD>HasAlpha</TD>" + nb + nb + nb + nb +
                      "</TR>"),
            std::string::npos);
  EXPECT_NE(html.find("<TD ALIGN=RIGHT>20 x 10<BR>1,200 bytes</TD>" + nb + nb + "<TD>DDSurface<BR>1,000</TD>" + nb +
                      "<TD>Volatile</TD>" + nb + nb + nb + nb + "<TD>RLAlpha<BR>200</TD>" + nb + "</TR>"),
            std::string::npos);
  EXPECT_NE(html.find("<TR><TD>Totals</TD><TD ALIGN=RIGHT>2,400 bytes</TD><TD>mBits<BR>800</TD><TD>Palletized<BR>0</TD>"
                      "<TD>DDSurface<BR>1,000</TD><TD>Texture<BR>400</TD>" + nb + nb + nb + nb +
                      "<TD>NativeAlpha<BR>0</TD><TD>RLAlpha<BR>200</TD><TD>RLAdditive<BR>0</TD></TR>"),
            std::string::npos);
}
