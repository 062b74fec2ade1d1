// The platform adapters: the grid's cell store and headings, throttled
// repaints, and the anchoring rules with the screens' worked figures.
#include "platform/anchoring.h"
#include "platform/repaint_throttle.h"
#include "platform/string_grid.h"
#include "platform/text_list.h"
#include "platform/windows.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFontInfo>
#include <QHeaderView>
#include <QImage>
#include <QPaintEvent>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace {

TEST(StringGridModel, CellsAreColumnFirstAndWritesOutsideAreNoOps) {
  StringGridModel grid;
  grid.SetSize(3, 2);
  grid.SetCell(2, 1, "last");
  grid.SetCell(3, 0, "x");
  grid.SetCell(0, 2, "x");
  grid.SetCell(-1, 0, "x");
  EXPECT_EQ(grid.Cell(2, 1), "last");
  EXPECT_EQ(grid.Cell(3, 0), "");
  EXPECT_EQ(grid.Cell(0, 2), "");
  EXPECT_EQ(grid.columnCount(), 3);
  EXPECT_EQ(grid.rowCount(), 2);
}

TEST(StringGridModel, FixedRowAndColumnBecomeHeadingsAndNoNumbersAppear) {
  StringGridModel grid;
  grid.SetSize(3, 3);
  grid.SetFixed(1, 1);
  grid.SetCell(1, 0, "Name");
  grid.SetCell(0, 2, "Time");
  grid.SetCell(2, 2, "\xe9t\xe9");
  EXPECT_EQ(grid.columnCount(), 2);
  EXPECT_EQ(grid.rowCount(), 2);
  EXPECT_EQ(grid.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Name");
  EXPECT_EQ(grid.headerData(1, Qt::Vertical, Qt::DisplayRole).toString(), "Time");
  EXPECT_EQ(grid.data(grid.index(1, 1), Qt::DisplayRole).toString(), QString::fromUtf8("été"));
  EXPECT_FALSE(grid.flags(grid.index(0, 0)) & Qt::ItemIsEditable);

  StringGridModel plain;
  plain.SetSize(2, 2);
  EXPECT_EQ(plain.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "");
  EXPECT_EQ(plain.headerData(0, Qt::Vertical, Qt::DisplayRole).toString(), "");
}

// Counts the viewport's paints and remembers how many changes the last one
// could show.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  int changes = 0;
  int changes_painted = 0;
  QRegion last_painted;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      changes_painted = changes;
      last_painted = static_cast<QPaintEvent*>(event)->region();
    }
    return false;
  }
};

// A change after a quiet spell paints at once; a flood of changes paints at
// most once per interval; the last change is painted in the end.
// Returns the region of the last paint.
QRegion ExpectThrottledRepaints(QWidget& widget, QWidget* viewport,
                                const std::function<void(int)>& change) {
  widget.resize(300, 120);
  widget.show();
  PaintCounter counter;
  viewport->installEventFilter(&counter);
  QEventLoop quiet_spell;
  QTimer::singleShot(2 * RepaintThrottle::kInterval, &quiet_spell, &QEventLoop::quit);
  quiet_spell.exec();

  const int before = counter.paints;
  change(0);
  ++counter.changes;
  Settle();  // a pending layout pass, then the paint
  EXPECT_EQ(counter.paints, before + 1) << "a change after a quiet spell waits for nothing";

  const int flood_start = counter.paints;
  QElapsedTimer clock;
  clock.start();
  for (int i = 1; i <= 300; ++i) {
    change(i);
    ++counter.changes;
    QCoreApplication::processEvents();
  }
  const qint64 flood_ms = clock.elapsed();
  EXPECT_LE(counter.paints - flood_start, flood_ms / RepaintThrottle::kInterval + 1);

  EXPECT_TRUE(WaitUntil([&] { return counter.changes_painted == counter.changes; }, 1000));
  EXPECT_TRUE(viewport->updatesEnabled());
  return counter.last_painted;
}

TEST(RepaintThrottle, TextListLines) {
  TextList list;
  ExpectThrottledRepaints(list, list.viewport(), [&](int i) {
    list.AddLine("line " + std::to_string(i));
    if (list.LineCount() > 1) {
      list.RemoveFirstLine();
    }
  });
  EXPECT_EQ(list.Line(0), "line 300");
}

TEST(RepaintThrottle, GridCells) {
  StringGrid grid;
  grid.SetSize(3, 4);
  const QRegion last_painted = ExpectThrottledRepaints(
      grid, grid.viewport(), [&](int i) { grid.SetCell(i % 3, 1, std::to_string(i)); });
  EXPECT_EQ(grid.Cell(0, 1), "300");
  for (int col = 0; col < 3; ++col) {
    EXPECT_TRUE(last_painted.contains(grid.visualRect(grid.model()->index(1, col))))
        << "the held cells are repainted, column " << col;
  }
}

// Pixels of a one-line list's viewport, white text on black.
QImage RenderedLine(const std::string& text, bool selected = false) {
  TextList list;
  list.resize(300, 40);
  list.SetColours(Qt::black, Qt::white);
  list.AddLine(text);
  if (selected) {
    list.setCurrentRow(0);
  }
  list.show();
  Settle();
  return list.viewport()->grab().toImage();
}

bool AnyTextPixelIn(const QImage& image, int from_x, int to_x) {
  for (int y = 0; y < 13; ++y) {
    for (int x = from_x; x < to_x; ++x) {
      if (qGray(image.pixel(x, y)) > 128) {
        return true;
      }
    }
  }
  return false;
}

