#include "platform/string_grid.h"
#include "platform/windows.h"
#include "screens/commenta_tt.h"
#include "support/test_support.h"

#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Text(const QLabel* label) {
  return label->text().toStdString();
}

// Everything the screen shows, so a test can see that a record changed nothing.
std::vector<std::string> Snapshot(const Ttt_commentator_form& screen) {
  std::vector<std::string> all = GridRows(*screen.standings_stringgrid);
  for (int panel = 0; panel < 2; ++panel) {
    const RiderPanel& p = screen.Panel(panel);
    for (const StringGrid* grid : {p.summary, p.laps}) {
      const std::vector<std::string> rows = GridRows(*grid);
      all.insert(all.end(), rows.begin(), rows.end());
    }
    all.push_back(Text(p.time));
    all.push_back(Text(p.difference));
  }
  return all;
}

// Writes something into every part of the screen, heading cells included,
// so a clear shows what it leaves alone.
void FillEverything(Ttt_commentator_form& screen) {
  StringGrid& standings = *screen.standings_stringgrid;
  for (int row = 0; row < standings.RowCount(); ++row) {
    for (int col = 0; col < standings.ColCount(); ++col) {
      standings.SetCell(col, row, "s");
    }
  }
  for (int panel = 0; panel < 2; ++panel) {
    const RiderPanel& p = screen.Panel(panel);
    for (StringGrid* grid : {p.summary, p.laps}) {
      for (int row = 0; row < grid->RowCount(); ++row) {
        for (int col = 0; col < grid->ColCount(); ++col) {
          grid->SetCell(col, row, "x");
        }
      }
    }
    p.time->setText(QStringLiteral("1"));
    p.difference->setText(QStringLiteral("2"));
  }
}

void ExpectRiderPanelsEmpty(const Ttt_commentator_form& screen) {
  for (int panel = 0; panel < 2; ++panel) {
    SCOPED_TRACE(panel);
    const RiderPanel& p = screen.Panel(panel);
    EXPECT_EQ(GridRows(*p.summary), std::vector<std::string>(4, ""));
    std::vector<std::string> laps(42, "||");
    laps[0] = "ToGo|Net|Diff";
    EXPECT_EQ(GridRows(*p.laps), laps);
    EXPECT_EQ(Text(p.time), "");
    EXPECT_EQ(Text(p.difference), "");
  }
}

bool Within(const QWidget* widget, const QWidget* ancestor) {
  return widget != nullptr && (widget == ancestor || ancestor->isAncestorOf(widget));
}

class TimeTrialScreen : public ::testing::Test {
 protected:
  Ttt_commentator_form& Screen() { return *fixture.windows->tt_commentator_form; }

  CommentatorFixture fixture;
};

TEST_F(TimeTrialScreen, FirstRecordShowsAnEmptyScreenAndChangesNothingElse) {
  Ttt_commentator_form& screen = Screen();
  ASSERT_FALSE(screen.isVisible());
  FillEverything(screen);  // whatever was there before the first show goes

  fixture.Dispatch("{tt}+");

  EXPECT_TRUE(screen.isVisible());
  EXPECT_EQ(GridRows(*screen.standings_stringgrid)[0], "s|s|s|s");  // row 0 is never cleared
  for (int row = 1; row < 100; ++row) {
    ASSERT_EQ(GridRow(*screen.standings_stringgrid, row), "|||") << row;
  }
  ExpectRiderPanelsEmpty(screen);
  EXPECT_EQ(screen.standings_stringgrid->BackgroundColour(), QColor(0, 0, 0));
  EXPECT_EQ(screen.StringGrid11->FixedColour(), QColor(128, 0, 128));
  EXPECT_EQ(screen.StringGrid01->RowHeight(41), 18);
  EXPECT_EQ(screen.StringGrid00->RowHeight(3), 24);

  // Once visible, a bare record only brings the screen to the front.
  fixture.Dispatch("{tt}+{standings}2{rnk}3{name}ANNA{score}1:10.2{dif}+0.4");
  fixture.Dispatch("{tt}+{tick-hit}+{name}BEN{time}12.3{ltg1}9");
  const std::vector<std::string> before = Snapshot(screen);
  fixture.Dispatch("{tt}+");
  EXPECT_EQ(Snapshot(screen), before);
}

