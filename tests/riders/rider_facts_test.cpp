// What each rider did today: the demo session through the record rules
// (no window), each record's report handed to the rider facts, and three
// riders' lists compared with tables made by reading the session by hand.
#include "riders/rider_facts.h"
#include "records/dispatch.h"
#include "riders/row_rider.h"
#include "riders/start_list.h"
#include "session/session_format.h"
#include "support/record_fakes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

// "screen | heat | place | points | time | status", newest first.
std::vector<std::string> Rows(const std::vector<RiderFact>& facts) {
  std::vector<std::string> rows;
  for (const RiderFact& f : facts) {
    rows.push_back(f.screen + " | " + f.heat + " | " + f.place + " | " + f.points + " | " + f.time +
                   " | " + f.status);
  }
  return rows;
}

class DemoSessionFacts : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream file(DEMO_SESSION);
    ASSERT_TRUE(file) << DEMO_SESSION;
    std::string line;
    std::getline(file, line);  // the header
    while (std::getline(file, line)) {
      session::SessionEntry entry;
      std::string error;
      ASSERT_TRUE(session::ParseSessionLine(line, entry, error)) << error;
      const std::string text(entry.bytes.data(), strnlen(entry.bytes.data(), entry.bytes.size()));
      facts.Take(records.dispatcher.DispatchRecord(text), records.data);
    }
    StartListError error;
    list = StartList::Load(START_LIST, error);
    ASSERT_TRUE(list.has_value()) << error.Text().toStdString();
  }

  // As a card asks: the bib, and the names the start list gives the rider.
  std::vector<std::string> Card(const QString& bib) {
    std::vector<std::string> keys = {RiderFacts::BibKey(bib.toStdString())};
    if (const StartListRider* rider = list->FindBib(bib)) {
      keys.push_back(RiderFacts::NameKey(rider->name));
      keys.push_back(RiderFacts::NameKey(rider->name + " " + rider->nation));
    }
    return Rows(facts.Facts(keys));
  }

  RecordsFixture records;
  RiderFacts facts;
  std::optional<StartList> list;
};

TEST_F(DemoSessionFacts, ScratchRiderHasBothHeatsAndThePointsRace) {
  EXPECT_EQ(Card("52"), (std::vector<std::string>{
                            "Points race | Points race | 13 | 2 |  | ",
                            "Points race | Sprint 6 - Lap 20 | 3 | 2 |  | ",
                            "Scratch | MEN'S SCRATCH 15 KM - 60 LAPS | 7 |  |  | ",
                            "Scratch | MEN'S KEIRIN ROUND 1 - HEAT 2 | 1 |  |  | ",
                        }));
  // A status stays with the heat that gave it.
  EXPECT_EQ(Card("14").back(), "Scratch | MEN'S KEIRIN ROUND 1 - HEAT 2 |  |  |  | DNF");
}

TEST_F(DemoSessionFacts, PointsRaceRiderHasEverySprintScored) {
  EXPECT_EQ(Card("21"), (std::vector<std::string>{
                            "Sprint | MEN'S SPRINT 1/8 FINAL REPECHAGE - HEAT 2 | 1 |  | 10.389 | ",
                            "Points race | Points race | 3 | 20 |  | ",
                            "Points race | Sprint 8 - Finish | 4 | 2 |  | ",
                            "Points race | Sprint 6 - Lap 20 | 2 | 3 |  | ",
                            "Points race | Sprint 4 - Lap 40 | 2 | 3 |  | ",
                            "Points race | Sprint 3 - Lap 50 | 3 | 2 |  | ",
                            "Points race | Sprint 2 - Lap 60 | 1 | 5 |  | ",
                            "Points race | Sprint 1 - Lap 70 | 1 | 5 |  | ",
                            "Scratch | MEN'S SCRATCH 15 KM - 60 LAPS | 8 |  |  | ",
                        }));
}

