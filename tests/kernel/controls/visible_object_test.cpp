// The common visual object: repaint history of moves and resizes, alignment and parents,
// layers, focus rules, reference counts and input reported to observers.
#include <vector>

#include "kernel/controls/SimpleVOs.h"
#include "tests/kernel/controls/ControlsFixture.h"

namespace {

using namespace ControlLibrary;
using controls_test::FactoryTest;
using controls_test::Recorder;

using VisibleObjectTest = FactoryTest;

std::vector<VORect> TakeUpdate(IRectVO* vo) {
  std::vector<VORect> fill;
  dynamic_cast<IBridgeToVO*>(vo)->Update(fill);
  dynamic_cast<IBridgeToVO*>(vo)->GetImpl()->ClearChanged();
  return fill;
}

TEST_F(VisibleObjectTest, MovesBetweenPassesRecordTheFirstFiveOldPositions) {
  IRectVO* vo = factory->CreateRectVO();
  vo->SetSize(10, 10);
  TakeUpdate(vo);
  for (int i = 1; i <= 6; ++i) vo->SetPosition(i * 10, 0);
  const std::vector<VORect> fill = TakeUpdate(vo);
  ASSERT_EQ(fill.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(fill[i], (VORect{i * 10, 0, 10, 10})) << i;
  // The entries were freed: an unchanged object queues nothing.
  EXPECT_TRUE(TakeUpdate(vo).empty());
}

TEST_F(VisibleObjectTest, SamePositionChangesNothingWithoutParentButRecordsWithOne) {
  IRectVO* parent = factory->CreateRectVO();
  IRectVO* child = factory->CreateRectVO();
  parent->SetPosition(100, 50);
  child->SetParent(parent);
  TakeUpdate(child);
  IRectVO* loose = factory->CreateRectVO();
  TakeUpdate(loose);

  loose->SetPosition(0, 0);
  EXPECT_TRUE(TakeUpdate(loose).empty());

  child->SetPosition(0, 0);
  EXPECT_EQ(child->GetScreenPosition(), (VOPoint{100, 50}));
  const std::vector<VORect> fill = TakeUpdate(child);
  ASSERT_EQ(fill.size(), 1u);
  EXPECT_EQ(fill[0], (VORect{100, 50, 20, 20}));
}

TEST_F(VisibleObjectTest, GrowingAndMovingRepaintsTheOldPlaceWithTheLargerExtent) {
  IRectVO* vo = factory->CreateRectVO();
  vo->SetSize(10, 10);
  vo->SetPosition(5, 5);
  TakeUpdate(vo);
  vo->SetSize(20, 5);
  vo->SetPosition(50, 50);
  const std::vector<VORect> fill = TakeUpdate(vo);
  ASSERT_EQ(fill.size(), 1u);
  EXPECT_EQ(fill[0], (VORect{5, 5, 20, 10}));
}

TEST_F(VisibleObjectTest, AlignmentPlacesTheScreenRectangle) {
  IRectVO* vo = factory->CreateRectVO();
  vo->SetSize(11, 7);
  vo->SetPosition(100, 100);
  const struct {
    std::uint32_t h, v;
    VOPoint corner;
  } cases[] = {{0, 0, {100, 100}}, {1, 1, {95, 97}}, {2, 2, {89, 93}}, {1, 2, {95, 93}}};
  for (const auto& c : cases) {
    vo->SetAlignment(c.h, c.v);
    EXPECT_EQ(vo->GetScreenPosition(), c.corner) << c.h << "," << c.v;
    EXPECT_EQ(vo->GetRect(), (VORect{100, 100, 11, 7}));  // the stored rectangle ignores alignment
  }
}

TEST_F(VisibleObjectTest, LayerAddsTheParentsLayer) {
  IRectVO* parent = factory->CreateRectVO();
  IRectVO* child = factory->CreateRectVO();
  parent->SetLayer(1100);
  child->SetLayer(2);
  EXPECT_EQ(child->GetLayer(), 2);
  child->SetParent(parent);
  EXPECT_EQ(child->GetLayer(), 1102);
}

TEST_F(VisibleObjectTest, ReleaseStopsAtZero) {
  IRectVO* vo = factory->CreateRectVO();
  EXPECT_EQ(vo->Release(), 0);
  EXPECT_EQ(vo->Release(), 0);
  vo->AddRef();
  EXPECT_EQ(dynamic_cast<IBridgeToVO*>(vo)->GetRefCount(), 1);
}

TEST_F(VisibleObjectTest, FocusNeedsFocusableVisibleAndEnabled) {
  IRectVO* vo = factory->CreateRectVO();
  EXPECT_FALSE(vo->CanTakeFocus());  // created hidden
  vo->SetFocus(true);
  EXPECT_FALSE(vo->HasFocus());
  vo->SetVisible(true);
  vo->SetFocus(true);
  EXPECT_TRUE(vo->HasFocus());
  vo->SetFocusable(false);  // clears the focus as well
  EXPECT_FALSE(vo->HasFocus());
}

TEST_F(VisibleObjectTest, DisabledPressAndReleaseOutsideReportNothing) {
  Recorder rec;
  IRectVO* vo = factory->CreateRectVO();
  vo->SetVisible(true);
  vo->AddMouseObserver(&rec);
  VisibleObject_impl* impl = dynamic_cast<IBridgeToVO*>(vo)->GetImpl();

  vo->SetEnabled(false);
  impl->OnMouseDown(5, 5, kMouseLeft, 1);
  EXPECT_FALSE(vo->HasFocus());
  vo->SetEnabled(true);
  impl->OnMouseUp(5, 5, kMouseLeft, 1);  // enabled, but the mouse is not over it
  EXPECT_TRUE(rec.log.empty());

  impl->OnMouseEnter();
  impl->OnMouseDown(5, 5, kMouseLeft, 1);
  impl->OnMouseUp(5, 5, kMouseLeft, 1);
  const std::uint32_t id = vo->GetId();
  EXPECT_EQ(rec.log, (std::vector<std::string>{"enter " + std::to_string(id), "down " + std::to_string(id) + " -1",
                                               "click " + std::to_string(id) + " -1"}));
  EXPECT_TRUE(vo->HasFocus());
}

}  // namespace
