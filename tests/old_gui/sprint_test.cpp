#include "support/test_support.h"

#include "app/globals.h"
#include "platform/string_grid.h"
#include "platform/text_list.h"
#include "platform/windows.h"
#include "screens/commenta_sprintr.h"
#include "screens/commenta_tt.h"
#include "screens/qdtype_commentator.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::string>;

const Rows kEmptyHeat = {"Racers||", "||", "||", "||", "Time||", "KMH||", "MPH||"};

constexpr const char* kFullHeat =
    "{sprintf}+{title}Men's Sprint 1/8 Final Heat 2{rnk1}1{r1}12 Jane Doe"
    "{rnk2}2{r2}7 Mia Roe{rnk3}3{r3}31 Ada Poe{rnk4}4{r4}4 Eve Loe"
    "{et}10.512{spdk}68.49 km/h{spdm}42.56 mph";

Tsprintr_commentator_form& Sprint(CommentatorFixture& fixture) {
  return *fixture.windows->sprintr_commentator_form;
}

std::string Title(CommentatorFixture& fixture) {
  return Sprint(fixture).Label1->text().toStdString();
}

// Where a cell of the sprint grid is drawn inside the grid's own picture.
QRect CellRect(const StringGrid& grid, int col, int row) {
  int left = grid.frameWidth();
  for (int c = 0; c < col; ++c) {
    left += grid.ColWidth(c);
  }
  return QRect(left, grid.frameWidth() + row * grid.RowHeight(row), grid.ColWidth(col),
               grid.RowHeight(row));
}

// Width of the white text drawn inside `area`; 0 when there is none.
int WhiteTextWidth(const QImage& image, const QRect& area) {
  int first = -1;
  int last = -1;
  for (int x = area.left(); x <= area.right(); ++x) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
      if (image.pixelColor(x, y) == QColor(255, 255, 255)) {
        first = first < 0 ? x : first;
        last = x;
        break;
      }
    }
  }
  return first < 0 ? 0 : last - first + 1;
}

}  // namespace

TEST(SprintScreen, LaidOutHiddenAtStartUp) {
  CommentatorFixture fixture;
  Tsprintr_commentator_form& sprint = Sprint(fixture);
  const StringGrid& grid = *sprint.StringGrid1;

  EXPECT_FALSE(sprint.isVisible());
  EXPECT_EQ(sprint.windowTitle(), "Sprint Race Commentator");
  EXPECT_EQ(sprint.size() + kDesignFrame, QSize(778, 574));
  EXPECT_EQ(sprint.GroupBox1->geometry(), QRect(36, 8, 697, 325));
  EXPECT_EQ(sprint.Label1->geometry(), QRect(8, 12, 681, 37));
  EXPECT_EQ(sprint.Image1->geometry(), QRect(318, 414, 105, 109));

  EXPECT_EQ(GridRows(grid), kEmptyHeat);
  EXPECT_EQ(grid.Model().FixedCols(), 1);
  EXPECT_EQ(grid.Model().FixedRows(), 0);
  EXPECT_EQ(grid.ColWidth(0), 128);
  EXPECT_EQ(grid.ColWidth(1), 64);
  EXPECT_EQ(grid.ColWidth(2), 320);
  EXPECT_EQ(grid.RowHeight(6), 30);
  // Cells plus 10 on each axis, centred in the 697-wide group box: 175 / 2 -> 87.
  EXPECT_EQ(grid.parentWidget(), sprint.GroupBox1);
  EXPECT_EQ(grid.geometry(), QRect(87, 56, 522, 220));
}

TEST(SprintScreen, FirstShowCentresOverMainWindowAndColoursTheGrid) {
  CommentatorFixture fixture;
  fixture.Main().move(100, 50);
  Settle();
  Tsprintr_commentator_form& sprint = Sprint(fixture);
  const QRect main_outer = OuterGeometry(&fixture.Main());

  fixture.Dispatch("{sprintf}+{r1}WWWW");
  Settle();
  ASSERT_TRUE(sprint.isVisible());
  // Half the difference of the outer sizes, truncated.
  const QPoint offset((main_outer.width() - 778) / 2, (main_outer.height() - 574) / 2);
  EXPECT_EQ(OuterGeometry(&sprint).topLeft(), main_outer.topLeft() + offset);

  // As drawn: purple headings, black cells, white text in the large bold
  // face, headings included ("Racers" at 11 pixels would be some 45 wide).
  const StringGrid& grid = *sprint.StringGrid1;
  const QImage image = sprint.StringGrid1->grab().toImage();
  EXPECT_EQ(image.pixelColor(CellRect(grid, 0, 1).center()), globals::display_colours.heading);
  EXPECT_EQ(image.pixelColor(CellRect(grid, 1, 5).center()), globals::display_colours.background);
  EXPECT_EQ(image.pixelColor(CellRect(grid, 2, 6).center()), globals::display_colours.background);
  EXPECT_GT(WhiteTextWidth(image, CellRect(grid, 0, 0)), 70);
  EXPECT_GT(WhiteTextWidth(image, CellRect(grid, 2, 0)), 70);

  // Once placed, the screen stays where the user leaves it.
  sprint.move(5, 6);
  fixture.Dispatch(kFullHeat);
  Settle();
  EXPECT_EQ(sprint.pos(), QPoint(5, 6));
}