TEST_F(TimeTrialScreen, ShowingAgainAfterHidingClearsTheScreen) {
  fixture.Dispatch("{tt}+{standings}0{rnk}1{name}ANNA");
  Screen().hide();
  fixture.Dispatch("{tt}+{standings}1{rnk}2{name}BEN");
  EXPECT_EQ(GridRow(*Screen().standings_stringgrid, 1), "|||");
  EXPECT_EQ(GridRow(*Screen().standings_stringgrid, 2), "2|BEN||");
}

TEST_F(TimeTrialScreen, CrsAndStackChooseTheRiderPanel) {
  struct Case {
    const char* tags;
    int panel;
  };
  const Case cases[] = {
      {"{crs}0{stack}0", 0},
      {"{crs}1{stack}1", 0},
      {"{crs}0{stack}1", 1},
      {"{crs}1{stack}0", 1},
      {"", 1},
      {"{crs}0", 1},
      {"{crs} 0{stack}0", 1},
      {"{crs}2{stack}2", 1},
  };
  fixture.Dispatch("{tt}+");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tags);
    Screen().ClearRiderPanels();
    fixture.Dispatch(std::string("{tt}+{tick-hit}+{name}CARA") + c.tags);
    EXPECT_EQ(Screen().Panel(c.panel).summary->Cell(0, 0), "CARA");
    EXPECT_EQ(Screen().Panel(1 - c.panel).summary->Cell(0, 0), "");

    Screen().ClearRiderPanels();
    fixture.Dispatch(std::string("{tt}+{audit}+{n1}31.2") + c.tags);
    EXPECT_EQ(Screen().Panel(c.panel).laps->Cell(1, 1), "31.2");
    EXPECT_EQ(Screen().Panel(1 - c.panel).laps->Cell(1, 1), "");
  }
}

TEST_F(TimeTrialScreen, RiderUpdateFillsSummaryLabelsAndTimeLine) {
  const std::string long_time(240, '1');
  const std::string long_diff(240, '2');
  struct Case {
    std::string tags;
    std::string line;
    std::string time_label;
    std::string difference_label;
  };
  const Case cases[] = {
      {"{time}1:02.345", "1:02.345", "1:02.345", ""},
      {"{time}1:02.345{diff}+0.512{rank}3{spdk}52.1", "1:02.345  /  +0.512  /  3  /  52.1",
       "1:02.345", "+0.512"},
      {"{time}1:02.345{diff}{rank}3", "1:02.345  /  3", "1:02.345", ""},
      {"{rank}3{spdk}52.1", "  /  3  /  52.1", "", ""},
      // The line is cut to 255 after each join, so the rank never fits.
      {"{time}" + long_time + "{diff}" + long_diff + "{rank}3",
       (long_time + "  /  " + long_diff).substr(0, 255), long_time, long_diff},
  };
  fixture.Dispatch("{tt}+");
  const RiderPanel& panel = Screen().Panel(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tags);
    fixture.Dispatch("{tt}+{tick-hit}+{crs}0{stack}0{name}DORA{ltg}7{dist}1750" + c.tags);
    EXPECT_EQ(GridRows(*panel.summary), (std::vector<std::string>{"DORA", c.line, "7", "1750"}));
    EXPECT_EQ(Text(panel.time), c.time_label);
    EXPECT_EQ(Text(panel.difference), c.difference_label);
  }
}

