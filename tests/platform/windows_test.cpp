// Window-level helpers: anchoring with the screens' worked figures,
// placement, activation changes and the faces the windows are designed in.
#include "platform/windows.h"
#include "paint_counter.h"
#include "platform/anchoring.h"
#include "platform/fonts.h"
#include "platform/grid_view.h"
#include "platform/window_frame.h"
#include "records/grid_model.h"
#include "support/test_support.h"

#include <QApplication>
#include <QFontInfo>

#include <string>

#include <gtest/gtest.h>

namespace {

struct AnchorCase {
  const char* name;
  QRect design;
  QSize design_parent;
  QSize parent;
  Anchors anchors;
  QRect expected;
};

class AnchoringTest : public ::testing::TestWithParam<AnchorCase> {};

TEST_P(AnchoringTest, FollowsTheParent) {
  const AnchorCase& c = GetParam();
  EXPECT_EQ(AnchoredGeometry(c.design, c.design_parent, c.parent, c.anchors), c.expected);
}

constexpr Anchors kTopRight = kAnchorTop | kAnchorRight;

INSTANTIATE_TEST_SUITE_P(
    WorkedFigures, AnchoringTest,
    ::testing::Values(
        // Scratch screen, client widened from 840 to 1040.
        AnchorCase{"centre_331_of_840",
                   {37, 12, 589, 113},
                   {840, 666},
                   {1040, 666},
                   kAnchorTop | kAnchorCentreX,
                   {116, 12, 589, 113}},
        AnchorCase{
            "right_66", {685, 4, 89, 81}, {840, 666}, {1040, 666}, kTopRight, {885, 4, 89, 81}},
        AnchorCase{"all_edges",
                   {24, 140, 810, 517},
                   {840, 666},
                   {1040, 700},
                   kAnchorAllEdges,
                   {24, 140, 1010, 551}},
        // Time trial screen at a 1018 x 743 client.
        AnchorCase{"panel_right",
                   {452, 4, 427, 570},
                   {885, 578},
                   {1018, 743},
                   kAnchorTop | kAnchorBottom | kAnchorRight,
                   {585, 4, 427, 735}},
        AnchorCase{"standings_box",
                   {247, 136, 401, 438},
                   {885, 578},
                   {1018, 743},
                   kAnchorTop | kAnchorBottom | kAnchorCentreX,
                   {314, 136, 401, 603}},
        AnchorCase{"picture",
                   {399, 8, 105, 113},
                   {885, 578},
                   {1018, 743},
                   kAnchorTop | kAnchorCentreX,
                   {467, 8, 105, 113}},
        AnchorCase{"lap_table",
                   {8, 132, 260, 430},
                   {441, 570},
                   {441, 735},
                   kAnchorLeft | kAnchorTop | kAnchorBottom,
                   {8, 132, 260, 595}},
        AnchorCase{"none_stays",
                   {8, 12, 249, 105},
                   {441, 570},
                   {600, 900},
                   kAnchorLeft | kAnchorTop,
                   {8, 12, 249, 105}},
        // A half rounds upward: 1 * 3 / 2 = 1.5 -> 2.
        AnchorCase{"half_up", {0, 0, 2, 2}, {2, 2}, {3, 2}, kAnchorCentreX, {1, 0, 2, 2}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Anchoring, ChildrenFollowEveryResizeOfTheirParent) {
  QWidget parent;
  parent.resize(840, 666);
  auto* box = new QWidget(&parent);
  box->setGeometry(24, 140, 810, 517);
  auto* badge = new QWidget(&parent);
  badge->setGeometry(685, 4, 89, 81);
  new ChildAnchoring(&parent, QSize(840, 666),
                     {{box, kAnchorAllEdges}, {badge, kAnchorTop | kAnchorRight}});
  parent.show();
  parent.resize(1040, 700);
  EXPECT_EQ(box->geometry(), QRect(24, 140, 1010, 551));
  EXPECT_EQ(badge->geometry(), QRect(885, 4, 89, 81));
  parent.resize(840, 666);
  EXPECT_EQ(box->geometry(), QRect(24, 140, 810, 517));
  EXPECT_EQ(badge->geometry(), QRect(685, 4, 89, 81));
}

TEST(Placement, CentredOverTruncatesTowardZeroAndRaisesNegativesToZero) {
  EXPECT_EQ(CentredOver(QRect(106, 56, 812, 656), QSize(848, 693)), QPoint(88, 38));
  EXPECT_EQ(CentredOver(QRect(106, 56, 812, 656), QSize(778, 574)), QPoint(123, 97));
  EXPECT_EQ(CentredOver(QRect(0, 0, 812, 656), QSize(848, 693)), QPoint(0, 0));
  EXPECT_EQ(CentredOver(QRect(0, 10, 812, 656), QSize(966, 630)), QPoint(0, 23));
}

TEST(WindowFrame, OuterSizeAndPlaceWhateverFrameIsDrawn) {
  QWidget window;
  auto* frame = new WindowFrame(&window);
  frame->SetOuterGeometry(QRect(30, 40, 812, 656));
  window.show();
  Settle();
  EXPECT_EQ(OuterGeometry(&window), QRect(30, 40, 812, 656));
  EXPECT_EQ(window.size(), QSize(812, 656).shrunkBy(FrameMargins(&window)));

  QWidget fixed;
  auto* fixed_frame = new WindowFrame(&fixed);
  fixed_frame->SetFixedSize(true);
  fixed_frame->SetOuterSize(QSize(466, 221));
  fixed.show();
  Settle();
  EXPECT_EQ(OuterGeometry(&fixed).size(), QSize(466, 221));
  EXPECT_EQ(fixed.minimumSize(), fixed.maximumSize()) << "the user cannot resize it";
}

TEST(Windows, ActivationChangesRepaintNothingInAScreen) {
  QWidget screen;
  GridModel model(3, 4);
  auto* grid = new GridView(model, &screen);
  model.SetCell(0, 0, "cell");
  IgnoreActivationChanges(&screen);
  screen.show();
  QWidget other;
  other.show();
  screen.activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return screen.isActiveWindow(); }));
  Settle();

