// Scratch / keirin records on the screen's data: competitor lines by list
// position, heat headings, clearing, and what the window is asked to do.
#include "records/columns.h"
#include "records/screen_data.h"
#include "support/record_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::string>;

Rows EmptyHeat() {
  return {"Heat Title:|", "Time:|", "Speed:|"};
}

Rows EmptyCompetitors() {
  Rows rows(kCompetitorRows, "|||||");
  rows[0] = "Rank|Bib|Competitor|NAT|Status|Laps-";
  return rows;
}

// A heat heading and a competitor line, so that a clearing shows.
void FillSomething(RecordsFixture& f) {
  f.Dispatch("{scratch}+{title}Old heat{time}1:00{spd}40");
  f.Dispatch("{scratch}+{list}0{rank}1{name}Old rider");
  ASSERT_EQ(GridRow(f.data.scratch.competitors, 1), "1||Old rider|||");
  f.journal.clear();
}

TEST(ScratchData, StartsEmptyAndClearScreenRestoresIt) {
  ScratchData data;
  EXPECT_EQ(GridRows(data.heat), EmptyHeat());
  EXPECT_EQ(GridRows(data.competitors), EmptyCompetitors());

  for (GridModel* grid : {&data.heat, &data.competitors}) {
    for (int col = 0; col < grid->ColCount(); ++col) {
      for (int row = 0; row < grid->RowCount(); ++row) {
        grid->SetCell(col, row, "x");
      }
    }
  }
  data.ClearScreen();
  EXPECT_EQ(GridRows(data.heat), EmptyHeat());
  EXPECT_EQ(GridRows(data.competitors), EmptyCompetitors());
}

