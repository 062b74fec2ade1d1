#include "history/session_history.h"
#include "records/screen_data_snapshot.h"
#include "session_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

namespace {

std::vector<GeneratedDatagram> Generate(int count, std::uint32_t seed) {
  SessionGenerator generator(seed);
  std::vector<GeneratedDatagram> session;
  for (int i = 0; i < count; ++i) {
    session.push_back(generator.Next());
  }
  return session;
}

void Feed(SessionHistory& history, const std::vector<GeneratedDatagram>& session) {
  for (const GeneratedDatagram& d : session) {
    history.Add(d.time_ms, d.receiver, d.sender, d.bytes, d.accepted);
  }
}

// The screens after a fresh replica took the accepted datagrams before each
// of `moments`, going straight through the session once.
std::map<std::uint64_t, ScreensReplica::State> StraightReplay(
    const std::vector<GeneratedDatagram>& session, std::vector<std::uint64_t> moments) {
  std::sort(moments.begin(), moments.end());
  std::map<std::uint64_t, ScreensReplica::State> states;
  ScreensReplica replica;
  std::uint64_t taken = 0;
  for (const std::uint64_t moment : moments) {
    for (; taken < moment; ++taken) {
      if (session[taken].accepted) {
        replica.Take(session[taken].bytes);
      }
    }
    states[moment] = replica.Save();
  }
  return states;
}

std::vector<std::uint64_t> RandomMoments(int count, std::uint64_t low, std::uint64_t high) {
  std::mt19937 random(7);
  std::uniform_int_distribution<std::uint64_t> pick(low, high);
  std::vector<std::uint64_t> moments;
  for (int i = 0; i < count; ++i) {
    moments.push_back(pick(random));
  }
  moments.push_back(low);
  moments.push_back(high);
  return moments;
}

}  // namespace

