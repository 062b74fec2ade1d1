#include "app/history_mode.h"
#include "app/history_bar.h"
#include "app/history_frame.h"
#include "records/screen_data_snapshot.h"
#include "screens/points_race_screen.h"
#include "screens/quick_text_window.h"
#include "screens/scratch_screen.h"
#include "screens/sprint_screen.h"
#include "screens/time_trial_screen.h"
#include "session/session_format.h"
#include "session_generator.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <fstream>
#include <string>
#include <vector>

namespace {

// The demo session with made-up records of every family, junk and a turned
// away sender mixed in.
std::vector<GeneratedDatagram> MixedSession() {
  std::vector<GeneratedDatagram> session;
  std::ifstream file(DEMO_SESSION_PATH);
  std::string line;
  std::getline(file, line);  // the header
  SessionGenerator generator(5);
  while (std::getline(file, line)) {
    session::SessionEntry entry;
    std::string error;
    if (session::ParseSessionLine(line, entry, error)) {
      session.push_back({entry.bytes, entry.sender, 0, true, 0});
    }
    if (session.size() % 4 == 0) {
      session.push_back(generator.Next());
    }
  }
  return session;
}

class HistoryModeTest : public ::testing::Test {
 protected:
  void SetUp() override { fixture_.App().Address().SetText("127.0.0.1"); }

  void Take(const GeneratedDatagram& datagram) {
    fixture_.App().Listener().Take(datagram.receiver, datagram.sender, datagram.bytes);
  }
  HistoryMode& History() { return fixture_.App().History(); }
  ScreenDataSnapshot Shown() { return ScreenDataSnapshot::Take(fixture_.Data()); }

  CommentatorFixture fixture_;
};

struct Outcome {
  ScreenDataSnapshot screens;
  std::vector<std::string> log;
  std::uint64_t log_lines = 0;
  std::vector<bool> visible;
};

Outcome OutcomeOf(CommentatorFixture& fixture) {
  CommentatorApp& app = fixture.App();
  return {ScreenDataSnapshot::Take(app.Data()),
          fixture.Log(),
          fixture.Main().TrafficLinesAdded(),
          {app.Scratch().isVisible(), app.QuickText().isVisible(), app.Sprint().isVisible(),
           app.PointsRace().isVisible(), app.TimeTrial().isVisible()}};
}

}  // namespace

// The history's own screens hold what the program's screens hold, record
// after record, first showings included.
TEST_F(HistoryModeTest, KeepsTheScreensAsTheyWereShown) {
  const std::vector<GeneratedDatagram> session = MixedSession();
  for (std::size_t i = 0; i < session.size(); ++i) {
    Take(session[i]);
    if (i % 50 == 0 || i + 1 == session.size()) {
      ASSERT_TRUE(History().History().ScreensNow().cells == Shown()) << "after datagram " << i;
    }
  }
  EXPECT_EQ(History().History().End(), session.size());
}

