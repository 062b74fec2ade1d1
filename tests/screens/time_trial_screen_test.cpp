// The time trial screen's own parts: what it does when it comes into view,
// its anchoring on a larger client area, stacking and the readouts.
#include "screens/time_trial_screen.h"
#include "platform/fonts.h"
#include "platform/grid_view.h"
#include "support/test_support.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

bool Within(const QWidget* widget, const QWidget& ancestor) {
  return widget != nullptr && (widget == &ancestor || ancestor.isAncestorOf(widget));
}

class TimeTrialScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { Screen().EnsureBuilt(); }  // looked at while still hidden
  TimeTrialScreen& Screen() { return fixture.App().TimeTrial(); }
  TimeTrialData& Data() { return fixture.Data().time_trial; }
  template <typename Control>
  Control& Part(const char* name) {
    return Find<Control>(Screen(), name);
  }
  void Show() {
    Screen().ShowAndRaise();
    Settle();
  }

  CommentatorFixture fixture;
};

TEST_F(TimeTrialScreenTest, EachShowingFromHiddenEmptiesTheScreenAndSetsRowHeights) {
  Data().standings.SetCell(1, 0, "heading");
  Data().standings.SetCell(1, 1, "before");
  Data().panels[0].time.SetText("1:00");
  Show();
  EXPECT_EQ(Data().standings.Cell(1, 1), "");
  EXPECT_EQ(Data().standings.Cell(1, 0), "heading") << "row 0 is never cleared";
  EXPECT_EQ(GridRow(Data().panels[1].laps, 0), "ToGo|Net|Diff");
  EXPECT_EQ(Part<QLabel>("TLabel0").text(), "");
  for (const char* grid : {"standings_stringgrid", "StringGrid01", "StringGrid11"}) {
    EXPECT_EQ(Part<GridView>(grid).RowHeight(1), 18) << grid;
  }
  for (const char* grid : {"StringGrid00", "StringGrid10"}) {
    EXPECT_EQ(Part<GridView>(grid).RowHeight(3), 24) << grid;
  }

  // Shown again while visible: only brought to the front.
  Data().standings.SetCell(1, 1, "ANNA");
  Show();
  EXPECT_EQ(Data().standings.Cell(1, 1), "ANNA");

  Screen().hide();
  Show();
  EXPECT_EQ(Data().standings.Cell(1, 1), "");
}

TEST_F(TimeTrialScreenTest, ControlsFollowALargerClientArea) {
  Show();
  Screen().setFixedSize(1018, 743);
  Settle();
  ASSERT_EQ(Screen().size(), QSize(1018, 743));

  EXPECT_EQ(Part<QGroupBox>("GroupBox1").geometry(), QRect(8, 4, 441, 735));
  EXPECT_EQ(Part<QGroupBox>("GroupBox2").geometry(), QRect(585, 4, 427, 735));
  EXPECT_EQ(Part<QGroupBox>("standings_groupbox").geometry(), QRect(314, 136, 401, 603));
  EXPECT_EQ(Part<QLabel>("Image1").geometry(), QRect(467, 8, 105, 113));
  EXPECT_EQ(Part<GridView>("StringGrid01").geometry(), QRect(8, 132, 260, 595));
  EXPECT_EQ(Part<GridView>("StringGrid11").geometry(), QRect(176, 132, 246, 595));
  EXPECT_EQ(Part<GridView>("standings_stringgrid").geometry(), QRect(12, 20, 381, 579));
  EXPECT_EQ(Part<GridView>("StringGrid00").geometry(), QRect(8, 12, 249, 105));
  EXPECT_EQ(Part<QLabel>("TLabeld1").geometry(), QRect(4, 68, 182, 48));

  // The standings box lies over the panels it overlaps.
  const QGroupBox& standings = Part<QGroupBox>("standings_groupbox");
  EXPECT_TRUE(Within(Screen().childAt(420, 400), standings));
  EXPECT_TRUE(Within(Screen().childAt(600, 400), standings));
}

TEST_F(TimeTrialScreenTest, StackingAtTheDesignedSize) {
  Show();
  Screen().setFixedSize(TimeTrialScreen::kDesignClient);
  Settle();
  ASSERT_EQ(Part<QLabel>("Image1").geometry(), QRect(399, 8, 105, 113));
  // The panels cover the picture, and each panel's grids cover its labels.
  EXPECT_TRUE(Within(Screen().childAt(420, 30), Part<QGroupBox>("GroupBox1")));
  EXPECT_TRUE(Within(Screen().childAt(480, 30), Part<QGroupBox>("GroupBox2")));
  EXPECT_TRUE(Within(Screen().childAt(452 + 180, 4 + 40), Part<GridView>("StringGrid10")));
  EXPECT_TRUE(Within(Screen().childAt(8 + 256, 4 + 40), Part<GridView>("StringGrid00")));
  EXPECT_TRUE(Within(Screen().childAt(8 + 300, 4 + 40), Part<QLabel>("TLabel0")));
}

TEST_F(TimeTrialScreenTest, ReadoutsShowTheirTextsInTheSevenSegmentFace) {
  for (const char* name : {"TLabel0", "TLabel1", "TLabeld0", "TLabeld1"}) {
    SCOPED_TRACE(name);
    const QLabel& label = Part<QLabel>(name);
    const QFontInfo face(label.font());
    EXPECT_EQ(face.family(), FaceFamily(Face::kLcdD));
    EXPECT_EQ(face.pixelSize(), 48);
    EXPECT_TRUE(face.bold());
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_EQ(label.size(), QSize(182, 48));
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
    // A time with minutes fits the readout whole.
    EXPECT_LE(QFontMetrics(label.font()).horizontalAdvance(QStringLiteral("4:12.381")), 182);
  }
  EXPECT_TRUE(Part<QLabel>("TLabel0").alignment() & Qt::AlignRight);
  EXPECT_TRUE(Part<QLabel>("TLabel1").alignment() & Qt::AlignLeft);

  Show();
  Data().panels[0].time.SetText("2:22.035");
  Data().panels[0].difference.SetText("-0.412");
  Data().panels[1].time.SetText("<1:51.\xb1>");
  Data().panels[1].difference.SetText("+0.734");
  EXPECT_EQ(Part<QLabel>("TLabel0").text(), "2:22.035");
  EXPECT_EQ(Part<QLabel>("TLabeld0").text(), "-0.412");
  EXPECT_EQ(Part<QLabel>("TLabel1").text(), QString::fromLatin1("<1:51.\xb1>"));
  EXPECT_EQ(Part<QLabel>("TLabeld1").text(), "+0.734");
}

}  // namespace
