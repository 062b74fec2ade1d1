#include "support/test_support.h"

#include "app/globals.h"
#include "platform/string_grid.h"
#include "platform/windows.h"
#include "screens/commenta_pts.h"
#include "screens/commenta_tt.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

const char* const kEmptyStandingsRow = "|||||||";  // eight empty cells

std::string StandingsRecord(int position, const std::string& name) {
  return "{ptsrace}+{standings}" + std::to_string(position) + "{rnk}" +
         std::to_string(position + 1) + "{bib}" + std::to_string(100 + position) + "{name}" + name +
         "{status}OK{pts}" + std::to_string(20 - position) + "{laps}+1{vics}2{secs}7{final}F";
}

std::string SprintRecord(int sprint, const std::string& sprint_name) {
  std::string record = "{ptsrace}+{sprint}" + std::to_string(sprint) + "{sname}" + sprint_name;
  for (int rider = 1; rider <= 5; ++rider) {
    record += "{name" + std::to_string(rider) + "}R" + std::to_string(rider) + "{pts" +
              std::to_string(rider) + "}" + std::to_string(6 - rider);
  }
  return record;
}

std::vector<std::string> ComboEntries(const QComboBox& combo) {
  std::vector<std::string> entries;
  for (int i = 0; i < combo.count(); ++i) {
    entries.push_back(combo.itemText(i).toStdString());
  }
  return entries;
}

std::vector<std::string> FreshEntries() {
  std::vector<std::string> entries;
  for (int i = 1; i <= 30; ++i) {
    entries.push_back(std::to_string(i));
  }
  return entries;
}

std::vector<std::string> StoreRow(const StringGridModel& store, int row) {
  std::vector<std::string> cells;
  for (int col = 0; col < store.ColCount(); ++col) {
    cells.push_back(store.Cell(col, row));
  }
  return cells;
}

// What StringGrid2 shows for a sprint with no results.
const std::vector<std::string> kNoSprintRows = {
    "Rank|Name|Points", "1||", "2||", "3||", "4||", "5||"};
const std::vector<std::string> kSprintRiderRows = {"Rank|Name|Points", "1|R1|5", "2|R2|4",
                                                   "3|R3|3",           "4|R4|2", "5|R5|1"};

// The commentator stepping the chooser down one entry from the keyboard.
void PressDown(QComboBox& combo) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QCoreApplication::sendEvent(&combo, &press);
}

class PointsRace : public ::testing::Test {
 protected:
  Tptsrace_commentator_form& Screen() { return *fixture.windows->ptsrace_commentator_form; }
  StringGrid& Standings() { return *Screen().StringGrid1; }
  StringGrid& Shown() { return *Screen().StringGrid2; }
  StringGridModel& Store() { return *Screen().StringGrid3; }
  QComboBox& Chooser() { return *Screen().ComboBox1; }

  CommentatorFixture fixture;
};

TEST_F(PointsRace, BuiltHiddenWithHeadingsAndThirtySprintEntries) {
  EXPECT_FALSE(Screen().isVisible());
  EXPECT_EQ(GridRow(Standings(), 0), "Rank|Name|Status|Pts|Laps|||Final");
  EXPECT_EQ(Standings().RowCount(), 60);
  for (int row = 1; row < 60; ++row) {
    ASSERT_EQ(GridRow(Standings(), row), kEmptyStandingsRow) << row;
  }
  EXPECT_EQ(
      (std::vector<int>{40, 120, 40, 40, 40, 0, 0, 40}),
      (std::vector<int>{Standings().ColWidth(0), Standings().ColWidth(1), Standings().ColWidth(2),
                        Standings().ColWidth(3), Standings().ColWidth(4), Standings().ColWidth(5),
                        Standings().ColWidth(6), Standings().ColWidth(7)}));
  EXPECT_EQ(GridRows(Shown()),
            (std::vector<std::string>{"Rank|Name|Points", "||", "||", "||", "||", "||"}));
  EXPECT_EQ(Shown().ColWidth(1), 180);
  EXPECT_EQ(ComboEntries(Chooser()), FreshEntries());
  EXPECT_EQ(Chooser().currentIndex(), 0);
  EXPECT_FALSE(Chooser().isEditable());
  EXPECT_EQ(Chooser().maxVisibleItems(), 8);
  EXPECT_EQ(Store().ColCount(), 15);
  EXPECT_EQ(Store().RowCount(), 30);
}

