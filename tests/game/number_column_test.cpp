// The numbers column: pages of 17 rows at fixed places, and the two arrows that scroll it
// one row at a time and are disabled at either end.
#include "GameRulesFixture.h"

using namespace rules_test;
using Doduderor::ListVO;
using Doduderor::NumberItem;

class NumberColumnTest : public RulesTest {
 protected:
  ~NumberColumnTest() override {
    list.Clear();
    for (NumberItem& item : items) ControlLibrary::GetControlFactory()->DeleteVO(item.button);
  }
  void Fill(int count) {
    list.Clear();
    items.assign(static_cast<std::size_t>(count), NumberItem{});
    for (NumberItem& item : items) {
      item.button = ControlLibrary::GetControlFactory()->CreateButtonVO();
      list.AddRow(&item);
    }
    list.ShowFirstPage();
  }
  // Indexes of the shown rows; each must sit at its place on the page.
  std::vector<int> ShownRows() {
    std::vector<int> shown;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (!items[i].button->IsVisible()) continue;
      const int j = static_cast<int>(shown.size());
      EXPECT_EQ(items[i].button->GetPosition(), (ControlLibrary::VOPoint{912, 115 + 35 * j})) << i;
      shown.push_back(static_cast<int>(i));
    }
    return shown;
  }
  static std::vector<int> Range(int first, int last) {
    std::vector<int> out;
    for (int i = first; i <= last; ++i) out.push_back(i);
    return out;
  }
  void Down() { list.OnMouseClick(list.downButton->GetId(), ControlLibrary::kMouseLeft); }
  void Up() { list.OnMouseClick(list.upButton->GetId(), ControlLibrary::kMouseLeft); }

  ListVO& list = ListVO::Instance();
  std::vector<NumberItem> items;
};

TEST_F(NumberColumnTest, FirstPagesOfEmptyFullAndLongerLists) {
  struct Case {
    int rows;
    std::vector<int> shown;
    bool downEnabled;
  };
  const Case cases[] = {{0, {}, false}, {1, {0}, false}, {17, Range(0, 16), false}, {18, Range(0, 16), true}};
  for (const Case& c : cases) {
    Fill(c.rows);
    EXPECT_EQ(ShownRows(), c.shown) << c.rows;
    EXPECT_FALSE(list.upButton->IsEnabled()) << c.rows;
    EXPECT_EQ(list.downButton->IsEnabled(), c.downEnabled) << c.rows;
  }
}

TEST_F(NumberColumnTest, ArrowsScrollOneRowAndStopAtTheEnds) {
  Fill(19);
  Down();
  EXPECT_EQ(ShownRows(), Range(1, 17));
  EXPECT_TRUE(list.upButton->IsEnabled());
  EXPECT_TRUE(list.downButton->IsEnabled());
  Down();
  EXPECT_EQ(ShownRows(), Range(2, 18));
  EXPECT_FALSE(list.downButton->IsEnabled());
  Up();
  EXPECT_EQ(ShownRows(), Range(1, 17));
  Up();
  EXPECT_EQ(ShownRows(), Range(0, 16));
  EXPECT_FALSE(list.upButton->IsEnabled());
  Up();  // nothing above the first row
  EXPECT_EQ(list.firstShown, 0);

  // A click on a number's own button is not the list's business.
  Down();
  list.OnMouseClick(items[5].button->GetId(), ControlLibrary::kMouseLeft);
  EXPECT_EQ(list.firstShown, 1);
  // New content always starts on its first page.
  list.ShowFirstPage();
  EXPECT_EQ(ShownRows(), Range(0, 16));
}
