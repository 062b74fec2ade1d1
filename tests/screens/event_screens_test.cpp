// What the five event windows share, one row per window: name and caption,
// frame, placement, the display colours and column widths of every grid,
// what closing does, and that each is created hidden.
#include "platform/grid_view.h"
#include "platform/window_frame.h"
#include "platform/windows.h"
#include "records/columns.h"
#include "screens/event_screen.h"
#include "screens/points_race_screen.h"
#include "screens/quick_text_window.h"
#include "screens/scratch_screen.h"
#include "screens/sprint_screen.h"
#include "screens/time_trial_screen.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

template <std::size_t N>
std::vector<int> Widths(const std::array<Column, N>& columns) {
  std::vector<int> widths;
  for (const Column& column : columns) {
    widths.push_back(column.width);
  }
  return widths;
}

struct ShownGrid {
  const char* object_name;
  std::vector<int> widths;  // one per column
};

constexpr Qt::WindowFlags kTitleButtons = Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;
constexpr Qt::WindowFlags kCloseOnly = Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

struct ScreenCase {
  const char* name;
  EventScreen& (*window)(CommentatorApp&);
  const char* object_name;
  const char* caption;
  Qt::WindowFlags buttons;  // which of kTitleButtons the title bar has
  bool fixed_size;
  bool covers_screen;  // on every showing; otherwise centred over the main window once
  QPoint main_window_at;
  QRect first_place;  // outer, when centred
  std::vector<ShownGrid> grids;
  bool closing_ends_program;
};

void PrintTo(const ScreenCase& c, std::ostream* out) {
  *out << c.name;
}

const ScreenCase kScreens[] = {
    {"scratch",
     [](CommentatorApp& app) -> EventScreen& { return app.Scratch(); },
     "commentator_scratch",
     "Commentator Screen, Scratch / Keiren",
     {},
     false,
     false,
     // The main window's start-up place on a 1024 x 768 screen.
     {106, 56},
     {88, 38, 848, 693},
     {{"StringGrid1", Widths(kHeatColumns)}, {"StringGrid2", Widths(kCompetitorColumns)}},
     true},
    {"quick_text",
     [](CommentatorApp& app) -> EventScreen& { return app.QuickText(); },
     "qdtype_commentator_form",
     "qdtype_commentator_form",
     kCloseOnly,
     false,
     false,
     // (812 - 966) div 2 = -77 from the left edge: raised to 0.
     {0, 10},
     {0, 23, 966, 630},
     {},
     false},
    {"sprint",
     [](CommentatorApp& app) -> EventScreen& { return app.Sprint(); },
     "sprintr_commentator_form",
     "Sprint Race Commentator",
     kTitleButtons,
     false,
     false,
     {301, 201},
     {318, 242, 778, 574},
     {{"StringGrid1", Widths(kSprintHeatColumns)}},
     true},
    {"points_race",
     [](CommentatorApp& app) -> EventScreen& { return app.PointsRace(); },
     "ptsrace_commentator_form",
     "ptsrace_commentator_form",
     kCloseOnly,
     true,
     true,
     {120, 90},
     {},
     // Shown on the 800-pixel-wide offscreen screen, the name column stays narrow.
     {{"StringGrid1", Widths(kStandingsColumns)}, {"StringGrid2", Widths(kSprintResultColumns)}},
     true},
    {"time_trial",
     [](CommentatorApp& app) -> EventScreen& { return app.TimeTrial(); },
     "tt_commentator_form",
     "TT Commentator Screen",
     kCloseOnly,
     true,
     true,
     {120, 90},
     {},
     {{"standings_stringgrid", Widths(kTimeTrialStandingsColumns)},
      {"StringGrid00", {249}},
      {"StringGrid01", Widths(kLapColumns)},
      {"StringGrid10", {245}},
      {"StringGrid11", Widths(kLapColumns)}},
     true},
};

class EventScreenTest : public ::testing::TestWithParam<ScreenCase> {
 protected:
  EventScreen& Screen() { return GetParam().window(fixture.App()); }
  void Show() {
    Screen().ShowAndRaise();
    Settle();
  }

  CommentatorFixture fixture;
};

TEST_P(EventScreenTest, CreatedHiddenWithItsNameAndCaption) {
  const ScreenCase& c = GetParam();
  EXPECT_FALSE(Screen().isVisible());
  EXPECT_EQ(Screen().objectName(), c.object_name);
  EXPECT_EQ(Screen().windowTitle(), c.caption);
}

