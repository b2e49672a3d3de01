// The whole program with hardware acceleration chosen: the 3D test passes on the driver
// lists the asset tool writes, the display draws through Direct3D, and the presented frame
// matches the one the 2D display presents.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/D3DTester.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/Graphics.h"
#include "framework/widgets/Widget.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/Direct3D.h"
#include "platform/DirectDraw.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "tests/app/ProgramSandbox.h"

using namespace Orvo;

namespace {

// Fills, a line, and an image drawn plain, tinted, additively and stretched.
class SceneWidget : public Widget {
 public:
  SceneWidget() {
    std::vector<std::uint32_t> px(32 * 24);
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 32; ++x)
        px[static_cast<std::size_t>(y) * 32 + x] = (y < 12 ? 0xFF000000u : 0x80000000u) |
                                                   static_cast<std::uint32_t>(x * 8) << 16 |
                                                   static_cast<std::uint32_t>(y * 10) << 8 | 0x60;
    mImage.SetBits(px.data(), 32, 24);
  }
  void Draw(Graphics* g) override {
    g->SetColor(Color(40, 60, 90));
    g->FillRect(0, 0, mWidth, mHeight);
    g->SetColor(Color(250, 200, 0));
    g->FillRect(100, 100, 200, 50);
    g->SetColor(Color(255, 255, 255, 128));
    g->FillRect(150, 120, 200, 50);
    g->DrawImage(&mImage, 400, 300);
    g->SetColorizeImages(true);
    g->SetColor(Color(255, 128, 128, 200));
    g->DrawImage(&mImage, 450, 300);
    g->SetDrawMode(1);
    g->SetColor(Color::White);
    g->DrawImage(&mImage, 500, 300);
    g->SetDrawMode(0);
    g->SetColorizeImages(false);
    g->DrawImageStretched(&mImage, Rect(600, 400, 64, 48), Rect(0, 0, 32, 24));
  }
  MemoryImage mImage{nullptr};
};

class Counting3DApp : public OrvoAppBase {
 public:
  void D3DTestDoneHook() override { ++testDoneCalls; }
  // The program runs from the build's run folder, where "vhw.dat" lies beside the data.
  bool ChangeDirHook(const std::string&) override {
    std::filesystem::current_path(QUORVANE_RUN_DIR);
    return true;
  }
  int testDoneCalls = 0;
};

class D3DProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::ResetDirectDrawBehaviour();
    plat::ResetDirect3DBehaviour();
    sandbox = std::make_unique<ProgramSandbox>("orvo_d3d_program");
    oldCwd = std::filesystem::current_path();
    plat::SetMessageBoxHook([](const std::string&, const std::string&, plat::UINT flags) {
      return plat::DefaultMessageBoxAnswer(flags);
    });
  }
  void TearDown() override {
    Stop();
    plat::SetMessageBoxHook(nullptr);
    plat::StopListeningForRegisteredMessages();
    std::filesystem::current_path(oldCwd);
    plat::ResetDirectDrawBehaviour();
    plat::ResetDirect3DBehaviour();
    sandbox.reset();
  }
  void Start(bool chose3D) {
    {
      OrvoAppBase earlier;
      earlier.mProductName = "D3DEarlier" + std::to_string(std::random_device{}());
      earlier.mRegKey = "D3DProgramTest";
      ASSERT_TRUE(earlier.RegWriteFlag("Is3D", chose3D));
    }
    app = std::make_unique<Counting3DApp>();
    app->mProductName = "D3DProgram" + std::to_string(std::random_device{}());
    app->mRegKey = "D3DProgramTest";
    app->mWidth = 800;
    app->mHeight = 600;
    app->mColorDepth = 32;
    app->mWindowed = true;
    app->Init();
    ASSERT_NE(app->mDDInterface, nullptr);
    widget = std::make_unique<SceneWidget>();
    widget->Resize(0, 0, 800, 600);
    app->mWidgetManager->AddWidget(widget.get());
  }
  void Stop() {
    if (!app) return;
    app->mWidgetManager->RemoveWidget(widget.get());
    app->Shutdown();
    app.reset();
    widget.reset();
  }
  // The presented frame, client area only, as 0xRRGGBB.
  std::vector<std::uint32_t> Present() {
    app->MarkAllDirty();
    app->mWidgetManager->DrawScreen();
    app->Redraw();
    plat::POINT o{};
    plat::ClientToScreen(app->mHWnd, &o);
    std::vector<std::uint32_t> frame;
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 800; ++x)
        frame.push_back(app->mDDInterface->mPrimarySurface->PixelAt(o.x + x, o.y + y) & 0xFFFFFF);
    return frame;
  }
  std::unique_ptr<ProgramSandbox> sandbox;
  std::filesystem::path oldCwd;
  std::unique_ptr<Counting3DApp> app;
  std::unique_ptr<SceneWidget> widget;
};