TEST_F(TimeTrialScreen, RiderUpdatesWriteToGoAndLapTimesWriteNetAndDiff) {
  fixture.Dispatch("{tt}+");
  const RiderPanel& panel = Screen().Panel(1);
  fixture.Dispatch("{tt}+{audit}+{n1}18.1{d1}+0.1{n2}17.9{d2}-0.2{n41}16.0{d41}+1.0");
  fixture.Dispatch("{tt}+{tick-hit}+{name}EVA{ltg1}40{ltg2}39{ltg3}38{ltg41}0");
  EXPECT_EQ(GridRow(*panel.laps, 0), "ToGo|Net|Diff");
  EXPECT_EQ(GridRow(*panel.laps, 1), "40|18.1|+0.1");
  EXPECT_EQ(GridRow(*panel.laps, 3), "38||");
  EXPECT_EQ(GridRow(*panel.laps, 41), "0|16.0|+1.0");

  // Each kind rewrites its whole columns: missing laps blank their rows, and
  // the other kind's columns, the summary and the labels stay.
  fixture.Dispatch("{tt}+{tick-hit}+{name}EVA{time}1:01{ltg1}40");
  fixture.Dispatch("{tt}+{audit}+{n2}17.5");
  EXPECT_EQ(GridRow(*panel.laps, 0), "ToGo|Net|Diff");
  EXPECT_EQ(GridRow(*panel.laps, 1), "40||");
  EXPECT_EQ(GridRow(*panel.laps, 2), "|17.5|");
  EXPECT_EQ(GridRow(*panel.laps, 3), "||");
  EXPECT_EQ(GridRow(*panel.laps, 41), "||");
  EXPECT_EQ(panel.summary->Cell(0, 0), "EVA");
  EXPECT_EQ(Text(panel.time), "1:01");
}

TEST_F(TimeTrialScreen, StandingsLinesFillRowsOneToNinetyNine) {
  fixture.Dispatch("{tt}+");
  const StringGrid& standings = *Screen().standings_stringgrid;
  for (const char* position : {"0", "98", "99", "-1"}) {
    fixture.Dispatch(std::string("{tt}+{standings}") + position + "{rnk}R" + position +
                     "{name}FAY{score}1:05.0{dif}+0.3");
  }
  EXPECT_EQ(GridRow(standings, 1), "R0|FAY|1:05.0|+0.3");
  EXPECT_EQ(GridRow(standings, 99), "R98|FAY|1:05.0|+0.3");
  // 99 and -1 fall outside the grid.
  int filled = 0;
  for (const std::string& row : GridRows(standings)) {
    filled += row != "|||" ? 1 : 0;
  }
  EXPECT_EQ(filled, 2);
  EXPECT_EQ(GridRow(standings, 0), "|||");
}

TEST_F(TimeTrialScreen, OnlyTheFirstRequestOfARecordIsCarriedOut) {
  struct Case {
    const char* record;
    std::string standings_row1;
    std::string summary_name;
  };
  // Every case starts from a standings line in row 1 and a rider in panel 1.
  const Case cases[] = {
      {"{tt}+{clr}+{standings}0{rnk}9{name}NEW", "|||", ""},
      {"{tt}+{clr}+{clr_racers}+", "|||", ""},
      {"{tt}+{clr_racers}+{standings}0{rnk}9{name}NEW", "1|OLD||", ""},
      {"{tt}+{standings}0{rnk}9{name}NEW{tick-hit}+{audit}+{n1}9", "9|NEW||", "OLD"},
      {"{tt}+{tick-hit}+{name}NEW{audit}+{n1}9", "1|OLD||", "NEW"},
      {"{tt}+{standings}{tick-hit}+{name}NEW", "1|OLD||", "NEW"},
  };
  fixture.Dispatch("{tt}+");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    fixture.Dispatch("{tt}+{standings}0{rnk}1{name}OLD");
    fixture.Dispatch("{tt}+{tick-hit}+{name}OLD");
    fixture.Dispatch("{tt}+{audit}+");  // empties the lap times
    fixture.Dispatch(c.record);
    EXPECT_EQ(GridRow(*Screen().standings_stringgrid, 1), c.standings_row1);
    EXPECT_EQ(Screen().Panel(1).summary->Cell(0, 0), c.summary_name);
    EXPECT_EQ(Screen().Panel(1).laps->Cell(1, 1), "");
  }
}

TEST_F(TimeTrialScreen, ClearsKeepTheHeadings) {
  fixture.Dispatch("{tt}+");
  Ttt_commentator_form& screen = Screen();

  FillEverything(screen);
  screen.ClearRiderPanels();
  ExpectRiderPanelsEmpty(screen);
  for (int row = 0; row < 100; ++row) {
    ASSERT_EQ(GridRow(*screen.standings_stringgrid, row), "s|s|s|s") << row;
  }

  FillEverything(screen);
  screen.ClearAllPanels();
  ExpectRiderPanelsEmpty(screen);
  EXPECT_EQ(GridRow(*screen.standings_stringgrid, 0), "s|s|s|s");
  for (int row = 1; row < 100; ++row) {
    ASSERT_EQ(GridRow(*screen.standings_stringgrid, row), "|||") << row;
  }
}

