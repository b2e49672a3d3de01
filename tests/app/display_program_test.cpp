// The program headless: it opens its window and display, draws a known pattern through the
// widget tree, presents it, and the frame is read back from the primary surface. Input goes
// through the real message queue; a lost display is recovered; display failures end the
// program with their message and exit code 1.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/D3DTester.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/Graphics.h"
#include "framework/widgets/Widget.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/DirectDraw.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "tests/app/ProgramSandbox.h"

using namespace Orvo;

namespace {

struct ExitCalled {
  plat::UINT code;
};

// Four quadrants in known colours; a click swaps the top-left one to white.
class PatternWidget : public Widget {
 public:
  void Draw(Graphics* g) override {
    const int w = mWidth / 2;
    const int h = mHeight / 2;
    g->SetColor(mClicked ? Color(255, 255, 255) : Color(255, 0, 0));
    g->FillRect(0, 0, w, h);
    g->SetColor(Color(0, 255, 0));
    g->FillRect(w, 0, mWidth - w, h);
    g->SetColor(Color(0, 0, 255));
    g->FillRect(0, h, w, mHeight - h);
    g->SetColor(Color(0, 128, 255));
    g->FillRect(w, h, mWidth - w, mHeight - h);
  }
  void MouseDownButton(int x, int y, int button, int clickCount) override {
    mClicked = true;
    MarkDirty();
  }
  bool mClicked = false;
};

class DisplayProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::ResetDirectDrawBehaviour();
    sandbox = std::make_unique<ProgramSandbox>("orvo_display");
    plat::SetExitProcessHook([](plat::UINT code) { throw ExitCalled{code}; });
    plat::SetMessageBoxHook([this](const std::string& text, const std::string& caption, plat::UINT flags) {
      boxes.push_back(text);
      return plat::DefaultMessageBoxAnswer(flags);
    });
  }
  void TearDown() override {
    if (app) {
      if (widget) app->mWidgetManager->RemoveWidget(widget.get());
      app->Shutdown();
      app.reset();
    }
    plat::SetExitProcessHook(nullptr);
    plat::SetMessageBoxHook(nullptr);
    plat::StopListeningForRegisteredMessages();
    plat::ResetDirectDrawBehaviour();
    sandbox.reset();
  }
  void Start(bool windowed) {
    app = std::make_unique<OrvoAppBase>();
    app->mProductName = "DisplayTest" + std::to_string(std::random_device{}());
    app->mRegKey = "DisplayTest";
    app->mWidth = 1024;
    app->mHeight = 768;
    app->mColorDepth = 32;
    app->mWindowed = windowed;
    app->Init();
    ASSERT_NE(app->mDDInterface, nullptr);
    widget = std::make_unique<PatternWidget>();
    widget->Resize(0, 0, 1024, 768);
    app->mWidgetManager->AddWidget(widget.get());
  }
  void DrawAndPresent() {
    app->MarkAllDirty();
    app->mWidgetManager->DrawScreen();
    app->Redraw();
  }
  // The presented pixel at client point (x, y), read from the primary surface.
  plat::DWORD Shown(int x, int y) {
    plat::POINT o;
    if (app->mIsWindowedNow) plat::ClientToScreen(app->mHWnd, &o);
    return app->mDDInterface->mPrimarySurface->PixelAt(o.x + x, o.y + y);
  }
  void ExpectPattern(plat::DWORD topLeft) {
    // Opaque fills on a 32-bit surface give 254 for a full channel.
    const struct {
      int x, y;
      plat::DWORD value;
    } probes[] = {{0, 0, topLeft},        {511, 383, topLeft},  {512, 0, 0x00FE00},  {1023, 383, 0x00FE00},
                  {0, 384, 0x0000FE},     {511, 767, 0x0000FE}, {512, 384, 0x007FFE}, {1023, 767, 0x007FFE}};
    for (const auto& p : probes) EXPECT_EQ(Shown(p.x, p.y), p.value) << p.x << "," << p.y;
  }

  std::unique_ptr<ProgramSandbox> sandbox;
  std::vector<std::string> boxes;
  std::unique_ptr<OrvoAppBase> app;
  std::unique_ptr<PatternWidget> widget;
};

TEST_F(DisplayProgramTest, TheDrawnFrameIsPresentedAndFollowsInput) {
  Start(true);
  EXPECT_TRUE(app->mIsWindowedNow);
  EXPECT_EQ(app->mDDInterface->mWidth, 1024);
  DrawAndPresent();
  ExpectPattern(0xFE0000);

  QueuedMessage click{app->mHWnd, plat::WM_LBUTTONDOWN, plat::MK_LBUTTON, plat::MAKELPARAM(100, 100)};
  app->QueueMessage(click);
  app->ProcessQueuedMessages(false);
  DrawAndPresent();
  EXPECT_TRUE(widget->mClicked);
  ExpectPattern(0xFEFEFE);
}