  PaintCounter counter;
  grid->viewport()->installEventFilter(&counter);
  other.activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return other.isActiveWindow(); }));
  screen.activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return screen.isActiveWindow(); }));
  Settle();
  EXPECT_EQ(counter.paints, 0);
}

TEST(Windows, ShowAndRaiseShowsAndActivates) {
  QWidget first;
  QWidget second;
  ShowAndRaise(&first);
  ShowAndRaise(&second);
  Settle();
  EXPECT_TRUE(first.isVisible());
  EXPECT_EQ(QApplication::activeWindow(), &second);
  ShowAndRaise(&first);
  Settle();
  EXPECT_EQ(QApplication::activeWindow(), &first);
}

TEST(Faces, TheDesignedFacesResolveToTheirStandIns) {
  for (Face face : {Face::kMsSansSerif, Face::kTerminal, Face::kLcdD}) {
    EXPECT_EQ(QFontInfo(DesignFont(face, 20)).family(), FaceFamily(face));
  }
  const QFont bold_italic = DesignFont(Face::kMsSansSerif, 32, true, true);
  EXPECT_EQ(bold_italic.pixelSize(), 32);
  EXPECT_TRUE(bold_italic.bold());
  EXPECT_TRUE(bold_italic.italic());
  EXPECT_TRUE(QFontInfo(DesignFont(Face::kTerminal, 47)).fixedPitch());
  // The quick text asks for bold: the face must have a real one, not the
  // regular face drawn again.
  EXPECT_EQ(QFontInfo(DesignFont(Face::kTerminal, 47, true)).styleName(), "Bold");
  EXPECT_EQ(QFontInfo(DesignFont(Face::kMsSansSerif, 16, true)).styleName(), "Bold");
}

}  // namespace
