// The QD Type commentator window: its look, its list that follows the
// window, and the lines it mirrors.
#include "screens/quick_text_window.h"
#include "platform/fonts.h"
#include "platform/text_list.h"
#include "support/test_support.h"

#include <QFontInfo>

#include <gtest/gtest.h>

namespace {

class QuickTextWindowTest : public ::testing::Test {
 protected:
  QuickTextWindow& Window() { return fixture.App().QuickText(); }
  TextList& Lines() { return Find<TextList>(Window(), "listbox1"); }

  CommentatorFixture fixture;
};

TEST_F(QuickTextWindowTest, LargeFixedPitchTypeOnMoneyGreen) {
  const QColor money_green(192, 220, 192);
  EXPECT_EQ(Window().palette().color(QPalette::Window), money_green);
  EXPECT_EQ(Lines().palette().color(QPalette::Base), money_green);
  const QFontInfo face(Lines().font());
  EXPECT_EQ(face.family(), FaceFamily(Face::kTerminal));
  EXPECT_TRUE(face.fixedPitch());
  EXPECT_TRUE(Lines().font().bold());
  EXPECT_EQ(Lines().font().pixelSize(), 47);
  EXPECT_EQ(Lines().LineHeight(), 48);
  EXPECT_EQ(Lines().geometry(), QRect(16, 12, 937, 577));
}

TEST_F(QuickTextWindowTest, ListFollowsAllFourEdges) {
  Window().ShowAndRaise();
  Window().resize(1058, 703);
  Settle();
  EXPECT_EQ(Lines().geometry(), QRect(16, 12, 1037, 677));
  Window().resize(QuickTextWindow::kDesignClient);
  Settle();
  EXPECT_EQ(Lines().geometry(), QRect(16, 12, 937, 577));
}

TEST_F(QuickTextWindowTest, ShowsTheEightLinesAsTheyChange) {
  ASSERT_EQ(Lines().LineCount(), 8);
  QuickTextData& data = fixture.Data().quick_text;
  data.lines.SetCell(0, 0, "first");
  data.lines.SetCell(0, 7, "last \xe9");
  EXPECT_EQ(Lines().Line(0), "first");
  EXPECT_EQ(Lines().Line(7), "last \xe9");
  data.lines.ClearCells();
  for (int line = 0; line < 8; ++line) {
    EXPECT_EQ(Lines().Line(line), "") << line;
  }
}

}  // namespace