TEST(TextList, DrawsOneGlyphPerByteUpToTheViewportEdge) {
  // Every byte its own character: lines that differ in one byte differ on
  // screen, the upper half of the byte range included.
  const QImage plain = RenderedLine("abc x");
  EXPECT_NE(plain, RenderedLine("abd x"));
  EXPECT_NE(RenderedLine("\xe9\xe8"), RenderedLine("\xe8\xe9"));
  EXPECT_EQ(plain, RenderedLine("abc x"));

  // A record-length line reaches the right edge of the viewport.
  const QImage long_line = RenderedLine(std::string(1024, 'W'));
  EXPECT_TRUE(AnyTextPixelIn(long_line, long_line.width() - 20, long_line.width()));
  EXPECT_FALSE(AnyTextPixelIn(plain, plain.width() - 20, plain.width()));

  // A selected line draws its text in the highlighted text colour.
  EXPECT_NE(RenderedLine("abc x", /*selected=*/true), plain);
}

TEST(Windows, ActivationChangesRepaintNothingInAScreen) {
  QWidget screen;
  auto* grid = new StringGrid(&screen);
  grid->SetSize(3, 4);
  grid->SetCell(0, 0, "cell");
  IgnoreActivationChanges(&screen);
  screen.show();
  QWidget other;
  other.show();
  screen.activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return screen.isActiveWindow(); }));
  Settle();

  PaintCounter counter;
  grid->viewport()->installEventFilter(&counter);
  other.activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return other.isActiveWindow(); }));
  screen.activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return screen.isActiveWindow(); }));
  Settle();
  EXPECT_EQ(counter.paints, 0);
}

TEST(StringGrid, WidthsHeightsAndHiddenColumns) {
  StringGrid grid;
  grid.SetSize(8, 60);
  grid.SetFixed(0, 1);
  grid.SetDefaultRowHeight(24);
  grid.SetColWidth(5, 0);
  EXPECT_TRUE(grid.isColumnHidden(5));
  EXPECT_FALSE(grid.isColumnHidden(4));
  EXPECT_EQ(grid.horizontalHeader()->height(), 24);
  EXPECT_EQ(grid.rowHeight(0), 24);
  EXPECT_EQ(grid.CellsHeight(), 60 * 24);
  EXPECT_EQ(grid.CellsWidth(), 7 * 64);
}

struct AnchorCase {
  const char* name;
  QRect design;
  QSize design_parent;
  QSize parent;
  Anchors anchors;
  QRect expected;
};

class AnchoringTest : public ::testing::TestWithParam<AnchorCase> {};

TEST_P(AnchoringTest, FollowsTheParent) {
  const AnchorCase& c = GetParam();
  EXPECT_EQ(AnchoredGeometry(c.design, c.design_parent, c.parent, c.anchors), c.expected);
}

constexpr Anchors kTopRight = kAnchorTop | kAnchorRight;

INSTANTIATE_TEST_SUITE_P(
    WorkedFigures, AnchoringTest,
    ::testing::Values(
        // Scratch screen, client widened from 840 to 1040.
        AnchorCase{"centre_331_of_840",
                   {37, 12, 589, 113},
                   {840, 666},
                   {1040, 666},
                   kAnchorTop | kAnchorCentreX,
                   {116, 12, 589, 113}},
        AnchorCase{
            "right_66", {685, 4, 89, 81}, {840, 666}, {1040, 666}, kTopRight, {885, 4, 89, 81}},
        AnchorCase{"all_edges",
                   {24, 140, 810, 517},
                   {840, 666},
                   {1040, 700},
                   kAnchorAllEdges,
                   {24, 140, 1010, 551}},
        // Time trial screen at a 1018 x 743 client.
        AnchorCase{"panel_right",
                   {452, 4, 427, 570},
                   {885, 578},
                   {1018, 743},
                   kAnchorTop | kAnchorBottom | kAnchorRight,
                   {585, 4, 427, 735}},
        AnchorCase{"standings_box",
                   {247, 136, 401, 438},
                   {885, 578},
                   {1018, 743},
                   kAnchorTop | kAnchorBottom | kAnchorCentreX,
                   {314, 136, 401, 603}},
        AnchorCase{"picture",
                   {399, 8, 105, 113},
                   {885, 578},
                   {1018, 743},
                   kAnchorTop | kAnchorCentreX,
                   {467, 8, 105, 113}},
        AnchorCase{"lap_table",
                   {8, 132, 260, 430},
                   {441, 570},
                   {441, 735},
                   kAnchorLeft | kAnchorTop | kAnchorBottom,
                   {8, 132, 260, 595}},
        AnchorCase{"none_stays",
                   {8, 12, 249, 105},
                   {441, 570},
                   {600, 900},
                   kAnchorLeft | kAnchorTop,
                   {8, 12, 249, 105}},
        // A half rounds upward: 1 * 3 / 2 = 1.5 -> 2.
        AnchorCase{"half_up", {0, 0, 2, 2}, {2, 2}, {3, 2}, kAnchorCentreX, {1, 0, 2, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Placement, CentredOverTruncatesTowardZeroAndRaisesNegativesToZero) {
  EXPECT_EQ(CentredOver(QRect(106, 56, 812, 656), QSize(848, 693)), QPoint(88, 38));
  EXPECT_EQ(CentredOver(QRect(106, 56, 812, 656), QSize(778, 574)), QPoint(123, 97));
  EXPECT_EQ(CentredOver(QRect(0, 0, 812, 656), QSize(848, 693)), QPoint(0, 0));
}

TEST(Faces, TheDesignedFacesResolveToTheirStandIns) {
  for (Face face : {Face::kMsSansSerif, Face::kTerminal, Face::kLcdD}) {
    EXPECT_EQ(QFontInfo(DesignFont(face, 20)).family(), FaceFamily(face));
  }
}

}  // namespace
