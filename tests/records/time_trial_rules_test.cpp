// Time trial records on the screen's data: the rider panels chosen by course
// and stack, rider updates and lap times, standings lines, and clearing.
#include "records/columns.h"
#include "records/screen_data.h"
#include "support/record_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::string>;

// Writes something into every part of the data, heading cells included, so
// a clear shows what it leaves alone.
void FillEverything(TimeTrialData& data) {
  std::vector<GridModel*> grids = {&data.standings};
  for (RiderPanelData& panel : data.panels) {
    grids.push_back(&panel.summary);
    grids.push_back(&panel.laps);
    panel.time.SetText("1");
    panel.difference.SetText("2");
  }
  for (GridModel* grid : grids) {
    for (int row = 0; row < grid->RowCount(); ++row) {
      for (int col = 0; col < grid->ColCount(); ++col) {
        grid->SetCell(col, row, grid == &data.standings ? "s" : "x");
      }
    }
  }
}

void ExpectRiderPanelsEmpty(const TimeTrialData& data) {
  for (int panel = 0; panel < 2; ++panel) {
    SCOPED_TRACE(panel);
    const RiderPanelData& p = data.panels[panel];
    EXPECT_EQ(GridRows(p.summary), Rows(kSummaryRows, ""));
    Rows laps(kLaps + 1, "||");
    laps[0] = "ToGo|Net|Diff";
    EXPECT_EQ(GridRows(p.laps), laps);
    EXPECT_EQ(p.time.Text(), "");
    EXPECT_EQ(p.difference.Text(), "");
  }
}

class TimeTrial : public ::testing::Test {
 protected:
  // As the screen does when it is first shown.
  void SetUp() override { Data().ClearAllPanels(); }

  TimeTrialData& Data() { return f.data.time_trial; }
  RiderPanelData& Panel(int panel) { return Data().panels[panel]; }

  RecordsFixture f;
};

TEST_F(TimeTrial, BareRecordOnlyShowsTheScreen) {
  f.Dispatch("{tt}+{standings}2{rnk}3{name}ANNA{score}1:10.2{dif}+0.4");
  f.Dispatch("{tt}+{tick-hit}+{name}BEN{time}12.3{ltg1}9");
  const Rows before = Snapshot(f.data);
  f.journal.clear();
  f.Dispatch("{tt}+");
  EXPECT_EQ(f.journal, Rows({"show time_trial"}));
  EXPECT_EQ(Snapshot(f.data), before);
}

TEST_F(TimeTrial, CrsAndStackChooseTheRiderPanel) {
  struct Case {
    const char* tags;
    int panel;
  };
  const Case cases[] = {{"{crs}0{stack}0", 0},
                        {"{crs}1{stack}1", 0},
                        {"{crs}0{stack}1", 1},
                        {"{crs}1{stack}0", 1},
                        {"", 1},
                        {"{crs}0", 1},
                        {"{stack}0", 1},
                        {"{crs} 0{stack}0", 1},
                        {"{crs}2{stack}2", 1},
                        {"{crs}00{stack}0", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tags);
    Data().ClearRiderPanels();
    f.Dispatch(std::string("{tt}+{tick-hit}+{name}CARA") + c.tags);
    EXPECT_EQ(Panel(c.panel).summary.Cell(0, 0), "CARA");
    EXPECT_EQ(Panel(1 - c.panel).summary.Cell(0, 0), "");

    Data().ClearRiderPanels();
    f.Dispatch(std::string("{tt}+{audit}+{n1}31.2") + c.tags);
    EXPECT_EQ(Panel(c.panel).laps.Cell(1, 1), "31.2");
    EXPECT_EQ(Panel(1 - c.panel).laps.Cell(1, 1), "");
  }
}

TEST_F(TimeTrial, RiderUpdateFillsSummaryLabelsAndTimeLine) {
  const std::string long_time(240, '1');
  const std::string long_diff(240, '2');
  struct Case {
    std::string tags;
    std::string line;
    std::string time_label;
    std::string difference_label;
  };
  const Case cases[] = {
      {"{time}1:02.345", "1:02.345", "1:02.345", ""},
      {"{time}1:02.345{diff}+0.512{rank}3{spdk}52.1", "1:02.345  /  +0.512  /  3  /  52.1",
       "1:02.345", "+0.512"},
      {"{time}1:02.345{diff}{rank}3", "1:02.345  /  3", "1:02.345", ""},
      {"{rank}3{spdk}52.1", "  /  3  /  52.1", "", ""},
      // The line is cut to 255 after each join, so the rank never fits.
      {"{time}" + long_time + "{diff}" + long_diff + "{rank}3",
       (long_time + "  /  " + long_diff).substr(0, 255), long_time, long_diff},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tags);
    f.Dispatch("{tt}+{tick-hit}+{crs}0{stack}0{name}DORA{ltg}7{dist}1750" + c.tags);
    EXPECT_EQ(GridRows(Panel(0).summary), Rows({"DORA", c.line, "7", "1750"}));
    EXPECT_EQ(Panel(0).time.Text(), c.time_label);
    EXPECT_EQ(Panel(0).difference.Text(), c.difference_label);
  }
}

