// race-feed's built-in records: the demo session's content, race by race,
// and the flood pools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tools/race_feed/demo.h"
#include "tools/race_feed/records.h"

namespace race_feed {
namespace {

// The value of `tag` in `record`: up to the next "{" or the end.
std::string Value(const std::string& record, const std::string& tag) {
  const std::string braced = "{" + tag + "}";
  const std::size_t at = record.find(braced);
  if (at == std::string::npos) {
    return {};
  }
  const std::size_t begin = at + braced.size();
  return record.substr(begin, record.find('{', begin) - begin);
}

bool Has(const std::string& record, const std::string& tag) {
  return record.find("{" + tag + "}") != std::string::npos;
}

class DemoSessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { session_ = new std::vector<TimedRecord>(DemoSession()); }
  static void TearDownTestSuite() { delete session_; }

  static std::vector<std::string> RecordsOf(Family family) {
    std::vector<std::string> records;
    for (const TimedRecord& entry : *session_) {
      if (FamilyOf(entry.record) == family) {
        records.push_back(entry.record);
      }
    }
    return records;
  }

  // The family's records split at each clear, the clears left out.
  static std::vector<std::vector<std::string>> Races(Family family) {
    std::vector<std::vector<std::string>> races;
    for (const std::string& record : RecordsOf(family)) {
      if (Value(record, "clr") == "+") {
        races.emplace_back();
      } else if (!races.empty()) {
        races.back().push_back(record);
      }
    }
    return races;
  }