// Jumps in random order, so each starts from wherever the last one left the
// checkpoints' scratch data.
TEST(SessionHistoryTest, AnyMomentEqualsAStraightReplayToIt) {
  const std::vector<GeneratedDatagram> session = Generate(40'000, 1);
  SessionHistory history({.checkpoint_every = 500});
  Feed(history, session);
  ASSERT_EQ(history.Begin(), 0u);
  ASSERT_EQ(history.End(), session.size());

  const std::vector<std::uint64_t> moments = RandomMoments(1000, 0, session.size());
  const auto expected = StraightReplay(session, moments);
  for (const std::uint64_t moment : moments) {
    ASSERT_TRUE(history.ScreensAt(moment) == expected.at(moment)) << "moment " << moment;
  }
  EXPECT_TRUE(history.ScreensNow() == expected.at(session.size()));
}

TEST(SessionHistoryTest, KeepsEveryDatagramAsTaken) {
  const std::vector<GeneratedDatagram> session = Generate(3000, 2);
  SessionHistory history({.checkpoint_every = 64});
  Feed(history, session);
  for (std::uint64_t i = 0; i < session.size(); ++i) {
    const KeptDatagram kept = history.At(i);
    ASSERT_EQ(kept.bytes, session[i].bytes) << i;
    ASSERT_EQ(kept.sender, session[i].sender) << i;
    ASSERT_EQ(kept.receiver, session[i].receiver) << i;
    ASSERT_EQ(kept.accepted, session[i].accepted) << i;
    ASSERT_EQ(kept.time_ms, session[i].time_ms) << i;
  }
}

// Past either bound the oldest stretch goes, whole checkpoints at a time, and
// what is left still replays to the same screens.
TEST(SessionHistoryTest, DropsTheOldestBeyondItsBounds) {
  struct Case {
    const char* name;
    SessionHistory::Limits limits;
  };
  const Case cases[] = {
      {"datagrams", {.max_datagrams = 1000, .checkpoint_every = 100}},
      {"bytes", {.max_bytes = std::size_t{3} << 20, .checkpoint_every = 100}},
  };
  // Over 3 MB of datagrams, so the byte bound drops whole blocks.
  std::vector<GeneratedDatagram> session = Generate(20'000, 3);
  for (GeneratedDatagram& d : session) {
    d.bytes.resize(std::max<std::size_t>(d.bytes.size(), 300), ' ');
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SessionHistory history(c.limits);
    Feed(history, session);
    EXPECT_GT(history.Begin(), 0u);
    EXPECT_EQ(history.Begin() % 100, 0u) << "starts at a checkpoint";
    EXPECT_EQ(history.End(), session.size());
    EXPECT_LE(history.End() - history.Begin(), c.limits.max_datagrams);
    EXPECT_LE(history.MemoryBytes(), c.limits.max_bytes);
    EXPECT_EQ(history.At(history.Begin()).bytes, session[history.Begin()].bytes);

    const std::vector<std::uint64_t> moments = RandomMoments(50, history.Begin(), history.End());
    const auto expected = StraightReplay(session, moments);
    for (const std::uint64_t moment : moments) {
      ASSERT_TRUE(history.ScreensAt(moment) == expected.at(moment)) << "moment " << moment;
    }
    EXPECT_TRUE(history.ScreensAt(0) == expected.at(history.Begin())) << "clamped to the start";
  }
}

TEST(SessionHistoryTest, HeatsStartAtHeadingsAndClears) {
  const char* records[] = {
      "{scratch}+{clr}+",                      // 0: heat at moment 1
      "{scratch}+{list}0{name}A",              // 1
      "{sprintf}+{title}SPRINT{r1}B",          // 2: a sprint says nothing of heats
      "{scratch}+{title}KEIRIN{time}{spd}",    // 3: heat at 4
      "{tt}+{tick-hit}{crs}0{stack}0{name}C",  // 4: one panel only
      "{tt}+{clr_racers}+",                    // 5: heat at 6
      "{ptsrace}+{standings}0{name}D",         // 6
      "{ptsrace}+{clr}+",                      // 7: turned away below
      "{ptsrace}+{clr}+",                      // 8: heat at 9
      "{heartbeat}+",                          // 9
  };
  SessionHistory history;
  for (int i = 0; i < 10; ++i) {
    history.Add(i, 0, "127.0.0.1", records[i], i != 7);
  }
  const std::pair<std::uint64_t, std::pair<std::uint64_t, std::uint64_t>> cases[] = {
      {0, {0, 1}}, {1, {0, 4}}, {3, {1, 4}},  {4, {1, 6}},
      {5, {4, 6}}, {8, {6, 9}}, {9, {6, 10}}, {10, {9, 10}},
  };
  for (const auto& [moment, around] : cases) {
    EXPECT_EQ(history.HeatBefore(moment), around.first) << "before " << moment;
    EXPECT_EQ(history.HeatAfter(moment), around.second) << "after " << moment;
  }
}

// Putting the screens back keeps the commentator's choice of sprint and
// shows that sprint from the store put back.
TEST(ScreenDataSnapshotTest, RestoreKeepsTheChosenSprint) {
  ScreensReplica source;
  source.Take("{ptsrace}+{sprint}0{sname}S1{name1}FIRST{pts1}5");
  source.Take("{ptsrace}+{sprint}2{sname}S3{name1}THIRD{pts1}5");
  ScreenData shown;
  shown.points_race.ChooseSprint(2);
  shown.scratch.competitors.SetCell(2, 5, "LEFT OVER");
  ScreenDataSnapshot::Take(source.Data()).RestoreInto(shown);

  EXPECT_EQ(shown.points_race.ChosenSprint(), 2);
  EXPECT_EQ(shown.points_race.shown_sprint.Cell(1, 1), "THIRD");
  EXPECT_EQ(shown.scratch.competitors.Cell(2, 5), "");
  shown.points_race.ChooseSprint(0);
  EXPECT_TRUE(ScreenDataSnapshot::Take(shown) == ScreenDataSnapshot::Take(source.Data()));

  // A cleared points race shows no sprint, whatever was chosen.
  source.Take("{ptsrace}+{clr}+");
  shown.points_race.ChooseSprint(2);
  ScreenDataSnapshot::Take(source.Data()).RestoreInto(shown);
  EXPECT_EQ(shown.points_race.shown_sprint.Cell(1, 1), "");
  EXPECT_EQ(shown.points_race.shown_sprint.Cell(0, 1), "");
}
