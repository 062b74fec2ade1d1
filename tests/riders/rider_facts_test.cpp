// What each rider did today: the demo session through the record rules
// (no window), each record's report handed to the rider facts, and three
// riders' lists compared with tables made by reading the session by hand.
#include "riders/rider_facts.h"
#include "records/dispatch.h"
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

}  // namespace