TEST_F(TimeTrial, RiderUpdatesWriteToGoAndLapTimesWriteNetAndDiff) {
  const GridModel& laps = Panel(1).laps;
  f.Dispatch("{tt}+{audit}+{n1}18.1{d1}+0.1{n2}17.9{d2}-0.2{n41}16.0{d41}+1.0");
  f.Dispatch("{tt}+{tick-hit}+{name}EVA{ltg1}40{ltg2}39{ltg3}38{ltg41}0{n3}99{d3}99");
  EXPECT_EQ(GridRow(laps, 0), "ToGo|Net|Diff");
  EXPECT_EQ(GridRow(laps, 1), "40|18.1|+0.1");
  EXPECT_EQ(GridRow(laps, 3), "38||") << "a rider update never writes Net or Diff";
  EXPECT_EQ(GridRow(laps, 41), "0|16.0|+1.0");

  // Each kind rewrites its whole columns: missing laps blank their rows, and
  // the other kind's columns, the summary and the labels stay.
  f.Dispatch("{tt}+{tick-hit}+{name}EVA{time}1:01{ltg1}40");
  f.Dispatch("{tt}+{audit}+{n2}17.5{ltg3}99{name}NOT");
  EXPECT_EQ(GridRow(laps, 0), "ToGo|Net|Diff");
  EXPECT_EQ(GridRow(laps, 1), "40||");
  EXPECT_EQ(GridRow(laps, 2), "|17.5|");
  EXPECT_EQ(GridRow(laps, 3), "||");
  EXPECT_EQ(GridRow(laps, 41), "||");
  EXPECT_EQ(Panel(1).summary.Cell(0, 0), "EVA");
  EXPECT_EQ(Panel(1).time.Text(), "1:01");
}

TEST_F(TimeTrial, StandingsLinesFillRowsOneToNinetyNine) {
  for (const char* position : {"5", "0", "98", "99", "-1"}) {
    f.Dispatch(std::string("{tt}+{standings}") + position + "{rnk}R" + position +
               "{name}FAY{score}1:05.0{dif}+0.3");
  }
  Rows expected(kTimeTrialStandingsRows, "|||");
  expected[1] = "R0|FAY|1:05.0|+0.3";
  expected[6] = "R5|FAY|1:05.0|+0.3";  // position 0 starts no new table here
  expected[99] = "R98|FAY|1:05.0|+0.3";
  EXPECT_EQ(GridRows(Data().standings), expected) << "99 and -1 fall outside the grid";
}

TEST_F(TimeTrial, OnlyTheFirstRequestOfARecordIsCarriedOut) {
  struct Case {
    const char* record;
    std::string standings_row1;
    std::string summary_name;
  };
  // Every case starts from a standings line in row 1 and a rider in panel 1.
  const Case cases[] = {
      {"{tt}+{clr}+{standings}0{rnk}9{name}NEW", "|||", ""},
      {"{tt}+{clr}+{clr_racers}+", "|||", ""},
      {"{tt}+{clr_racers}+{standings}0{rnk}9{name}NEW", "1|OLD||", ""},
      {"{tt}+{standings}0{rnk}9{name}NEW{tick-hit}+{audit}+{n1}9", "9|NEW||", "OLD"},
      {"{tt}+{tick-hit}+{name}NEW{audit}+{n1}9", "1|OLD||", "NEW"},
      {"{tt}+{standings}{tick-hit}+{name}NEW", "1|OLD||", "NEW"},
      {"{tt}+{clr}++{clr_racers}++{standings}0{rnk}9{name}NEW", "9|NEW||", "OLD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    f.Dispatch("{tt}+{standings}0{rnk}1{name}OLD");
    f.Dispatch("{tt}+{tick-hit}+{name}OLD");
    f.Dispatch("{tt}+{audit}+");  // empties the lap times
    f.Dispatch(c.record);
    EXPECT_EQ(GridRow(Data().standings, 1), c.standings_row1);
    EXPECT_EQ(Panel(1).summary.Cell(0, 0), c.summary_name);
    EXPECT_EQ(Panel(1).laps.Cell(1, 1), "");
  }
}

TEST_F(TimeTrial, ClearsKeepTheHeadings) {
  FillEverything(Data());
  Data().ClearRiderPanels();
  ExpectRiderPanelsEmpty(Data());
  EXPECT_EQ(GridRows(Data().standings), Rows(kTimeTrialStandingsRows, "s|s|s|s"));

  FillEverything(Data());
  Data().ClearAllPanels();
  ExpectRiderPanelsEmpty(Data());
  Rows standings(kTimeTrialStandingsRows, "|||");
  standings[0] = "s|s|s|s";  // the heading row is never cleared
  EXPECT_EQ(GridRows(Data().standings), standings);
}

TEST_F(TimeTrial, ClearRecordsDoWhatTheClearOperationsDo) {
  struct Case {
    const char* record;
    std::string standings_row1;
  };
  for (const Case& c : {Case{"{tt}+{clr}+", "|||"}, Case{"{tt}+{clr_racers}+", "s|s|s|s"}}) {
    SCOPED_TRACE(c.record);
    FillEverything(Data());
    f.Dispatch(c.record);
    ExpectRiderPanelsEmpty(Data());
    EXPECT_EQ(GridRow(Data().standings, 0), "s|s|s|s");
    EXPECT_EQ(GridRow(Data().standings, 1), c.standings_row1);
  }
}

}  // namespace
