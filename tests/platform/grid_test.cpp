// The grid: its cell store and headings, the view's widths and heights, how
// it paints heading and data cells, and its throttled repaints.
#include "paint_counter.h"
#include "platform/grid_view.h"
#include "platform/repaint_throttle.h"
#include "platform/text_list.h"
#include "records/grid_model.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QImage>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(GridModel, CellsAreColumnFirstAndWritesOutsideAreNoOps) {
  GridModel grid(3, 2);
  grid.SetCell(2, 1, "last");
  grid.SetCell(3, 0, "x");
  grid.SetCell(0, 2, "x");
  grid.SetCell(-1, 0, "x");
  EXPECT_EQ(grid.Cell(2, 1), "last");
  EXPECT_EQ(grid.Cell(3, 0), "");
  EXPECT_EQ(grid.Cell(0, 2), "");
  EXPECT_EQ(grid.Cell(-1, 0), "");
  EXPECT_EQ(grid.columnCount(), 3);
  EXPECT_EQ(grid.rowCount(), 2);
  EXPECT_EQ(GridRows(grid), (std::vector<std::string>{"||", "||last"}));
}

TEST(GridModel, ResizingKeepsTheCellsThatStillFitAndClearRowsEmptiesFromARow) {
  GridModel grid(3, 3);
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      grid.SetCell(col, row, std::to_string(col) + std::to_string(row));
    }
  }
  grid.SetSize(2, 4);
  EXPECT_EQ(GridRows(grid), (std::vector<std::string>{"00|10", "01|11", "02|12", "|"}));
  grid.ClearRows(1);
  EXPECT_EQ(GridRows(grid), (std::vector<std::string>{"00|10", "|", "|", "|"}));
  grid.ClearCells();
  EXPECT_EQ(GridRows(grid), (std::vector<std::string>(4, "|")));
}

