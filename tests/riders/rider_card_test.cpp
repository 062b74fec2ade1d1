// The rider card in the program: opened by a double click on an event
// screen's row and by Ctrl+R with a bib, fed by the live records only, and
// its notes saved beside commentator.dat.
#include "cards/rider_card.h"
#include "app/commentator_app.h"
#include "app/feed_status.h"
#include "app/main_window.h"
#include "cards/rider_cards.h"
#include "platform/grid_view.h"
#include "screens/scratch_screen.h"
#include "screens/time_trial_screen.h"
#include "support/test_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> TodayRows(const RiderCard& card) {
  const auto& table = Find<QTableWidget>(card, "today_so_far");
  std::vector<std::string> rows;
  for (int row = 0; row < table.rowCount(); ++row) {
    QStringList cells;
    for (int col = 0; col < table.columnCount(); ++col) {
      cells << table.item(row, col)->text();
    }
    rows.push_back(cells.join(" | ").toStdString());
  }
  return rows;
}

QString Field(const RiderCard& card, const char* heading) {
  for (const QLabel* label : card.findChildren<QLabel*>()) {
    if (label->accessibleName() == QLatin1String(heading) + ": " + label->text()) {
      return label->text();
    }
  }
  return QStringLiteral("(no field)");
}

class RiderCardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QString error;
    ASSERT_TRUE(fixture.App().Riders().OpenStartList(START_LIST, error)) << error.toStdString();
  }
  RiderCards& Cards() { return fixture.App().Riders(); }

  CommentatorFixture fixture;
};

TEST_F(RiderCardTest, DoubleClickOnAScratchRowOpensTheCardOfItsBib) {
  ASSERT_TRUE(fixture.SendAndWait("{scratch}+{title}MEN'S SCRATCH 15 KM{time}{spd}"));
  ASSERT_TRUE(fixture.SendAndWait(
      "{scratch}+{list}0{rank}1{bib}52{name}A. KRISTIANSEN{nat}NOR{status}{laps}5"));
  // A record that comes by another road than the live listener is no fact.
  fixture.Dispatch("{scratch}+{list}1{rank}2{bib}52{name}A. KRISTIANSEN{nat}NOR{status}{laps}5");
  auto& grid = Find<GridView>(fixture.App().Scratch(), "StringGrid2");
  const QModelIndex first = grid.model()->index(0, 1);
  // As a mouse does it: the first press, then the second as a double click.
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(first).center());
  QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(first).center());
  RiderCard* card = Cards().Card();
  ASSERT_NE(card, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return card->isVisible(); }));
  EXPECT_EQ(card->Bib(), "52");
  EXPECT_EQ(Field(*card, "Team"), "Nordic Track");
  EXPECT_EQ(Field(*card, "palmares"), "Keirin heat winner two years running");
  EXPECT_EQ(TodayRows(*card),
            std::vector<std::string>{"Scratch | MEN'S SCRATCH 15 KM | 1 |  |  | "});
  // Live records refresh the open card.
  ASSERT_TRUE(fixture.SendAndWait(
      "{scratch}+{list}3{rank}4{bib}52{name}A. KRISTIANSEN{nat}NOR{status}DNF{laps}5"));
  EXPECT_TRUE(WaitUntil([&] {
    return TodayRows(*card) ==
           std::vector<std::string>{"Scratch | MEN'S SCRATCH 15 KM | 4 |  |  | DNF"};
  }));
}

TEST_F(RiderCardTest, CtrlRPutsTheKeyboardInTheRiderBoxAndABibOpensTheCard) {
  ASSERT_TRUE(fixture.SendAndWait("{tt}+{clr}+"));
  ASSERT_TRUE(
      fixture.SendAndWait("{tt}+{standings}0{rnk}1{name}L. MARTENS BEL{score}4:10.314{dif}"));
  QWidget& screen = fixture.App().TimeTrial();
  screen.activateWindow();
  QApplication::setActiveWindow(&screen);
  QTest::keyClick(&screen, Qt::Key_R, Qt::ControlModifier);
  RiderCard* card = Cards().Card();
  ASSERT_NE(card, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return card->isVisible(); }));
  auto& box = Find<QLineEdit>(*card, "rider_box");
  EXPECT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == &box; }));
  QTest::keyClicks(&box, "47");
  QTest::keyClick(&box, Qt::Key_Return);
  EXPECT_EQ(card->Bib(), "47");
  EXPECT_EQ(Find<QLabel>(*card, "rider_title").text(), "47  L. Martens");
  // The time trial names the rider without a bib: found through the start list.
  EXPECT_EQ(TodayRows(*card),
            std::vector<std::string>{"Time trial | Time trial | 1 |  | 4:10.314 | "});
}

TEST_F(RiderCardTest, NotesAreSavedBesideCommentatorDatAndSurviveAReload) {
  const QString notes = QDir(fixture.WorkDir()).filePath("commentator-notes.json");
  Cards().ShowRider("21");
  RiderCard* card = Cards().Card();
  ASSERT_NE(card, nullptr);
  EXPECT_FALSE(QFile::exists(notes));  // nothing typed, nothing written
  auto& editor = Find<QPlainTextEdit>(*card, "notes");
  editor.setFocus();
  QTest::keyClicks(&editor, "Won two sprints last night");
  EXPECT_TRUE(WaitUntil([&] { return QFile::exists(notes); }, 1500));
  QString error;
  ASSERT_TRUE(Cards().OpenStartList(START_LIST, error));  // reopening reloads
  EXPECT_EQ(card->NoteText(), "Won two sprints last night");
  NotesStore saved(notes);
  ASSERT_TRUE(saved.Load());
  EXPECT_EQ(saved.Text("21"), "Won two sprints last night");
}

// A notes file that cannot be written: the status corner says why.
TEST_F(RiderCardTest, ANoteThatCannotBeSavedIsToldInTheStatusCorner) {
  Cards().UseNotesFile(QDir(fixture.WorkDir()).filePath("no-such-folder/notes.json"));
  Cards().ShowRider("21");
  auto& editor = Find<QPlainTextEdit>(*Cards().Card(), "notes");
  editor.setFocus();
  QTest::keyClicks(&editor, "Kept in memory");
  EXPECT_TRUE(WaitUntil(
      [&] { return fixture.App().FeedView().WholeText().contains("notes not saved: "); }, 2000))
      << fixture.App().FeedView().WholeText().toStdString();
  EXPECT_TRUE(fixture.App().FeedView().WholeText().contains("31 riders from start-list.csv"));
}

}  // namespace