TEST_F(PointsRace, FirstRecordShowsScreenOverWholeScreenInDisplayColours) {
  fixture.Dispatch("{ptsrace}+");
  ASSERT_TRUE(Screen().isVisible());
  Settle();
  // The offscreen screen is 800 pixels wide, narrower than the main window.
  ASSERT_EQ(PrimaryScreenSize().width(), 800);
  EXPECT_EQ(Screen().pos(), QPoint(0, 0));
  EXPECT_EQ(Screen().size(), PrimaryScreenSize() - kDesignFrame);
  EXPECT_EQ(Standings().ColWidth(1), 120);
  EXPECT_EQ(Screen().focusWidget(), &Standings());

  const globals::DisplayColours& display = globals::display_colours;
  for (const StringGrid* grid : {&Standings(), &Shown()}) {
    EXPECT_EQ(grid->BackgroundColour(), display.background);
    EXPECT_EQ(grid->TextColour(), display.text);
    EXPECT_EQ(grid->FixedColour(), display.heading);
  }
  for (const QWidget* part :
       {static_cast<const QWidget*>(&Chooser()), static_cast<const QWidget*>(Chooser().view())}) {
    EXPECT_EQ(part->palette().color(QPalette::Base), display.background);
    EXPECT_EQ(part->palette().color(QPalette::Button), display.background);
    EXPECT_EQ(part->palette().color(QPalette::Text), display.text);
    EXPECT_EQ(part->palette().color(QPalette::ButtonText), display.text);
  }
}

TEST_F(PointsRace, StandingsPositionZeroStartsANewTable) {
  fixture.Dispatch(StandingsRecord(7, "OLD"));
  ASSERT_EQ(GridRow(Standings(), 8), "8|107 OLD|OK|13|+1|2|7|F");

  fixture.Dispatch(StandingsRecord(0, "ADAMS A"));
  EXPECT_EQ(GridRow(Standings(), 0), "Rank|Name|Status|Pts|Laps|||Final");
  EXPECT_EQ(GridRow(Standings(), 1), "1|100 ADAMS A|OK|20|+1|2|7|F");
  EXPECT_EQ(GridRow(Standings(), 8), kEmptyStandingsRow);

  fixture.Dispatch(StandingsRecord(1, "BROWN B"));
  fixture.Dispatch(StandingsRecord(2, "CLARK C"));
  EXPECT_EQ(GridRow(Standings(), 1), "1|100 ADAMS A|OK|20|+1|2|7|F");
  EXPECT_EQ(GridRow(Standings(), 2), "2|101 BROWN B|OK|19|+1|2|7|F");
  EXPECT_EQ(GridRow(Standings(), 3), "3|102 CLARK C|OK|18|+1|2|7|F");
  EXPECT_EQ(GridRow(Standings(), 4), kEmptyStandingsRow);
}

