// DispatchRecord on the screens' data: the heartbeat, the hidden main
// window, the family flags and the order the families act in.
#include "records/dispatch.h"
#include "support/record_fakes.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

TEST(Heartbeat, AddsOnlyItsLineAndEndsTheRecord) {
  RecordsFixture f;
  const Lines before = Snapshot(f.data);
  f.Dispatch("{tt}+{heartbeat}+{scratch}+{qdtype}+{data},a,{standings}0{name}X");
  EXPECT_EQ(f.log.lines, Lines({"Heartbeat received from SERVER!!"}));
  EXPECT_TRUE(f.journal.empty());
  EXPECT_EQ(Snapshot(f.data), before);
}

TEST(Dispatch, HiddenMainWindowHandlesNothing) {
  RecordsFixture f;
  f.log.shown = false;
  const Lines before = Snapshot(f.data);
  for (const char* record : {"{heartbeat}+", "{tt}+{standings}0{name}X", "{scratch}+{clr}+",
                             "{qdtype}+{data},a,", "{sprintf}+{r1}X", "{ptsrace}+{sprint}0"}) {
    f.Dispatch(record);
  }
  EXPECT_TRUE(f.log.lines.empty());
  EXPECT_TRUE(f.journal.empty());
  EXPECT_EQ(Snapshot(f.data), before);
}

TEST(Dispatch, ARecordWithoutAFamilyFlagChangesNothing) {
  RecordsFixture f;
  const Lines before = Snapshot(f.data);
  for (const char* record :
       {"", "{tt}", "{tt} +", "{tt}+ ", "{TT}+", "{tt}++", "{tt}1", "{sprint}+{clr}+",
        "{sprint}+{r1}X", "{clr}+{list}0{name}A{title}T", "{data},a,b,", "{{{{", "}}}{",
        "{heartbeat}", "{heartbeat}++", "{ tt}+", "{tt }+", "tt+", "{tt+}"}) {
    SCOPED_TRACE(record);
    f.Dispatch(record);
    EXPECT_TRUE(f.journal.empty());
    EXPECT_TRUE(f.log.lines.empty());
    EXPECT_EQ(Snapshot(f.data), before);
  }
}

// Something each family would visibly write, were its flag set.
struct Family {
  const char* flag;
  const char* window;
  const char* payload;
};

const Family kFamilies[] = {
    {"{scratch}", "scratch", "{list}0{name}A"},
    {"{qdtype}", "quick_text", "{data},A,B,"},
    {"{sprintf}", "sprint", "{title}T{r1}A"},
    {"{ptsrace}", "points_race", "{standings}0{name}A{sprint}0{sname}S"},
    {"{tt}", "time_trial", "{standings}0{name}A"},
};

std::string UpperCase(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return text;
}

TEST(FamilyFlags, OnlyALonePlusSelectsAFamily) {
  struct Value {
    const char* name;
    std::string (*flag)(const std::string& tag);
    bool selects;
  };
  const Value values[] = {
      {"lone plus", [](const std::string& tag) { return tag + "+"; }, true},
      {"two plus signs", [](const std::string& tag) { return tag + "++"; }, false},
      {"blank before", [](const std::string& tag) { return tag + " +"; }, false},
      {"blank after", [](const std::string& tag) { return tag + "+ "; }, false},
      {"empty", [](const std::string& tag) { return tag; }, false},
      {"one", [](const std::string& tag) { return tag + "1"; }, false},
      {"minus", [](const std::string& tag) { return tag + "-"; }, false},
      {"upper case tag", [](const std::string& tag) { return UpperCase(tag) + "+"; }, false},
      {"tag missing", [](const std::string&) { return std::string(); }, false},
  };
  for (const Family& family : kFamilies) {
    for (const Value& value : values) {
      const std::string record = value.flag(family.flag) + family.payload;
      SCOPED_TRACE(record);
      RecordsFixture f;
      const Lines before = Snapshot(f.data);
      f.Dispatch(record);
      if (value.selects) {
        EXPECT_EQ(f.journal.front(), std::string("show ") + family.window);
        EXPECT_NE(Snapshot(f.data), before) << "the payload shows when the family acts";
      } else {
        EXPECT_TRUE(f.journal.empty());
        EXPECT_EQ(Snapshot(f.data), before);
      }
    }
  }
}

TEST(Dispatch, FamiliesActInTheirFixedOrderWhateverTheTagOrder) {
  struct Case {
    const char* record;
    Lines journal;
  };
  const Case cases[] = {
      {"{tt}+{qdtype}+{data},one,", {"show quick_text", "show time_trial"}},
      {"{tt}+{ptsrace}+{sprintf}+{qdtype}+{scratch}+{data},one,",
       {"show scratch", "draw scratch", "show quick_text", "show sprint", "show points_race",
        "show time_trial"}},
      {"{ptsrace}+{sprintf}+", {"show sprint", "show points_race"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    RecordsFixture f;
    f.Dispatch(c.record);
    EXPECT_EQ(f.journal, c.journal);
    EXPECT_TRUE(f.log.lines.empty());
  }
}

TEST(Dispatch, EveryFamilyOfARecordWritesItsOwnData) {
  RecordsFixture f;
  f.Dispatch("{tt}+{ptsrace}+{sprintf}+{qdtype}+{scratch}+{standings}0{name}A{title}T{data},L1,");
  EXPECT_EQ(f.data.scratch.heat.Cell(1, 0), "T");
  EXPECT_EQ(f.data.quick_text.lines.Cell(0, 0), "L1");
  EXPECT_EQ(f.data.sprint.title.Text(), "T");
  EXPECT_EQ(GridRow(f.data.points_race.standings, 1), "| A||||||");
  EXPECT_EQ(GridRow(f.data.time_trial.standings, 1), "|A||");
}

}  // namespace
