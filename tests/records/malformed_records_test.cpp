// Malformed records and every byte value: the rules write only what the
// record says, never out of range, whatever the text.
#include "records/columns.h"
#include "support/record_fakes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

TEST(MalformedRecords, PositionsTooLongFor32BitsWriteNothing) {
  RecordsFixture f;
  // Something in every grid, so a clearing would show as well as a write.
  for (const char* record :
       {"{scratch}+{list}0{name}KEEP", "{ptsrace}+{standings}0{name}KEEP",
        "{ptsrace}+{sprint}0{sname}KEEP{name1}KEEP", "{tt}+{standings}0{name}KEEP"}) {
    f.Dispatch(record);
  }
  const Lines before = Snapshot(f.data);
  // Each of these would land in range if it wrapped around 32 bits.
  for (const char* number :
       {"2147483648", "4294967296", "4294967301", "-2147483649", "-4294967291", "$100000005",
        "0x100000005", "X100000000", "99999999999999999999999999999"}) {
    for (const std::string& record :
         {"{scratch}+{list}" + std::string(number) + "{name}OVER",
          "{ptsrace}+{standings}" + std::string(number) + "{name}OVER",
          "{ptsrace}+{sprint}" + std::string(number) + "{sname}OVER{name1}OVER",
          "{tt}+{standings}" + std::string(number) + "{name}OVER"}) {
      SCOPED_TRACE(record);
      f.Dispatch(record);
      EXPECT_EQ(Snapshot(f.data), before);
    }
  }
}

std::string Repeat(std::string_view piece, std::size_t total) {
  std::string text;
  while (text.size() + piece.size() <= total) {
    text += piece;
  }
  return text;
}

// Which of scratch, quick text, sprint, points race and time trial were
// shown, as "+" or "-" each.
std::string ShownWindows(const Lines& journal) {
  std::string shown;
  for (const char* window : {"scratch", "quick_text", "sprint", "points_race", "time_trial"}) {
    bool found = false;
    for (const std::string& line : journal) {
      found = found || line == std::string("show ") + window;
    }
    shown += found ? "+" : "-";
  }
  return shown;
}

std::string Joined(const Lines& rows) {
  std::string joined;
  for (const std::string& row : rows) {
    joined += row + ";";
  }
  return joined;
}

// Rider panel 0: the name and the time line.
std::string RiderPanel0(const ScreenData& data) {
  const GridModel& summary = data.time_trial.panels[0].summary;
  return summary.Cell(0, 0) + "|" + summary.Cell(0, 1);
}

TEST(MalformedRecords, HandledAsWritten) {
  struct Case {
    const char* name;
    std::string record;
    const char* shown;  // scratch, quick text, sprint, points race, time trial
    std::function<std::string(const ScreenData&)> probe;
    std::string expected;
  };
  const Case cases[] = {
      {"only opening braces", std::string(1024, '{'), "-----", nullptr, ""},
      {"only closing braces", std::string(1024, '}'), "-----", nullptr, ""},
      {"empty tags", Repeat("{}", 1024), "-----", nullptr, ""},
      {"flag found inside a brace run", std::string(1000, '{') + "{tt}+", "----+", nullptr, ""},
      {"flag before a brace run", "{sprintf}+" + std::string(1014, '{'), "--+--", nullptr, ""},
      {"heat title without values", "{scratch}+{title}{time}{spd}" + std::string(996, '{'), "+----",
       [](const ScreenData& d) { return Joined(GridRows(d.scratch.heat)); },
       "Heat Title:|;Time:|;Speed:|;"},
      {"quick text flag then braces", "{qdtype}+" + std::string(1015, '{'), "-+---",
       [](const ScreenData& d) { return Joined(GridRows(d.quick_text.lines)); },
       std::string(kQuickTextLines, ';')},
      {"unterminated tag at the end", "{tt}+{tick-hit}1{crs}0{stack}0{time}1:02{name", "----+",
       RiderPanel0, "|1:02"},
      {"repeated tag without value",
       "{tt}+{tick-hit}1{crs}1{stack}1{time}1:02" + Repeat("{name}", 980), "----+", RiderPanel0,
       "|1:02"},
      // The value is cut 255 characters after the tag's opening brace.
      {"closing braces as a value", "{sprintf}+{r1}" + std::string(1010, '}'), "--+--",
       [](const ScreenData& d) { return d.sprint.heat.Cell(2, 0); }, std::string(251, '}')},
      {"lap tags without closing brace", "{tt}+{tick-hit}1{ltg1{ltg2{ltg41}5{ltg42}6", "----+",
       [](const ScreenData& d) {
         const GridModel& laps = d.time_trial.panels[1].laps;
         return laps.Cell(0, 1) + "|" + laps.Cell(0, 2) + "|" + laps.Cell(0, 41);
       },
       "||5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordsFixture f;
    f.Dispatch(c.record);
    EXPECT_EQ(ShownWindows(f.journal), c.shown);
    EXPECT_TRUE(f.log.lines.empty());
    if (c.probe) {
      EXPECT_EQ(c.probe(f.data), c.expected);
    }
  }
}

// The listener cuts a datagram at its first zero byte, so byte 0 never
// reaches the rules; every other byte does.
TEST(Bytes, EveryByteValueInsideAValueOfEveryFamily) {
  struct Family {
    const char* name;
    std::string before;  // the record up to the byte, which sits inside a value
    std::string after;
    char ends_value;  // "{" for a tag value, "," for a quick-text line
    std::function<std::string(const ScreenData&)> shown;
  };
  const Family families[] = {
      {"scratch", "{scratch}+{list}3{name}A", "Z{nat}GBR", '{',
       [](const ScreenData& d) { return d.scratch.competitors.Cell(2, 4); }},
      {"quick text", "{qdtype}+{data},A", "Z,two,", ',',
       [](const ScreenData& d) { return d.quick_text.lines.Cell(0, 0); }},
      {"sprint", "{sprintf}+{title}Heat{r1}A", "Z{et}10.5", '{',
       [](const ScreenData& d) { return d.sprint.heat.Cell(2, 0); }},
      {"points race", "{ptsrace}+{standings}0{bib}7{name}A", "Z{pts}5", '{',
       [](const ScreenData& d) { return d.points_race.standings.Cell(1, 1).substr(2); }},
      {"time trial", "{tt}+{tick-hit}1{crs}0{stack}0{name}A", "Z{time}1:02", '{',
       [](const ScreenData& d) { return d.time_trial.panels[0].summary.Cell(0, 0); }},
  };
  RecordsFixture f;
  for (const Family& family : families) {
    SCOPED_TRACE(family.name);
    for (int value = 1; value < 256; ++value) {
      const char byte = static_cast<char>(value);
      f.Dispatch(family.before + byte + family.after);
      const std::string expected = byte == family.ends_value ? "A" : std::string("A") + byte + "Z";
      ASSERT_EQ(family.shown(f.data), expected) << "byte " << value;
    }
  }
  EXPECT_TRUE(f.log.lines.empty());

  // A flag is set by a lone "+", which only the next tag ends.
  for (int value = 1; value < 256; ++value) {
    RecordsFixture own;
    own.Dispatch(std::string("{heartbeat}+") + static_cast<char>(value) + "{tt}+");
    const bool set = value == '{';
    EXPECT_EQ(own.log.lines, set ? Lines({"Heartbeat received from SERVER!!"}) : Lines())
        << "byte " << value;
    EXPECT_EQ(own.journal, set ? Lines() : Lines({"show time_trial"})) << "byte " << value;
  }
}

}  // namespace