TEST(GridModel, FixedRowAndColumnBecomeHeadingsAndNoNumbersAppear) {
  GridModel grid(3, 3, 1, 1);
  grid.SetCell(1, 0, "Name");
  grid.SetCell(0, 2, "Time");
  grid.SetCell(2, 2, "\xe9t\xe9");
  EXPECT_EQ(grid.columnCount(), 2);
  EXPECT_EQ(grid.rowCount(), 2);
  EXPECT_EQ(grid.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Name");
  EXPECT_EQ(grid.headerData(1, Qt::Vertical, Qt::DisplayRole).toString(), "Time");
  EXPECT_EQ(grid.data(grid.index(1, 1), Qt::DisplayRole).toString(), QString::fromUtf8("été"));
  EXPECT_EQ(grid.data(grid.index(1, 1), Qt::AccessibleTextRole).toString(),
            QString::fromUtf8("été"));
  EXPECT_FALSE(grid.flags(grid.index(0, 0)) & Qt::ItemIsEditable);

  const GridModel plain(2, 2);
  for (Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
    EXPECT_EQ(plain.headerData(0, orientation, Qt::DisplayRole).toString(), "");
  }
}

// What a view is told about each kind of write: a heading cell must reach
// its header, or the header never repaints it.
TEST(GridModel, EachWriteIsAnnouncedWhereAViewShowsIt) {
  GridModel grid(3, 3, 1, 1);
  std::vector<std::string> told;
  QObject::connect(&grid, &QAbstractItemModel::dataChanged,
                   [&](const QModelIndex& first, const QModelIndex& last) {
                     told.push_back("cells " + std::to_string(first.row()) + "," +
                                    std::to_string(first.column()) + "-" +
                                    std::to_string(last.row()) + "," +
                                    std::to_string(last.column()));
                   });
  QObject::connect(&grid, &QAbstractItemModel::headerDataChanged,
                   [&](Qt::Orientation orientation, int first, int last) {
                     told.push_back(std::string(orientation == Qt::Horizontal ? "top " : "side ") +
                                    std::to_string(first) + "-" + std::to_string(last));
                   });
  grid.SetCell(2, 0, "heading");
  grid.SetCell(0, 2, "heading");
  grid.SetCell(2, 1, "cell");
  grid.SetCell(2, 1, "cell");  // unchanged: nothing to repaint
  grid.SetCell(0, 0, "corner");
  EXPECT_EQ(told, (std::vector<std::string>{"top 1-1", "side 1-1", "cells 0,1-0,1"}));
}

TEST(GridView, WidthsHeightsAndHiddenColumns) {
  GridModel model(8, 60, 0, 1);
  GridView grid(model);
  grid.SetDefaultRowHeight(24);
  grid.SetColWidth(5, 0);
  grid.SetColWidth(1, 120);
  EXPECT_TRUE(grid.isColumnHidden(5));
  EXPECT_FALSE(grid.isColumnHidden(4));
  EXPECT_EQ(grid.columnWidth(1), 120);
  EXPECT_EQ(grid.columnWidth(2), 64) << "the default width";
  EXPECT_EQ(grid.horizontalHeader()->height(), 24);
  EXPECT_EQ(grid.rowHeight(0), 24);
  EXPECT_EQ(grid.RowHeight(59), 24);
  EXPECT_EQ(grid.RowHeight(60), 0);
  EXPECT_EQ(grid.CellsHeight(), 60 * 24);
  EXPECT_EQ(grid.CellsWidth(), 6 * 64 + 120);

  // A heading column is the vertical header, as wide as grid column 0.
  GridModel side(3, 7, 1, 0);
  GridView headed(side);
  headed.SetColWidth(0, 128);
  headed.SetColWidth(2, 320);
  EXPECT_EQ(headed.verticalHeader()->width(), 128);
  EXPECT_EQ(headed.columnWidth(0), 64);
  EXPECT_EQ(headed.columnWidth(1), 320);
  EXPECT_EQ(headed.CellsWidth(), 128 + 64 + 320);
}

TEST(GridView, DisplayOnlyAndHeadingsInTheGridsOwnType) {
  GridModel model(2, 3, 0, 1);
  GridView grid(model);
  EXPECT_EQ(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(grid.focusPolicy(), Qt::ClickFocus);
  QFont large = grid.font();
  large.setPixelSize(19);
  large.setBold(true);
  grid.setFont(large);
  EXPECT_EQ(grid.horizontalHeader()->font(), grid.font());
  EXPECT_EQ(grid.verticalHeader()->font(), grid.font());
}

struct HeadingCase {
  const char* name;
  int fixed_cols;
  int fixed_rows;
  bool top_heading;
  bool side_heading;
};

class GridHeadingsTest : public ::testing::TestWithParam<HeadingCase> {};

// Only the grid's own heading cells are shown: no row or column numbers.
TEST_P(GridHeadingsTest, ShowsOnlyTheGridsOwnHeadings) {
  const HeadingCase& c = GetParam();
  GridModel model(3, 4, c.fixed_cols, c.fixed_rows);
  GridView grid(model);
  grid.show();
  Settle();
  EXPECT_EQ(grid.horizontalHeader()->isVisible(), c.top_heading);
  EXPECT_EQ(grid.verticalHeader()->isVisible(), c.side_heading);
  for (int section = 0; section < 2; ++section) {
    for (Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
      EXPECT_EQ(model.headerData(section, orientation, Qt::DisplayRole).toString(), "");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Headings, GridHeadingsTest,
                         ::testing::Values(HeadingCase{"none", 0, 0, false, false},
                                           HeadingCase{"row", 0, 1, true, false},
                                           HeadingCase{"column", 1, 0, false, true},
                                           HeadingCase{"both", 1, 1, true, true}),
                         [](const auto& row) { return std::string(row.param.name); });

const QColor kBackground(0, 0, 0);
const QColor kText(255, 255, 255);
const QColor kHeading(128, 0, 128);
const QColor kGridLines(128, 128, 128);

bool AnyPixelOf(const QImage& image, const QRect& area, const QColor& colour) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (image.pixelColor(x, y) == colour) {
        return true;
      }
    }
  }
  return false;
}

// The colours come from the grid's palette and its own heading painting,
// so only the drawn pixels tell whether they reach the screen.
TEST(GridView, PaintsHeadingsInTheHeadingColourAndCellsInTheBackground) {
  GridModel model(3, 4, 1, 1);
  model.SetCell(1, 0, "Name");
  model.SetCell(0, 1, "Time");
  GridView grid(model);
  grid.resize(300, 150);
  grid.SetColours(kBackground, kText, kHeading);
  grid.show();
  Settle();
  const QImage image = grid.grab().toImage();

  QHeaderView& top = *grid.horizontalHeader();
  QHeaderView& side = *grid.verticalHeader();
  // In the grid's own coordinates.
  const auto top_cell = [&](int section) {
    return QRect(top.mapTo(&grid, QPoint(top.sectionViewportPosition(section), 0)),
                 QSize(top.sectionSize(section) - 1, top.height() - 1));
  };
  const auto side_cell = [&](int section) {
    return QRect(side.mapTo(&grid, QPoint(0, side.sectionViewportPosition(section))),
                 QSize(side.width() - 1, side.sectionSize(section) - 1));
  };
  const auto data_cell = [&](int row, int col) {
    return QRect(grid.viewport()->mapTo(&grid, grid.visualRect(model.index(row, col)).topLeft()),
                 grid.visualRect(model.index(row, col)).size());
  };

  const QRect name = top_cell(0);
  EXPECT_EQ(image.pixelColor(name.right() - 2, name.top() + 2), kHeading);
  EXPECT_TRUE(AnyPixelOf(image, name, kText)) << "the heading's text";
  EXPECT_EQ(image.pixelColor(top_cell(1).center()), kHeading) << "an empty heading";
  const QRect time = side_cell(0);
  EXPECT_EQ(image.pixelColor(time.right() - 2, time.top() + 2), kHeading);
  EXPECT_TRUE(AnyPixelOf(image, time, kText));
  EXPECT_EQ(image.pixelColor(side_cell(2).center()), kHeading);
  const QPoint corner = top_cell(0).topLeft() - QPoint(2, -2);
  EXPECT_EQ(image.pixelColor(corner), kHeading) << "the corner where the headings meet";

  const QRect cell = data_cell(1, 0);
  EXPECT_EQ(image.pixelColor(cell.center()), kBackground);
  EXPECT_EQ(image.pixelColor(data_cell(2, 1).center()), kBackground);
  EXPECT_EQ(image.pixelColor(cell.right() + 1, cell.center().y()), kGridLines);
  EXPECT_EQ(image.pixelColor(cell.center().x(), cell.bottom() + 1), kGridLines);
  EXPECT_EQ(image.pixelColor(name.right() + 1, name.center().y()), kGridLines);
}

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
  GridModel model(3, 4);
  GridView grid(model);
  const QRegion last_painted = ExpectThrottledRepaints(
      grid, grid.viewport(), [&](int i) { model.SetCell(i % 3, 1, std::to_string(i)); });
  EXPECT_EQ(model.Cell(0, 1), "300");
  for (int col = 0; col < 3; ++col) {
    EXPECT_TRUE(last_painted.contains(grid.visualRect(model.index(1, col))))
        << "the held cells are repainted, column " << col;
  }
}

}  // namespace
