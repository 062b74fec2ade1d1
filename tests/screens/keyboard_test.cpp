// The keyboard on the event screens: Tab and Shift+Tab move between the
// grids and the chooser in their order, keys scroll the focused grid, and
// the chooser's open list shows eight entries.
#include "platform/grid_view.h"
#include "screens/points_race_screen.h"
#include "screens/scratch_screen.h"
#include "support/test_support.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace {

// Presses the key where the keyboard is: the window's focus widget, or the
// window itself when none has focus.
void Press(QWidget& window, int key) {
  QWidget* target = window.focusWidget() != nullptr ? window.focusWidget() : &window;
  PressKey(target, key);
}

std::vector<std::string> FocusWalk(QWidget& window, int key, int steps) {
  std::vector<std::string> names;
  for (int step = 0; step < steps; ++step) {
    Press(window, key);
    names.push_back(window.focusWidget() != nullptr
                        ? window.focusWidget()->objectName().toStdString()
                        : std::string("(none)"));
  }
  return names;
}

struct FocusCase {
  const char* name;
  const char* record;  // brings the screen forward
  std::vector<std::string> forward;
};

class FocusOrderTest : public ::testing::TestWithParam<FocusCase> {};

TEST_P(FocusOrderTest, TabAndShiftTabWalkTheControlsInOrder) {
  const FocusCase& c = GetParam();
  CommentatorFixture fixture;
  fixture.Dispatch(c.record);
  Settle();
  QWidget* screen = QApplication::activeWindow();
  ASSERT_NE(screen, nullptr);
  const int count = static_cast<int>(c.forward.size());
  // Whatever has focus first, a full round of Tab visits every control once
  // and ends where it began.
  std::vector<std::string> round = FocusWalk(*screen, Qt::Key_Tab, count);
  std::vector<std::string> sorted_round = round;
  std::vector<std::string> sorted_forward = c.forward;
  std::sort(sorted_round.begin(), sorted_round.end());
  std::sort(sorted_forward.begin(), sorted_forward.end());
  EXPECT_EQ(sorted_round, sorted_forward);
  // From the first control, Tab goes forward and Shift+Tab back.
  while (screen->focusWidget()->objectName().toStdString() != c.forward.front()) {
    Press(*screen, Qt::Key_Tab);
  }
  std::vector<std::string> expected(c.forward.begin() + 1, c.forward.end());
  expected.push_back(c.forward.front());
  EXPECT_EQ(FocusWalk(*screen, Qt::Key_Tab, count), expected);
  std::vector<std::string> backward(c.forward.rbegin(), c.forward.rend());
  EXPECT_EQ(FocusWalk(*screen, Qt::Key_Backtab, count), backward);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FocusOrderTest,
    ::testing::Values(
        FocusCase{"scratch", "{scratch}+{clr}+", {"StringGrid1", "StringGrid2"}},
        FocusCase{"points_race", "{ptsrace}+{clr}+", {"StringGrid1", "ComboBox1", "StringGrid2"}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(GridKeys, ArrowsAndPagesScrollTheFocusedGrid) {
  CommentatorFixture fixture;
  fixture.Dispatch("{scratch}+{clr}+");
  Settle();
  auto& competitors = Find<GridView>(fixture.App().Scratch(), "StringGrid2");
  competitors.setFocus(Qt::TabFocusReason);
  QScrollBar& rows = *competitors.verticalScrollBar();
  ASSERT_GT(rows.maximum(), rows.pageStep()) << "50 rows do not fit";

  PressKey(&competitors, Qt::Key_PageDown);
  EXPECT_EQ(rows.value(), rows.pageStep());
  PressKey(&competitors, Qt::Key_Down);
  EXPECT_EQ(rows.value(), rows.pageStep() + 1);
  PressKey(&competitors, Qt::Key_Up);
  PressKey(&competitors, Qt::Key_PageUp);
  EXPECT_EQ(rows.value(), 0);
  PressKey(&competitors, Qt::Key_End);
  EXPECT_EQ(rows.value(), rows.maximum());
  PressKey(&competitors, Qt::Key_Home);
  EXPECT_EQ(rows.value(), 0);
  EXPECT_FALSE(competitors.selectionModel()->hasSelection()) << "keys move no cell cursor";
}

TEST(SprintChooser, ItsOpenListShowsEightEntries) {
  CommentatorFixture fixture;
  fixture.Dispatch("{ptsrace}+{clr}+");
  Settle();
  auto& chooser = Find<QComboBox>(fixture.App().PointsRace(), "ComboBox1");
  chooser.showPopup();
  Settle();
  const QAbstractItemView& list = *chooser.view();
  const int row = list.sizeHintForRow(0);
  ASSERT_GT(row, 0);
  EXPECT_EQ(list.viewport()->height() / row, 8);
  EXPECT_GT(list.verticalScrollBar()->maximum(), 0) << "the other 22 entries scroll";
  chooser.hidePopup();
}

}  // namespace
