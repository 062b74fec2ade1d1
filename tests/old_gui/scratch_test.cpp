// The scratch / keirin screen with its records, on real windows: the empty
// screen, heat headings, competitor lines, clearing, showing, placement,
// resizing and closing.
#include "platform/string_grid.h"
#include "platform/windows.h"
#include "screens/commenta_tt.h"
#include "screens/commentator_scratchf.h"
#include "support/test_support.h"

#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>

#include <cstdlib>

#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::string>;

constexpr const char* kHeadings = "Rank|Bib|Competitor|NAT|Status|Laps-";

Rows EmptyHeat() {
  return {"Heat Title:|", "Time:|", "Speed:|"};
}

Rows EmptyCompetitors() {
  Rows rows(51, "|||||");
  rows[0] = kHeadings;
  return rows;
}

Tcommentator_scratch& Screen(CommentatorFixture& fixture) {
  return *fixture.windows->commentator_scratch;
}

// A competitor line and a heat heading, so that a clearing shows.
void FillSomething(CommentatorFixture& fixture) {
  fixture.Dispatch("{scratch}+{title}Old heat{time}1:00{spd}40");
  fixture.Dispatch("{scratch}+{list}0{rank}1{name}Old rider");
  ASSERT_EQ(GridRow(*Screen(fixture).StringGrid2, 1), "1||Old rider|||");
}

TEST(ScratchScreen, CreatedHiddenWithEmptyGridsAndClearScreenRestoresThem) {
  CommentatorFixture fixture;
  Tcommentator_scratch& screen = Screen(fixture);
  EXPECT_FALSE(screen.isVisible());
  EXPECT_EQ(screen.objectName(), "commentator_scratch");
  EXPECT_EQ(screen.windowTitle(), "Commentator Screen, Scratch / Keiren");
  EXPECT_EQ(GridRows(*screen.StringGrid1), EmptyHeat());
  EXPECT_EQ(GridRows(*screen.StringGrid2), EmptyCompetitors());

  for (int col = 0; col < 6; ++col) {
    for (int row = 0; row < 51; ++row) {
      screen.StringGrid2->SetCell(col, row, "x");
    }
  }
  screen.StringGrid1->SetCell(0, 2, "x");
  screen.StringGrid1->SetCell(1, 1, "x");
  screen.ClearScreen();
  EXPECT_EQ(GridRows(*screen.StringGrid1), EmptyHeat());
  EXPECT_EQ(GridRows(*screen.StringGrid2), EmptyCompetitors());
}