  static std::vector<TimedRecord>* session_;
};

std::vector<TimedRecord>* DemoSessionTest::session_ = nullptr;

TEST_F(DemoSessionTest, EveryRecordFitsBelongsToAFamilyAndTheRunIsRepeatable) {
  std::map<Family, int> counts;
  std::int64_t total_ms = 0;
  std::int64_t last_heartbeat = 0;
  std::int64_t longest_silence = 0;
  for (const TimedRecord& entry : *session_) {
    EXPECT_TRUE(RecordProblem(entry.record).empty()) << entry.record;
    EXPECT_GE(entry.delay_ms, 0);
    const auto family = FamilyOf(entry.record);
    ASSERT_TRUE(family) << entry.record;
    ++counts[*family];
    total_ms += entry.delay_ms;
    if (*family == Family::kHeartbeat) {
      longest_silence = std::max(longest_silence, total_ms - last_heartbeat);
      last_heartbeat = total_ms;
    }
  }
  for (Family family : {Family::kHeartbeat, Family::kScratch, Family::kQuickText, Family::kSprint,
                        Family::kPointsRace, Family::kTimeTrial}) {
    EXPECT_GT(counts[family], 0) << static_cast<int>(family);
  }
  EXPECT_GE(total_ms, 180'000);
  EXPECT_LE(total_ms, 300'000);
  EXPECT_LE(longest_silence, 5000);
  EXPECT_GE(counts[Family::kQuickText], 5);

  const std::vector<TimedRecord> again = DemoSession();
  ASSERT_EQ(again.size(), session_->size());
  for (std::size_t i = 0; i < again.size(); ++i) {
    ASSERT_EQ(again[i].record, (*session_)[i].record) << i;
    ASSERT_EQ(again[i].delay_ms, (*session_)[i].delay_ms) << i;
  }
}

TEST_F(DemoSessionTest, KeirinAndScratchFieldsWithChangingStatuses) {
  const auto races = Races(Family::kScratch);
  ASSERT_EQ(races.size(), 2u);
  std::vector<std::size_t> field_sizes;
  std::set<std::string> statuses;
  for (const auto& race : races) {
    std::set<std::string> bibs;
    std::set<std::string> laps;
    for (const std::string& record : race) {
      if (Has(record, "title")) {
        EXPECT_FALSE(Value(record, "title").empty());
        continue;
      }
      const int position = std::atoi(Value(record, "list").c_str());
      EXPECT_TRUE(position >= 0 && position <= 49) << record;
      // A line rewrites its whole row, so it carries all six cells.
      for (const char* tag : {"rank", "bib", "name", "nat", "status", "laps"}) {
        EXPECT_TRUE(Has(record, tag)) << tag << " in " << record;
      }
      EXPECT_TRUE(std::regex_match(Value(record, "nat"), std::regex("[A-Z]{3}"))) << record;
      bibs.insert(Value(record, "bib"));
      laps.insert(Value(record, "laps"));
      statuses.insert(Value(record, "status"));
    }
    EXPECT_GT(laps.size(), 3u);
    field_sizes.push_back(bibs.size());
  }
  EXPECT_TRUE(field_sizes[0] == 6 || field_sizes[0] == 7) << field_sizes[0];
  EXPECT_EQ(field_sizes[1], 24u);
  for (const char* status : {"DNF", "-1 LAP", "+1 LAP"}) {
    EXPECT_EQ(statuses.count(status), 1u) << status;
  }
  // The heat heading gets its time and speed at the finish.
  const std::string& heading = *std::find_if(races[0].rbegin(), races[0].rend(),
                                             [](const auto& r) { return Has(r, "title"); });
  EXPECT_TRUE(std::regex_match(Value(heading, "time"), std::regex("\\d+\\.\\d{3}"))) << heading;
  EXPECT_FALSE(Value(heading, "spd").empty()) << heading;
}

TEST_F(DemoSessionTest, PointsRaceStandingsAddUpToTheSprints) {
  const auto races = Races(Family::kPointsRace);
  ASSERT_EQ(races.size(), 1u);
  std::set<std::string> sprint_names;
  std::set<std::string> bibs;
  int sprint_points = 0;
  std::vector<std::string> table;  // the latest full table
  std::vector<std::string> building;
  for (const std::string& record : races[0]) {
    if (Has(record, "sprint")) {
      const std::string name = Value(record, "sname");
      EXPECT_TRUE(std::regex_match(name, std::regex("Sprint \\d+ - (Lap \\d+|Finish)"))) << name;
      sprint_names.insert(name);
      for (int place = 1; place <= 4; ++place) {
        EXPECT_FALSE(Value(record, "name" + std::to_string(place)).empty()) << record;
        sprint_points += std::atoi(Value(record, "pts" + std::to_string(place)).c_str());
      }
    }
    if (Has(record, "standings")) {
      const int position = std::atoi(Value(record, "standings").c_str());
      if (position == 0) {
        building.clear();
      }
      // Tables are sent whole, in order.
      ASSERT_EQ(position, static_cast<int>(building.size())) << record;
      building.push_back(record);
      bibs.insert(Value(record, "bib"));
      if (building.size() == 20) {
        table = building;
      }
    }
  }
  EXPECT_GE(sprint_names.size(), 6u);
  EXPECT_EQ(bibs.size(), 20u);
  ASSERT_EQ(table.size(), 20u);

  int standing_points = 0;
  int lap_points = 0;
  int previous = 1 << 30;
  for (const std::string& line : table) {
    const int points = std::atoi(Value(line, "pts").c_str());
    standing_points += points;
    lap_points += 20 * std::atoi(Value(line, "laps").c_str());
    if (Value(line, "status") != "DNF") {
      EXPECT_LE(points, previous) << "standings out of order at " << line;
      previous = points;
      EXPECT_FALSE(Value(line, "rnk").empty()) << line;
    }
  }
  EXPECT_EQ(standing_points, sprint_points + lap_points);
}

TEST_F(DemoSessionTest, SprintHeatsOfTwoAndThreeWithConsistentSpeeds) {
  std::set<int> heat_sizes;
  int finished = 0;
  for (const std::string& record : RecordsOf(Family::kSprint)) {
    EXPECT_FALSE(Value(record, "title").empty());
    for (const char* tag :
         {"rnk1", "r1", "rnk2", "r2", "rnk3", "r3", "rnk4", "r4", "et", "spdk", "spdm"}) {
      EXPECT_TRUE(Has(record, tag)) << tag << " in " << record;
    }
    int riders = 0;
    for (int line = 1; line <= 4; ++line) {
      riders += Value(record, std::string("r").append(std::to_string(line))).empty() ? 0 : 1;
    }
    heat_sizes.insert(riders);
    const std::string time = Value(record, "et");
    if (time.empty()) {
      continue;
    }
    ++finished;
    EXPECT_TRUE(std::regex_match(time, std::regex("\\d{2}\\.\\d{3}"))) << time;
    // 200 m in that time, each speed rounded to two places.
    const double kmh = 720.0 / std::atof(time.c_str());
    EXPECT_NEAR(std::atof(Value(record, "spdk").c_str()), kmh, 0.0051) << record;
    EXPECT_NEAR(std::atof(Value(record, "spdm").c_str()), kmh / 1.609344, 0.0051) << record;
    EXPECT_EQ(Value(record, "rnk1"), "1");
  }
  EXPECT_EQ(heat_sizes, (std::set<int>{2, 3}));
  EXPECT_GE(finished, 2);
}

TEST_F(DemoSessionTest, TimeTrialUsesBothPanelsLapByLap) {
  const auto races = Races(Family::kTimeTrial);
  ASSERT_EQ(races.size(), 1u);
  const std::regex digit_like("[+-]?(\\d+:)?\\d+\\.\\d+");
  std::map<std::string, int> laps_to_go;  // per rider, the last seen
  std::map<std::string, int> panel_ticks;
  int audits = 0;
  int rider_clears = 0;
  std::set<std::string> standings_names;
  int longest_table = 0;
  for (const std::string& record : races[0]) {
    if (Value(record, "clr_racers") == "+") {
      ++rider_clears;
    } else if (Has(record, "standings")) {
      standings_names.insert(Value(record, "name"));
      longest_table = std::max(longest_table, std::atoi(Value(record, "standings").c_str()) + 1);
      EXPECT_TRUE(std::regex_match(Value(record, "score"), digit_like)) << record;
    } else if (Has(record, "tick-hit")) {
      const std::string panel = Value(record, "crs") + "/" + Value(record, "stack");
      ++panel_ticks[panel];
      EXPECT_TRUE(std::regex_match(Value(record, "time"), digit_like)) << record;
      EXPECT_TRUE(std::regex_match(Value(record, "diff"), digit_like)) << record;
      EXPECT_FALSE(Value(record, "ltg1").empty()) << record;
      const std::string name = Value(record, "name");
      const int to_go = std::atoi(Value(record, "ltg").c_str());
      if (laps_to_go.count(name) != 0) {
        EXPECT_EQ(to_go, laps_to_go[name] - 1) << record;
      }
      laps_to_go[name] = to_go;
    } else if (Has(record, "audit")) {
      ++audits;
      EXPECT_FALSE(Value(record, "n1").empty()) << record;
      EXPECT_FALSE(Value(record, "d1").empty()) << record;
    } else {
      ADD_FAILURE() << "not a time trial update: " << record;
    }
  }
  EXPECT_EQ(standings_names.size(), 16u);
  EXPECT_EQ(longest_table, 16);
  EXPECT_EQ(laps_to_go.size(), 16u);
  for (const auto& [name, to_go] : laps_to_go) {
    EXPECT_EQ(to_go, 0) << name << " did not finish";
  }
  EXPECT_EQ(panel_ticks.size(), 2u);
  EXPECT_GT(panel_ticks["0/0"], 0);
  EXPECT_GT(panel_ticks["0/1"], 0);
  EXPECT_GT(audits, 0);
  EXPECT_EQ(rider_clears, 8);
}

TEST_F(DemoSessionTest, QuickTextIsAlwaysEightLines) {
  bool announces_next = false;
  for (const std::string& record : RecordsOf(Family::kQuickText)) {
    EXPECT_EQ(record.rfind("{qdtype}+{data},", 0), 0u) << record;
    EXPECT_EQ(std::count(record.begin(), record.end(), ','), 9) << record;
    EXPECT_EQ(record.back(), ',') << record;
    announces_next = announces_next || record.find(",NEXT: ") != std::string::npos;
  }
  EXPECT_TRUE(announces_next);
}

TEST(RaceFeedFlood, EachFamilyPoolHoldsOnlyThatFamilyWithoutClears) {
  for (Family family : {Family::kScratch, Family::kTimeTrial, Family::kPointsRace, Family::kSprint,
                        Family::kQuickText}) {
    const std::vector<std::string> pool = FloodPool(family);
    ASSERT_FALSE(pool.empty()) << static_cast<int>(family);
    for (const std::string& record : pool) {
      EXPECT_EQ(FamilyOf(record), family) << record;
      EXPECT_EQ(record.find("{clr"), std::string::npos) << record;
    }
  }
  std::set<std::optional<Family>> mixed;
  for (const std::string& record : FloodPool(Family::kMixed)) {
    mixed.insert(FamilyOf(record));
  }
  EXPECT_EQ(mixed.size(), 6u);
}
}  // namespace
}  // namespace race_feed
