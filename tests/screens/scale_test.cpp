// --scale and the monitor: the largest scale that fits, as a table; and, on
// monitors of the commentary positions' sizes at the scales the program
// uses there, every window inside its monitor and the covering screens
// showing every column of their grids.
#include "app/scale_fit.h"
#include "platform/grid_view.h"
#include "platform/window_frame.h"
#include "platform/windows.h"
#include "screens/event_screen.h"
#include "screens/points_race_screen.h"
#include "screens/quick_text_window.h"
#include "screens/scratch_screen.h"
#include "screens/sprint_screen.h"
#include "screens/time_trial_screen.h"
#include "support/test_support.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

#include <gtest/gtest.h>

namespace {

struct FitCase {
  double requested;
  QSize main_monitor;
  QSize event_monitor;
  double used;
};

class FittingScaleTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FittingScaleTest, IsTheLargestThatFitsAndNeverMoreThanAskedFor) {
  const FitCase& c = GetParam();
  EXPECT_DOUBLE_EQ(FittingScale(c.requested, c.main_monitor, c.event_monitor), c.used);
}

INSTANTIATE_TEST_SUITE_P(
    Monitors, FittingScaleTest,
    ::testing::Values(
        FitCase{1, {1024, 768}, {1024, 768}, 1},
        FitCase{1.5, {1024, 768}, {1024, 768}, 1.06},  // the quick text's width
        FitCase{2, {1024, 768}, {1024, 768}, 1.06}, FitCase{0.5, {1024, 768}, {1024, 768}, 0.5},
        FitCase{1, {1920, 1080}, {1920, 1080}, 1}, FitCase{1.5, {1920, 1080}, {1920, 1080}, 1.5},
        FitCase{2, {1920, 1080}, {1920, 1080}, 1.55},  // the scratch screen's height
        FitCase{2, {2560, 1440}, {2560, 1440}, 2}, FitCase{4, {2560, 1440}, {2560, 1440}, 2.07},
        FitCase{1, {1920, 1080}, {800, 600}, 0.9},  // the time trial's width
        FitCase{1, {640, 480}, {640, 480}, 0.66},
        FitCase{1, {200, 100}, {200, 100}, 0.5}));  // never below the least

TEST(ScaleOnMonitor, EveryWindowFitsAndTheCoveringScreensShowEveryColumn) {
  const QByteArray factor = qgetenv("QT_SCALE_FACTOR");
  ASSERT_FALSE(factor.isEmpty()) << "run by CTest with QT_SCALE_FACTOR and a monitor of its own";
  const double scale = factor.toDouble();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect monitor = screen->geometry();
  const QSize device(static_cast<int>(std::lround(monitor.width() * scale)),
                     static_cast<int>(std::lround(monitor.height() * scale)));
  ASSERT_EQ(FittingScale(scale, device, device), scale) << "a scale the program keeps";

  CommentatorFixture fixture;
  for (const char* record :
       {"{scratch}+{title}Heat 1", "{sprintf}+{title}Final", "{qdtype}+,one,two",
        "{ptsrace}+{standings}0{rnk}1", "{tt}+{standings}0{rnk}1"}) {
    fixture.Dispatch(record);
    Settle();
  }
  CommentatorApp& app = fixture.App();
  const QWidget* centred[] = {&fixture.Main(), &app.Scratch(), &app.Sprint(), &app.QuickText()};
  for (const QWidget* window : centred) {
    EXPECT_TRUE(monitor.contains(OuterGeometry(window)))
        << window->objectName().toStdString() << " at " << scale;
  }
  const EventScreen* covering_screens[] = {&app.PointsRace(), &app.TimeTrial()};
  for (const EventScreen* covering : covering_screens) {
    SCOPED_TRACE(covering->objectName().toStdString());
    EXPECT_EQ(OuterGeometry(covering), monitor) << "covers its monitor";
    for (const GridView* grid : covering->findChildren<GridView*>()) {
      if (!grid->isVisibleTo(covering)) {
        continue;
      }
      const QRect in_window(grid->mapTo(covering, QPoint(0, 0)), grid->size());
      EXPECT_TRUE(covering->rect().contains(in_window)) << grid->accessibleName().toStdString();
      for (int col = 0; col < grid->ColCount(); ++col) {
        if (grid->isColumnHidden(col) || grid->columnWidth(col) == 0) {
          continue;
        }
        // The summary grids' one column is designed 2 pixels wider than the
        // grid's inside, at any scale: a column shows when no more is cut.
        EXPECT_GE(grid->columnViewportPosition(col), 0);
        EXPECT_LE(grid->columnViewportPosition(col) + grid->columnWidth(col),
                  grid->viewport()->width() + 2)
            << grid->accessibleName().toStdString() << " column " << col;
      }
    }
  }
}

}  // namespace