TEST_F(TimeTrialScreen, WindowCoversThePrimaryScreenOnShow) {
  fixture.Main().move(120, 90);
  fixture.Dispatch("{tt}+");
  Settle();
  const Ttt_commentator_form& screen = Screen();
  EXPECT_EQ(OuterGeometry(&screen), QRect(QPoint(0, 0), PrimaryScreenSize()));
  EXPECT_EQ(screen.windowTitle(), QStringLiteral("TT Commentator Screen"));
  // A fixed frame: the user cannot resize it.
  EXPECT_EQ(screen.minimumSize(), screen.maximumSize());
  EXPECT_FALSE(screen.windowFlags() &
               (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

TEST_F(TimeTrialScreen, ControlsFollowALargerClientArea) {
  fixture.Dispatch("{tt}+");
  Ttt_commentator_form& screen = Screen();
  screen.setFixedSize(1018, 743);
  Settle();
  ASSERT_EQ(screen.size(), QSize(1018, 743));

  EXPECT_EQ(screen.GroupBox1->geometry(), QRect(8, 4, 441, 735));
  EXPECT_EQ(screen.GroupBox2->geometry(), QRect(585, 4, 427, 735));
  EXPECT_EQ(screen.standings_groupbox->geometry(), QRect(314, 136, 401, 603));
  EXPECT_EQ(screen.Image1->geometry(), QRect(467, 8, 105, 113));
  EXPECT_EQ(screen.StringGrid01->geometry(), QRect(8, 132, 260, 595));
  EXPECT_EQ(screen.StringGrid11->geometry(), QRect(176, 132, 246, 595));
  EXPECT_EQ(screen.standings_stringgrid->geometry(), QRect(12, 20, 381, 579));
  EXPECT_EQ(screen.StringGrid00->geometry(), QRect(8, 12, 249, 105));
  EXPECT_EQ(screen.TLabeld1->geometry(), QRect(4, 68, 182, 48));

  // The standings box lies over the panels it overlaps.
  EXPECT_TRUE(Within(screen.childAt(420, 400), screen.standings_groupbox));
  EXPECT_TRUE(Within(screen.childAt(600, 400), screen.standings_groupbox));
}

TEST_F(TimeTrialScreen, StackingAtTheDesignedSize) {
  fixture.Dispatch("{tt}+");
  Ttt_commentator_form& screen = Screen();
  screen.setFixedSize(885, 578);
  Settle();
  ASSERT_EQ(screen.Image1->geometry(), QRect(399, 8, 105, 113));
  // The panels cover the picture, and each panel's grids cover its labels.
  EXPECT_TRUE(Within(screen.childAt(420, 30), screen.GroupBox1));
  EXPECT_TRUE(Within(screen.childAt(480, 30), screen.GroupBox2));
  EXPECT_TRUE(Within(screen.childAt(452 + 180, 4 + 40), screen.StringGrid10));
  EXPECT_TRUE(Within(screen.childAt(8 + 256, 4 + 40), screen.StringGrid00));
  EXPECT_TRUE(Within(screen.childAt(8 + 300, 4 + 40), screen.TLabel0));
}

TEST_F(TimeTrialScreen, ReadoutsUseTheSevenSegmentFace) {
  for (const QLabel* label :
       {Screen().TLabel0, Screen().TLabel1, Screen().TLabeld0, Screen().TLabeld1}) {
    const QFontInfo face(label->font());
    EXPECT_EQ(face.family(), QStringLiteral("DSEG7 Classic"));
    EXPECT_EQ(face.pixelSize(), 48);
    EXPECT_TRUE(face.bold());
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_EQ(label->size(), QSize(182, 48));
    // A time with minutes fits the readout whole.
    EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(QStringLiteral("4:12.381")), 182);
  }
  EXPECT_TRUE(Screen().TLabel0->alignment() & Qt::AlignRight);
  EXPECT_TRUE(Screen().TLabel1->alignment() & Qt::AlignLeft);
}

TEST_F(TimeTrialScreen, ClosingTheScreenEndsTheProgram) {
  fixture.Dispatch("{tt}+");
  EXPECT_TRUE(fixture.ClosingEndsProgram(&Screen()));
}

// A full race for a look at the screen; runs only when a directory is given.
TEST_F(TimeTrialScreen, Screenshot) {
  const QByteArray dir = qgetenv("ORVANE_SCREENSHOT_DIR");
  if (dir.isEmpty()) {
    GTEST_SKIP() << "ORVANE_SCREENSHOT_DIR not set";
  }
  const char* standings[][4] = {
      {"1", "HOLLOWAY Jack", "4:12.381", ""},        {"2", "OKAFOR Mia", "4:13.027", "+0.646"},
      {"3", "LINDQVIST Eric", "4:13.904", "+1.523"}, {"4", "MORETTI Luca", "4:14.550", "+2.169"},
      {"5", "DUBOIS Camille", "4:15.118", "+2.737"}, {"6", "TANAKA Ren", "4:15.870", "+3.489"},
      {"7", "NOWAK Piotr", "4:16.402", "+4.021"},    {"8", "SILVA Bruno", "4:17.233", "+4.852"},
      {"9", "MACLEOD Isla", "4:18.005", "+5.624"},   {"10", "KOVAC Marko", "4:19.761", "+7.380"},
      {"11", "BERG Astrid", "4:21.090", "+8.709"},   {"12", "REYES Diego", "4:23.456", "+11.075"},
  };
  fixture.Dispatch("{tt}+");
  for (int i = 0; i < 12; ++i) {
    fixture.Dispatch("{tt}+{standings}" + std::to_string(i) + "{rnk}" + standings[i][0] + "{name}" +
                     standings[i][1] + "{score}" + standings[i][2] + "{dif}" + standings[i][3]);
  }
  const double laps0[] = {21.804, 16.912, 16.233, 16.105, 16.087, 16.140, 16.198, 16.251, 16.305};
  const double laps1[] = {22.015, 17.003, 16.350, 16.219, 16.190, 16.274, 16.330};
  auto rider = [&](const char* course, const char* stack, const char* name, const double* laps,
                   int done, const char* time, const char* diff, const char* rank,
                   const char* speed) {
    std::string update = std::string("{tt}+{tick-hit}+{crs}") + course + "{stack}" + stack +
                         "{name}" + name + "{time}" + time + "{diff}" + diff + "{rank}" + rank +
                         "{spdk}" + speed + "{ltg}" + std::to_string(16 - done) + " laps" +
                         "{dist}" + std::to_string(done * 250) + " m";
    std::string audit = std::string("{tt}+{audit}+{crs}") + course + "{stack}" + stack;
    double total = 0;
    for (int lap = 1; lap <= done; ++lap) {
      total += laps[lap - 1];
      char net[32];
      char gap[32];
      std::snprintf(net, sizeof net, "%.3f", total);
      std::snprintf(gap, sizeof gap, "%+.3f", laps[lap - 1] - 16.2);
      update += "{ltg" + std::to_string(lap) + "}" + std::to_string(16 - lap);
      audit += "{n" + std::to_string(lap) + "}" + net + "{d" + std::to_string(lap) + "}" + gap;
    }
    fixture.Dispatch(update);
    fixture.Dispatch(audit);
  };
  rider("0", "0", "21 PRZYBYLSKI Anna (POL)", laps0, 9, "2:22.035", "-0.412", "2", "54.3 km/h");
  rider("1", "0", "34 ACHTERBERG Tom (NED)", laps1, 7, "1:51.181", "+0.734", "5", "53.9 km/h");

  Ttt_commentator_form& screen = Screen();
  screen.setFixedSize(QSize(1024, 768) - kDesignFrame);
  Settle();
  QDir().mkpath(QString::fromLocal8Bit(dir));
  const QString path = QDir(QString::fromLocal8Bit(dir)).filePath(QStringLiteral("time_trial.png"));
  EXPECT_TRUE(screen.grab().save(path));
}

}  // namespace
