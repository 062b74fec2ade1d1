// The scratch / keirin screen's own look, its anchoring, and its clearing
// when it comes into view.
#include "screens/scratch_screen.h"
#include "platform/grid_view.h"
#include "support/test_support.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::string>;

class ScratchScreenTest : public ::testing::Test {
 protected:
  ScratchScreen& Screen() { return fixture.App().Scratch(); }
  template <typename Control>
  Control& Part(const char* name) {
    return Find<Control>(Screen(), name);
  }

  CommentatorFixture fixture;
};

TEST_F(ScratchScreenTest, LooksAsDesigned) {
  Screen().ShowAndRaise();
  Screen().resize(ScratchScreen::kClientSize);
  Settle();

  EXPECT_EQ(Screen().palette().color(QPalette::Window), QColor(166, 202, 240));
  EXPECT_EQ(Part<QGroupBox>("GroupBox1").title(), "Event Info / Metrics");
  EXPECT_EQ(Part<QGroupBox>("GroupBox2").title(), "Competitors");

  GridView& heat = Part<GridView>("StringGrid1");
  GridView& competitors = Part<GridView>("StringGrid2");
  EXPECT_EQ(heat.accessibleName(), "Heat information");
  EXPECT_EQ(competitors.accessibleName(), "Competitors");
  EXPECT_FALSE(heat.horizontalHeader()->isVisible());
  EXPECT_FALSE(heat.verticalHeader()->isVisible());
  EXPECT_TRUE(competitors.horizontalHeader()->isVisible());
  EXPECT_FALSE(competitors.verticalHeader()->isVisible());
  EXPECT_EQ(competitors.horizontalHeader()->height(), 24);
  EXPECT_EQ(competitors.horizontalHeader()->font(), competitors.font()) << "headings in grid type";
  EXPECT_EQ(heat.rowHeight(0), 24);
  EXPECT_EQ(competitors.rowHeight(49), 24);
  for (GridView* grid : {&heat, &competitors}) {
    EXPECT_TRUE(grid->font().bold());
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  }
  EXPECT_EQ(heat.font().pixelSize(), 19);
  EXPECT_EQ(competitors.font().pixelSize(), 16);

  // The heat grid fits; the 50 competitor rows need a vertical scroll bar.
  EXPECT_FALSE(heat.verticalScrollBar()->isVisible());
  EXPECT_FALSE(heat.horizontalScrollBar()->isVisible());
  EXPECT_TRUE(competitors.verticalScrollBar()->isVisible());
  EXPECT_FALSE(competitors.horizontalScrollBar()->isVisible());

  const QLabel& badge = Part<QLabel>("Image1");
  const QLabel& banner = Part<QLabel>("Image2");
  EXPECT_EQ(badge.pixmap().size(), QSize(90, 79));
  EXPECT_FALSE(badge.hasScaledContents());
  EXPECT_EQ(banner.pixmap().size(), QSize(220, 67));
  EXPECT_TRUE(banner.hasScaledContents());
  EXPECT_EQ(banner.size(), QSize(177, 45));
}

TEST_F(ScratchScreenTest, ControlsFollowTheClientArea) {
  Screen().ShowAndRaise();
  Screen().resize(1040, 766);
  Settle();
  auto right_gap = [](const QWidget& child) {
    return child.parentWidget()->width() - (child.x() + child.width());
  };
  EXPECT_EQ(Part<QGroupBox>("GroupBox1").geometry(), QRect(116, 12, 589, 113));
  EXPECT_EQ(Part<GridView>("StringGrid1").geometry(), QRect(12, 16, 561, 89));
  EXPECT_EQ(Part<QGroupBox>("GroupBox2").geometry(), QRect(24, 140, 1010, 617));
  EXPECT_EQ(Part<GridView>("StringGrid2").geometry(), QRect(12, 16, 990, 593));
  EXPECT_EQ(right_gap(Part<QLabel>("Image1")), 66);
  EXPECT_EQ(right_gap(Part<QLabel>("Image2")), 19);
  EXPECT_EQ(Part<QLabel>("Image1").geometry(), QRect(885, 4, 89, 81));
  EXPECT_EQ(Part<QLabel>("Image2").geometry(), QRect(844, 92, 177, 45));

  Screen().resize(ScratchScreen::kClientSize);
  Settle();
  EXPECT_EQ(Part<QGroupBox>("GroupBox1").geometry(), QRect(37, 12, 589, 113));
  EXPECT_EQ(Part<QGroupBox>("GroupBox2").geometry(), QRect(24, 140, 810, 517));
  EXPECT_EQ(Part<GridView>("StringGrid2").geometry(), QRect(12, 16, 790, 493));
  EXPECT_EQ(Part<QLabel>("Image1").geometry(), QRect(685, 4, 89, 81));
  EXPECT_EQ(Part<QLabel>("Image2").geometry(), QRect(644, 92, 177, 45));
}

TEST_F(ScratchScreenTest, OnlyAChangeFromHiddenToVisibleClears) {
  ScratchData& data = fixture.Data().scratch;
  data.heat.SetCell(1, 0, "stale");
  data.competitors.SetCell(2, 10, "stale");
  Rows expected(51, "|||||");
  expected[0] = "Rank|Bib|Competitor|NAT|Status|Laps-";

  fixture.Dispatch("{scratch}+{list}0{name}First");
  expected[1] = "||First|||";
  EXPECT_EQ(GridRows(data.competitors), expected) << "the first showing clears before writing";
  EXPECT_EQ(GridRows(data.heat), (Rows{"Heat Title:|", "Time:|", "Speed:|"}));

  fixture.Dispatch("{scratch}+{list}1{name}Second");
  expected[2] = "||Second|||";
  EXPECT_EQ(GridRows(data.competitors), expected) << "showing a visible window keeps it";

  Screen().hide();
  fixture.Dispatch("{scratch}+{list}2{name}Third");
  expected[1] = expected[2] = "|||||";
  expected[3] = "||Third|||";
  EXPECT_EQ(GridRows(data.competitors), expected);
}

}  // namespace
