// Points race records on the screen's data: standings lines, intermediate
// sprints in their store and the chooser, and clearing.
#include "records/columns.h"
#include "records/screen_data.h"
#include "support/record_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::string>;

const char* const kEmptyStandingsRow = "|||||||";  // eight empty cells
const char* const kStandingsHeadings = "Rank|Name|Status|Pts|Laps|||Final";

std::string StandingsRecord(int position, const std::string& name) {
  return "{ptsrace}+{standings}" + std::to_string(position) + "{rnk}" +
         std::to_string(position + 1) + "{bib}" + std::to_string(100 + position) + "{name}" + name +
         "{status}OK{pts}" + std::to_string(20 - position) + "{laps}+1{vics}2{secs}7{final}F";
}

// Riders R1 to R5 with 5 down to 1 points.
std::string SprintRecord(int sprint, const std::string& sprint_name) {
  std::string record = "{ptsrace}+{sprint}" + std::to_string(sprint) + "{sname}" + sprint_name;
  for (int rider = 1; rider <= kSprintPlaces; ++rider) {
    record += "{name" + std::to_string(rider) + "}R" + std::to_string(rider) + "{pts" +
              std::to_string(rider) + "}" + std::to_string(6 - rider);
  }
  return record;
}

Rows FreshEntries() {
  Rows entries;
  for (int i = 1; i <= kSprintCount; ++i) {
    entries.push_back(std::to_string(i));
  }
  return entries;
}

const Rows kEmptySprintRows = {"Rank|Name|Points", "||", "||", "||", "||", "||"};
const Rows kNoSprintRows = {"Rank|Name|Points", "1||", "2||", "3||", "4||", "5||"};
const Rows kSprintRiderRows = {"Rank|Name|Points", "1|R1|5", "2|R2|4",
                               "3|R3|3",           "4|R4|2", "5|R5|1"};

class PointsRace : public ::testing::Test {
 protected:
  PointsRaceData& Data() { return f.data.points_race; }
  const GridModel& Standings() { return Data().standings; }

  RecordsFixture f;
};

TEST_F(PointsRace, StartsWithHeadingsAndThirtyNumberedSprints) {
  EXPECT_EQ(GridRow(Standings(), 0), kStandingsHeadings);
  EXPECT_EQ(Standings().RowCount(), 60);
  for (int row = 1; row < Standings().RowCount(); ++row) {
    ASSERT_EQ(GridRow(Standings(), row), kEmptyStandingsRow) << row;
  }
  EXPECT_EQ(GridRows(Data().shown_sprint), kEmptySprintRows);
  EXPECT_EQ(GridRows(Data().sprint_names), FreshEntries());
  EXPECT_EQ(Data().ChosenSprint(), 0);
  EXPECT_EQ(Data().sprint_store.ColCount(), 15);
  EXPECT_EQ(Data().sprint_store.RowCount(), 30);
  EXPECT_EQ(GridRows(Data().sprint_store), Rows(30, std::string(14, '|')));
}

TEST_F(PointsRace, StandingsPositionZeroStartsANewTable) {
  f.Dispatch(StandingsRecord(7, "OLD"));
  ASSERT_EQ(GridRow(Standings(), 8), "8|107 OLD|OK|13|+1|2|7|F");

  f.Dispatch(StandingsRecord(0, "ADAMS A"));
  EXPECT_EQ(GridRow(Standings(), 0), kStandingsHeadings);
  EXPECT_EQ(GridRow(Standings(), 1), "1|100 ADAMS A|OK|20|+1|2|7|F");
  EXPECT_EQ(GridRow(Standings(), 8), kEmptyStandingsRow);

  f.Dispatch(StandingsRecord(1, "BROWN B"));
  f.Dispatch(StandingsRecord(2, "CLARK C"));
  EXPECT_EQ(GridRow(Standings(), 1), "1|100 ADAMS A|OK|20|+1|2|7|F");
  EXPECT_EQ(GridRow(Standings(), 2), "2|101 BROWN B|OK|19|+1|2|7|F");
  EXPECT_EQ(GridRow(Standings(), 3), "3|102 CLARK C|OK|18|+1|2|7|F");
  EXPECT_EQ(GridRow(Standings(), 4), kEmptyStandingsRow);
  EXPECT_EQ(f.journal, Rows(4, "show points_race"));
}

