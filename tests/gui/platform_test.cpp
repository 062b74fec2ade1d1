// The platform adapters: the grid's cell store and headings, the text list's
// repaints, and the anchoring rules with the screens' worked figures.
#include "platform/anchoring.h"
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
#include <QTimer>

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

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      changes_painted = changes;
    }
    return false;
  }
};

TEST(TextList, ChangesRepaintAtOnceAfterAQuietSpellAndAtMostOncePerIntervalInAFlood) {
  TextList list;
  list.resize(300, 120);
  list.show();
  PaintCounter counter;
  list.viewport()->installEventFilter(&counter);
  QEventLoop quiet_spell;
  QTimer::singleShot(2 * TextList::kRepaintInterval, &quiet_spell, &QEventLoop::quit);
  quiet_spell.exec();

  const int before = counter.paints;
  list.AddLine("first");
  ++counter.changes;
  Settle();  // the list's layout pass, then its paint
  EXPECT_EQ(counter.paints, before + 1) << "a change after a quiet spell waits for nothing";

  const int flood_start = counter.paints;
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < 300; ++i) {
    list.AddLine("line " + std::to_string(i));
    list.RemoveFirstLine();
    ++counter.changes;
    QCoreApplication::processEvents();
  }
  const qint64 flood_ms = clock.elapsed();
  EXPECT_LE(counter.paints - flood_start, flood_ms / TextList::kRepaintInterval + 1);

  // Nothing stays unpainted once the hold is over.
  EXPECT_TRUE(WaitUntil([&] { return counter.changes_painted == counter.changes; }, 1000));
  EXPECT_TRUE(list.viewport()->updatesEnabled());
  EXPECT_EQ(list.Line(0), "line 299");
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