TEST_F(DisplayProgramTest, FullScreenAndBackKeepShowingTheFrame) {
  Start(true);
  app->SetWindowed(false);
  EXPECT_FALSE(app->mIsWindowedNow);
  EXPECT_TRUE(app->mDDInterface->mDD->IsFullScreen());
  EXPECT_EQ(app->mDDInterface->mPrimarySurface->Width(), 1024);
  EXPECT_EQ(app->mWidgetManager->mImage, app->mDDInterface->GetScreenImage());
  DrawAndPresent();
  ExpectPattern(0xFE0000);
  app->SetWindowed(true);
  EXPECT_TRUE(app->mIsWindowedNow);
  DrawAndPresent();
  ExpectPattern(0xFE0000);
}

TEST_F(DisplayProgramTest, ALostDisplayIsRecoveredWithItsImages) {
  Start(true);
  // An image the game loaded lives in a surface only.
  DDImage* image = new DDImage(app->mDDInterface);
  std::vector<std::uint32_t> px(16, 0xFF204080);
  image->SetBits(px.data(), 4, 4);
  ASSERT_TRUE(image->GenerateDDSurface());
  image->PurgeBits();
  EXPECT_EQ(image->mBits, nullptr);

  DrawAndPresent();
  plat::SimulateSurfaceLoss();
  app->mActive = true;
  DrawAndPresent();  // fails, and the display is opened again
  EXPECT_TRUE(app->sLostPresent);
  ASSERT_NE(image->mSurface, nullptr);
  EXPECT_EQ(image->mSurface->IsLost(), plat::DD_OK);
  EXPECT_EQ(image->mSurface->PixelAt(3, 3), 0x204080u);
  DrawAndPresent();
  EXPECT_FALSE(app->sLostPresent);
  ExpectPattern(0xFE0000);
  delete image;
}

TEST_F(DisplayProgramTest, DisplayFailuresEndTheProgramWithExitCodeOne) {
  struct Case {
    const char* name;
    bool windowed;
    void (*provoke)(plat::DirectDrawBehaviour&);
    const char* message;
  } cases[] = {
      {"no surfaces", true, [](plat::DirectDrawBehaviour& b) { b.createSurfaceFailsAfter = 0; },
       "Failed to initialize DirectDraw: RESULT_SURFACE_FAIL"},
      {"no DirectDraw", false, [](plat::DirectDrawBehaviour& b) { b.directDrawCreateResult = plat::DDERR_GENERIC; },
       "Failed to initialize DirectDraw: RESULT_DD_CREATE_FAIL"},
      // No window possible (24-bit desktop) and full screen refused as well.
      {"neither window nor full screen", true,
       [](plat::DirectDrawBehaviour& b) {
         b.desktopBitCount = 24;
         b.setDisplayModeResult = plat::DDERR_UNSUPPORTEDMODE;
       },
       "Please set your desktop color depth to 16 bit."},
  };
  for (const Case& c : cases) {
    plat::ResetDirectDrawBehaviour();
    c.provoke(plat::DirectDrawTestBehaviour());
    boxes.clear();
    auto failing = std::make_unique<OrvoAppBase>();
    failing->mProductName = "DisplayFail" + std::to_string(std::random_device{}());
    failing->mWidth = 640;
    failing->mHeight = 480;
    failing->mWindowed = c.windowed;
    plat::UINT code = 0;
    try {
      failing->Init();
    } catch (const ExitCalled& e) {
      code = e.code;
    }
    EXPECT_EQ(code, 1u) << c.name;
    ASSERT_FALSE(boxes.empty()) << c.name;
    EXPECT_EQ(boxes.back(), c.message) << c.name;
    plat::ResetDirectDrawBehaviour();
    failing.release();  // the process would have ended here; its objects are not torn down
  }
}

TEST_F(DisplayProgramTest, FullScreenRefusedFallsBackToAWindowForTheRun) {
  plat::DirectDrawTestBehaviour().exclusiveLevelResult = plat::DDERR_NOEXCLUSIVEMODE;
  Start(false);
  EXPECT_TRUE(app->mIsWindowedNow);
  EXPECT_TRUE(app->mFullScreenFailureSeen);
  DrawAndPresent();
  ExpectPattern(0xFE0000);
}

