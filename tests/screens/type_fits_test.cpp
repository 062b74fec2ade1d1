// Type that fits its cells: every heading, and the longest value the demo
// session writes into each column, measured in the font the program draws
// it with, against the room the cell gives it (its width less the indent
// and the grid line; a text may be narrowed down to GridView::kMinSqueeze).
#include "platform/grid_view.h"
#include "screens/points_race_screen.h"
#include "screens/scratch_screen.h"
#include "screens/sprint_screen.h"
#include "screens/time_trial_screen.h"
#include "support/test_support.h"
#include "tools/race_feed/demo.h"

#include <QFontMetrics>
#include <QHeaderView>

#include <map>

#include <gtest/gtest.h>

namespace {

// What a text may be wide in a cell `width` pixels wide: the grid line
// takes a pixel, the indent two, and the text may be narrowed.
int Room(int width) {
  return static_cast<int>((width - 1 - GridView::kCellIndent) / GridView::kMinSqueeze);
}

// The widest text seen per column of one grid, by the cell drawing rules.
struct Widest {
  int pixels = 0;
  std::string text;
};

class ColumnWatch {
 public:
  explicit ColumnWatch(GridView& grid) : grid_(grid) {
    QObject::connect(&grid.Model(), &QAbstractItemModel::dataChanged,
                     [this](const QModelIndex& first, const QModelIndex& last) {
                       for (int row = first.row(); row <= last.row(); ++row) {
                         for (int col = first.column(); col <= last.column(); ++col) {
                           Note(col, grid_.model()->index(row, col).data().toString());
                         }
                       }
                     });
  }

  void Note(int section, const QString& text) {
    const int pixels = QFontMetrics(grid_.font()).horizontalAdvance(text);
    Widest& widest = widest_[section];
    if (pixels > widest.pixels) {
      widest = {pixels, text.toStdString()};
    }
  }

  void ExpectFits(const std::string& where) const {
    for (const auto& [section, widest] : widest_) {
      if (grid_.isColumnHidden(section)) {
        continue;
      }
      const int room = Room(grid_.columnWidth(section));
      EXPECT_LE(widest.pixels, room) << where << " column " << section << ": \"" << widest.text
                                     << "\" is clipped (" << widest.pixels << " in " << room << ")";
    }
  }

 private:
  GridView& grid_;
  std::map<int, Widest> widest_;
};

void ExpectHeadingsFit(const GridView& grid, const std::string& where) {
  const QFontMetrics metrics(grid.horizontalHeader()->font());
  const auto* model = grid.model();
  for (int section = 0; section < model->columnCount(); ++section) {
    if (!grid.horizontalHeader()->isVisible() || grid.isColumnHidden(section)) {
      continue;
    }
    const QString heading = model->headerData(section, Qt::Horizontal).toString();
    EXPECT_LE(metrics.horizontalAdvance(heading), Room(grid.columnWidth(section)))
        << where << " heading \"" << heading.toStdString() << "\" is clipped ("
        << metrics.horizontalAdvance(heading) << ")";
  }
  for (int section = 0; section < model->rowCount(); ++section) {
    if (!grid.verticalHeader()->isVisible()) {
      break;
    }
    const QString heading = model->headerData(section, Qt::Vertical).toString();
    EXPECT_LE(metrics.horizontalAdvance(heading), Room(grid.verticalHeader()->width()))
        << where << " heading \"" << heading.toStdString() << "\" is clipped ("
        << metrics.horizontalAdvance(heading) << ")";
  }
}

TEST(TypeFits, EveryHeadingAndTheDemoSessionsLongestValues) {
  CommentatorFixture fixture;
  CommentatorApp& app = fixture.App();
  const std::vector<QWidget*> screens = {&app.Scratch(), &app.PointsRace(), &app.Sprint(),
                                         &app.TimeTrial()};
  std::vector<std::pair<std::string, std::unique_ptr<ColumnWatch>>> watches;
  for (QWidget* screen : screens) {
    for (GridView* grid : screen->findChildren<GridView*>()) {
      const std::string where =
          screen->objectName().toStdString() + "/" + grid->objectName().toStdString();
      watches.emplace_back(where, std::make_unique<ColumnWatch>(*grid));
    }
  }
  for (const race_feed::TimedRecord& entry : race_feed::DemoSession()) {
    fixture.Dispatch(entry.record);
    // The commentator's screen is wider than 800 pixels; the offscreen one is not.
    app.PointsRace().FitToScreen(QSize(1024, 768));
  }
  for (QWidget* screen : screens) {
    for (GridView* grid : screen->findChildren<GridView*>()) {
      ExpectHeadingsFit(
          *grid, screen->objectName().toStdString() + "/" + grid->objectName().toStdString());
    }
  }
  for (const auto& [where, watch] : watches) {
    watch->ExpectFits(where);
  }
}

}  // namespace
