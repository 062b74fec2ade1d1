// DispatchRecord: the heartbeat, the family order, and the quick-text window.
#include "platform/text_list.h"
#include "records/record_families.h"
#include "screens/commenta_pts.h"
#include "screens/commenta_sprintr.h"
#include "screens/commenta_tt.h"
#include "screens/commentator_scratchf.h"
#include "screens/qdtype_commentator.h"
#include "support/test_support.h"

#include <QApplication>
#include <QFontInfo>

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

std::vector<QWidget*> EventWindows(CommentatorFixture& fixture) {
  CommentatorWindows& w = *fixture.windows;
  return {w.commentator_scratch.get(), w.qdtype_commentator_form.get(),
          w.sprintr_commentator_form.get(), w.ptsrace_commentator_form.get(),
          w.tt_commentator_form.get()};
}

bool AnyEventWindowVisible(CommentatorFixture& fixture) {
  for (QWidget* window : EventWindows(fixture)) {
    if (window->isVisible()) {
      return true;
    }
  }
  return false;
}

TEST(Heartbeat, ItsLineComesBeforeTheDatagramsOwnLine) {
  CommentatorFixture fixture;
  ASSERT_TRUE(fixture.SendAndWait("{heartbeat}+", 2));
  EXPECT_EQ(fixture.Log(), Lines({"Heartbeat received from SERVER!!", "127.0.0.1>{heartbeat}+"}));
}

TEST(Heartbeat, EndsTheRecordSoATimeTrialFlagTouchesNothing) {
  CommentatorFixture fixture;
  fixture.Dispatch("{tt}+{heartbeat}+{scratch}+{qdtype}+{data},a,");
  EXPECT_EQ(fixture.Log(), Lines({"Heartbeat received from SERVER!!"}));
  EXPECT_FALSE(AnyEventWindowVisible(fixture));
}

TEST(Dispatch, HiddenMainWindowHandlesNothing) {
  CommentatorFixture fixture(/*show_main_window=*/false);
  fixture.Dispatch("{heartbeat}+");
  fixture.Dispatch("{tt}+");
  EXPECT_TRUE(fixture.Log().empty());
  EXPECT_FALSE(AnyEventWindowVisible(fixture));
}

TEST(Dispatch, ARecordWithoutAFamilyFlagChangesNothing) {
  CommentatorFixture fixture;
  for (const char* record : {"", "{tt}", "{tt} +", "{tt}+ ", "{TT}+", "{tt}++", "{tt}1",
                             "{sprint}+{clr}+", "{{{{", "}}}{", "{heartbeat}"}) {
    SCOPED_TRACE(record);
    fixture.Dispatch(record);
    EXPECT_FALSE(AnyEventWindowVisible(fixture));
    EXPECT_TRUE(fixture.Log().empty());
  }
}

TEST(Dispatch, FamiliesActInTheirFixedOrderWhateverTheTagOrder) {
  CommentatorFixture fixture;
  QWidget* quick_text = EventWindows(fixture)[1];
  QWidget* time_trial = EventWindows(fixture)[4];
  // The time trial flag stands first, but the quick text is handled first
  // and the time trial last, so it ends up in front.
  fixture.Dispatch("{tt}+{qdtype}+{data},one,");
  Settle();
  EXPECT_TRUE(quick_text->isVisible());
  EXPECT_TRUE(time_trial->isVisible());
  EXPECT_EQ(QApplication::activeWindow(), time_trial);
}

TEST(Dispatch, AScreenTheUserLeftComesBackToTheFrontWithItsNextRecord) {
  CommentatorFixture fixture;
  QWidget* time_trial = EventWindows(fixture)[4];
  fixture.Dispatch("{tt}+");
  Settle();
  ASSERT_EQ(QApplication::activeWindow(), time_trial);

  fixture.Main().activateWindow();  // the commentator clicks the main window
  Settle();
  ASSERT_EQ(QApplication::activeWindow(), &fixture.Main());
  fixture.Dispatch("{tt}+");
  Settle();
  EXPECT_EQ(QApplication::activeWindow(), time_trial);
}

// --- Quick text ---------------------------------------------------------------

class QuickTextTest : public ::testing::Test {
 protected:
  Tqdtype_commentator_form& Window() { return *fixture.windows->qdtype_commentator_form; }
  Lines Shown() { return ListLines(*Window().listbox1); }
  CommentatorFixture fixture;
};

TEST_F(QuickTextTest, EightTrimmedLinesInOrder) {
  fixture.Dispatch("{qdtype}+{data}, one,two ,  three  four ,4,5,6,7,8,");
  EXPECT_TRUE(Window().isVisible());
  EXPECT_EQ(Shown(), Lines({"one", "two", "three  four", "4", "5", "6", "7", "8"}));
}

TEST_F(QuickTextTest, PlusFollowedAtOnceByACommaSetsNoFlag) {
  fixture.Dispatch("{qdtype}+,one,two,");
  EXPECT_FALSE(Window().isVisible());
  EXPECT_EQ(Window().listbox1->LineCount(), 0);
}

TEST_F(QuickTextTest, ThreeLinesThenFiveEmptyAndASecondRecordReplacesAll) {
  fixture.Dispatch("{qdtype}+{data},a,b,c,");
  EXPECT_EQ(Shown(), Lines({"a", "b", "c", "", "", "", "", ""}));
  fixture.Dispatch("{qdtype}+{data},1,2,3,4,5,6,7,8,9,10,");
  EXPECT_EQ(Shown(), Lines({"1", "2", "3", "4", "5", "6", "7", "8"}));
}

TEST_F(QuickTextTest, WindowLookAndCloseOnlyHides) {
  EXPECT_EQ(Window().windowTitle(), "qdtype_commentator_form");
  EXPECT_EQ(Window().palette().color(QPalette::Window), QColor(192, 220, 192));
  const QFontInfo face(Window().listbox1->font());
  EXPECT_EQ(face.family(), "Terminus (TTF)");
  EXPECT_TRUE(face.bold());
  EXPECT_EQ(Window().listbox1->LineHeight(), 48);

  fixture.Dispatch("{qdtype}+{data},a,");
  Window().resize(1058, 703);  // the list follows all four edges
  Settle();
  EXPECT_EQ(Window().listbox1->geometry(), QRect(16, 12, 1037, 677));
  Window().close();
  EXPECT_FALSE(Window().isVisible());
  EXPECT_TRUE(fixture.Main().isVisible());
  fixture.Dispatch("{qdtype}+{data},again,");
  EXPECT_TRUE(Window().isVisible());
}

}  // namespace