TEST_F(DisplayProgramTest, TheWindowIsPlacedInTheWorkArea) {
  // The headless desktop's work area is the whole 1920 x 1080 screen.
  struct Case {
    int preferredX, preferredY;
    int left, top;  // -1: computed from the outer size below
  } cases[] = {{-5, -5, 4, 4}, {1500, 100, -1, 100}, {-1, -1, -1, -1}};
  for (const Case& c : cases) {
    OrvoAppBase placed;
    placed.mProductName = "DisplayPlace" + std::to_string(std::random_device{}());
    placed.mWidth = 640;
    placed.mHeight = 480;
    placed.mPreferredX = c.preferredX;
    placed.mPreferredY = c.preferredY;
    placed.Init();
    plat::RECT r;
    ASSERT_TRUE(plat::GetWindowRect(placed.mHWnd, &r));
    const int outerW = r.right - r.left;
    const int outerH = r.bottom - r.top;
    if (c.preferredX == -1) {
      EXPECT_EQ(r.left, (1920 - outerW) / 2);
      EXPECT_EQ(r.top, static_cast<int>((1080 - outerH) * 0.382));
    } else if (c.left == -1) {
      EXPECT_EQ(r.right, 1920 - 4) << "ends 4 pixels before the right edge";
      EXPECT_EQ(r.top, c.top);
    } else {
      EXPECT_EQ(r.left, c.left);
      EXPECT_EQ(r.top, c.top);
    }
    placed.Shutdown();
  }
}

TEST_F(DisplayProgramTest, AStored3DChoiceOnACardTheDriverListsDoNotKnowFallsBackTo2D) {
  {
    OrvoAppBase earlier;
    earlier.mProductName = "Display3D" + std::to_string(std::random_device{}());
    earlier.mRegKey = "DisplayTest";
    ASSERT_TRUE(earlier.RegWriteFlag("Is3D", true));
  }
  Start(true);  // no driver list in the working folder: the built-in rule refuses the card
  EXPECT_FALSE(app->Is3DAccelerated());
  EXPECT_TRUE(app->mIs3DChosen);
  ASSERT_NE(app->mDDInterface->mD3DTester, nullptr);
  EXPECT_EQ(app->mDDInterface->mD3DTester->mWarning, "Unsupported video card: Quorvane Software Rasterizer");
  DrawAndPresent();
  ExpectPattern(0xFE0000);
}

TEST_F(DisplayProgramTest, CursorKindsChooseBetweenTheDrawnAndTheSystemCursor) {
  Start(true);
  MemoryImage hand(nullptr);
  MemoryImage custom(nullptr);
  const std::uint32_t px[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  hand.SetBits(px, 2, 2);
  custom.SetBits(px, 2, 2);
  app->mCursorImages[CURSOR_HAND] = &hand;
  app->mCursorImages[CURSOR_CUSTOM] = &custom;
  app->mMouseIn = true;
  const plat::HCURSOR arrow = plat::LoadCursorA(nullptr, plat::IDC_ARROW);
  struct Case {
    const char* name;
    int kind;
    bool customCursors;
    bool hidden;
    Image* drawn;       // what the display draws as the cursor
    plat::HCURSOR system;  // the system cursor shown (null: hidden)
  } cases[] = {
      {"text, system cursor", CURSOR_TEXT, false, false, nullptr, plat::LoadCursorA(nullptr, plat::IDC_IBEAM)},
      {"hand without custom cursors", CURSOR_HAND, false, false, nullptr, app->mHandCursor},
      {"hand with custom cursors", CURSOR_HAND, true, false, &hand, nullptr},
      {"custom kind always drawn", CURSOR_CUSTOM, false, false, &custom, nullptr},
      {"none", CURSOR_NONE, false, false, nullptr, nullptr},
      {"hidden application", CURSOR_CUSTOM, true, true, nullptr, arrow},
  };
  for (const Case& c : cases) {
    app->mHidden = c.hidden;
    app->mCustomCursors = c.customCursors;
    app->SelectCursor(c.kind);
    if (!c.hidden) {
      EXPECT_EQ(app->mDDInterface->mCursorImage, c.drawn) << c.name;
    }
    EXPECT_EQ(plat::GetCursor(), c.system) << c.name;
    EXPECT_EQ(app->mSysCursorShown, c.system != nullptr) << c.name;
  }
  app->mHidden = false;
  app->mDDInterface->SetCursorImage(nullptr);
  app->mCursorImages[CURSOR_HAND] = nullptr;
  app->mCursorImages[CURSOR_CUSTOM] = nullptr;
}

}  // namespace