TEST(ScratchScreen, WindowAndGridsAsDesigned) {
  CommentatorFixture fixture;
  Tcommentator_scratch& screen = Screen(fixture);
  fixture.Dispatch("{scratch}+{clr}+");
  Settle();

  const Qt::WindowFlags flags = screen.windowFlags();
  EXPECT_TRUE(flags.testFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint));
  EXPECT_FALSE(flags & (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                        Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(screen.size(), QSize(840, 666));
  EXPECT_EQ(screen.palette().color(QPalette::Window), QColor(166, 202, 240));
  EXPECT_EQ(screen.GroupBox1->title(), "Event Info / Metrics");
  EXPECT_EQ(screen.GroupBox2->title(), "Competitors");

  StringGrid& heat = *screen.StringGrid1;
  StringGrid& competitors = *screen.StringGrid2;
  EXPECT_EQ(heat.accessibleName(), "Heat information");
  EXPECT_EQ(competitors.accessibleName(), "Competitors");
  EXPECT_EQ(heat.Model().FixedRows() + heat.Model().FixedCols(), 0);
  EXPECT_FALSE(heat.horizontalHeader()->isVisible());
  EXPECT_EQ(competitors.Model().FixedRows(), 1);
  EXPECT_EQ(competitors.Model().FixedCols(), 0);
  EXPECT_TRUE(competitors.horizontalHeader()->isVisible());
  EXPECT_EQ(competitors.horizontalHeader()->height(), 24);
  EXPECT_EQ(competitors.horizontalHeader()->font(), competitors.font()) << "headings in grid type";
  EXPECT_EQ(heat.rowHeight(0), 24);
  EXPECT_EQ(competitors.rowHeight(49), 24);
  EXPECT_EQ((std::vector<int>{heat.columnWidth(0), heat.columnWidth(1)}),
            (std::vector<int>{140, 400}));
  std::vector<int> widths;
  for (int col = 0; col < 6; ++col) {
    widths.push_back(competitors.columnWidth(col));
  }
  EXPECT_EQ(widths, (std::vector<int>{60, 60, 360, 60, 60, 60}));
  for (StringGrid* grid : {&heat, &competitors}) {
    EXPECT_EQ(grid->BackgroundColour(), QColor(0, 0, 0));
    EXPECT_EQ(grid->TextColour(), QColor(255, 255, 255));
    EXPECT_EQ(grid->FixedColour(), QColor(128, 0, 128));
    EXPECT_TRUE(grid->font().bold());
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  }
  EXPECT_EQ(heat.font().pixelSize(), 19);
  EXPECT_EQ(competitors.font().pixelSize(), 16);

  // The heat grid fits; the 50 competitor rows need a vertical scroll bar.
  EXPECT_FALSE(heat.verticalScrollBar()->isVisible());
  EXPECT_FALSE(heat.horizontalScrollBar()->isVisible());
  EXPECT_TRUE(competitors.verticalScrollBar()->isVisible());
  EXPECT_FALSE(competitors.horizontalScrollBar()->isVisible());

  EXPECT_EQ(screen.Image1->pixmap().size(), QSize(90, 79));
  EXPECT_FALSE(screen.Image1->hasScaledContents());
  EXPECT_EQ(screen.Image2->pixmap().size(), QSize(220, 67));
  EXPECT_TRUE(screen.Image2->hasScaledContents());
  EXPECT_EQ(screen.Image2->size(), QSize(177, 45));
}

struct PositionCase {
  const char* name;
  std::string list;  // the "{list}" part of the record
  int row;           // the row written, -1 for none
};

class CompetitorPositionTest : public ::testing::TestWithParam<PositionCase> {};

TEST_P(CompetitorPositionTest, GoesToRowAfterPosition) {
  const PositionCase& c = GetParam();
  CommentatorFixture fixture;
  fixture.Dispatch("{scratch}+" + c.list +
                   "{rank}1{bib}12{name}A. Rider{nat}GBR{status}lead{laps}5");
  Tcommentator_scratch& screen = Screen(fixture);
  EXPECT_TRUE(screen.isVisible()) << "shown whatever the position";
  Rows expected = EmptyCompetitors();
  if (c.row >= 0) {
    expected[c.row] = "1|12|A. Rider|GBR|lead|5";
  }
  EXPECT_EQ(GridRows(*screen.StringGrid2), expected);
  EXPECT_EQ(GridRows(*screen.StringGrid1), EmptyHeat());
}

INSTANTIATE_TEST_SUITE_P(Positions, CompetitorPositionTest,
                         ::testing::Values(PositionCase{"first", "{list}0", 1},
                                           PositionCase{"last", "{list}49", 50},
                                           PositionCase{"past_last", "{list}50", -1},
                                           PositionCase{"negative", "{list}-1", -1},
                                           PositionCase{"word", "{list}abc", 1},
                                           PositionCase{"missing", "", 1},
                                           PositionCase{"empty", "{list}", 1},
                                           PositionCase{"trailing_blank", "{list} 7 ", 8},
                                           PositionCase{"minus_stopped_by_letter", "{list}-3x", 4},
                                           PositionCase{"hex", "{list}$1F", 32},
                                           PositionCase{"overflow", "{list}99999999999", -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScratchRecords, LaterLineRewritesTheWholeRowAndOnlyThatRow) {
  CommentatorFixture fixture;
  fixture.Dispatch("{scratch}+{title}Keirin final{time}2:31{spd}61.2");
  fixture.Dispatch("{scratch}+{list}0{rank}1{name}Keep");
  fixture.Dispatch("{scratch}+{list}4{rank}2{bib}12{name}A{nat}GBR{status}ok{laps}3");
  fixture.Dispatch("{scratch}+{laps}2{list}4{bib}7{name}B");
  Rows expected = EmptyCompetitors();
  expected[1] = "1||Keep|||";
  expected[5] = "|7|B|||2";
  const Tcommentator_scratch& screen = Screen(fixture);
  EXPECT_EQ(GridRows(*screen.StringGrid2), expected);
  EXPECT_EQ(GridRows(*screen.StringGrid1),
            (Rows{"Heat Title:|Keirin final", "Time:|2:31", "Speed:|61.2"}));
}

struct HeadingCase {
  const char* name;
  std::string record;
  Rows heat;
};

class HeatHeadingTest : public ::testing::TestWithParam<HeadingCase> {};

TEST_P(HeatHeadingTest, ClearsThenWritesTitleTimeAndSpeed) {
  const HeadingCase& c = GetParam();
  CommentatorFixture fixture;
  FillSomething(fixture);
  fixture.Dispatch(c.record);
  EXPECT_EQ(GridRows(*Screen(fixture).StringGrid1), c.heat);
  EXPECT_EQ(GridRows(*Screen(fixture).StringGrid2), EmptyCompetitors());
}

INSTANTIATE_TEST_SUITE_P(
    Headings, HeatHeadingTest,
    ::testing::Values(
        HeadingCase{"all_three",
                    "{scratch}+{title}Men Keirin Heat 2{time}10:42.1{spd}56.3 km/h",
                    {"Heat Title:|Men Keirin Heat 2", "Time:|10:42.1", "Speed:|56.3 km/h"}},
        HeadingCase{"empty_title",
                    "{scratch}+{title}{time}3:10",
                    {"Heat Title:|", "Time:|3:10", "Speed:|"}},
        HeadingCase{
            "title_tag_last", "{scratch}+{spd}50{title}", {"Heat Title:|", "Time:|", "Speed:|50"}},
        HeadingCase{"competitor_tags_ignored",
                    "{scratch}+{list}3{name}Ignored{title} Final ",
                    {"Heat Title:| Final ", "Time:|", "Speed:|"}}),
    [](const auto& info) { return std::string(info.param.name); });

class ClearRecordTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ClearRecordTest, OnlyClearsAndEndsTheRecord) {
  CommentatorFixture fixture;
  FillSomething(fixture);
  fixture.Dispatch(GetParam());
  const Tcommentator_scratch& screen = Screen(fixture);
  EXPECT_EQ(GridRows(*screen.StringGrid1), EmptyHeat());
  EXPECT_EQ(GridRows(*screen.StringGrid2), EmptyCompetitors());
  EXPECT_FALSE(fixture.windows->tt_commentator_form->isVisible())
      << "the later families of the record are not handled";
}

INSTANTIATE_TEST_SUITE_P(Clearing, ClearRecordTest,
                         ::testing::Values("{scratch}+{clr}+{title}New heat{time}1:00",
                                           "{scratch}+{clr}+{tt}+", "{tt}+{clr}+{scratch}+",
                                           "{clr}+{list}0{name}X{tt}+{scratch}+"));

TEST(ScratchRecords, ClearFlagNeedsALonePlus) {
  CommentatorFixture fixture;
  FillSomething(fixture);
  fixture.Dispatch("{scratch}+{clr}++{list}2{name}Still listed");
  const Tcommentator_scratch& screen = Screen(fixture);
  EXPECT_EQ(GridRow(*screen.StringGrid2, 1), "1||Old rider|||");
  EXPECT_EQ(GridRow(*screen.StringGrid2, 3), "||Still listed|||");
  EXPECT_EQ(screen.StringGrid1->Cell(1, 0), "Old heat");
}

class NotScratchTest : public ::testing::TestWithParam<std::string> {};

TEST_P(NotScratchTest, NeitherShowsNorChangesTheScreen) {
  CommentatorFixture fixture;
  fixture.Dispatch(GetParam());
  const Tcommentator_scratch& screen = Screen(fixture);
  EXPECT_FALSE(screen.isVisible());
  EXPECT_EQ(GridRows(*screen.StringGrid1), EmptyHeat());
  EXPECT_EQ(GridRows(*screen.StringGrid2), EmptyCompetitors());
}

INSTANTIATE_TEST_SUITE_P(FlagValues, NotScratchTest,
                         ::testing::Values("{scratch}++{list}0{name}A", "{scratch} +{list}0{name}A",
                                           "{scratch}+ {list}0{name}A", "{scratch}{title}T",
                                           "{scratch}1{clr}+", "{SCRATCH}+{list}0{name}A",
                                           "{list}0{name}A{title}T"));

TEST(ScratchScreen, OnlyAChangeFromHiddenToVisibleClears) {
  CommentatorFixture fixture;
  Tcommentator_scratch& screen = Screen(fixture);
  screen.StringGrid1->SetCell(1, 0, "stale");
  screen.StringGrid2->SetCell(2, 10, "stale");

  fixture.Dispatch("{scratch}+{list}0{name}First");
  Rows expected = EmptyCompetitors();
  expected[1] = "||First|||";
  EXPECT_EQ(GridRows(*screen.StringGrid2), expected) << "first showing clears before writing";
  EXPECT_EQ(GridRows(*screen.StringGrid1), EmptyHeat());

  ShowAndRaise(&screen);
  fixture.Dispatch("{scratch}+{list}1{name}Second");
  expected[2] = "||Second|||";
  EXPECT_EQ(GridRows(*screen.StringGrid2), expected) << "showing a visible window keeps it";

  screen.hide();
  fixture.Dispatch("{scratch}+{list}2{name}Third");
  expected = EmptyCompetitors();
  expected[3] = "||Third|||";
  EXPECT_EQ(GridRows(*screen.StringGrid2), expected);
}

struct PlacementCase {
  const char* name;
  QPoint main_window;
  QPoint expected;
};

class PlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PlacementTest, FirstShowingCentresOverTheMainWindowThenStaysPut) {
  const PlacementCase& c = GetParam();
  CommentatorFixture fixture;
  // The main window at its designed outer size, whatever frame the platform draws.
  Tcommentator0_form& main_window = fixture.Main();
  const QSize frame = main_window.frameGeometry().size() - main_window.size();
  main_window.move(c.main_window);
  main_window.resize(QSize(812, 656) - (frame.isEmpty() ? kDesignFrame : frame));
  Settle();
  ASSERT_EQ(OuterGeometry(&main_window), QRect(c.main_window, QSize(812, 656)));

  fixture.Dispatch("{scratch}+{clr}+");
  Tcommentator_scratch& screen = Screen(fixture);
  EXPECT_EQ(OuterGeometry(&screen).topLeft(), c.expected);
  EXPECT_EQ(screen.size(), QSize(840, 666));

  screen.move(200, 150);
  screen.hide();
  main_window.move(0, 0);
  fixture.Dispatch("{scratch}+{clr}+");
  EXPECT_EQ(OuterGeometry(&screen).topLeft(), QPoint(200, 150)) << "placed only once";
}

INSTANTIATE_TEST_SUITE_P(
    MainWindowPlaces, PlacementTest,
    ::testing::Values(PlacementCase{"startup_on_1024x768", {106, 56}, {88, 38}},
                      PlacementCase{"negative_raised_to_zero", {0, 10}, {0, 0}},
                      PlacementCase{"elsewhere", {301, 201}, {283, 183}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScratchScreen, ControlsFollowTheClientArea) {
  CommentatorFixture fixture;
  Tcommentator_scratch& screen = Screen(fixture);
  fixture.Dispatch("{scratch}+{clr}+");

  screen.resize(1040, 766);
  Settle();
  auto right_gap = [](const QWidget* child) {
    return child->parentWidget()->width() - (child->x() + child->width());
  };
  EXPECT_EQ(screen.GroupBox1->geometry(), QRect(116, 12, 589, 113));
  EXPECT_EQ(screen.StringGrid1->geometry(), QRect(12, 16, 561, 89));
  EXPECT_EQ(screen.GroupBox2->geometry(), QRect(24, 140, 1010, 617));
  EXPECT_EQ(screen.StringGrid2->geometry(), QRect(12, 16, 990, 593));
  EXPECT_EQ(right_gap(screen.Image1), 66);
  EXPECT_EQ(right_gap(screen.Image2), 19);
  EXPECT_EQ(screen.Image1->geometry(), QRect(885, 4, 89, 81));
  EXPECT_EQ(screen.Image2->geometry(), QRect(844, 92, 177, 45));

  screen.resize(840, 666);
  Settle();
  EXPECT_EQ(screen.GroupBox1->geometry(), QRect(37, 12, 589, 113));
  EXPECT_EQ(screen.GroupBox2->geometry(), QRect(24, 140, 810, 517));
  EXPECT_EQ(screen.StringGrid2->geometry(), QRect(12, 16, 790, 493));
  EXPECT_EQ(screen.Image1->geometry(), QRect(685, 4, 89, 81));
  EXPECT_EQ(screen.Image2->geometry(), QRect(644, 92, 177, 45));
}

TEST(ScratchScreen, ClosingEndsTheProgram) {
  CommentatorFixture fixture;
  fixture.Dispatch("{scratch}+{list}0{name}A");
  EXPECT_TRUE(fixture.ClosingEndsProgram(fixture.windows->commentator_scratch.get()));
}

TEST(ScratchRecords, RecordArrivingWhileTheScreenIsDrawnIsHandledFirstAndApart) {
  CommentatorFixture fixture;
  fixture.Dispatch("{scratch}+{clr}+");
  Settle();
  // Queued before the outer record: its handling lets the event loop run,
  // which receives this one and handles it completely, nested.
  SendDatagram(fixture.Port1(), "{scratch}+{list}1{name}Nested");
  fixture.Dispatch("{scratch}+{list}0{name}Outer");
  EXPECT_EQ(fixture.Log(), (Rows{"127.0.0.1>{scratch}+{list}1{name}Nested"}));
  EXPECT_EQ(fixture.Main().MaxReceiveDepthSeen(), 1);
  const StringGrid& grid = *Screen(fixture).StringGrid2;
  EXPECT_EQ(GridRow(grid, 1), "||Outer|||");
  EXPECT_EQ(GridRow(grid, 2), "||Nested|||");
}

TEST(ScratchScreen, Screenshot) {
  const char* dir = std::getenv("ORVANE_SCREENSHOT_DIR");
  if (dir == nullptr || *dir == '\0') {
    GTEST_SKIP() << "set ORVANE_SCREENSHOT_DIR to save a picture of the screen";
  }
  CommentatorFixture fixture;
  fixture.Dispatch("{scratch}+{title}Men's Keirin - Round 1 Heat 2{time}10:42.317{spd}61.284 km/h");
  const char* riders[][6] = {
      {"1", "21", "HOLLAND Jeffrey", "NED", "", "0"},
      {"2", "7", "RICHARDSON Matthew", "AUS", "", "0"},
      {"3", "14", "LAVREYSEN Harrie", "NED", "", "0"},
      {"4", "3", "CARLIN Jack", "GBR", "", "0"},
      {"5", "30", "BUCHLI Matthijs", "NED", "", "0"},
      {"6", "11", "SAHROM Muhammad Shah Firdaus", "MAS", "REL", "0"},
      {"7", "19", "VIGIER Sebastien", "FRA", "", "1"},
      {"8", "2", "PAUL Nicholas", "TTO", "", "1"},
      {"9", "25", "BOTTICHER Stefan", "GER", "", "1"},
      {"10", "8", "OBARA Yuta", "JPN", "", "2"},
      {"11", "16", "DORNBACH Maximilian", "GER", "DNF", ""},
      {"", "27", "MITCHELL Sam", "NZL", "DNS", ""},
  };
  int position = 0;
  for (const auto& rider : riders) {
    fixture.Dispatch("{scratch}+{list}" + std::to_string(position++) + "{rank}" + rider[0] +
                     "{bib}" + rider[1] + "{name}" + rider[2] + "{nat}" + rider[3] + "{status}" +
                     rider[4] + "{laps}" + rider[5]);
  }
  Settle();
  const QString path = QDir(QString::fromLocal8Bit(dir)).filePath("scratch_screen.png");
  QDir().mkpath(QString::fromLocal8Bit(dir));
  ASSERT_TRUE(Screen(fixture).grab().save(path));
  std::printf("screenshot: %s\n", path.toLocal8Bit().constData());
}

}  // namespace