// The time trial names riders without a bib: the start list's name and
// nation find them.
TEST_F(DemoSessionFacts, TimeTrialRiderFoundByNameThroughTheStartList) {
  const std::vector<std::string> expected = {
      "Time trial | Time trial | 6 |  | 4:10.314 | ",
      "Sprint | MEN'S SPRINT 1/4 FINAL - HEAT 1 - RACE 2 | 2 |  |  | ",
      "Sprint | MEN'S SPRINT 1/4 FINAL - HEAT 1 - RACE 1 | 1 |  | 10.116 | ",
      "Points race | Points race | 19 | -15 |  | ",
      "Points race | Sprint 3 - Lap 50 | 1 | 5 |  | ",
      "Scratch | MEN'S SCRATCH 15 KM - 60 LAPS | 13 |  |  | ",
  };
  EXPECT_EQ(Card("47"), expected);
  // Without a start list only what carried the bib is found.
  EXPECT_EQ(Rows(facts.Facts({RiderFacts::BibKey("47")})),
            std::vector<std::string>(expected.begin() + 1, expected.end()));
  EXPECT_EQ(facts.LastName(RiderFacts::NameKey("L. MARTENS BEL")), "L. MARTENS BEL");
  // A rider only the time trial names, by name alone.
  EXPECT_EQ(Rows(facts.Facts({RiderFacts::NameKey("v. moretti  ita")})),
            std::vector<std::string>{"Time trial | Time trial | 8 |  | 4:11.527 | "});
}

// One entry per heat and rider however often the heat is written.
TEST_F(DemoSessionFacts, EntriesAreUpdatedInPlaceNotRepeated) {
  EXPECT_EQ(facts.Records(), 1282u);
  EXPECT_LT(facts.EntryCount(), 200u);
}

// Which rider a double-clicked row names, on every grid that shows one:
// the row's bib where it has one, else the name.
TEST(RowRiderTest, EachScreensRowsNameTheirRider) {
  RecordsFixture f;
  for (const char* record : {
           "{scratch}+{list}0{rank}1{bib}52{name}A. KRISTIANSEN{nat}NOR",
           "{ptsrace}+{standings}0{rnk}1{bib}21{name}S. MUELLER{sprint}0{sname}S1"
           "{name1}47 L. MARTENS{pts1}5",
           "{sprintf}+{title}T{rnk1}1{r1}11 T. ANDERSEN DEN{r2}14 L. FERRANTI ITA",
           "{tt}+{standings}0{rnk}1{name}J. KOWALCZYK POL{score}4:07.449",
           "{tt}+{tick-hit}1{crs}0{stack}0{name}B. RAMIREZ ESP{time}22.39",
       }) {
    f.Dispatch(record);
  }
  const ScreenData& d = f.data;
  struct Case {
    const char* what;
    const GridModel& grid;
    int row;
    std::optional<RowRider> rider;
  };
  const Case cases[] = {
      {"scratch line", d.scratch.competitors, 1, RowRider{"52", "A. KRISTIANSEN"}},
      {"scratch headings", d.scratch.competitors, 0, std::nullopt},
      {"scratch empty line", d.scratch.competitors, 2, std::nullopt},
      {"points standings", d.points_race.standings, 1, RowRider{"21", "S. MUELLER"}},
      {"shown sprint", d.points_race.shown_sprint, 1, RowRider{"47", "L. MARTENS"}},
      {"sprint racer", d.sprint.heat, 1, RowRider{"14", "L. FERRANTI ITA"}},
      {"sprint time row", d.sprint.heat, 4, std::nullopt},
      {"time trial standings", d.time_trial.standings, 1, RowRider{"", "J. KOWALCZYK POL"}},
      {"rider panel", d.time_trial.panels[0].summary, 0, RowRider{"", "B. RAMIREZ ESP"}},
      {"rider panel time line", d.time_trial.panels[0].summary, 1, std::nullopt},
      {"heat information", d.scratch.heat, 0, std::nullopt},
      {"quick text", d.quick_text.lines, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RiderOnRow(d, c.grid, c.row), c.rider);
  }
}

}  // namespace
