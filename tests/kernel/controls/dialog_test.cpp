// The dialog object: raised above the screen, modal groups that nest, children shown and
// hidden with it, observers told of every show and hide, and its default panel.
#include "kernel/controls/DialogVO.h"
#include "kernel/controls/SimpleVOs.h"
#include "kernel/controls/TextVOs.h"
#include "tests/kernel/controls/ControlsFixture.h"

namespace {

using namespace ControlLibrary;
using controls_test::FactoryTest;

struct ShowHideLog : DialogMessageObserver {
  void OnDialogShowHide(std::uint32_t id, bool visible) override {
    log.push_back(std::to_string(id) + (visible ? " shown" : " hidden"));
  }
  std::vector<std::string> log;
};

using DialogTest = FactoryTest;

TEST_F(DialogTest, ModalDialogDisablesTheScreenUntilHidden) {
  IRectVO* backdrop = factory->CreateRectVO();
  backdrop->SetLayer(7);
  backdrop->SetVisible(true);
  IDialogVO* dialog = factory->CreateDialogVO();
  IButtonVO* ok = factory->CreateButtonVO();
  IRectVO* optional = factory->CreateRectVO();
  optional->SetShowWithParent(false);
  dialog->AddChild(ok);
  dialog->AddChild(optional);
  dialog->AddChild(nullptr);
  ShowHideLog observer;
  dialog->AddDialogObserver(&observer);

  dialog->SetVisible(true);
  EXPECT_FALSE(backdrop->IsEnabled());
  EXPECT_EQ(dialog->GetLayer(), 107);
  EXPECT_TRUE(ok->IsVisible());
  EXPECT_TRUE(ok->IsEnabled());  // shown after the screen was disabled
  EXPECT_EQ(ok->GetLayer(), 107);
  EXPECT_FALSE(optional->IsVisible());

  // Shown again: raised above itself and told again, but the screen is disabled only once.
  dialog->SetVisible(true);
  EXPECT_EQ(dialog->GetLayer(), 207);
  optional->SetVisible(true);
  dialog->SetVisible(false);
  EXPECT_TRUE(backdrop->IsEnabled());
  EXPECT_FALSE(ok->IsVisible());
  EXPECT_FALSE(optional->IsVisible());  // hidden with the dialog all the same
  dialog->SetVisible(false);  // hiding a hidden dialog gives back no group
  const std::string id = std::to_string(dialog->GetId());
  EXPECT_EQ(observer.log, (std::vector<std::string>{id + " shown", id + " shown", id + " hidden", id + " hidden"}));
}

TEST_F(DialogTest, NestedModalDialogsRestoreInReverseOrderAndModelessDisablesNothing) {
  IRectVO* backdrop = factory->CreateRectVO();
  backdrop->SetVisible(true);
  IDialogVO* first = factory->CreateDialogVO();
  IDialogVO* second = factory->CreateDialogVO();
  IButtonVO* firstButton = factory->CreateButtonVO();
  first->AddChild(firstButton);
  first->SetVisible(true);
  second->SetVisible(true);
  EXPECT_GT(second->GetLayer(), first->GetLayer());
  EXPECT_FALSE(firstButton->IsEnabled());
  EXPECT_FALSE(first->IsEnabled());
  second->SetVisible(false);
  EXPECT_TRUE(firstButton->IsEnabled());
  EXPECT_FALSE(backdrop->IsEnabled());
  first->SetVisible(false);
  EXPECT_TRUE(backdrop->IsEnabled());

  IDialogVO* modeless = factory->CreateDialogVO();
  modeless->SetModeless(1);
  modeless->SetVisible(true);
  EXPECT_TRUE(backdrop->IsEnabled());
}

// Deleting a shown dialog takes it and its children off the screen, gives back its modal
// group and its references on the children, and leaves no child pointing at it.
TEST_F(DialogTest, DeletingAShownDialogHidesAndReleasesItsChildren) {
  for (const std::uint32_t modeless : {0u, 1u}) {
    IRectVO* backdrop = factory->CreateRectVO();
    backdrop->SetSize(200, 150);
    backdrop->SetVisible(true);
    IDialogVO* dialog = factory->CreateDialogVO();
    dialog->SetModeless(modeless);
    dialog->SetPosition(20, 20);
    IButtonVO* kept = factory->CreateButtonVO();  // the game still holds this one
    IRectVO* given = factory->CreateRectVO();     // and gives this one back first
    dialog->AddChild(kept);
    dialog->AddChild(given);
    factory->DeleteVO(given);
    ShowHideLog observer;
    dialog->AddDialogObserver(&observer);
    dialog->SetVisible(true);
    Frame();
    const std::uint32_t givenId = given->GetId();

    factory->DeleteVO(dialog);
    EXPECT_TRUE(backdrop->IsEnabled()) << modeless;
    EXPECT_EQ(factory->ModalDepth(), 0) << modeless;
    EXPECT_EQ(factory->FindVO(givenId), nullptr) << modeless;  // its last reference went
    EXPECT_FALSE(kept->IsVisible()) << modeless;
    EXPECT_EQ(dynamic_cast<IBridgeToVO*>(kept)->GetImpl()->GetParent(), nullptr) << modeless;
    EXPECT_EQ(factory->ShownCount(), 1) << modeless;
    EXPECT_TRUE(factory->IsRedrawRequested()) << modeless;
    EXPECT_EQ(observer.log.size(), 1u) << modeless;  // told of the show, not of the deletion
    Frame();  // nothing left that reaches the deleted dialog
    kept->SetPosition(5, 5);
    factory->DeleteVO(kept);
    factory->DeleteVO(backdrop);
    EXPECT_EQ(factory->ShownCount(), 0);
  }
}

// A modal dialog deleted below another one that is still shown: what it disabled stays
// disabled until the upper one goes, and nothing stays disabled after that.
TEST_F(DialogTest, ModalGroupsOfDialogsDeletedOutOfOrder) {
  IRectVO* backdrop = factory->CreateRectVO();
  backdrop->SetVisible(true);
  IDialogVO* lower = factory->CreateDialogVO();
  IDialogVO* upper = factory->CreateDialogVO();
  lower->SetVisible(true);
  upper->SetVisible(true);
  factory->DeleteVO(lower);
  EXPECT_FALSE(backdrop->IsEnabled());
  EXPECT_EQ(factory->ModalDepth(), 1);
  upper->SetModeless(1);  // made modeless while shown: its hide still gives its group back
  upper->SetVisible(false);
  EXPECT_TRUE(backdrop->IsEnabled());
  EXPECT_EQ(factory->ModalDepth(), 0);
}

// An observer that deletes the dialog when told it was hidden, outside any input (as a
// timer's callback would): the report ends before the dialog goes.
TEST_F(DialogTest, AnObserverMayDeleteTheDialogItIsToldAbout) {
  struct Deleter : DialogMessageObserver {
    void OnDialogShowHide(std::uint32_t, bool visible) override {
      if (!visible) factory->DeleteVO(dialog);
    }
    Factory_impl* factory = nullptr;
    IDialogVO* dialog = nullptr;
  } deleter;
  ShowHideLog later;  // told after the deleter, from the same list
  deleter.factory = factory;
  deleter.dialog = factory->CreateDialogVO();
  const std::uint32_t id = deleter.dialog->GetId();
  deleter.dialog->AddDialogObserver(&deleter);
  deleter.dialog->AddDialogObserver(&later);
  deleter.dialog->SetVisible(true);
  deleter.dialog->SetVisible(false);
  EXPECT_EQ(later.log.back(), std::to_string(id) + " hidden");
  EXPECT_EQ(factory->FindVO(id), nullptr);
  EXPECT_EQ(factory->ModalDepth(), 0);
}

// A control placed before it is added to a dialog stands at its position inside the dialog
// from then on, whether or not it is moved again; where it was drawn before is cleared.
TEST_F(DialogTest, AChildAddedAfterItWasPlacedStandsInsideTheDialog) {
  IDialogVO* dialog = factory->CreateDialogVO();
  dialog->SetPosition(60, 30);
  IImageVO* child = factory->CreateImageVO();  // a white 20 x 20 square without a picture
  child->SetPosition(30, 40);
  child->SetVisible(true);
  Frame();
  ASSERT_EQ(Pixel(35, 45), 0xFFFFFFu);

  dialog->AddChild(child);
  EXPECT_EQ(child->GetScreenRect(), (VORect{90, 70, 20, 20}));
  EXPECT_EQ(child->GetRect(), (VORect{30, 40, 20, 20}));
  Frame();
  EXPECT_EQ(Pixel(35, 45), 0x000000u);  // the old place is painted over
  EXPECT_EQ(Pixel(95, 75), 0xFFFFFFu);

  // When the dialog goes (the test still holds the child), it stands on the screen again.
  factory->DeleteVO(dialog);
  EXPECT_EQ(child->GetScreenRect(), (VORect{30, 40, 20, 20}));
  factory->DeleteVO(child);
}

// A dialog that goes takes the focus from its child without a report: the child's
// observers are usually the dialog's owner, going away with it. A plain hide reports.
TEST_F(DialogTest, ADeletedDialogsFocusedChildGivesTheFocusAwayUnreported) {
  struct FocusLog : IEditBoxMsgObserver {
    void OnEditFocusLost(std::uint32_t) override { ++lost; }
    int lost = 0;
  };
  for (const bool deleted : {false, true}) {
    SCOPED_TRACE(deleted ? "deleted" : "hidden");
    FocusLog log;
    IDialogVO* dialog = factory->CreateDialogVO();
    IEditBoxVO* box = factory->CreateEditBoxVO();
    box->AddEditObserver(&log);
    dialog->AddChild(box);
    factory->DeleteVO(box);  // the dialog holds the last reference
    dialog->SetVisible(true);
    box->SetFocus(true);
    ASSERT_TRUE(box->HasFocus());
    if (deleted) {
      factory->DeleteVO(dialog);
    } else {
      dialog->SetVisible(false);
      EXPECT_FALSE(box->HasFocus());
    }
    EXPECT_EQ(log.lost, deleted ? 0 : 1);
    EXPECT_EQ(factory->GetFocusedVO(), nullptr);
    if (!deleted) factory->DeleteVO(dialog);
  }
}

TEST_F(DialogTest, DefaultPanelIsBrownWithAGreenBorder) {
  IDialogVO* dialog = factory->CreateDialogVO();
  dialog->SetPosition(10, 10);
  dialog->SetVisible(true);
  Frame();
  EXPECT_EQ(Pixel(10, 10), 0x19FA19u);
  EXPECT_EQ(Pixel(110, 50), 0x19FA19u);  // the outline spans width + 1 pixels
  EXPECT_EQ(Pixel(109, 109), 0x804000u);
  EXPECT_EQ(Pixel(50, 50), 0x804000u);
  EXPECT_EQ(Pixel(111, 50), 0x102030u);
}

}  // namespace
