// The exit question: its answers by button and by key, and the shade that follows it.
#include <gtest/gtest.h>

#include <vector>

#include "framework/graphics/Graphics.h"
#include "framework/graphics/MemoryImage.h"
#include "game/ErrorDialog.h"
#include "game/ExitDialog.h"
#include "kernel/controls/IDialogVO.h"
#include "tests/game/ScreenFixture.h"

using namespace Doduderor;

namespace {

class HideLog : public ControlLibrary::DialogMessageObserver {
 public:
  void OnDialogShowHide(std::uint32_t, bool visible) override { events.push_back(visible); }
  std::vector<bool> events;
};

class ExitDialogTest : public game_test::ScreenTest {
 protected:
  ExitDialogTest() : dialog(&owner) {}
  bool Shown() { return dialog.GetDialog()->IsVisible(); }
  HideLog owner;
  ExitDialog dialog;
};

TEST_F(ExitDialogTest, ButtonsAndKeysGiveTheirAnswers) {
  struct Case {
    const char* what;
    int key;       // 0: click instead
    bool clickYes;
    bool closes;
    std::uint8_t answer;
  };
  const Case cases[] = {
      {"yes button", 0, true, true, 1},   {"no button", 0, false, true, 0}, {"enter", 13, false, true, 1},
      {"escape", 27, false, true, 0},     {"space", 32, false, false, 0},   {"letter", 'Y', false, false, 0},
  };
  for (const Case& c : cases) {
    dialog.answer = 0;
    dialog.Show(true);
    ASSERT_TRUE(Shown()) << c.what;
    if (c.key == 0) {
      ClickOn(c.clickYes ? dialog.GetYesButton() : dialog.GetNoButton());
    } else {
      PressKey(c.key);
    }
    EXPECT_EQ(Shown(), !c.closes) << c.what;
    EXPECT_EQ(dialog.answer, c.answer) << c.what;
    dialog.Show(false);
  }
}

TEST_F(ExitDialogTest, EnterAnswersYesEvenWithTheMouseOverNo) {
  dialog.Show(true);
  const ControlLibrary::VORect no = dialog.GetNoButton()->GetScreenRect();
  factory->OnMouseMove(no.x + no.width / 2, no.y + no.height / 2);
  PressKey(13);
  EXPECT_FALSE(Shown());
  EXPECT_EQ(dialog.answer, 1);
}

TEST_F(ExitDialogTest, ShadeLiesDirectlyBelowTheQuestionWhileItIsShown) {
  ControlLibrary::IImageVO* shade = dialog.GetShade();
  EXPECT_FALSE(shade->IsVisible());
  dialog.Show(true);
  EXPECT_TRUE(shade->IsVisible());
  EXPECT_EQ(shade->GetLayer(), dialog.GetDialog()->GetLayer() - 1);
  EXPECT_EQ(shade->GetScreenRect().x, 0);
  EXPECT_EQ(shade->GetScreenRect().y, 0);
  PressKey(27);
  EXPECT_FALSE(shade->IsVisible());
  EXPECT_EQ(owner.events, (std::vector<bool>{true, false}));  // the owner learns of both
}

TEST_F(ExitDialogTest, KeysAreIgnoredWhileTheQuestionIsHidden) {
  PressKey(13);
  EXPECT_EQ(dialog.answer, 0);
  EXPECT_TRUE(owner.events.empty());
}

}  // namespace


namespace {

// The exit question and the error message share one picture with a band for a line of
// text; the error dialog draws it squeezed to 400 x 200. Each dialog's text sits centred on
// the band as drawn.
TEST_F(ExitDialogTest, EachTextSitsCentredOnThePicturesBand) {
  ErrorDialog error(nullptr);
  error.GetMessage()->SetText("Could not save the players!");
  struct Case {
    const char* what;
    BaseDialog* shown;
    bool (*isText)(int r, int g, int b);
  };
  const Case cases[] = {
      {"exit question", &dialog, [](int r, int g, int b) { return r < 40 && g < 40 && b < 40; }},
      {"error message", &error, [](int r, int g, int b) { return r > 200 && g > 200 && b < 120; }},
  };
  constexpr int kWidth = 1024, kHeight = 768;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.shown->Show(true);
    Orvo::MemoryImage canvas(static_cast<Orvo::OrvoAppBase*>(nullptr));
    std::vector<std::uint32_t> blank(kWidth * kHeight, 0xFF000000u);
    canvas.SetBits(blank.data(), kWidth, kHeight);
    Orvo::Graphics graphics(&canvas);
    factory->DrawAll(&graphics);
    const ControlLibrary::VORect d = c.shown->GetDialog()->GetScreenRect();
    auto at = [&](int x, int y, int shift) { return static_cast<int>((canvas.GetBits()[y * kWidth + x] >> shift) & 0xFF); };
    // The band: the bluish rows of the upper half, in a column left of any text.
    int bandTop = -1, bandBottom = -1;
    for (int y = d.y; y < d.y + d.height / 2; ++y) {
      const int x = d.x + 40;
      if (at(x, y, 0) > at(x, y, 16) + 20) {
        if (bandTop < 0) bandTop = y;
        bandBottom = y;
      }
    }
    // The text: its rows in the upper half, away from the picture's edges.
    int textTop = -1, textBottom = -1;
    for (int y = d.y; y < d.y + d.height / 2; ++y) {
      for (int x = d.x + 60; x < d.x + d.width - 60; ++x) {
        if (!c.isText(at(x, y, 16), at(x, y, 8), at(x, y, 0))) continue;
        if (textTop < 0) textTop = y;
        textBottom = y;
      }
    }
    ASSERT_GE(bandTop, 0);
    ASSERT_GE(textTop, 0);
    EXPECT_GT(textTop, bandTop);
    EXPECT_LT(textBottom, bandBottom);
    EXPECT_LE(std::abs((textTop + textBottom) - (bandTop + bandBottom)), 2 * 3)
        << "text rows " << textTop - d.y << ".." << textBottom - d.y << ", band rows " << bandTop - d.y << ".."
        << bandBottom - d.y;
    c.shown->Show(false);
  }
}

}  // namespace