TEST_P(EventScreenTest, FrameAsDesigned) {
  const ScreenCase& c = GetParam();
  Show();
  const Qt::WindowFlags flags = Screen().windowFlags();
  EXPECT_TRUE(flags.testFlags(Qt::Window | Qt::WindowTitleHint));
  EXPECT_EQ(flags & kTitleButtons, c.buttons);
  EXPECT_EQ(Screen().minimumSize() == Screen().maximumSize(), c.fixed_size)
      << "only a fixed frame keeps the user from resizing";
}

TEST_P(EventScreenTest, PlacedAsDesignedWhenShown) {
  const ScreenCase& c = GetParam();
  MainWindow& main_window = fixture.Main();
  main_window.move(c.main_window_at);
  Settle();
  ASSERT_EQ(OuterGeometry(&main_window), QRect(c.main_window_at, QSize(812, 656)));

  Show();
  const QRect expected = c.covers_screen ? PrimaryScreenGeometry() : c.first_place;
  EXPECT_EQ(OuterGeometry(&Screen()), expected);

  // Moved by the user, hidden, and shown again with the main window elsewhere.
  Screen().move(30, 40);
  Settle();
  Screen().hide();
  main_window.move(0, 0);
  Show();
  if (c.covers_screen) {
    EXPECT_EQ(OuterGeometry(&Screen()), PrimaryScreenGeometry()) << "covers it on every showing";
  } else {
    EXPECT_EQ(OuterGeometry(&Screen()).topLeft(), QPoint(30, 40)) << "placed only once";
  }
}

TEST_P(EventScreenTest, EveryGridInTheDisplayColoursWithItsColumnWidths) {
  const ScreenCase& c = GetParam();
  Show();
  EXPECT_EQ(Screen().findChildren<GridView*>().size(), static_cast<qsizetype>(c.grids.size()))
      << "every grid of the window has a row in the table";
  for (const ShownGrid& shown : c.grids) {
    SCOPED_TRACE(shown.object_name);
    const GridView& grid = Find<GridView>(Screen(), shown.object_name);
    EXPECT_EQ(grid.BackgroundColour(), kDisplayColours.background);
    EXPECT_EQ(grid.TextColour(), kDisplayColours.text);
    EXPECT_EQ(grid.FixedColour(), kDisplayColours.heading);
    std::vector<int> widths;
    for (int col = 0; col < grid.ColCount(); ++col) {
      widths.push_back(grid.ColWidth(col));
    }
    EXPECT_EQ(widths, shown.widths);
  }
}

TEST_P(EventScreenTest, ClosingEndsTheProgramOrOnlyHides) {
  const ScreenCase& c = GetParam();
  Show();
  if (c.closing_ends_program) {
    EXPECT_TRUE(fixture.ClosingEndsProgram(&Screen()));
    return;
  }
  // A loop that the close does not end runs on until this stops it.
  EventScreen& screen = Screen();
  QTimer::singleShot(0, &screen, [&screen] { screen.close(); });
  QTimer::singleShot(300, [] { QCoreApplication::exit(7); });
  EXPECT_EQ(QCoreApplication::exec(), 7) << "the program went on";
  EXPECT_FALSE(screen.isVisible());
  EXPECT_TRUE(fixture.Main().isVisible());
  Show();
  EXPECT_TRUE(screen.isVisible()) << "shown again by the next record";
}

INSTANTIATE_TEST_SUITE_P(Windows, EventScreenTest, ::testing::ValuesIn(kScreens),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace

namespace {

// The screens make their controls on their first showing; what the records
// wrote before then is what those controls show.
TEST(EventScreens, ControlsMadeOnTheFirstShowingShowWhatCameInBefore) {
  CommentatorFixture fixture;
  CommentatorApp& app = fixture.App();
  EXPECT_TRUE(app.Sprint().findChildren<QLabel*>().isEmpty()) << "nothing made while hidden";
  fixture.Data().sprint.title.SetText("Written while hidden");
  app.Sprint().ShowAndRaise();
  Settle();
  EXPECT_EQ(Find<QLabel>(app.Sprint(), "Label1").text(), "Written while hidden");
  fixture.Data().sprint.title.SetText("Written since");
  EXPECT_EQ(Find<QLabel>(app.Sprint(), "Label1").text(), "Written since") << "and follow it after";
  // The time trial screen's first showing empties its readouts before any
  // record writes them; from then on they follow.
  app.TimeTrial().ShowAndRaise();
  fixture.Data().time_trial.panels[1].time.SetText("1:02.345");
  EXPECT_EQ(Find<QLabel>(app.TimeTrial(), "TLabel1").text(), "1:02.345");
}

}  // namespace