TEST(SprintRecords, FullHeatOverLoopbackFillsTitleAndCells) {
  CommentatorFixture fixture;
  ASSERT_TRUE(fixture.SendAndWait(kFullHeat));
  Tsprintr_commentator_form& sprint = Sprint(fixture);
  EXPECT_TRUE(sprint.isVisible());
  EXPECT_EQ(Title(fixture), "Men's Sprint 1/8 Final Heat 2");
  const Rows expected = {"Racers|1|12 Jane Doe", "|2|7 Mia Roe",    "|3|31 Ada Poe", "|4|4 Eve Loe",
                         "Time||10.512",         "KMH||68.49 km/h", "MPH||42.56 mph"};
  EXPECT_EQ(GridRows(*sprint.StringGrid1), expected);
}

TEST(SprintRecords, EveryRecordRewritesTheWholeHeat) {
  CommentatorFixture fixture;
  const StringGrid& grid = *Sprint(fixture).StringGrid1;

  fixture.Dispatch(kFullHeat);
  fixture.Dispatch("{sprintf}+");
  EXPECT_EQ(Title(fixture), "");
  EXPECT_EQ(GridRows(grid), kEmptyHeat);

  // A two-rider heat after a four-rider one: rows 2 and 3 go blank.
  fixture.Dispatch(kFullHeat);
  fixture.Dispatch("{sprintf}+{title}Final{rnk1}1{r1}12 Jane Doe{rnk2}2{r2}7 Mia Roe{et}11.02");
  EXPECT_EQ(Title(fixture), "Final");
  const Rows expected = {"Racers|1|12 Jane Doe", "|2|7 Mia Roe", "||",   "||",
                         "Time||11.02",          "KMH||",        "MPH||"};
  EXPECT_EQ(GridRows(grid), expected);
}

TEST(SprintRecords, TextsArePassedThroughAsBytes) {
  CommentatorFixture fixture;
  Tsprintr_commentator_form& sprint = Sprint(fixture);
  fixture.Dispatch("{sprintf}+{title}<b>Caf\xe9</b> & Co{r1}Ren\xe9");
  EXPECT_EQ(sprint.Label1->text(), QString::fromLatin1("<b>Caf\xe9</b> & Co"));
  EXPECT_EQ(sprint.Label1->textFormat(), Qt::PlainText);
  EXPECT_EQ(sprint.StringGrid1->Cell(2, 0), "Ren\xe9");
}

TEST(SprintRecords, OnlyALonePlusSelectsTheSprintScreen) {
  for (const char* record : {"{sprintf}", "{sprintf}++{r1}X", "{sprintf} +{r1}X", "{sprintf}-{r1}X",
                             "{SPRINTF}+{r1}X", "{sprint}+{r1}X"}) {
    SCOPED_TRACE(record);
    CommentatorFixture fixture;
    fixture.Dispatch(record);
    Settle();
    EXPECT_FALSE(Sprint(fixture).isVisible());
    EXPECT_EQ(GridRows(*Sprint(fixture).StringGrid1), kEmptyHeat);
  }
}

TEST(SprintRecords, FamiliesTakeTheRecordInOrderAndTheLastEndsInFront) {
  CommentatorFixture fixture;
  Tsprintr_commentator_form& sprint = Sprint(fixture);

  fixture.Dispatch("{sprintf}+{title}Heat 1{tt}+");
  Settle();
  EXPECT_EQ(Title(fixture), "Heat 1");
  EXPECT_TRUE(sprint.isVisible());
  EXPECT_EQ(QApplication::activeWindow(), fixture.windows->tt_commentator_form.get());

  // Quick text comes before the sprint family, so the sprint screen is in front.
  fixture.Dispatch("{qdtype}+{sprintf}+{txt},L1,L2,L3,L4,L5,L6,L7,L8");
  Settle();
  EXPECT_EQ(fixture.windows->qdtype_commentator_form->listbox1->LineCount(), 8);
  EXPECT_EQ(Title(fixture), "");
  EXPECT_EQ(QApplication::activeWindow(), &sprint);
}

TEST(SprintScreen, ResizingMovesNothing) {
  CommentatorFixture fixture;
  Tsprintr_commentator_form& sprint = Sprint(fixture);
  fixture.Dispatch(kFullHeat);
  Settle();
  const std::vector<QWidget*> controls = {sprint.GroupBox1, sprint.StringGrid1, sprint.Label1,
                                          sprint.Image1};
  std::vector<QRect> before;
  for (QWidget* control : controls) {
    before.push_back(control->geometry());
  }
  for (QSize size : {QSize(1200, 900), QSize(300, 200)}) {
    sprint.resize(size);
    Settle();
    for (size_t i = 0; i < controls.size(); ++i) {
      EXPECT_EQ(controls[i]->geometry(), before[i]) << controls[i]->metaObject()->className();
    }
  }
}

TEST(SprintScreen, ClosingEndsTheProgram) {
  CommentatorFixture fixture;
  fixture.Dispatch(kFullHeat);
  Settle();
  EXPECT_TRUE(fixture.ClosingEndsProgram(fixture.windows->sprintr_commentator_form.get()));
}

TEST(SprintScreen, Screenshot) {
  const QByteArray dir = qgetenv("ORVANE_SCREENSHOT_DIR");
  if (dir.isEmpty()) {
    GTEST_SKIP() << "ORVANE_SCREENSHOT_DIR not set";
  }
  CommentatorFixture fixture;
  fixture.Dispatch(kFullHeat);
  Settle();
  QDir().mkpath(QString::fromLocal8Bit(dir));
  const QString path = QDir(QString::fromLocal8Bit(dir)).filePath(QStringLiteral("sprint.png"));
  EXPECT_TRUE(Sprint(fixture).grab().save(path));
}