TEST_F(PointsRace, StandingsPositionsAtAndBeyondTheEdges) {
  struct Case {
    std::string record;
    int row;               // the row written, or -1 for none
    std::string expected;  // that row's content
  };
  const std::vector<Case> cases = {
      {StandingsRecord(58, "LAST"), 59, "59|158 LAST|OK|-38|+1|2|7|F"},
      {StandingsRecord(59, "OUT"), -1, ""},
      {StandingsRecord(-1, "NEG"), -1, ""},
      // An empty position is no position at all, not position 0.
      {"{ptsrace}+{standings}{rnk}1{name}EMPTY", -1, ""},
      {"{ptsrace}+{standings}4{rnk}5", 5, "5| ||||||"},
  };
  fixture.Dispatch(StandingsRecord(0, "KEEP"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    std::vector<std::string> expected = GridRows(Standings());
    if (c.row >= 0) {
      expected[static_cast<size_t>(c.row)] = c.expected;
    }
    fixture.Dispatch(c.record);
    EXPECT_EQ(GridRows(Standings()), expected);
  }
}

TEST(PointsRaceCases, SprintRenamesItsEntryAndKeepsTheChoice) {
  for (int chosen : {0, 3}) {
    SCOPED_TRACE(chosen);
    CommentatorFixture own;
    Tptsrace_commentator_form& screen = *own.windows->ptsrace_commentator_form;
    screen.ComboBox1->setCurrentIndex(chosen);

    own.Dispatch(SprintRecord(3, "Sprint four"));

    std::vector<std::string> entries = FreshEntries();
    entries[3] = "Sprint four";
    EXPECT_EQ(ComboEntries(*screen.ComboBox1), entries);
    EXPECT_EQ(screen.ComboBox1->currentIndex(), chosen);
    EXPECT_EQ(StoreRow(*screen.StringGrid3, 3),
              (std::vector<std::string>{"R1", "5", "R2", "4", "R3", "3", "R4", "2", "R5", "1", "",
                                        "", "", "", ""}));
    EXPECT_EQ(GridRows(*screen.StringGrid2), chosen == 3 ? kSprintRiderRows : kNoSprintRows);
  }
}

TEST_F(PointsRace, SprintWithoutNameEmptiesItsEntry) {
  fixture.Dispatch("{ptsrace}+{sprint}5{name1}SOLO{pts1}5");
  EXPECT_EQ(Chooser().itemText(5), "");
  EXPECT_EQ(Store().Cell(0, 5), "SOLO");
}

TEST_F(PointsRace, SprintOutOfRangeOnlyRefreshesTheShownSprint) {
  // Put results in the store behind the screen's back, so only a refresh shows them.
  Store().SetCell(0, 0, "WAITING");
  Store().SetCell(1, 0, "9");
  const std::vector<std::string> store_before = StoreRow(Store(), 0);

  fixture.Dispatch(SprintRecord(30, "Nowhere"));

  EXPECT_EQ(ComboEntries(Chooser()), FreshEntries());
  EXPECT_EQ(StoreRow(Store(), 0), store_before);
  EXPECT_EQ(GridRow(Shown(), 1), "1|WAITING|9");
  EXPECT_EQ(GridRow(Shown(), 2), "2||");
}

TEST_F(PointsRace, EmptySprintNumberIsNoSprint) {
  Store().SetCell(0, 0, "WAITING");
  fixture.Dispatch("{ptsrace}+{sprint}{sname}Zero{name1}R1{pts1}5");

  EXPECT_TRUE(Screen().isVisible());
  EXPECT_EQ(ComboEntries(Chooser()), FreshEntries());
  EXPECT_EQ(Store().Cell(0, 0), "WAITING");
  EXPECT_EQ(GridRow(Shown(), 1), "||");  // not refreshed
}

TEST_F(PointsRace, StandingsAndSprintInOneRecord) {
  fixture.Dispatch(StandingsRecord(0, "BOTH") + SprintRecord(0, "First").substr(10));
  EXPECT_EQ(GridRow(Standings(), 1), "1|100 BOTH|OK|20|+1|2|7|F");
  EXPECT_EQ(Chooser().itemText(0), "First");
  EXPECT_EQ(GridRows(Shown()), kSprintRiderRows);
}

TEST_F(PointsRace, ChoosingASprintShowsItOnlyWhenTheCommentatorChooses) {
  fixture.Dispatch(SprintRecord(1, "Second"));
  ASSERT_EQ(GridRows(Shown()), kNoSprintRows);  // entry 0 is chosen

  PressDown(Chooser());
  ASSERT_EQ(Chooser().currentIndex(), 1);
  EXPECT_EQ(GridRows(Shown()), kSprintRiderRows);

  Chooser().setCurrentIndex(0);  // from code: nothing shown changes
  EXPECT_EQ(GridRows(Shown()), kSprintRiderRows);

  Screen().ClearGrids();
  for (const StringGrid* grid : {&Standings(), &Shown()}) {
    for (const std::string& row : GridRows(*grid)) {
      EXPECT_EQ(row, std::string(static_cast<size_t>(grid->ColCount() - 1), '|'));
    }
  }
  for (int row = 0; row < Store().RowCount(); ++row) {
    EXPECT_EQ(StoreRow(Store(), row), std::vector<std::string>(15)) << row;
  }
  EXPECT_EQ(Chooser().itemText(1), "Second");
  EXPECT_EQ(Chooser().currentIndex(), 0);

  PressDown(Chooser());
  EXPECT_EQ(GridRows(Shown()), (std::vector<std::string>{"||", "1||", "2||", "3||", "4||", "5||"}));
}

TEST(PointsRaceCases, ClearEndsTheRecordOtherwiseTimeTrialFollows) {
  struct Case {
    std::string record;
    bool cleared;
  };
  for (const Case& c : {Case{"{ptsrace}+{clr}+{tt}+{standings}0{name}NOT", true},
                        Case{"{ptsrace}+{tt}+{standings}0{name}WRITTEN", false}}) {
    SCOPED_TRACE(c.record);
    CommentatorFixture own;
    Tptsrace_commentator_form& screen = *own.windows->ptsrace_commentator_form;
    own.Dispatch(StandingsRecord(3, "EARLIER"));
    own.Dispatch(SprintRecord(0, "Renamed"));
    screen.ComboBox1->setCurrentIndex(2);

    own.Dispatch(c.record);

    EXPECT_EQ(own.windows->tt_commentator_form->isVisible(), !c.cleared);
    EXPECT_EQ(GridRow(*screen.StringGrid1, 0),
              c.cleared ? kEmptyStandingsRow : "Rank|Name|Status|Pts|Laps|||Final");
    EXPECT_EQ(GridRow(*screen.StringGrid1, 1), c.cleared ? kEmptyStandingsRow : "| WRITTEN||||||");
    EXPECT_EQ(GridRow(*screen.StringGrid1, 4), kEmptyStandingsRow);
    EXPECT_EQ(screen.StringGrid3->Cell(0, 0), c.cleared ? "" : "R1");
    EXPECT_EQ(GridRow(*screen.StringGrid2, 0), c.cleared ? "||" : "Rank|Name|Points");
    EXPECT_EQ(screen.ComboBox1->itemText(0), "Renamed");
    EXPECT_EQ(screen.ComboBox1->currentIndex(), 2);
  }
}

TEST_F(PointsRace, NameColumnWidensOnlyOnScreensWiderThan800) {
  fixture.Dispatch("{ptsrace}+");
  for (int width : {800, 801}) {
    SCOPED_TRACE(width);
    Screen().FitToScreen(QSize(width, 600));
    Settle();
    EXPECT_EQ(Screen().pos(), QPoint(0, 0));
    EXPECT_EQ(Screen().size(), QSize(width, 600) - kDesignFrame);
    EXPECT_EQ(Standings().ColWidth(1), width > 800 ? 240 : 120);
  }
  // Once wide, a narrower screen does not narrow it again.
  Screen().FitToScreen(QSize(800, 600));
  EXPECT_EQ(Standings().ColWidth(1), 240);
}

TEST_F(PointsRace, LargerScreenGrowsStandingsAndKeepsTheRightHandSide) {
  fixture.Dispatch("{ptsrace}+");
  Screen().FitToScreen(QSize(1024, 768));
  const QSize client(1016, 741);
  ASSERT_TRUE(WaitUntil([&] { return Screen().size() == client; }));
  Settle();

  EXPECT_EQ(Screen().pos(), QPoint(0, 0));
  EXPECT_EQ(Screen().GroupBox1->geometry(), QRect(8, 8, 1016 - 339 - 8, 741 - 12 - 8));
  EXPECT_EQ(Standings().geometry(), QRect(12, 16, 669 - 24, 721 - 28));
  EXPECT_EQ(Screen().GroupBox2->geometry(), QRect(1016 - 7 - 325, 8, 325, 265));
  EXPECT_EQ(Chooser().geometry(), QRect(16, 20, 289, 24));
  EXPECT_EQ(Shown().geometry(), QRect(8, 52, 313, 205));
  EXPECT_EQ(Screen().Image1->geometry(), QRect(1016 - 125 - 105, 741 - 12 - 109, 105, 109));
}

TEST_F(PointsRace, ClosingTheScreenEndsTheProgram) {
  fixture.Dispatch("{ptsrace}+");
  EXPECT_TRUE(fixture.ClosingEndsProgram(&Screen()));
}

TEST_F(PointsRace, Screenshot) {
  const QByteArray dir = qgetenv("ORVANE_SCREENSHOT_DIR");
  if (dir.isEmpty()) {
    GTEST_SKIP() << "set ORVANE_SCREENSHOT_DIR to save a picture of the screen";
  }
  const char* const riders[] = {"HOFFMANN K",  "DE VRIES M", "O'NEILL S", "MARTINEZ J",
                                "KOWALSKI P",  "ANDERSEN L", "DUBOIS A",  "ROSSI G",
                                "TANAKA H",    "MÜLLER F",   "NOVAK T",   "WALSH C",
                                "BERGSTRÖM E", "FERREIRA R"};
  int position = 0;
  for (const char* rider : riders) {
    const std::string name(QString::fromUtf8(rider).toLatin1().constData());
    fixture.Dispatch("{ptsrace}+{standings}" + std::to_string(position) + "{rnk}" +
                     std::to_string(position + 1) + "{bib}" + std::to_string(11 + 7 * position) +
                     "{name}" + name + "{status}" + (position == 12 ? "DNF" : "") + "{pts}" +
                     std::to_string(position == 12 ? 0 : 31 - 2 * position) + "{laps}" +
                     (position < 2 ? "+1" : "") + "{final}" + std::to_string(position % 4));
    ++position;
  }
  fixture.Dispatch(
      "{ptsrace}+{sprint}0{sname}Sprint 1 - lap 10{name1}11 HOFFMANN K{pts1}5"
      "{name2}25 O'NEILL S{pts2}3{name3}18 DE VRIES M{pts3}2{name4}39 ANDERSEN L{pts4}1"
      "{name5}32 KOWALSKI P{pts5}0");
  fixture.Dispatch(
      "{ptsrace}+{sprint}1{sname}Sprint 2 - lap 20{name1}18 DE VRIES M{pts1}5"
      "{name2}11 HOFFMANN K{pts2}3{name3}46 DUBOIS A{pts3}2{name4}25 O'NEILL S{pts4}1"
      "{name5}53 ROSSI G{pts5}0");
  PressDown(Chooser());
  Screen().FitToScreen(QSize(1024, 768));
  WaitUntil([&] { return Screen().size() == QSize(1016, 741); });
  Settle();

  QDir().mkpath(QString::fromLocal8Bit(dir));
  const QString file = QDir(QString::fromLocal8Bit(dir)).filePath("points_race.png");
  EXPECT_TRUE(Screen().grab().save(file));
}

}  // namespace
