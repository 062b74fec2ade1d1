// Two monitors (the offscreen platform, configured with two screens): the
// monitor chosen for the event screens is the one they cover, and F11 shows
// a screen full screen on the monitor it is on, then puts it back.
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
    Settle();
    EXPECT_EQ(OuterGeometry(&fixture.App().TimeTrial()), kRight);
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
