// The edit box (typing, erasing, length limit, focus reports, caret blink, three-part
// background) and the text box (word wrapping, line feeds, pages).
#include "kernel/controls/HandleImpls.h"
#include "kernel/controls/TextVOs.h"
#include "tests/kernel/controls/ControlsFixture.h"

namespace {

using namespace ControlLibrary;
using controls_test::FactoryTest;
using controls_test::Recorder;

struct EditLog : IEditBoxMsgObserver {
  void OnTextChanged(std::uint32_t) override { log.push_back("changed"); }
  void OnEditFocusGained(std::uint32_t) override { log.push_back("gained"); }
  void OnEditFocusLost(std::uint32_t) override { log.push_back("lost"); }
  std::vector<std::string> log;
};

EditBoxVO_impl* EditImpl(IEditBoxVO* vo) {
  return static_cast<EditBoxVO_impl*>(dynamic_cast<IBridgeToVO*>(vo)->GetImpl());
}

using EditBoxTest = FactoryTest;

TEST_F(EditBoxTest, TypingTakesDigitsAndLettersUpToTheLimit) {
  IEditBoxVO* box = factory->CreateEditBoxVO();
  EditLog edits;
  Recorder keys;
  box->AddEditObserver(&edits);
  box->AddEditObserver(&edits);  // registered once
  box->AddKeybdObserver(&keys);
  box->SetMaxLength(3);
  box->SetText("");  // no report
  for (char c : std::string("ab c!d")) EditImpl(box)->OnKeyChar(c);
  EXPECT_EQ(box->GetText(), "abc");
  EXPECT_EQ(edits.log, (std::vector<std::string>{"changed", "changed", "changed"}));
  EXPECT_EQ(keys.log.size(), 6u);  // the key observers get every character
  EditImpl(box)->OnKeyDown(8);
  EXPECT_EQ(box->GetText(), "ab");
  box->SetText("");
  edits.log.clear();
  EditImpl(box)->OnKeyDown(8);  // nothing to erase
  EXPECT_TRUE(edits.log.empty());
}

TEST_F(EditBoxTest, FocusReportsAndTheCaretBlink) {
  IEditBoxVO* box = factory->CreateEditBoxVO();
  EditLog edits;
  box->AddEditObserver(&edits);
  box->SetFocus(true);  // hidden: cannot take the focus
  EXPECT_FALSE(box->HasFocus());
  EXPECT_TRUE(edits.log.empty());
  box->SetVisible(true);
  box->SetFocus(true);
  EXPECT_TRUE(box->HasFocus());
  EditImpl(box)->OnTimerTick(0);
  EXPECT_TRUE(EditImpl(box)->IsCaretShown());
  box->SetFocus(false);
  EXPECT_FALSE(EditImpl(box)->IsCaretShown());
  EXPECT_EQ(edits.log, (std::vector<std::string>{"gained", "lost"}));
}

TEST_F(EditBoxTest, WithoutImagesTheBoxIsARectangleOfItsColour) {
  IEditBoxVO* box = factory->CreateEditBoxVO();
  box->SetPosition(10, 10);
  box->SetSize(60, 20);
  const VORect rects[3] = {{0, 0, 5, 20}, {}, {}};
  box->SetImageRects(rects);
  box->SetVisible(true);
  Frame();
  for (int x : {10, 14, 15, 64, 65, 69}) EXPECT_EQ(Pixel(x, 15), 0xFFFFFFu) << x;
  EXPECT_EQ(Pixel(70, 15), 0x102030u);
}

// Text boxes need measurable text: a font whose every character is one unit wide is
// enough, so the test uses a stand-in IFont.
class UnitFont : public IFont {
 public:
  bool Load(const std::string&) override { return true; }
  int GetHeight() override { return 10; }
  int GetTextWidth(const std::string& text) override { return static_cast<int>(text.size()); }
};

std::vector<std::string> LayOut(Factory_impl* factory, const std::string& text, int width, int height = 100) {
  ITextBoxVO* box = factory->CreateTextBoxVO();
  auto* impl = static_cast<TextBoxVO_impl*>(dynamic_cast<IBridgeToVO*>(box)->GetImpl());
  UnitFont font;
  // The stand-in lives on the stack; this test's own reference keeps it from reaching zero.
  box->SetSize(width, height);
  box->AddLine(text, &font, 0, {});
  std::vector<std::string> lines;
  for (const auto& line : impl->GetLines()) lines.push_back(line.text);
  box->Clear();
  factory->DeleteVO(box);
  return lines;
}

using TextBoxTest = FactoryTest;

TEST_F(TextBoxTest, WrapsAtSpacesCutsLongWordsAndKeepsLineFeeds) {
  const struct {
    const char* text;
    int width;
    std::vector<std::string> lines;
  } cases[] = {
      {"one two three", 7, {"one two", " three"}},  // the space begins the next line
      {"abcde", 3, {"abc", "de"}},                 // nothing is lost
      {"a\nb", 10, {"a\n", "b"}},
      {"abcd", 3, {"abcd"}},  // the last character is never measured
      {"", 10, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(LayOut(factory, c.text, c.width), c.lines) << c.text;
  EXPECT_TRUE(LayOut(factory, "text", 0).empty());
}

TEST_F(TextBoxTest, PagesAndNullFonts) {
  UnitFont font;
  ITextBoxVO* box = factory->CreateTextBoxVO();
  box->AddLine("ignored", nullptr, 0, {});
  box->AddLine("first", &font, 0, {});  // laid out once the box has a size
  box->SetSize(50, 20);
  EXPECT_FALSE(box->CanScrollDown());
  EXPECT_FALSE(box->ScrollDown());
  box->AddLine("second", &font, 0, {});
  box->AddLine("third", &font, 0, {});  // y = 30: below the first page
  EXPECT_TRUE(box->CanScrollDown());
  EXPECT_TRUE(box->ScrollDown());
  EXPECT_FALSE(box->ScrollDown());
  EXPECT_TRUE(box->ScrollUp());
  EXPECT_FALSE(box->CanScrollUp());
  box->Clear();
  EXPECT_EQ(font.GetRefCount(), 1);  // every paragraph gave its reference back
  factory->DeleteVO(box);
}

}  // namespace