TEST(ScratchRecords, CompetitorLineGoesToTheRowAfterItsListPosition) {
  struct Case {
    const char* name;
    std::string list;  // the "{list}" part of the record
    int row;           // the row written, -1 for none
  };
  const Case cases[] = {
      {"first", "{list}0", 1},
      {"last", "{list}49", 50},
      {"past the last", "{list}50", -1},
      {"negative", "{list}-1", -1},
      {"word reads as 0", "{list}abc", 1},
      {"missing reads as 0", "", 1},
      {"empty reads as 0", "{list}", 1},
      {"blanks around", "{list} 7 ", 8},
      {"minus stopped by a letter", "{list}-3x", 4},
      {"hex", "{list}$1F", 32},
      {"overflow", "{list}99999999999", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordsFixture f;
    f.Dispatch("{scratch}+" + c.list + "{rank}1{bib}12{name}A. Rider{nat}GBR{status}lead{laps}5");
    EXPECT_EQ(f.journal, Rows({"show scratch", "draw scratch"})) << "shown whatever the position";
    Rows expected = EmptyCompetitors();
    if (c.row >= 0) {
      expected[c.row] = "1|12|A. Rider|GBR|lead|5";
    }
    EXPECT_EQ(GridRows(f.data.scratch.competitors), expected);
    EXPECT_EQ(GridRows(f.data.scratch.heat), EmptyHeat());
  }
}

TEST(ScratchRecords, LaterLineRewritesTheWholeRowAndOnlyThatRow) {
  RecordsFixture f;
  f.Dispatch("{scratch}+{title}Keirin final{time}2:31{spd}61.2");
  f.Dispatch("{scratch}+{list}0{rank}1{name}Keep");
  f.Dispatch("{scratch}+{list}4{rank}2{bib}12{name}A{nat}GBR{status}ok{laps}3");
  f.Dispatch("{scratch}+{laps}2{list}4{bib}7{name}B");
  Rows expected = EmptyCompetitors();
  expected[1] = "1||Keep|||";
  expected[5] = "|7|B|||2";
  EXPECT_EQ(GridRows(f.data.scratch.competitors), expected);
  EXPECT_EQ(GridRows(f.data.scratch.heat),
            Rows({"Heat Title:|Keirin final", "Time:|2:31", "Speed:|61.2"}));
}

TEST(ScratchRecords, HeatHeadingClearsThenWritesTitleTimeAndSpeed) {
  struct Case {
    const char* name;
    std::string record;
    Rows heat;
  };
  const Case cases[] = {
      {"all three",
       "{scratch}+{title}Men Keirin Heat 2{time}10:42.1{spd}56.3 km/h",
       {"Heat Title:|Men Keirin Heat 2", "Time:|10:42.1", "Speed:|56.3 km/h"}},
      {"empty title", "{scratch}+{title}{time}3:10", {"Heat Title:|", "Time:|3:10", "Speed:|"}},
      {"title tag last", "{scratch}+{spd}50{title}", {"Heat Title:|", "Time:|", "Speed:|50"}},
      {"competitor tags ignored",
       "{scratch}+{list}3{name}Ignored{title} Final ",
       {"Heat Title:| Final ", "Time:|", "Speed:|"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordsFixture f;
    FillSomething(f);
    f.Dispatch(c.record);
    EXPECT_EQ(GridRows(f.data.scratch.heat), c.heat);
    EXPECT_EQ(GridRows(f.data.scratch.competitors), EmptyCompetitors());
  }
}

TEST(ScratchRecords, ClearOnlyClearsAndEndsTheRecord) {
  for (const char* record :
       {"{scratch}+{clr}+{title}New heat{time}1:00", "{scratch}+{clr}+{tt}+{standings}0{name}X",
        "{tt}+{clr}+{scratch}+", "{clr}+{list}0{name}X{tt}+{scratch}+{qdtype}+{sprintf}+"}) {
    SCOPED_TRACE(record);
    RecordsFixture f;
    FillSomething(f);
    f.Dispatch(record);
    EXPECT_EQ(GridRows(f.data.scratch.heat), EmptyHeat());
    EXPECT_EQ(GridRows(f.data.scratch.competitors), EmptyCompetitors());
    EXPECT_EQ(f.journal, Rows({"show scratch", "draw scratch"}))
        << "the later families of the record are not handled";
    EXPECT_EQ(GridRow(f.data.time_trial.standings, 1), "|||");
  }
}

TEST(ScratchRecords, ClearFlagNeedsALonePlus) {
  RecordsFixture f;
  FillSomething(f);
  f.Dispatch("{scratch}+{clr}++{list}2{name}Still listed");
  EXPECT_EQ(GridRow(f.data.scratch.competitors, 1), "1||Old rider|||");
  EXPECT_EQ(GridRow(f.data.scratch.competitors, 3), "||Still listed|||");
  EXPECT_EQ(f.data.scratch.heat.Cell(1, 0), "Old heat");
}

// Notes what the scratch data held when the window was asked to draw.
class DrawingWindow : public ScreenWindow {
 public:
  explicit DrawingWindow(const ScratchData& data) : data_(data) {}

  void ShowAndRaise() override { calls.push_back("show"); }
  void DrawPending() override {
    calls.push_back("draw");
    drawn = {GridRow(data_.heat, 0), GridRow(data_.competitors, 1)};
  }

  Rows calls;
  Rows drawn;

 private:
  const ScratchData& data_;
};

TEST(ScratchRecords, WindowIsShownAndDrawnBeforeAnyCellChanges) {
  for (const char* record :
       {"{scratch}+{list}0{name}New rider", "{scratch}+{title}New heat", "{scratch}+{clr}+"}) {
    SCOPED_TRACE(record);
    RecordsFixture f;
    FillSomething(f);
    DrawingWindow scratch(f.data.scratch);
    RecordDispatcher dispatcher(
        f.data, {&scratch, &f.quick_text, &f.sprint, &f.points_race, &f.time_trial}, f.log);
    dispatcher.DispatchRecord(record);
    EXPECT_EQ(scratch.calls, Rows({"show", "draw"}));
    EXPECT_EQ(scratch.drawn, Rows({"Heat Title:|Old heat", "1||Old rider|||"}));
  }
}

}  // namespace