// Opened in the middle, browsed, and closed after more came: the screens,
// the log and the windows end as in a run that never opened it.
TEST(HistoryModeLiveTest, LiveIsAsIfHistoryWasNeverOpened) {
  const std::vector<GeneratedDatagram> session = MixedSession();
  // Opened before the last screen first came into view, so it does so
  // meanwhile.
  std::size_t half = 0;
  Outcome never_opened;
  {
    CommentatorFixture fixture;
    fixture.App().Address().SetText("127.0.0.1");
    for (std::size_t i = 0; i < session.size(); ++i) {
      const std::vector<bool> visible = OutcomeOf(fixture).visible;
      if (half == 0 && std::count(visible.begin(), visible.end(), true) == 4) {
        half = i;
      }
      fixture.App().Listener().Take(session[i].receiver, session[i].sender, session[i].bytes);
    }
    never_opened = OutcomeOf(fixture);
  }
  ASSERT_GT(half, 0u);

  // One by one through the screens' own rules, and the history's screens
  // taken at once.
  for (const std::uint64_t catch_up_limit : {std::uint64_t{100'000}, std::uint64_t{0}}) {
    SCOPED_TRACE(catch_up_limit);
    CommentatorFixture fixture;
    fixture.App().Address().SetText("127.0.0.1");
    HistoryMode& history = fixture.App().History();
    history.SetCatchUpLimit(catch_up_limit);
    for (std::size_t i = 0; i < half; ++i) {
      fixture.App().Listener().Take(session[i].receiver, session[i].sender, session[i].bytes);
    }
    const ScreenDataSnapshot at_half = ScreenDataSnapshot::Take(fixture.Data());
    history.Enter();  // the keys are the end-to-end test's
    ASSERT_TRUE(history.Active());
    EXPECT_TRUE(ScreenDataSnapshot::Take(fixture.Data()) == at_half)
        << "opens on the latest moment";
    EXPECT_TRUE(history.Bar().isVisible());

    history.StepHeat(-1);
    const std::uint64_t heat = history.ShownMoment();
    EXPECT_LT(heat, half);
    EXPECT_EQ(heat, history.History().HeatBefore(half));
    history.Step(-1);
    EXPECT_EQ(history.ShownMoment(), heat - 1);
    const ScreenDataSnapshot shown = ScreenDataSnapshot::Take(fixture.Data());
    EXPECT_TRUE(shown == history.History().ScreensAt(heat - 1).cells);
    EXPECT_FALSE(shown == at_half);
    for (HistoryFrame* frame : history.Frames()) {
      EXPECT_TRUE(frame->Text().startsWith(QStringLiteral("HISTORY")))
          << frame->Text().toStdString();
    }

    for (std::size_t i = half; i < session.size(); ++i) {
      fixture.App().Listener().Take(session[i].receiver, session[i].sender, session[i].bytes);
    }
    EXPECT_TRUE(ScreenDataSnapshot::Take(fixture.Data()) == shown) << "live records change nothing";
    history.Leave();
    EXPECT_FALSE(history.Active());
    EXPECT_FALSE(history.Bar().isVisible());

    const Outcome after = OutcomeOf(fixture);
    EXPECT_TRUE(after.screens == never_opened.screens);
    EXPECT_EQ(after.log, never_opened.log);
    EXPECT_EQ(after.log_lines, never_opened.log_lines);
    EXPECT_EQ(after.visible, never_opened.visible);
  }
}

// The sprint chosen while history shows is the commentator's and stays.
TEST_F(HistoryModeTest, TheChosenSprintSurvivesHistory) {
  Take({"{ptsrace}+{sprint}0{sname}ONE{name1}FIRST{pts1}5", "127.0.0.1"});
  Take({"{ptsrace}+{sprint}1{sname}TWO{name1}SECOND{pts1}5", "127.0.0.1"});
  History().Enter();
  History().Step(-1);
  fixture_.Data().points_race.ChooseSprint(1);
  EXPECT_EQ(fixture_.Data().points_race.shown_sprint.Cell(1, 1), "") << "sprint 2 not yet run";
  History().Leave();
  EXPECT_EQ(fixture_.Data().points_race.ChosenSprint(), 1);
  EXPECT_EQ(fixture_.Data().points_race.shown_sprint.Cell(1, 1), "SECOND");
}

// A recording opened later shows what the recording screen showed, a
// change of listening address in the middle included, whatever the address
// is now.
TEST(HistoryModeOpenTest, AnOpenedRecordingShowsWhatTheRecordingScreenShowed) {
  const std::vector<GeneratedDatagram> session = MixedSession();
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("session.txt"));
  ScreenDataSnapshot recorded;
  {
    CommentatorFixture fixture;
    fixture.App().Address().SetText("127.0.0.1");
    QString error;
    ASSERT_TRUE(fixture.App().StartRecording(path, error)) << error.toStdString();
    for (std::size_t i = 0; i < session.size(); ++i) {
      if (i == session.size() / 3) {
        fixture.App().Address().SetText("10.0.0.4");
      } else if (i == 2 * session.size() / 3) {
        fixture.App().Address().SetText("255.255.255.255");
      }
      fixture.App().Listener().Take(session[i].receiver, session[i].sender, session[i].bytes);
    }
    fixture.App().StopRecording();
    recorded = ScreenDataSnapshot::Take(fixture.Data());
  }

  CommentatorFixture fixture;
  fixture.App().Address().SetText("10.0.0.9");
  const ScreenDataSnapshot live = ScreenDataSnapshot::Take(fixture.Data());
  QString error;
  ASSERT_TRUE(fixture.App().History().OpenSession(path, error)) << error.toStdString();
  EXPECT_EQ(fixture.App().History().Browsed().End(), session.size());
  EXPECT_TRUE(ScreenDataSnapshot::Take(fixture.Data()) == recorded);
  fixture.App().History().Leave();
  EXPECT_TRUE(ScreenDataSnapshot::Take(fixture.Data()) == live);

  EXPECT_FALSE(fixture.App().History().OpenSession(dir.filePath(QStringLiteral("none")), error));
  EXPECT_FALSE(fixture.App().History().Active());
}
