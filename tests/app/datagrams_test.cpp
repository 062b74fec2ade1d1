// Whole datagrams through the running program: the heartbeat's line, every
// size up to the limit and one past it, and random records.
#include "screens/sprint_screen.h"
#include "support/test_support.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

const char* const kHeartbeatLine = "Heartbeat received from SERVER!!";

// The log line of a datagram from 127.0.0.1: its text ends at a zero byte.
std::string LoggedAs(std::string_view bytes) {
  return "127.0.0.1>" + std::string(bytes.substr(0, bytes.find('\0')));
}

// Sends one datagram to the first port and waits for the line that every
// received datagram adds; returns the lines it added, none if none came.
Lines Exchange(CommentatorFixture& fixture, std::string_view bytes) {
  const MainWindow& main = fixture.Main();
  const std::uint64_t before = main.TrafficLinesAdded();
  SendDatagram(fixture.Port1(), bytes);
  if (!WaitUntil([&] { return main.TrafficLinesAdded() > before; })) {
    return {};
  }
  const Lines log = fixture.Log();
  const auto added = std::min<std::size_t>(main.TrafficLinesAdded() - before, log.size());
  return Lines(log.end() - static_cast<std::ptrdiff_t>(added), log.end());
}

bool AnswersHeartbeat(CommentatorFixture& fixture) {
  return Exchange(fixture, "{heartbeat}+") == Lines({kHeartbeatLine, "127.0.0.1>{heartbeat}+"});
}

TEST(Heartbeat, ItsLineComesBeforeTheDatagramsOwnLine) {
  CommentatorFixture fixture;
  EXPECT_TRUE(AnswersHeartbeat(fixture));
  EXPECT_EQ(fixture.Log(), Lines({kHeartbeatLine, "127.0.0.1>{heartbeat}+"}));
}

// A time trial rider update padded to 1025 bytes, with a zero byte at 700.
std::string PaddedRiderUpdate() {
  std::string record =
      "{tt}+{tick-hit}1{crs}0{stack}0{name}HOFFMANN Kai{time}1:02.345{diff}-0.123{rank}2"
      "{spdk}54.10{ltg}7 laps{dist}2250 m";
  for (int lap = 1; record.size() < 1025; ++lap) {
    record += "{ltg" + std::to_string(lap) + "}" + std::to_string(42 - lap);
  }
  record.resize(1025);
  record[700] = '\0';
  return record;
}

TEST(Datagrams, EverySizeUpTo1024IsLoggedAnd1025LeavesNoTrace) {
  CommentatorFixture fixture;
  const std::string padded = PaddedRiderUpdate();
  for (std::size_t size = 0; size <= 1024; ++size) {
    const std::string_view bytes(padded.data(), size);
    ASSERT_EQ(Exchange(fixture, bytes), Lines({LoggedAs(bytes)})) << "size " << size;
  }
  EXPECT_EQ(fixture.Data().time_trial.panels[0].summary.Cell(0, 0), "HOFFMANN Kai");

  std::string too_long = "{sprintf}+{title}TOO LONG";
  too_long.resize(1025, 'x');
  SendDatagram(fixture.Port1(), too_long);
  EXPECT_TRUE(AnswersHeartbeat(fixture)) << "the long datagram came first and added nothing";
  EXPECT_FALSE(fixture.App().Sprint().isVisible());
  EXPECT_EQ(fixture.Data().sprint.title.Text(), "");
}

// Random records: pure bytes, and tag soup after a real family flag.
std::string RandomRecord(std::mt19937& random, int kind) {
  static const std::vector<std::string> kFlags = {"{scratch}+", "{qdtype}+{data}", "{sprintf}+",
                                                  "{ptsrace}+", "{tt}+"};
  static const std::vector<std::string> kPieces = {
      "{scratch}", "{qdtype}", "{sprintf}",   "{ptsrace}", "{tt}",    "{clr}",      "{clr_racers}",
      "{title}",   "{list}",   "{standings}", "{sprint}",  "{sname}", "{tick-hit}", "{audit}",
      "{crs}",     "{stack}",  "{name}",      "{rnk}",     "{rank}",  "{time}",     "{diff}",
      "{dif}",     "{spdk}",   "{ltg}",       "{name3}",   "{pts5}",  "{ltg41}",    "{n17}",
      "{d0}",      "{ltg42}",  "+",           "+",         "0",       "1",          "49",
      "58",        "98",       "-1",          "$1F",       "0x",      "2147483648", "99999999999",
      "{",         "}",        ",",           " ",         "-"};
  const std::size_t length = random() % 1025;
  std::string record;
  if (kind == 0) {
    while (record.size() < length) {
      record.push_back(static_cast<char>(random() % 256));
    }
    return record;
  }
  record = kFlags[random() % kFlags.size()];
  while (record.size() < length) {
    if (kind == 1 || random() % 8 == 0) {
      record.push_back(static_cast<char>(random() % 256));
    } else {
      record += kPieces[random() % kPieces.size()];
    }
  }
  record.resize(length);
  return record;
}

TEST(Datagrams, RandomRecordsAreAllLoggedAndTheProgramGoesOn) {
  constexpr int kBatches = 120;
  constexpr int kBatchSize = 25;  // fits the 30 lines of the log
  CommentatorFixture fixture;
  const MainWindow& main = fixture.Main();
  std::mt19937 random(20240917);
  for (int batch = 0; batch < kBatches; ++batch) {
    Lines expected;
    const std::uint64_t before = main.TrafficLinesAdded();
    for (int i = 0; i < kBatchSize; ++i) {
      const std::string record = RandomRecord(random, (batch * kBatchSize + i) % 3);
      expected.push_back(LoggedAs(record));
      SendDatagram(fixture.Port1(), record);
    }
    ASSERT_TRUE(WaitUntil([&] { return main.TrafficLinesAdded() >= before + kBatchSize; }, 10000))
        << "batch " << batch;
    ASSERT_EQ(main.TrafficLinesAdded(), before + kBatchSize) << "batch " << batch;
    // A scratch record lets later ones be handled inside it, so their lines
    // may come first.
    Lines logged = fixture.Log();
    logged.erase(logged.begin(), logged.end() - kBatchSize);
    std::sort(logged.begin(), logged.end());
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(logged, expected) << "batch " << batch;
  }
  EXPECT_TRUE(AnswersHeartbeat(fixture));
}

}  // namespace
