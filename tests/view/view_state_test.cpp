// The view documents from the record rules' own report and data: which
// screens a record touches and brings forward, and what each document says.
#include "view/view_state.h"
#include "records/shadow_screens.h"
#include "view/view_log.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using view::Screen;

view::ScreenSet Set(std::initializer_list<Screen> screens) {
  view::ScreenSet set;
  for (const Screen screen : screens) {
    set.set(static_cast<std::size_t>(screen));
  }
  return set;
}

struct TouchCase {
  const char* name;
  std::vector<std::string> before;  // records taken first, not looked at
  std::string record;
  view::ScreenSet written;
  view::ScreenSet forward;
};

class Touches : public testing::TestWithParam<TouchCase> {};

TEST_P(Touches, FollowTheRulesReport) {
  const TouchCase& c = GetParam();
  ShadowScreens screens;
  for (const std::string& record : c.before) {
    screens.Take(record);
  }
  const view::Touched touched = view::ScreensTouched(screens.Take(c.record));
  EXPECT_EQ(touched.written, c.written);
  EXPECT_EQ(touched.forward, c.forward);
}

INSTANTIATE_TEST_SUITE_P(
    Records, Touches,
    testing::Values(
        TouchCase{"ScratchLine",
                  {},
                  "{scratch}+{list}0{bib}62{name}E. FISCHER",
                  Set({Screen::kScratch}),
                  Set({Screen::kScratch})},
        TouchCase{"QuickText",
                  {},
                  "{qdtype}+{data},ONE,TWO,",
                  Set({Screen::kQuickText}),
                  Set({Screen::kQuickText})},
        TouchCase{"Sprint",
                  {},
                  "{sprintf}+{title}HEAT 1{r1}47 L. MARTENS",
                  Set({Screen::kSprint}),
                  Set({Screen::kSprint})},
        TouchCase{"PointsSprint",
                  {},
                  "{ptsrace}+{sprint}1{sname}Sprint 2{name1}21 S. MUELLER",
                  Set({Screen::kPointsRace}),
                  Set({Screen::kPointsRace})},
        TouchCase{
            "TimeTrial", {}, "{tt}+{clr}+", Set({Screen::kTimeTrial}), Set({Screen::kTimeTrial})},
        TouchCase{"Heartbeat", {}, "{heartbeat}+", {}, {}},
        TouchCase{"NoFamily", {}, "{nothing}+{name}X", {}, {}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

QJsonObject Parse(const std::string& document) {
  QJsonParseError error;
  const QJsonDocument parsed = QJsonDocument::fromJson(QByteArray::fromStdString(document), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << document;
  return parsed.object();
}

QJsonArray Row(const QJsonObject& grid, int row) {
  return grid["rows"].toArray().at(row).toArray();
}

TEST(Documents, CarryTheStampAndTheScreen) {
  ShadowScreens screens;
  const QJsonObject doc = Parse(view::ScreenDocument(Screen::kQuickText, screens.Data(),
                                                     {.sequence = 9007199254740991ULL,
                                                      .received_us = 1765432100123456,
                                                      .published_us = 1765432100223456,
                                                      .forward = 7}));
  EXPECT_EQ(doc["format"].toString(), "orvane-view");
  EXPECT_EQ(doc["version"].toInt(), view::kFormatVersion);
  EXPECT_EQ(doc["screen"].toString(), "quick_text");
  // Integers up to 2^53 - 1 survive JavaScript's numbers.
  EXPECT_EQ(doc["sequence"].toInteger(), 9007199254740991LL);
  EXPECT_EQ(doc["received_us"].toInteger(), 1765432100123456LL);
  EXPECT_EQ(doc["forward"].toInteger(), 7);
  EXPECT_EQ(doc["lines"].toArray().size(), 8);
}

TEST(Documents, ScratchHasHeadingsWidthsAndCellsAsLatin1) {
  ShadowScreens screens;
  screens.Take("{scratch}+{clr}+");
  screens.Take("{scratch}+{title}HEAT 2{time}1:02.3{spd}");
  screens.Take("{scratch}+{list}2{rank}3{bib}62{name}J\xD6RG M\xDCLLER{nat}GER{laps}4");
  const QJsonObject doc =
      Parse(view::ScreenDocument(Screen::kScratch, screens.Data(), {.sequence = 3}));
  const QJsonObject competitors = doc["competitors"].toObject();
  EXPECT_EQ(competitors["row_count"].toInt(), kCompetitorRows);
  EXPECT_EQ(competitors["fixed_rows"].toInt(), 1);
  EXPECT_EQ(Row(competitors, 0).at(0).toString(), "Rank");
  EXPECT_EQ(Row(competitors, 0).at(5).toString(), "Laps-");
  EXPECT_EQ(competitors["widths"].toArray().at(2).toInt(), 360);
  // List position 2 is grid row 3; the empty rows after it are left off.
  ASSERT_EQ(competitors["rows"].toArray().size(), 4);
  EXPECT_EQ(Row(competitors, 3).at(2).toString(), QString::fromUtf8("JÖRG MÜLLER"));
  EXPECT_EQ(Row(competitors, 1).at(2).toString(), "");
  const QJsonObject heat = doc["heat"].toObject();
  EXPECT_EQ(Row(heat, 0).at(0).toString(), "Heat Title:");
  EXPECT_EQ(Row(heat, 0).at(1).toString(), "HEAT 2");
  EXPECT_EQ(Row(heat, 1).at(1).toString(), "1:02.3");
}

TEST(Documents, PointsRaceCarriesEverySprintAsTheDesktopWouldShowIt) {
  ShadowScreens screens;
  screens.Take("{ptsrace}+{clr}+");
  screens.Take(
      "{ptsrace}+{sprint}1{sname}Sprint 2 - Lap 60{name1}21 S. MUELLER{pts1}5{name2}12 M. VAN "
      "DIJKHUIS{pts2}3{standings}0{rnk}1{bib}21{name}S. MUELLER{pts}10");
  const PointsRaceData& data = screens.Data().points_race;
  const QJsonObject doc =
      Parse(view::ScreenDocument(Screen::kPointsRace, screens.Data(), {.sequence = 2}));
  const QJsonArray sprints = doc["sprints"].toArray();
  ASSERT_EQ(sprints.size(), kSprintCount);
  // The sprint the desktop shows equals its entry; every other is the
  // desktop's cells once chosen.
  EXPECT_EQ(doc["chosen_sprint"].toInt(), data.ChosenSprint());
  for (int sprint = 0; sprint < kSprintCount; ++sprint) {
    for (int place = 1; place <= kSprintPlaces; ++place) {
      for (int col = 0; col < 3; ++col) {
        EXPECT_EQ(sprints.at(sprint).toArray().at(place - 1).toArray().at(col).toString(),
                  QString::fromLatin1(data.ShownSprintCell(sprint, col, place)));
      }
    }
  }
  EXPECT_EQ(sprints.at(1).toArray().at(0).toArray().at(1).toString(), "21 S. MUELLER");
  EXPECT_EQ(doc["sprint_names"].toArray().at(1).toString(),
            QString::fromLatin1(data.sprint_names.Cell(0, 1)));
  const QJsonObject standings = doc["standings"].toObject();
  EXPECT_EQ(Row(standings, 1).at(3).toString(), "10");
  EXPECT_EQ(standings["widths"].toArray().at(5).toInt(), 0);  // a value riding along, hidden
}

TEST(Documents, TimeTrialHasBothPanels) {
  ShadowScreens screens;
  screens.Take("{tt}+{clr}+");
  screens.Take(
      "{tt}+{tick-hit}1{crs}0{stack}1{name}L. MARTENS BEL{time}21.90{diff}-0.10{rank}1{spdk}41.10"
      "{ltg}15{dist}250 m{ltg1}15{ltg2}14");
  const TimeTrialData& data = screens.Data().time_trial;
  const QJsonObject doc =
      Parse(view::ScreenDocument(Screen::kTimeTrial, screens.Data(), {.sequence = 2}));
  const QJsonArray panels = doc["panels"].toArray();
  ASSERT_EQ(panels.size(), 2);
  for (int p = 0; p < 2; ++p) {
    const QJsonObject panel = panels.at(p).toObject();
    EXPECT_EQ(panel["time"].toString(), QString::fromLatin1(data.panels[p].time.Text()));
    EXPECT_EQ(panel["difference"].toString(),
              QString::fromLatin1(data.panels[p].difference.Text()));
    for (int row = 0; row < kSummaryRows; ++row) {
      EXPECT_EQ(panel["summary"].toArray().at(row).toString(),
                QString::fromLatin1(data.panels[p].summary.Cell(0, row)));
    }
    EXPECT_EQ(Row(panel["laps"].toObject(), 0).at(0).toString(), "ToGo");
  }
  EXPECT_FALSE(data.panels[0].time.Text().empty() && data.panels[1].time.Text().empty());
}

// As on the desktop, where the time trial screen's first showing clears
// its data: the lap tables have their headings though no record cleared them.
TEST(Documents, TimeTrialFirstShownHasItsLapHeadings) {
  ShadowScreens screens;
  screens.Take("{tt}+{standings}0{rnk}1{name}A. RIDER{score}4:06.905");
  const QJsonObject doc =
      Parse(view::ScreenDocument(Screen::kTimeTrial, screens.Data(), {.sequence = 1}));
  for (const QJsonValue panel : doc["panels"].toArray()) {
    EXPECT_EQ(Row(panel.toObject()["laps"].toObject(), 0).at(1).toString(), "Net");
  }
  EXPECT_EQ(Row(doc["standings"].toObject(), 1).at(1).toString(), "A. RIDER");
}

TEST(Documents, LogKeepsTheLast30LinesTheRulesWrote) {
  view::ViewLog log;
  ShadowScreens screens(&log);
  for (int i = 0; i < 35; ++i) {
    screens.Take("{heartbeat}+");
  }
  EXPECT_EQ(log.Lines().size(), view::ViewLog::kLines);
  EXPECT_EQ(log.Generation(), 35u);
  const QJsonObject doc = Parse(view::LogDocument(log.Lines(), {}));
  EXPECT_EQ(doc["lines"].toArray().size(), 30);
  EXPECT_EQ(doc["lines"].toArray().at(29).toString(), QString::fromLatin1(kHeartbeatLine));
}

}  // namespace
