// The sprint screen's own layout, how its grid is drawn, and its title.
#include "screens/sprint_screen.h"
#include "platform/grid_view.h"
#include "screens/event_screen.h"
#include "support/test_support.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>

#include <vector>

#include <gtest/gtest.h>

namespace {

class SprintScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { Screen().EnsureBuilt(); }  // looked at while still hidden
  SprintScreen& Screen() { return fixture.App().Sprint(); }
  GridView& Grid() { return Find<GridView>(Screen(), "StringGrid1"); }
  QLabel& Title() { return Find<QLabel>(Screen(), "Label1"); }
  void Show() {
    Screen().ShowAndRaise();
    Settle();
  }

  CommentatorFixture fixture;
};

TEST_F(SprintScreenTest, LaidOutAsDesigned) {
  const QGroupBox& box = Find<QGroupBox>(Screen(), "GroupBox1");
  EXPECT_EQ(box.geometry(), QRect(36, 8, 697, 325));
  EXPECT_EQ(Title().geometry(), QRect(8, 12, 681, 37));
  EXPECT_EQ(Find<QLabel>(Screen(), "Image1").geometry(), QRect(318, 414, 105, 109));
  // Cells plus 10 on each axis, centred in the 697-wide group box: 175 / 2 -> 87.
  EXPECT_EQ(Grid().parentWidget(), &box);
  EXPECT_EQ(Grid().geometry(), QRect(87, 56, 522, 220));
  EXPECT_EQ(Grid().RowHeight(6), 30);
  EXPECT_EQ(Grid().verticalHeader()->width(), 128) << "the heading column";
  EXPECT_FALSE(Grid().horizontalHeader()->isVisibleTo(&Screen()));
}

// Where a cell of the sprint grid is drawn inside the grid's own picture.
QRect CellRect(const GridView& grid, int col, int row) {
  int left = grid.frameWidth();
  for (int c = 0; c < col; ++c) {
    left += grid.ColWidth(c);
  }
  return QRect(left, grid.frameWidth() + row * grid.RowHeight(row), grid.ColWidth(col),
               grid.RowHeight(row));
}

// Width of the white text drawn inside `area`; 0 when there is none.
int WhiteTextWidth(const QImage& image, const QRect& area) {
  int first = -1;
  int last = -1;
  for (int x = area.left(); x <= area.right(); ++x) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
      if (image.pixelColor(x, y) == QColor(255, 255, 255)) {
        first = first < 0 ? x : first;
        last = x;
        break;
      }
    }
  }
  return first < 0 ? 0 : last - first + 1;
}

TEST_F(SprintScreenTest, GridDrawnInTheDisplayColoursInLargeBoldType) {
  fixture.Data().sprint.heat.SetCell(2, 0, "WWWW");
  Show();
  // Purple headings, black cells, white text in the large bold face,
  // headings included ("Racers" at 11 pixels would be some 45 wide).
  const QImage image = Grid().grab().toImage();
  EXPECT_EQ(image.pixelColor(CellRect(Grid(), 0, 1).center()), kDisplayColours.heading);
  EXPECT_EQ(image.pixelColor(CellRect(Grid(), 1, 5).center()), kDisplayColours.background);
  EXPECT_EQ(image.pixelColor(CellRect(Grid(), 2, 6).center()), kDisplayColours.background);
  EXPECT_GT(WhiteTextWidth(image, CellRect(Grid(), 0, 0)), 70);
  EXPECT_GT(WhiteTextWidth(image, CellRect(Grid(), 2, 0)), 70);
}

TEST_F(SprintScreenTest, TitleShownAsPlainTextOneCharacterPerByte) {
  fixture.Data().sprint.title.SetText("<b>Caf\xe9</b> & Co");
  EXPECT_EQ(Title().text(), QString::fromLatin1("<b>Caf\xe9</b> & Co"));
  EXPECT_EQ(Title().textFormat(), Qt::PlainText);
  EXPECT_EQ(Title().palette().color(QPalette::WindowText), QColor(255, 255, 0));
  EXPECT_TRUE(Title().font().bold());
  EXPECT_EQ(Title().font().pixelSize(), 24);
}

TEST_F(SprintScreenTest, ResizingMovesNothing) {
  Show();
  const std::vector<QWidget*> controls = {&Find<QGroupBox>(Screen(), "GroupBox1"), &Grid(),
                                          &Title(), &Find<QLabel>(Screen(), "Image1")};
  std::vector<QRect> before;
  for (QWidget* control : controls) {
    before.push_back(control->geometry());
  }
  for (QSize size : {QSize(1200, 900), QSize(300, 200)}) {
    Screen().resize(size);
    Settle();
    for (size_t i = 0; i < controls.size(); ++i) {
      EXPECT_EQ(controls[i]->geometry(), before[i]) << controls[i]->objectName().toStdString();
    }
  }
}

}  // namespace