TEST_F(PointsRace, StandingsPositionsAtAndBeyondTheEdges) {
  struct Case {
    std::string record;
    int row;               // the row written, or -1 for none
    std::string expected;  // that row's content
  };
  const Case cases[] = {
      {StandingsRecord(58, "LAST"), 59, "59|158 LAST|OK|-38|+1|2|7|F"},
      {StandingsRecord(59, "OUT"), -1, ""},
      {StandingsRecord(-1, "NEG"), -1, ""},
      // An empty position is no position at all, not position 0.
      {"{ptsrace}+{standings}{rnk}1{name}EMPTY", -1, ""},
      // The name column joins bib and name with a blank, even when both are missing.
      {"{ptsrace}+{standings}4{rnk}5", 5, "5| ||||||"},
  };
  f.Dispatch(StandingsRecord(0, "KEEP"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    Rows expected = GridRows(Standings());
    if (c.row >= 0) {
      expected[c.row] = c.expected;
    }
    f.Dispatch(c.record);
    EXPECT_EQ(GridRows(Standings()), expected);
  }
}

TEST(PointsRaceSprints, SprintRenamesItsEntryKeepsTheChoiceAndStoresItsRiders) {
  for (int chosen : {0, 3}) {
    SCOPED_TRACE(chosen);
    RecordsFixture f;
    PointsRaceData& data = f.data.points_race;
    data.ChooseSprint(chosen);

    f.Dispatch(SprintRecord(3, "Sprint four"));

    Rows entries = FreshEntries();
    entries[3] = "Sprint four";
    EXPECT_EQ(GridRows(data.sprint_names), entries);
    EXPECT_EQ(data.ChosenSprint(), chosen);
    EXPECT_EQ(GridRow(data.sprint_store, 3), "R1|5|R2|4|R3|3|R4|2|R5|1|||||");
    EXPECT_EQ(GridRows(data.shown_sprint), chosen == 3 ? kSprintRiderRows : kNoSprintRows);
  }
}

TEST_F(PointsRace, SprintWithoutNameEmptiesItsEntry) {
  f.Dispatch("{ptsrace}+{sprint}5{name1}SOLO{pts1}5");
  EXPECT_EQ(Data().sprint_names.Cell(0, 5), "");
  EXPECT_EQ(Data().sprint_store.Cell(0, 5), "SOLO");
  EXPECT_EQ(Data().sprint_store.Cell(1, 5), "5");
}

TEST_F(PointsRace, SprintOutOfRangeOnlyRefreshesTheShownSprint) {
  // Results in the store behind the rules' back, so only a refresh shows them.
  Data().sprint_store.SetCell(0, 0, "WAITING");
  Data().sprint_store.SetCell(1, 0, "9");
  const Rows store_before = GridRows(Data().sprint_store);

  for (int sprint : {30, -1}) {
    SCOPED_TRACE(sprint);
    Data().shown_sprint.SetCell(1, 1, "stale");
    f.Dispatch(SprintRecord(sprint, "Nowhere"));
    EXPECT_EQ(GridRows(Data().sprint_names), FreshEntries());
    EXPECT_EQ(GridRows(Data().sprint_store), store_before);
    EXPECT_EQ(GridRow(Data().shown_sprint, 1), "1|WAITING|9");
    EXPECT_EQ(GridRow(Data().shown_sprint, 2), "2||");
  }
}

TEST_F(PointsRace, EmptySprintNumberIsNoSprint) {
  Data().sprint_store.SetCell(0, 0, "WAITING");
  f.Dispatch("{ptsrace}+{sprint}{sname}Zero{name1}R1{pts1}5");

  EXPECT_EQ(f.journal, Rows({"show points_race"}));
  EXPECT_EQ(GridRows(Data().sprint_names), FreshEntries());
  EXPECT_EQ(Data().sprint_store.Cell(0, 0), "WAITING");
  EXPECT_EQ(GridRows(Data().shown_sprint), kEmptySprintRows) << "not refreshed";
}

TEST_F(PointsRace, StandingsAndSprintInOneRecord) {
  // The sprint record without its "{ptsrace}+", after the standings line.
  f.Dispatch(StandingsRecord(0, "BOTH") + SprintRecord(0, "First").substr(10));
  EXPECT_EQ(GridRow(Standings(), 1), "1|100 BOTH|OK|20|+1|2|7|F");
  EXPECT_EQ(Data().sprint_names.Cell(0, 0), "First");
  EXPECT_EQ(GridRows(Data().shown_sprint), kSprintRiderRows);
}

TEST_F(PointsRace, ASprintIsShownOnlyWhenTheCommentatorChoosesIt) {
  f.Dispatch(SprintRecord(1, "Second"));
  ASSERT_EQ(GridRows(Data().shown_sprint), kNoSprintRows);  // sprint 0 is chosen

  Data().ChooseSprint(1);
  EXPECT_EQ(Data().ChosenSprint(), 1);
  EXPECT_EQ(GridRows(Data().shown_sprint), kSprintRiderRows);

  Data().ChooseSprint(kSprintCount);  // no such entry
  EXPECT_EQ(Data().ChosenSprint(), 1);

  Data().ClearGrids();
  for (const GridModel* grid : {&Data().standings, &Data().shown_sprint, &Data().sprint_store}) {
    const std::string empty_row(static_cast<std::size_t>(grid->ColCount() - 1), '|');
    EXPECT_EQ(GridRows(*grid), Rows(static_cast<std::size_t>(grid->RowCount()), empty_row));
  }
  EXPECT_EQ(Data().sprint_names.Cell(0, 1), "Second");
  EXPECT_EQ(Data().ChosenSprint(), 1);

  // Choosing writes the places again, even over cleared headings.
  Data().ChooseSprint(2);
  EXPECT_EQ(GridRows(Data().shown_sprint), Rows({"||", "1||", "2||", "3||", "4||", "5||"}));
}

TEST(PointsRaceClear, ClearEndsTheRecordOtherwiseTheTimeTrialFollows) {
  struct Case {
    std::string record;
    bool cleared;
  };
  for (const Case& c : {Case{"{ptsrace}+{clr}+{tt}+{standings}0{name}NOT", true},
                        Case{"{ptsrace}+{tt}+{standings}0{name}WRITTEN", false}}) {
    SCOPED_TRACE(c.record);
    RecordsFixture f;
    PointsRaceData& data = f.data.points_race;
    f.Dispatch(StandingsRecord(3, "EARLIER"));
    f.Dispatch(SprintRecord(0, "Renamed"));
    data.ChooseSprint(2);
    f.journal.clear();

    f.Dispatch(c.record);

    EXPECT_EQ(f.journal, c.cleared ? Rows({"show points_race"})
                                   : Rows({"show points_race", "show time_trial"}));
    EXPECT_EQ(GridRow(data.standings, 0), c.cleared ? kEmptyStandingsRow : kStandingsHeadings);
    EXPECT_EQ(GridRow(data.standings, 1), c.cleared ? kEmptyStandingsRow : "| WRITTEN||||||");
    EXPECT_EQ(GridRow(data.standings, 4), kEmptyStandingsRow);
    EXPECT_EQ(data.sprint_store.Cell(0, 0), c.cleared ? "" : "R1");
    EXPECT_EQ(GridRow(data.shown_sprint, 0), c.cleared ? "||" : "Rank|Name|Points");
    EXPECT_EQ(data.sprint_names.Cell(0, 0), "Renamed");
    EXPECT_EQ(data.ChosenSprint(), 2);
    EXPECT_EQ(GridRow(f.data.time_trial.standings, 1), c.cleared ? "|||" : "|WRITTEN||");
  }
}

}  // namespace
