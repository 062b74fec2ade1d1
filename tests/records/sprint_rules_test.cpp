// Sprint records on the screen's data: each record carries the whole heat.
#include "records/screen_data.h"
#include "support/record_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::string>;

const Rows kEmptyHeat = {"Racers||", "||", "||", "||", "Time||", "KMH||", "MPH||"};

constexpr const char* kFullHeat =
    "{sprintf}+{title}Men's Sprint 1/8 Final Heat 2{rnk1}1{r1}12 Jane Doe"
    "{rnk2}2{r2}7 Mia Roe{rnk3}3{r3}31 Ada Poe{rnk4}4{r4}4 Eve Loe"
    "{et}10.512{spdk}68.49 km/h{spdm}42.56 mph";

TEST(SprintRecords, StartsWithOnlyTheHeadings) {
  const SprintData data;
  EXPECT_EQ(data.title.Text(), "");
  EXPECT_EQ(GridRows(data.heat), kEmptyHeat);
}

TEST(SprintRecords, FullHeatFillsTitleAndCells) {
  RecordsFixture f;
  f.Dispatch(kFullHeat);
  EXPECT_EQ(f.journal, Rows({"show sprint"}));
  EXPECT_EQ(f.data.sprint.title.Text(), "Men's Sprint 1/8 Final Heat 2");
  EXPECT_EQ(GridRows(f.data.sprint.heat),
            Rows({"Racers|1|12 Jane Doe", "|2|7 Mia Roe", "|3|31 Ada Poe", "|4|4 Eve Loe",
                  "Time||10.512", "KMH||68.49 km/h", "MPH||42.56 mph"}));
}

TEST(SprintRecords, EveryRecordRewritesTheWholeHeat) {
  RecordsFixture f;
  const SprintData& data = f.data.sprint;

  f.Dispatch(kFullHeat);
  f.Dispatch("{sprintf}+");
  EXPECT_EQ(data.title.Text(), "");
  EXPECT_EQ(GridRows(data.heat), kEmptyHeat);

  // A two-rider heat after a four-rider one: rows 2 and 3 go blank.
  f.Dispatch(kFullHeat);
  f.Dispatch("{sprintf}+{title}Final{rnk1}1{r1}12 Jane Doe{rnk2}2{r2}7 Mia Roe{et}11.02");
  EXPECT_EQ(data.title.Text(), "Final");
  EXPECT_EQ(GridRows(data.heat), Rows({"Racers|1|12 Jane Doe", "|2|7 Mia Roe", "||", "||",
                                       "Time||11.02", "KMH||", "MPH||"}));
}

TEST(SprintRecords, TextsArePassedThroughAsBytes) {
  RecordsFixture f;
  f.Dispatch("{sprintf}+{title}<b>Caf\xe9</b> & Co{r1}Ren\xe9\x01\xff");
  EXPECT_EQ(f.data.sprint.title.Text(), "<b>Caf\xe9</b> & Co");
  EXPECT_EQ(f.data.sprint.heat.Cell(2, 0), "Ren\xe9\x01\xff");
}

TEST(SprintRecords, FamiliesBeforeAndAfterTheSprintTakeTheRecordInOrder) {
  struct Case {
    std::string record;
    Rows journal;
  };
  const Case cases[] = {
      {"{ptsrace}+{sprintf}+{title}Heat 1", {"show sprint", "show points_race"}},
      {"{sprintf}+{title}Heat 1{tt}+", {"show sprint", "show time_trial"}},
      {"{qdtype}+{sprintf}+{title}Heat 1{txt},L1,L2,L3,L4,L5,L6,L7,L8",
       {"show quick_text", "show sprint"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    RecordsFixture f;
    f.Dispatch(c.record);
    EXPECT_EQ(f.journal, c.journal);
    EXPECT_EQ(f.data.sprint.title.Text(), "Heat 1");
  }
  RecordsFixture f;
  f.Dispatch(cases[2].record);
  EXPECT_EQ(GridRows(f.data.quick_text.lines),
            Rows({"L1", "L2", "L3", "L4", "L5", "L6", "L7", "L8"}));
}

}  // namespace
