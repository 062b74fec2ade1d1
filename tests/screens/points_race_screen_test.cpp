// The points race screen's own parts: the sprint chooser, the name column
// that widens on wide screens, and the layout of a larger client area.
#include "screens/points_race_screen.h"
#include "platform/grid_view.h"
#include "screens/event_screen.h"
#include "support/test_support.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::string>;

const Rows kNoSprintRows = {"Rank|Name|Points", "1||", "2||", "3||", "4||", "5||"};
const Rows kSprintRiderRows = {"Rank|Name|Points", "1|R1|5", "2|R2|4",
                               "3|R3|3",           "4|R4|2", "5|R5|1"};

// The results of sprint k, as the points race records store them.
void StoreSprint(PointsRaceData& data, int sprint) {
  for (int place = 1; place <= 5; ++place) {
    data.sprint_store.SetCell(2 * (place - 1), sprint, "R" + std::to_string(place));
    data.sprint_store.SetCell(2 * (place - 1) + 1, sprint, std::to_string(6 - place));
  }
}

std::vector<std::string> Entries(const QComboBox& chooser) {
  std::vector<std::string> entries;
  for (int i = 0; i < chooser.count(); ++i) {
    entries.push_back(chooser.itemText(i).toStdString());
  }
  return entries;
}

class PointsRaceScreenTest : public ::testing::Test {
 protected:
  PointsRaceScreen& Screen() { return fixture.App().PointsRace(); }
  PointsRaceData& Data() { return fixture.Data().points_race; }
  GridView& Standings() { return Find<GridView>(Screen(), "StringGrid1"); }
  QComboBox& Chooser() { return Find<QComboBox>(Screen(), "ComboBox1"); }
  void Show() {
    Screen().ShowAndRaise();
    Settle();
  }

  CommentatorFixture fixture;
};

TEST_F(PointsRaceScreenTest, ChooserOffersThirtySprintsInTheDisplayColours) {
  Show();
  std::vector<std::string> numbers;
  for (int i = 1; i <= 30; ++i) {
    numbers.push_back(std::to_string(i));
  }
  EXPECT_EQ(Entries(Chooser()), numbers);
  EXPECT_EQ(Chooser().currentIndex(), 0);
  EXPECT_FALSE(Chooser().isEditable());
  EXPECT_EQ(Chooser().maxVisibleItems(), 8);
  EXPECT_EQ(Screen().focusWidget(), &Standings());
  for (const QWidget* part :
       {static_cast<const QWidget*>(&Chooser()), static_cast<const QWidget*>(Chooser().view())}) {
    EXPECT_EQ(part->palette().color(QPalette::Base), kDisplayColours.background);
    EXPECT_EQ(part->palette().color(QPalette::Button), kDisplayColours.background);
    EXPECT_EQ(part->palette().color(QPalette::Text), kDisplayColours.text);
    EXPECT_EQ(part->palette().color(QPalette::ButtonText), kDisplayColours.text);
  }
}

TEST_F(PointsRaceScreenTest, OnlyTheCommentatorsChoiceShowsASprint) {
  Show();
  StoreSprint(Data(), 1);
  ASSERT_EQ(GridRows(Data().shown_sprint),
            (Rows{"Rank|Name|Points", "||", "||", "||", "||", "||"}));

  PressKey(&Chooser(), Qt::Key_Down);
  ASSERT_EQ(Chooser().currentIndex(), 1);
  EXPECT_EQ(Data().ChosenSprint(), 1);
  EXPECT_EQ(GridRows(Data().shown_sprint), kSprintRiderRows);

  PressKey(&Chooser(), Qt::Key_Up);
  EXPECT_EQ(GridRows(Data().shown_sprint), kNoSprintRows) << "a sprint with no results yet";

  Chooser().setCurrentIndex(1);  // from code: nothing shown changes
  EXPECT_EQ(Data().ChosenSprint(), 0);
  EXPECT_EQ(GridRows(Data().shown_sprint), kNoSprintRows);
}

TEST_F(PointsRaceScreenTest, ARenamedEntryKeepsTheChoice) {
  Show();
  for (int step = 0; step < 3; ++step) {
    PressKey(&Chooser(), Qt::Key_Down);
  }
  ASSERT_EQ(Chooser().currentIndex(), 3);
  fixture.Dispatch(
      "{ptsrace}+{sprint}3{sname}Sprint four{name1}R1{pts1}5{name2}R2{pts2}4"
      "{name3}R3{pts3}3{name4}R4{pts4}2{name5}R5{pts5}1");
  EXPECT_EQ(Chooser().itemText(3), "Sprint four");
  EXPECT_EQ(Chooser().currentText(), "Sprint four");
  EXPECT_EQ(Chooser().currentIndex(), 3);
  EXPECT_EQ(GridRows(Data().shown_sprint), kSprintRiderRows);
}

TEST_F(PointsRaceScreenTest, NameColumnWidensOnlyOnScreensWiderThan800) {
  Show();
  for (int width : {800, 801}) {
    SCOPED_TRACE(width);
    Screen().FitToScreen(QSize(width, 600));
    EXPECT_EQ(Standings().ColWidth(1), width > 800 ? 240 : 120);
  }
  // Once wide, a narrower screen does not narrow it again.
  Screen().FitToScreen(QSize(800, 600));
  EXPECT_EQ(Standings().ColWidth(1), 240);
}

TEST_F(PointsRaceScreenTest, LargerClientGrowsTheStandingsAndKeepsTheRightHandSide) {
  Show();
  const QSize client(1016, 741);
  Screen().setFixedSize(client);
  Settle();
  ASSERT_EQ(Screen().size(), client);

  EXPECT_EQ(Find<QGroupBox>(Screen(), "GroupBox1").geometry(),
            QRect(8, 8, 1016 - 339 - 8, 741 - 12 - 8));
  EXPECT_EQ(Standings().geometry(), QRect(12, 16, 669 - 24, 721 - 28));
  const QGroupBox& sprints = Find<QGroupBox>(Screen(), "GroupBox2");
  EXPECT_EQ(sprints.title(), "Sprints");
  EXPECT_EQ(sprints.geometry(), QRect(1016 - 7 - 325, 8, 325, 265));
  EXPECT_EQ(Chooser().geometry(), QRect(16, 20, 289, 24));
  EXPECT_EQ(Find<GridView>(Screen(), "StringGrid2").geometry(), QRect(8, 52, 313, 205));
  EXPECT_EQ(Find<QLabel>(Screen(), "Image1").geometry(),
            QRect(1016 - 125 - 105, 741 - 12 - 109, 105, 109));
}

}  // namespace
