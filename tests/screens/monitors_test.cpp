// Two monitors (the offscreen platform, configured with two screens): the
// monitor chosen for the event screens is the one they cover and the one the
// program's other windows open on, and F11 shows a screen full screen on the
// monitor it is on, then puts it back. Which monitor a choice names, and why
// one is refused, is a table.
#include "platform/monitor_choice.h"
#include "platform/window_frame.h"
#include "platform/windows.h"
#include "screens/scratch_screen.h"
#include "screens/time_trial_screen.h"
#include "support/test_support.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

const QRect kLeft(0, 0, 1024, 768);
const QRect kRight(1024, 0, 1280, 1024);

TEST(Monitors, AChoiceNamesOneMonitorOfTheProgramsOwnXScreen) {
  const QList<MonitorEntry> side_by_side = {{"DUMMY0", true}, {"DUMMY1", true}};
  // A display with two X screens, as the toolkit lists them on ":1".
  const QList<MonitorEntry> two_x_screens = {{"screen", true}, {"screen", false}};
  const struct {
    QList<MonitorEntry> monitors;
    const char* choice;
    int chosen;
    const char* error;
  } cases[] = {
      {side_by_side, "1", 1, ""},
      {side_by_side, "DUMMY1", 1, ""},
      {side_by_side, "0", 0, ""},
      {side_by_side, "dummy1", -1, "no monitor 'dummy1'; there are: 0 (DUMMY0), 1 (DUMMY1)"},
      {side_by_side, "2", -1, "no monitor '2'; there are: 0 (DUMMY0), 1 (DUMMY1)"},
      {side_by_side, "+1", -1, "no monitor '+1'; there are: 0 (DUMMY0), 1 (DUMMY1)"},
      {side_by_side, "1e0", -1, "no monitor '1e0'; there are: 0 (DUMMY0), 1 (DUMMY1)"},
      {side_by_side, "", -1, "no monitor ''; there are: 0 (DUMMY0), 1 (DUMMY1)"},
      {side_by_side, "99999999999", -1,
       "no monitor '99999999999'; there are: 0 (DUMMY0), 1 (DUMMY1)"},
      {two_x_screens, "0", 0, ""},
      // Sized for the other X screen's monitor, it would be drawn on this one.
      {two_x_screens, "1", -1,
       "monitor 1 (screen) is on another X screen of this display, where the program opens no "
       "window; to use it, start the program on that X screen (DISPLAY=:1.1)"},
      {two_x_screens, "screen", 0, ""},
      {two_x_screens, "x", -1,
       "no monitor 'x'; there are: 0 (screen), 1 (screen, on another X screen)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.choice);
    QString error;
    EXPECT_EQ(ChooseMonitor(c.monitors, c.choice, ":1.1", error), c.chosen);
    EXPECT_EQ(error, c.error);
  }
}

TEST(Monitors, TheChosenMonitorIsTheOneTheScreensCover) {
  ASSERT_EQ(QGuiApplication::screens().size(), 2) << "run with two_monitors.json";
  QString error;
  EXPECT_FALSE(ChooseEventScreen("Middle", error));
  EXPECT_EQ(error, "no monitor 'Middle'; there are: 0 (Left), 1 (Right)");
  EXPECT_FALSE(ChooseEventScreen("2", error));

  for (const char* choice : {"Right", "1"}) {
    SCOPED_TRACE(choice);
    ASSERT_TRUE(ChooseEventScreen(choice, error));
    CommentatorFixture fixture;
    fixture.Dispatch("{tt}+");
    fixture.Dispatch("{scratch}+{title}Heat");
    Settle();
    EXPECT_EQ(OuterGeometry(&fixture.App().TimeTrial()), kRight);
    // The others open centred over the main window, which opens centred on
    // the chosen monitor.
    const QRect main = OuterGeometry(&fixture.Main());
    EXPECT_EQ(main.topLeft(), CentredOver(kRight, main.size()));
    EXPECT_TRUE(kRight.contains(OuterGeometry(&fixture.App().Scratch())));
  }
  ASSERT_TRUE(ChooseEventScreen("0", error));
  CommentatorFixture fixture;
  fixture.Dispatch("{tt}+");
  Settle();
  EXPECT_EQ(OuterGeometry(&fixture.App().TimeTrial()), kLeft);
}

TEST(Monitors, F11ShowsAScreenFullScreenOnItsMonitorAndPutsItBack) {
  CommentatorFixture fixture;
  fixture.Dispatch("{scratch}+{title}Heat");
  Settle();
  ScratchScreen& screen = fixture.App().Scratch();
  screen.move(kRight.topLeft() + QPoint(100, 50));  // the user took it to the other monitor
  Settle();
  const QRect before = OuterGeometry(&screen);
  ASSERT_TRUE(kRight.contains(before.topLeft()));

  screen.ToggleFullScreen();
  ASSERT_TRUE(WaitUntil([&] { return screen.isFullScreen(); }));
  EXPECT_TRUE(WaitUntil([&] { return screen.geometry() == kRight; }))
      << "full screen on the monitor it is on";

  screen.ToggleFullScreen();
  ASSERT_TRUE(WaitUntil([&] { return !screen.isFullScreen(); }));
  EXPECT_TRUE(WaitUntil([&] { return OuterGeometry(&screen) == before; }))
      << "its frame and place again";

  // A screen of a fixed size goes full screen and comes back to covering.
  fixture.Dispatch("{tt}+");
  Settle();
  TimeTrialScreen& time_trial = fixture.App().TimeTrial();
  const QRect covering = OuterGeometry(&time_trial);
  time_trial.ToggleFullScreen();
  ASSERT_TRUE(WaitUntil([&] { return time_trial.isFullScreen(); }));
  time_trial.ToggleFullScreen();
  ASSERT_TRUE(WaitUntil([&] { return !time_trial.isFullScreen(); }));
  EXPECT_TRUE(WaitUntil([&] { return OuterGeometry(&time_trial) == covering; }));
  EXPECT_EQ(time_trial.minimumSize(), time_trial.maximumSize()) << "fixed again";
}

}  // namespace
