// The grid model under Qt's own model tester, through every change the
// program makes: sizing, headings, rows emptied, and the writes of records
// of every family. A model that signals the wrong cells fails here instead
// of leaving stale cells on a screen.
#include "records/grid_model.h"
#include "support/record_fakes.h"

#include <QAbstractItemModelTester>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// The tester reports through qWarning; every report is a failure here.
std::vector<std::string>* tester_reports = nullptr;

void CollectReports(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (tester_reports != nullptr && type >= QtWarningMsg) {
    tester_reports->push_back(message.toStdString());
  }
}

class UnderTheModelTester : public ::testing::Test {
 protected:
  void SetUp() override {
    tester_reports = &reports_;
    previous_ = qInstallMessageHandler(CollectReports);
  }
  void TearDown() override {
    qInstallMessageHandler(previous_);
    tester_reports = nullptr;
    EXPECT_TRUE(reports_.empty()) << reports_.front();
  }
  void Watch(GridModel& model) {
    testers_.push_back(std::make_unique<QAbstractItemModelTester>(
        &model, QAbstractItemModelTester::FailureReportingMode::Warning));
  }

 private:
  std::vector<std::string> reports_;
  QtMessageHandler previous_ = nullptr;
  std::vector<std::unique_ptr<QAbstractItemModelTester>> testers_;
};

TEST_F(UnderTheModelTester, SizingHeadingsAndEmptiedRows) {
  GridModel grid(3, 4, 1, 1);
  Watch(grid);
  grid.SetCell(0, 0, "corner");
  grid.SetCell(2, 0, "heading");
  grid.SetCell(0, 3, "row heading");
  grid.SetCell(2, 3, "cell");
  grid.SetSize(5, 6);
  grid.SetCell(4, 5, "new corner cell");
  grid.SetFixed(0, 1);
  grid.SetFixed(1, 0);
  grid.SetFixed(0, 0);
  grid.SetSize(2, 1);
  grid.SetSize(0, 0);
  grid.SetSize(3, 3);
  grid.SetFixed(1, 1);
  grid.SetCell(1, 1, "x");
  grid.ClearRows(0);
  grid.ClearRows(2);
  grid.ClearRows(7);
  grid.ClearCells();
}

TEST_F(UnderTheModelTester, TheWritesOfRecordsOfEveryFamily) {
  RecordsFixture records;
  ScreenData& data = records.data;
  for (GridModel* model :
       {&data.scratch.heat, &data.scratch.competitors, &data.quick_text.lines, &data.sprint.heat,
        &data.points_race.standings, &data.points_race.sprint_names, &data.points_race.shown_sprint,
        &data.points_race.sprint_store, &data.time_trial.standings,
        &data.time_trial.panels[0].summary, &data.time_trial.panels[0].laps,
        &data.time_trial.panels[1].summary, &data.time_trial.panels[1].laps}) {
    Watch(*model);
  }
  for (const char* record : {
           "{scratch}+{title}MEN'S SCRATCH{time}1:02{speed}51.2",
           "{scratch}+{list}0{rnk}1{bib}53{name}M. GARCIA{nat}MEX{status}+1 LAP{laps}61",
           "{scratch}+{list}49{rnk}50",
           "{scratch}+{clr}+",
           "{qdtype}+{data},ONE,TWO,,FOUR,FIVE,SIX,SEVEN,EIGHT,NINE",
           "{sprintf}+{title}Final{name1}A{name2}B{time}10.5{kmh}68.5{mph}42.5",
           "{ptsrace}+{standings}0{rnk}1{bib}27{name}H. LINDQVIST{pts}26{laps}+1{final}17",
           "{ptsrace}+{standings}58{rnk}59",
           "{ptsrace}+{sprint}3{sname}Sprint 4 - Lap 40{rider1}21 S. MUELLER",
           "{ptsrace}+{clr}+",
           "{tt}+{standings}0{rnk}1{name}K. TANAKA{score}4:06.905",
           "{tt}+{tick-hit}1{crs}0{stack}0{name}FOX Ida{time}1:02.345{ltg}7{ltg1}15",
           "{tt}+{audit}1{crs}1{stack}1{net1}15.1{diff1}+0.2",
           "{tt}+{clr_racers}+",
           "{tt}+{clr}+",
       }) {
    SCOPED_TRACE(record);
    records.Dispatch(record);
  }
  data.points_race.ChooseSprint(3);
  data.points_race.ClearGrids();
  data.time_trial.ClearAllPanels();
  data.scratch.ClearScreen();
}

}  // namespace
