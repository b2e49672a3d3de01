// The control factory: object tables and the shown list, images and fonts shared by name,
// sounds, cursors, the modal stack, the drawing pass and the dispatch of input.
#include <filesystem>

#include "framework/graphics/ImageLib.h"
#include "platform/Time.h"
#include "framework/widgets/WidgetManager.h"
#include "kernel/controls/HandleImpls.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/ITextVOs.h"
#include "kernel/controls/SimpleVOs.h"
#include "kernel/time/TimeSystem_impl.h"
#include "tests/framework/graphics/GraphicsTestUtil.h"
#include "tests/kernel/controls/ControlsFixture.h"

namespace {

using namespace ControlLibrary;
using controls_test::FactoryTest;
using controls_test::Recorder;

IBridgeToVO* Handle(IVisibleObject* vo) { return dynamic_cast<IBridgeToVO*>(vo); }

// A 4 x 2 PNG with distinct pixels, written into the sandbox.
std::string WriteFixtureImage(const std::filesystem::path& folder) {
  ImageLib::Image image;
  image.mWidth = 4;
  image.mHeight = 2;
  image.mBits = new std::uint32_t[8]{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF,
                                     0xFF800000, 0xFF008000, 0xFF000080, 0xFF808080};
  const std::string path = (folder / "strip.png").string();
  EXPECT_TRUE(ImageLib::WritePNGImage(path, &image));
  return path;
}

TEST(FactoryCreation, NeedsAnApplicationWithWidgetManager) {
  CreateControlFactory(nullptr);
  EXPECT_EQ(GetControlFactory(), nullptr);
}

TEST_F(FactoryTest, IdsStartAtTwoAndReturnAfterDeletion) {
  IRectVO* a = factory->CreateRectVO();
  IImageVO* b = factory->CreateImageVO();
  EXPECT_EQ(a->GetId(), 2u);
  EXPECT_EQ(b->GetId(), 3u);
  factory->DeleteVO(a);
  EXPECT_EQ(factory->FindVO(2), nullptr);
  EXPECT_EQ(factory->CreateStringVO()->GetId(), 2u);
  EXPECT_EQ(factory->FindVO(3), Handle(b));
}

TEST_F(FactoryTest, ShownListKeepsLayerOrderAndRefusesDoubles) {
  IRectVO* high = factory->CreateRectVO();
  IRectVO* lowA = factory->CreateRectVO();
  IRectVO* lowB = factory->CreateRectVO();
  high->SetLayer(5);
  high->SetVisible(true);
  lowA->SetVisible(true);
  lowB->SetVisible(true);
  ASSERT_EQ(factory->ShownCount(), 3);
  EXPECT_EQ(factory->ShownAt(0), Handle(lowA));
  EXPECT_EQ(factory->ShownAt(1), Handle(lowB));  // shown later on the same layer: above
  EXPECT_EQ(factory->ShownAt(2), Handle(high));
  EXPECT_FALSE(factory->ShowVO(Handle(lowA)));
  EXPECT_EQ(factory->ShownCount(), 3);
  EXPECT_EQ(factory->TopLayer(), 5);
  // A layer change re-sorts the shown list.
  lowA->SetLayer(9);
  EXPECT_EQ(factory->ShownAt(2), Handle(lowA));
  high->SetVisible(false);
  EXPECT_EQ(factory->ShownCount(), 2);
}

TEST_F(FactoryTest, DeleteWithTwoReferencesOnlyLowersTheCount) {
  IRectVO* vo = factory->CreateRectVO();
  vo->SetVisible(true);
  vo->AddRef();
  const std::uint32_t id = vo->GetId();
  factory->DeleteVO(vo);
  EXPECT_EQ(factory->FindVO(id), Handle(vo));
  EXPECT_EQ(factory->ShownCount(), 1);
  factory->DeleteVO(vo);
  EXPECT_EQ(factory->FindVO(id), nullptr);
  EXPECT_EQ(factory->ShownCount(), 0);
}

TEST_F(FactoryTest, ImagesAreSharedByNameUntilTheLastRelease) {
  const std::string path = WriteFixtureImage(sandbox.root);
  int first = -1, second = -1, width = 0, height = 0;
  ASSERT_TRUE(factory->FindOrLoadImage(path, &first));
  ASSERT_TRUE(factory->FindOrLoadImage(path, &second));
  EXPECT_EQ(first, second);
  EXPECT_TRUE(factory->GetImageSize(first, &width, &height));
  EXPECT_EQ(width * 10 + height, 42);
  const int id = first;
  EXPECT_TRUE(factory->ReleaseImage(&first));
  EXPECT_EQ(first, -1);
  EXPECT_TRUE(factory->GetImageSize(id, &width, &height));
  EXPECT_TRUE(factory->ReleaseImage(&second));
  EXPECT_FALSE(factory->GetImageSize(id, &width, &height));
  int failed = 7;
  EXPECT_FALSE(factory->FindOrLoadImage("", &failed));
  EXPECT_FALSE(factory->FindOrLoadImage((sandbox.root / "missing.png").string(), &failed));
  failed = 5119;  // inside the table, but empty
  EXPECT_FALSE(factory->ReleaseImage(&failed));
  EXPECT_EQ(failed, -1);
}

TEST_F(FactoryTest, FontsFailWithoutNameOrFileAndReportZeroSizes) {
  EXPECT_EQ(factory->FindOrLoadFont(""), -1);
  EXPECT_EQ(factory->FindOrLoadFont("fonts/none_such.txt"), -1);
  IFont* font = factory->CreateFont();
  EXPECT_FALSE(font->Load("fonts/none_such.txt"));
  EXPECT_EQ(static_cast<Font_impl*>(font)->GetFontId(), -1);
  EXPECT_EQ(font->GetHeight(), 0);
  EXPECT_EQ(font->GetTextWidth("abc"), 0);
  factory->Release(font);
}

TEST_F(FactoryTest, SoundThatNoBackEndLoadsGivesItsIdBack) {
  ISound* sound = factory->CreateSound();
  EXPECT_EQ(sound->GetId(), 2u);
  EXPECT_EQ(sound->Load("sounds/none_such.wav"), -1);
  factory->ReleaseSound(sound);
  ISound* next = factory->CreateSound();
  EXPECT_EQ(next->GetId(), 2u);  // neither the failed load nor the released handle kept an id
  factory->ReleaseSound(next);
}

TEST_F(FactoryTest, CursorSizeAndTheDefaultCursor) {
  ICursor* cursor = factory->CreateCursor();
  EXPECT_EQ(static_cast<Cursor_impl*>(cursor)->GetCursorSize(), (VOSize{16, 16}));
  cursor->SetRect({0, 0, 24, 0});
  EXPECT_EQ(static_cast<Cursor_impl*>(cursor)->GetCursorSize(), (VOSize{16, 16}));
  cursor->SetRect({0, 0, 24, 30});
  EXPECT_EQ(static_cast<Cursor_impl*>(cursor)->GetCursorSize(), (VOSize{24, 30}));

  factory->SetDefaultCursor(cursor);
  EXPECT_EQ(factory->GetActiveCursor(), cursor);
  factory->SetActiveCursor(nullptr);
  EXPECT_EQ(factory->GetActiveCursor(), cursor);
  // The last release of the active default cursor leaves no cursor pointing at it.
  factory->Release(cursor);
  EXPECT_EQ(factory->GetActiveCursor(), nullptr);
}

TEST_F(FactoryTest, ModalStackDisablesShownObjectsAndRestoresThem) {
  factory->RestoreAfterModal();  // empty stack: nothing happens
  IRectVO* plain = factory->CreateRectVO();
  IRectVO* exempt = factory->CreateRectVO();
  IRectVO* hidden = factory->CreateRectVO();
  plain->SetVisible(true);
  exempt->SetVisible(true);
  exempt->SetModalExempt(true);
  factory->DisableForModal();
  EXPECT_FALSE(plain->IsEnabled());
  EXPECT_TRUE(exempt->IsEnabled());
  EXPECT_TRUE(hidden->IsEnabled());
  factory->RestoreAfterModal();
  EXPECT_TRUE(plain->IsEnabled());
  EXPECT_EQ(Handle(plain)->GetRefCount(), 1);

  // Deleted while in a modal group: it goes at once and leaves the group.
  factory->DisableForModal();
  const std::uint32_t id = plain->GetId();
  factory->DeleteVO(plain);
  EXPECT_EQ(factory->FindVO(id), nullptr);
  EXPECT_EQ(factory->ShownCount(), 1);
  factory->RestoreAfterModal();
  EXPECT_EQ(factory->ModalDepth(), 0);
}

TEST_F(FactoryTest, DrawingPassClearsOldAreasBlackAndDrawsByLayer) {
  IRectVO* below = factory->CreateRectVO();
  IRectVO* above = factory->CreateRectVO();
  below->SetFillMode(1);
  above->SetFillMode(1);
  below->SetColor({255, 0, 0});
  above->SetColor({0, 0, 255});
  below->SetPosition(10, 10);
  above->SetPosition(20, 20);
  above->SetLayer(1);
  above->SetVisible(true);
  below->SetVisible(true);
  Frame();
  EXPECT_EQ(Pixel(15, 15), 0xFF0000u);
  EXPECT_EQ(Pixel(25, 25), 0x0000FFu);  // the higher layer is drawn over the lower one
  EXPECT_EQ(Pixel(150, 5), 0x102030u);  // outside every object nothing is touched

  factory->OnTimerTick(0);
  EXPECT_FALSE(factory->TakeRedrawRequest());  // nothing changed since the frame
  above->SetPosition(100, 100);
  factory->OnTimerTick(0);
  EXPECT_TRUE(factory->TakeRedrawRequest());
  EXPECT_FALSE(factory->TakeRedrawRequest());  // taken once
  Frame();
  EXPECT_EQ(Pixel(35, 35), 0x000000u);  // the old area is cleared black
  EXPECT_EQ(Pixel(15, 15), 0xFF0000u);
  EXPECT_EQ(Pixel(105, 105), 0x0000FFu);
}

TEST_F(FactoryTest, ImageDrawingFillsMissingSidesFromTheImage) {
  const std::string path = WriteFixtureImage(sandbox.root);
  int id = -1;
  ASSERT_TRUE(factory->FindOrLoadImage(path, &id));
  Frame();  // makes the canvas the current frame
  // Source width 0, height 1: the whole image (two rows) is the source, but the target is
  // one row high, so both rows are squeezed into it.
  EXPECT_TRUE(factory->DrawImage(id, {0, 0, 0, 1}, {50, 50, 0, 0}));
  EXPECT_LE(gtest_util::ChannelDiff(Pixel(50, 50), 0xC00000u), 2);
  EXPECT_LE(gtest_util::ChannelDiff(Pixel(53, 50), 0xC0C0C0u), 2);
  EXPECT_EQ(Pixel(50, 51), 0x102030u);
  EXPECT_EQ(Pixel(54, 50), 0x102030u);
  // A given source part lands at the target's corner at its own size.
  EXPECT_TRUE(factory->DrawImage(id, {1, 1, 2, 1}, {60, 60, 0, 0}));
  EXPECT_LE(gtest_util::ChannelDiff(Pixel(60, 60), 0x008000u), 2);
  EXPECT_LE(gtest_util::ChannelDiff(Pixel(61, 60), 0x000080u), 2);
  EXPECT_EQ(Pixel(62, 60), 0x102030u);
  EXPECT_EQ(Pixel(60, 61), 0x102030u);
  EXPECT_FALSE(factory->DrawImage(5120, {}, {}));
  EXPECT_FALSE(factory->DrawImage(id + 1, {}, {}));
  factory->ReleaseImage(&id);
}

class DispatchTest : public FactoryTest {
 protected:
  IRectVO* Shown(int x, int y, int w, int h) {
    IRectVO* vo = factory->CreateRectVO();
    vo->SetPosition(x, y);
    vo->SetSize(w, h);
    vo->SetVisible(true);
    vo->AddMouseObserver(&rec);
    vo->AddKeybdObserver(&rec);
    return vo;
  }
  std::string Id(IVisibleObject* vo) { return std::to_string(vo->GetId()); }
  Recorder rec;
};

TEST_F(DispatchTest, EdgesCountAsInsideAndTheTopObjectIsHit) {
  IRectVO* a = Shown(10, 10, 20, 20);
  IRectVO* b = Shown(25, 25, 20, 20);
  factory->OnMouseMove(30, 30);  // inside both: the later one is on top
  factory->OnMouseMove(10, 30);  // left-bottom edge of a
  factory->OnMouseMove(45, 45);  // right-bottom edge of b
  factory->OnMouseMove(46, 45);  // outside everything
  EXPECT_EQ(rec.log, (std::vector<std::string>{"enter " + Id(b), "leave " + Id(b), "enter " + Id(a), "leave " + Id(a),
                                               "enter " + Id(b), "leave " + Id(b)}));
  EXPECT_EQ(factory->GetHoveredVO(), nullptr);
}

TEST_F(DispatchTest, PressFocusesOnlyObjectsThatCanTakeIt) {
  IRectVO* a = Shown(0, 0, 10, 10);
  IRectVO* b = Shown(50, 0, 10, 10);
  b->SetFocusable(false);
  factory->OnMouseMove(5, 5);
  factory->OnMouseDown(5, 5, kMouseLeft, 1);
  EXPECT_TRUE(a->HasFocus());
  factory->OnMouseMove(55, 5);
  factory->OnMouseDown(55, 5, kMouseRight, 1);
  factory->OnMouseUp(55, 5, kMouseRight, 1);
  EXPECT_TRUE(a->HasFocus());
  factory->OnKeyChar('x');  // keys go to the focused object
  EXPECT_EQ(rec.log.back(), "char " + Id(a) + " " + std::to_string('x'));
  EXPECT_EQ(rec.log[rec.log.size() - 2], "click " + Id(b) + " 1");
}

// Closing a dialog with a key while the mouse rests on its button: the hidden button gets
// its leave at once, and a click without moving goes to what is under the mouse now.
TEST_F(DispatchTest, AHiddenHoveredObjectGetsNoPressOrClick) {
  IRectVO* below = Shown(0, 0, 100, 100);
  IRectVO* button = Shown(10, 10, 20, 20);
  factory->OnMouseMove(15, 15);
  Frame();
  factory->TakeRedrawRequest();
  button->SetVisible(false);
  EXPECT_EQ(factory->GetHoveredVO(), nullptr);
  EXPECT_TRUE(factory->IsRedrawRequested());  // the hole it leaves is painted over
  factory->OnMouseDown(15, 15, kMouseLeft, 1);
  factory->OnMouseUp(15, 15, kMouseLeft, 1);
  EXPECT_EQ(rec.log, (std::vector<std::string>{"enter " + Id(button), "leave " + Id(button), "enter " + Id(below),
                                               "down " + Id(below) + " -1", "click " + Id(below) + " -1"}));
  // An object moved under a resting mouse is found by the press as well.
  rec.log.clear();
  button->SetVisible(true);
  factory->OnMouseDown(15, 15, kMouseLeft, 1);
  EXPECT_EQ(rec.log, (std::vector<std::string>{"leave " + Id(below), "enter " + Id(button), "down " + Id(button) + " -1"}));
}

TEST_F(DispatchTest, KeyObserverThatDidNotWantTheDownGetsNoUp) {
  struct SysKeys : KeybdSysMessageObserver {
    bool wants = true;
    std::vector<int> downs, ups;
    bool WantsKeys() override { return wants; }
    void OnKeyDown(int key) override { downs.push_back(key); }
    void OnKeyUp(int key) override { ups.push_back(key); }
  } willing, unwilling;
  unwilling.wants = false;
  factory->AddKeybdSysObserver(&willing);
  factory->AddKeybdSysObserver(&unwilling);
  factory->OnKeyDown(65);
  unwilling.wants = true;  // not asked again at key-up
  factory->OnKeyUp(65);
  EXPECT_EQ(willing.downs, std::vector<int>{65});
  EXPECT_EQ(willing.ups, std::vector<int>{65});
  EXPECT_TRUE(unwilling.downs.empty());
  EXPECT_TRUE(unwilling.ups.empty());
}

// An observer that deletes the object it is told about, from inside the callback.
TEST_F(DispatchTest, ObjectDeletedByItsOwnClickIsDeletedAfterTheDispatch) {
  struct Deleter : MouseMessageObserver {
    IRectVO* target = nullptr;
    void OnMouseClick(std::uint32_t, int) override {
      GetControlFactory()->DeleteVO(target);
      target = nullptr;
    }
  } deleter;
  IRectVO* vo = Shown(0, 0, 10, 10);
  deleter.target = vo;
  vo->AddMouseObserver(&deleter);
  factory->OnMouseMove(5, 5);
  factory->OnMouseDown(5, 5, kMouseLeft, 1);
  factory->OnMouseUp(5, 5, kMouseLeft, 1);
  EXPECT_EQ(deleter.target, nullptr);
  EXPECT_EQ(factory->ShownCount(), 0);
  EXPECT_EQ(factory->GetHoveredVO(), nullptr);
  EXPECT_EQ(factory->GetFocusedVO(), nullptr);
  factory->OnMouseMove(6, 6);  // nothing left to hit, nothing dangling
}

// A key observer that goes (deletes itself) in its own key-down leaves every other its
// answer: the next one that wanted the key gets it, and one that declined gets no key-up.
TEST_F(DispatchTest, AKeyObserverThatGoesDuringAKeyLeavesTheOthersTheirAnswers) {
  struct SysKeys : KeybdSysMessageObserver {
    SysKeys(std::string n, bool w, std::vector<std::string>* l, bool goes = false)
        : name(std::move(n)), wants(w), log(l), goesOnKeyDown(goes) {}
    bool WantsKeys() override { return wants; }
    void OnKeyDown(int) override {
      log->push_back(name + " down");
      if (goesOnKeyDown) delete this;
    }
    void OnKeyUp(int) override { log->push_back(name + " up"); }
    std::string name;
    bool wants;
    std::vector<std::string>* log;
    bool goesOnKeyDown;
  };
  std::vector<std::string> log;
  SysKeys b("B", true, &log);
  SysKeys c("C", false, &log);
  factory->AddKeybdSysObserver(new SysKeys("A", true, &log, true));
  factory->AddKeybdSysObserver(&b);
  factory->AddKeybdSysObserver(&c);
  factory->OnKeyDown(65);
  factory->OnKeyUp(65);
  EXPECT_EQ(log, (std::vector<std::string>{"A down", "B down", "B up"}));
  log.clear();
  factory->OnKeyDown(66);  // the list closed up behind the one that went
  EXPECT_EQ(log, (std::vector<std::string>{"B down"}));
}

struct EditLog : IEditBoxMsgObserver {
  void OnTextChanged(std::uint32_t) override { log.push_back("text"); }
  void OnEditFocusGained(std::uint32_t) override { log.push_back("gained"); }
  void OnEditFocusLost(std::uint32_t) override { log.push_back("lost"); }
  std::vector<std::string> log;
};

// The focused edit box gives the focus away, with its focus-lost report, when it is hidden,
// disabled (by a modal dialog or by hand) or told to; no key reaches it after that.
TEST_F(DispatchTest, AHiddenOrDisabledObjectLosesTheFocusAndTakesNoKeys) {
  struct Case {
    const char* what;
    void (*takeAway)(IEditBoxVO* box, IDialogVO* modal);
  };
  const Case cases[] = {
      {"hidden", [](IEditBoxVO* box, IDialogVO*) { box->SetVisible(false); }},
      {"modal dialog shown", [](IEditBoxVO*, IDialogVO* modal) { modal->SetVisible(true); }},
      {"disabled", [](IEditBoxVO* box, IDialogVO*) { box->SetEnabled(false); }},
      {"focus cleared", [](IEditBoxVO* box, IDialogVO*) { box->SetFocus(false); }},
      {"made unfocusable", [](IEditBoxVO* box, IDialogVO*) { box->SetFocusable(false); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IEditBoxVO* box = factory->CreateEditBoxVO();
    box->SetVisible(true);
    box->AddKeybdObserver(&rec);
    EditLog edits;
    box->AddEditObserver(&edits);
    IDialogVO* modal = factory->CreateDialogVO();
    box->SetFocus(true);
    ASSERT_EQ(factory->GetFocusedVO(), Handle(box)->GetImpl());
    rec.log.clear();

    c.takeAway(box, modal);
    EXPECT_FALSE(box->HasFocus());
    EXPECT_EQ(factory->GetFocusedVO(), nullptr);
    EXPECT_EQ(edits.log, (std::vector<std::string>{"gained", "lost"}));
    factory->OnKeyChar('b');
    factory->OnKeyDown(8);
    factory->OnKeyUp(8);
    EXPECT_EQ(box->GetText(), "");
    EXPECT_EQ(rec.log, std::vector<std::string>{});
    factory->DeleteVO(modal);
    factory->DeleteVO(box);
  }
}

// While a modal dialog is shown its own controls take the keys; hidden, it gives the focus
// back to the object it took it from.
TEST_F(DispatchTest, AModalDialogsControlsTakeTheKeysAndTheFocusComesBackAfterIt) {
  IRectVO* below = Shown(0, 0, 50, 50);
  factory->OnMouseMove(5, 5);
  factory->OnMouseDown(5, 5, kMouseLeft, 1);
  ASSERT_TRUE(below->HasFocus());
  IDialogVO* dialog = factory->CreateDialogVO();
  dialog->SetPosition(100, 0);
  dialog->SetSize(50, 50);
  IRectVO* control = factory->CreateRectVO();
  dialog->AddChild(control);
  control->SetPosition(10, 10);
  control->SetSize(20, 20);
  control->AddKeybdObserver(&rec);
  dialog->SetVisible(true);
  EXPECT_FALSE(below->HasFocus());
  factory->OnMouseMove(115, 15);
  factory->OnMouseDown(115, 15, kMouseLeft, 1);
  EXPECT_TRUE(control->HasFocus());
  rec.log.clear();
  factory->OnKeyChar('y');
  EXPECT_EQ(rec.log, std::vector<std::string>{"char " + Id(control) + " " + std::to_string('y')});
  dialog->SetVisible(false);
  EXPECT_FALSE(control->HasFocus());
  EXPECT_TRUE(below->HasFocus());
  rec.log.clear();
  factory->OnKeyChar('z');
  EXPECT_EQ(rec.log, std::vector<std::string>{"char " + Id(below) + " " + std::to_string('z')});
}

// Reports outside input dispatch may delete the object that makes them: a timer hides the
// hovered button and its leave observer deletes it; a click observer deletes its button
// during PerformClick called by the game. The object goes after its report (run under
// AddressSanitizer: nothing is read after it is freed).
TEST_F(DispatchTest, AnObjectDeletedByItsReportOutsideInputGoesAfterTheReport) {
  struct Deleter : MouseMessageObserver, TimeLibrary::TimeObjectMessageObserver {
    IButtonVO* target = nullptr;
    bool onLeave = false;
    int reports = 0;
    void Delete() {
      ++reports;
      if (target == nullptr) return;
      GetControlFactory()->DeleteVO(target);
      target = nullptr;
    }
    void OnMouseLeave(std::uint32_t) override {
      if (onLeave) Delete();
    }
    void OnMouseClick(std::uint32_t, int) override {
      if (!onLeave) Delete();
    }
    void OnTimerTick(std::uint32_t) override {
      IButtonVO* button = hideOnTimer;
      hideOnTimer = nullptr;
      if (button != nullptr) button->SetVisible(false);
    }
    IButtonVO* hideOnTimer = nullptr;
  };
  TimeLibrary::CreateTimeSystem();
  auto* time = static_cast<TimeLibrary::TimeSystem_impl*>(TimeLibrary::GetTimeSystem());
  for (const bool onLeave : {true, false}) {
    SCOPED_TRACE(onLeave ? "leave on a timer" : "PerformClick");
    Deleter deleter, after;
    deleter.onLeave = after.onLeave = onLeave;
    IButtonVO* button = factory->CreateButtonVO();
    button->SetSize(20, 20);
    button->SetVisible(true);
    button->AddMouseObserver(&deleter);
    button->AddMouseObserver(&after);  // still told after the first observer deleted it
    deleter.target = button;
    const std::uint32_t id = button->GetId();
    if (onLeave) {
      factory->OnMouseMove(5, 5);
      deleter.hideOnTimer = button;
      TimeLibrary::ITimeObject* timer = time->CreateTimeObject(&deleter, -1, 5);
      timer->SetEndless(true);
      timer->Start(false, 0);
      time->TickTimeObjects();
      time->TickTimeObjects();
      EXPECT_EQ(deleter.hideOnTimer, nullptr);
      time->DestroyTimeObject(timer);
    } else {
      button->PerformClick();
    }
    EXPECT_EQ(deleter.target, nullptr);
    EXPECT_EQ(after.reports, 1);
    EXPECT_EQ(factory->FindVO(id), nullptr);
    EXPECT_EQ(factory->ShownCount(), 0);
    EXPECT_EQ(factory->GetHoveredVO(), nullptr);
  }
  TimeLibrary::DeleteAllTimeObjects();
  TimeLibrary::DestroyTimeSystem();
}

}  // namespace

namespace {

TEST_F(FactoryTest, ToolTipBesideTheMouseDrawsItsBackgroundWithoutText) {
  IToolTip* tip = factory->CreateToolTip();
  tip->SetSize(30, 10);
  tip->SetBackColor({0, 0, 255});
  IRectVO* vo = factory->CreateRectVO();
  vo->SetToolTip(tip);
  factory->Release(tip);  // the object holds the remaining reference
  vo->SetVisible(true);
  app->mWidgetManager->mLastMouseX = 50;
  app->mWidgetManager->mLastMouseY = 40;
  factory->OnMouseMove(10, 10);
  EXPECT_EQ(factory->GetActiveToolTip(), tip);
  Frame();
  EXPECT_EQ(Pixel(66, 56), 0x0000FFu);  // 16 right of and below the mouse, with no cursor
  EXPECT_EQ(Pixel(95, 65), 0x0000FFu);
  EXPECT_EQ(Pixel(65, 55), 0x102030u);
  factory->OnMouseMove(150, 100);
  EXPECT_EQ(factory->GetActiveToolTip(), nullptr);
  factory->DeleteVO(vo);
}

}  // namespace

namespace {

// With the real timing thread: the 5 ms tick raises the redraw request for a changed object,
// and a factory destroyed on its own stops its tick first.
TEST(FactoryOnTimingThread, TickRaisesRedrawAndStopsWithTheFactory) {
  AppSandbox sandbox;
  Orvo::OrvoAppBase app;
  TimeLibrary::CreateTimeSystem();
  TimeLibrary::StartTimerThread();
  CreateControlFactory(&app);
  Factory_impl* factory = GetFactoryImpl();
  ASSERT_NE(factory, nullptr);
  factory->CreateRectVO()->SetVisible(true);
  bool raised = false;
  for (int i = 0; i < 400 && !raised; ++i) {
    raised = factory->IsRedrawRequested();
    if (!raised) plat::Sleep(5);
  }
  EXPECT_TRUE(raised);
  DestroyControlFactory();
  plat::Sleep(30);  // ticks that would reach a deleted factory, were it still registered
  TimeLibrary::StopTimerThread();
  TimeLibrary::DestroyTimeSystem();
}

}  // namespace