TEST_F(D3DProgramTest, With3DChosenTheTestPassesAndTheFrameMatchesThe2DFrame) {
  Start(true);
  ASSERT_TRUE(app->Is3DAccelerated()) << app->mDDInterface->mErrorString;
  D3DTester* tester = app->mDDInterface->mD3DTester;
  ASSERT_NE(tester, nullptr);
  EXPECT_EQ(tester->mFailureReason, "");
  EXPECT_EQ(tester->mWarning, "");
  EXPECT_TRUE(tester->mFirstResult);
  EXPECT_EQ(app->testDoneCalls, 1);
  EXPECT_TRUE(app->mDDInterface->GetScreenImage()->Check3D());
  const std::vector<std::uint32_t> frame3D = Present();
  EXPECT_TRUE(app->Is3DAccelerated());
  EXPECT_FALSE(widget->mImage.mD3DData == nullptr) << "the image was drawn from a texture";
  Stop();

  Start(false);
  ASSERT_FALSE(app->Is3DAccelerated());
  EXPECT_EQ(app->mDDInterface->mD3DTester, nullptr) << "no test without the 3D choice";
  const std::vector<std::uint32_t> frame2D = Present();

  int worst = 0;
  int differing = 0;
  for (std::size_t i = 0; i < frame2D.size(); ++i) {
    int d = 0;
    for (int s = 0; s < 24; s += 8)
      d = std::max(d, std::abs(static_cast<int>((frame2D[i] >> s) & 0xFF) - static_cast<int>((frame3D[i] >> s) & 0xFF)));
    worst = std::max(worst, d);
    if (d > 3) ++differing;
  }
  // The filtered stretch of the 2D display and the bilinear texture of the 3D one weigh the
  // stretched image's edges differently; everything else agrees to a few steps of rounding.
  EXPECT_LE(differing, 400) << "worst " << worst;
  EXPECT_LE(worst, 64);
  EXPECT_NE(frame3D[static_cast<std::size_t>(320) * 800 + 420], frame3D[static_cast<std::size_t>(10) * 800 + 10])
      << "the image is there";
}

TEST_F(D3DProgramTest, AFailedDeviceLeavesTheProgramIn2D) {
  plat::Direct3DTestBehaviour().createDeviceResult = plat::D3DERR_INITFAILED;
  Start(true);
  EXPECT_FALSE(app->Is3DAccelerated());
  ASSERT_NE(app->mDDInterface->mD3DTester, nullptr);
  EXPECT_EQ(app->mDDInterface->mD3DTester->mFailureReason, "DXError - CreateDevice: D3DERR_INITFAILED");
  const std::vector<std::uint32_t> frame = Present();
  const std::uint32_t filled = frame[static_cast<std::size_t>(110) * 800 + 110];
  EXPECT_NEAR(static_cast<int>(filled >> 16), 250, 2);
  EXPECT_NEAR(static_cast<int>((filled >> 8) & 0xFF), 200, 2);
}

TEST_F(D3DProgramTest, WhenDirect3DCannotDrawTheProgramOffersToTurnItOffAtExit) {
  Start(true);
  ASSERT_TRUE(app->Is3DAccelerated());
  std::vector<std::string> boxes;
  plat::SetMessageBoxHook([&boxes](const std::string& text, const std::string&, plat::UINT) {
    boxes.push_back(text);
    return plat::IDNO;
  });
  plat::Direct3DTestBehaviour().setRenderTargetResult = plat::DDERR_SURFACELOST;
  Present();
  EXPECT_TRUE(D3DInterface::sD3DDrawFailed);
  Stop();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("may not have been working correctly"), std::string::npos) << boxes[0];
  OrvoAppBase reader;
  reader.mProductName = "D3DReader" + std::to_string(std::random_device{}());
  reader.mRegKey = "D3DProgramTest";
  bool is3D = true;
  ASSERT_TRUE(reader.RegReadFlag("Is3D", &is3D));
  EXPECT_FALSE(is3D);
}

TEST_F(D3DProgramTest, ARunTimeDirect3DErrorIsStoredAndTheDisplayGoesOnIn2D) {
  Start(true);
  ASSERT_TRUE(app->Is3DAccelerated());
  plat::Direct3DTestBehaviour().drawPrimitiveResult = plat::D3DERR_INVALIDVERTEXTYPE;
  Present();
  EXPECT_FALSE(app->Is3DAccelerated());
  std::string stored;
  ASSERT_TRUE(app->RegReadText("Test3D\\RuntimeError", &stored));
  EXPECT_EQ(stored.rfind("DrawPrimitive (", 0), 0u) << stored;
  EXPECT_NE(stored.find(": D3DERR_INVALIDVERTEXTYPE"), std::string::npos) << stored;
  plat::ResetDirect3DBehaviour();
  const std::vector<std::uint32_t> frame = Present();
  const std::uint32_t filled = frame[static_cast<std::size_t>(110) * 800 + 110];
  EXPECT_NEAR(static_cast<int>(filled >> 16), 250, 2) << "drawn in 2D";
}

}  // namespace
