// race-feed's replay files as text: each line's delay and record, and a bad
// line named. Reading files and what race-feed sends from them is in
// tests/session/replay_file_test.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tools/race_feed/replay.h"

namespace race_feed {
namespace {

TEST(RaceFeedReplay, LinesSplitIntoDelayAndRecord) {
  using Kind = ReplayLine::Kind;
  struct Case {
    std::string line;
    Kind kind;
    std::int64_t delay;
    std::string record_or_error;
  };
  const Case cases[] = {
      {"250\t{tt}+{clr}+", Kind::kRecord, 250, "{tt}+{clr}+"},
      {"0\t{heartbeat}+", Kind::kRecord, 0, "{heartbeat}+"},
      {"{heartbeat}+", Kind::kRecord, 0, "{heartbeat}+"},
      {"{heartbeat}+\r", Kind::kRecord, 0, "{heartbeat}+"},
      {"40\t{tt}+\r", Kind::kRecord, 40, "{tt}+"},
      // No all-digit text before the first TAB: the whole line is the record.
      {"abc\t{tt}+", Kind::kRecord, 0, "abc\t{tt}+"},
      {"-5\t{tt}+", Kind::kRecord, 0, "-5\t{tt}+"},
      {"\t{tt}+", Kind::kRecord, 0, "\t{tt}+"},
      {"{scratch}+{name}A\tB", Kind::kRecord, 0, "{scratch}+{name}A\tB"},
      {"", Kind::kSkip, 0, ""},
      {"\r", Kind::kSkip, 0, ""},
      {"250\t", Kind::kError, 0, "no record after the delay"},
      {"86400001\t{tt}+", Kind::kError, 0, "longer than a day"},
      {"99999999999999999999\t{tt}+", Kind::kError, 0, "longer than a day"},
      {std::string(1024, 'x'), Kind::kRecord, 0, std::string(1024, 'x')},
      {"5\t" + std::string(1024, 'x') + "\r", Kind::kRecord, 5, std::string(1024, 'x')},
      {std::string(1025, 'x'), Kind::kError, 0, "1025 bytes is longer than 1024"},
  };
  for (const Case& c : cases) {
    const ReplayLine parsed = ParseReplayLine(c.line);
    const std::string shown = c.line.substr(0, 40);
    ASSERT_EQ(parsed.kind, c.kind) << shown << " " << parsed.error;
    if (c.kind == Kind::kRecord) {
      EXPECT_EQ(parsed.entry.delay_ms, c.delay) << shown;
      EXPECT_EQ(parsed.entry.record, c.record_or_error) << shown;
    } else if (c.kind == Kind::kError) {
      EXPECT_NE(parsed.error.find(c.record_or_error), std::string::npos)
          << shown << " -> " << parsed.error;
    }
  }
}

TEST(RaceFeedReplay, AFileIsCheckedWholeAndABadLineNamed) {
  const ReplayScript good = ParseReplayText("100\t{a}\r\n\n{b}\n\r\n20\t{c}\n");
  ASSERT_TRUE(good.error.empty()) << good.error;
  ASSERT_EQ(good.records.size(), 3u);
  EXPECT_EQ(good.records[0].delay_ms, 100);
  EXPECT_EQ(good.records[0].record, "{a}");
  EXPECT_EQ(good.records[1].record, "{b}");
  EXPECT_EQ(good.records[2].delay_ms, 20);
  EXPECT_EQ(good.records[2].record, "{c}");

  const ReplayScript bad = ParseReplayText("{a}\n\n10\t" + std::string(1025, 'y') + "\n{d}\n");
  EXPECT_EQ(bad.error.rfind("line 3: ", 0), 0u) << bad.error;
  EXPECT_TRUE(bad.records.empty());
}

TEST(RaceFeedReplay, ASessionFileNamesEachRecordsPortAndABadLine) {
  const ReplayScript session = ParseReplayText(
      "#orvane-session 1\r\n"
      "0\t29105\t10.0.0.5\t{heartbeat}+\n"
      "\n"
      "# a note\n"
      "40\t29104\t10.0.0.5\t\n"
      "7\t29105\t10.0.0.6\ta\\tb\\\\\\0\r\n");
  ASSERT_TRUE(session.error.empty()) << session.error;
  EXPECT_TRUE(session.session);
  ASSERT_EQ(session.records.size(), 3u);
  EXPECT_EQ(session.records[0].port, 29105);
  EXPECT_EQ(session.records[1].port, 29104);
  EXPECT_EQ(session.records[1].delay_ms, 40);
  EXPECT_EQ(session.records[1].record, "");
  EXPECT_EQ(session.records[2].record, std::string("a\tb\\\0", 5));

  struct Case {
    std::string line;
    std::string error;
  };
  const Case bad[] = {
      {"0\t29105\t10.0.0.5\t" + std::string(1025, 'x'), "line 2: record of 1025 bytes"},
      {"0\t0\t10.0.0.5\tx", "line 2: port \"0\""},
      {"{tt}+", "line 2: not DELAY_MS<TAB>PORT<TAB>SENDER<TAB>TEXT"},
      {"0\t29105\t10.0.0.5\tbad\\q", "line 2: unknown escape \\q"},
  };
  for (const Case& c : bad) {
    const ReplayScript script = ParseReplayText("#orvane-session 1\n" + c.line + "\n");
    EXPECT_NE(script.error.find(c.error), std::string::npos) << c.line << " -> " << script.error;
    EXPECT_TRUE(script.records.empty());
  }
  // The header only counts on the first line.
  const ReplayScript old_format = ParseReplayText("{a}\n#orvane-session 1\n");
  EXPECT_FALSE(old_format.session);
  EXPECT_EQ(old_format.records.size(), 2u);
}
}  // namespace
}  // namespace race_feed
