// The feed status corner, driven by a clock of the test's own: the state
// from waiting to live, quiet and no data; a sender turned away; a receiver
// that could not be opened; the records a second; what a screen reader
// reads there; and a change of state shown without waiting for the tick.
#include "app/feed_status.h"
#include "support/test_support.h"

#include <QLabel>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

class FakeClock : public FeedClock {
 public:
  qint64 MonotonicMs() const override { return ms; }
  QTime TimeOfDay() const override { return QTime(14, 3, 0).addMSecs(static_cast<int>(ms)); }
  qint64 ms = 100'000;
};

void Accepted(FeedStatus& status, int count = 1) {
  for (int i = 0; i < count; ++i) {
    status.DatagramTaken(0, "10.0.0.5", "{heartbeat}+", true);
  }
}

TEST(FeedStatus, FromWaitingToLiveQuietAndNoData) {
  FakeClock clock;
  FeedStatus status(clock, nullptr);
  struct Step {
    qint64 advance_ms;
    bool record;
    const char* shown;
  };
  const Step steps[] = {
      {0, false, "waiting for the first record"},
      {1000, true, "live"},
      {14'999, false, "live"},
      {1, false, "quiet for 15 s"},
      {45'000, false, "quiet for 60 s"},
      {1000, false, "no data for 61 s"},
      {0, true, "live"},
  };
  for (const Step& step : steps) {
    clock.ms += step.advance_ms;
    if (step.record) {
      Accepted(status);
    }
    EXPECT_EQ(StateWord(status.Now()).toStdString(), step.shown) << "at " << clock.ms;
  }
}

TEST(FeedStatus, ASenderTurnedAwayIsNamedWithItsCountForAMinute) {
  FakeClock clock;
  FeedStatus status(clock, nullptr);
  for (int i = 0; i < 3; ++i) {
    status.DatagramTaken(1, "10.0.0.7", "{tt}+", false);
  }
  FeedStatus::Report report = status.Now();
  EXPECT_EQ(report.state, FeedStatus::State::kWaiting) << "turned away is not received";
  EXPECT_EQ(report.ignored_sender, "10.0.0.7");
  EXPECT_EQ(report.ignored_count, 3u);
  EXPECT_TRUE(ReportText(report).contains("ignoring 10.0.0.7 (3)"));

  status.DatagramTaken(0, "10.0.0.8", "x", false);
  EXPECT_EQ(status.Now().ignored_sender, "10.0.0.8");
  EXPECT_EQ(status.Now().ignored_count, 1u) << "a new sender counts from one";
  clock.ms += 60'000;
  EXPECT_TRUE(status.Now().ignored_sender.empty()) << "a minute without: no longer said";
}

TEST(FeedStatus, RecordsASecondOverTheLastFiveWholeSeconds) {
  FakeClock clock;
  clock.ms = 200'000;
  FeedStatus status(clock, nullptr);
  for (int second = 0; second < 5; ++second) {
    Accepted(status, 10 * (second + 1));  // 10, 20, 30, 40, 50
    clock.ms += 1000;
  }
  EXPECT_DOUBLE_EQ(status.Now().records_per_second, 30.0);
  Accepted(status, 1000);  // the current second is still counting
  EXPECT_DOUBLE_EQ(status.Now().records_per_second, 30.0);
  clock.ms += 1000;
  EXPECT_DOUBLE_EQ(status.Now().records_per_second, (20 + 30 + 40 + 50 + 1000) / 5.0);
  clock.ms += 10'000;
  EXPECT_DOUBLE_EQ(status.Now().records_per_second, 0.0);
  EXPECT_TRUE(ReportText(status.Now()).contains("0.0 rec/s"));
}

// The corner's one-second tick, stopped: what it shows then comes from the
// status's own reports.
void StopTicks(FeedStatusView& corner) {
  auto* ticks = corner.findChild<QTimer*>(QStringLiteral("ticks"));
  ASSERT_NE(ticks, nullptr);
  ticks->stop();
}

QString CornerText(const FeedStatusView& corner) {
  return corner.findChildren<QLabel*>().at(1)->text();
}

TEST(FeedStatusCorner, AChangeOfStateIsShownAtOnceAndARecordThatChangesNothingIsNot) {
  FakeClock clock;
  FeedStatus status(clock, nullptr);
  int reports = 0;
  QObject::connect(&status, &FeedStatus::Changed, [&] { ++reports; });
  FeedStatusView corner(status);
  StopTicks(corner);
  ASSERT_TRUE(CornerText(corner).startsWith("waiting for the first record"));

  Accepted(status);
  Settle(1);
  EXPECT_TRUE(CornerText(corner).startsWith("live")) << CornerText(corner).toStdString();
  EXPECT_EQ(reports, 1);
  Accepted(status, 1000);
  EXPECT_EQ(reports, 1) << "more records say nothing new";

  status.DatagramTaken(1, "10.0.0.7", "{tt}+", false);
  Settle(1);
  EXPECT_TRUE(CornerText(corner).contains("ignoring 10.0.0.7 (1)"))
      << CornerText(corner).toStdString();
  EXPECT_EQ(reports, 2);
  status.DatagramTaken(1, "10.0.0.7", "{tt}+", false);
  EXPECT_EQ(reports, 2) << "the same sender again: only its count grows";
  status.DatagramTaken(1, "10.0.0.8", "{tt}+", false);
  EXPECT_EQ(reports, 3) << "another sender is named";

  clock.ms += 20'000;  // quiet by now, said on the next tick
  Accepted(status);
  EXPECT_EQ(reports, 4) << "a record after a silence";
  clock.ms += 60'000;
  status.DatagramTaken(1, "10.0.0.8", "{tt}+", false);
  EXPECT_EQ(reports, 5) << "turned away again after it was no longer said";
}

TEST(FeedStatusCorner, InTheMenuBarWithTheTimeAndAClosedPort) {
  const PortHolder holder;  // another program's hold on the second port
  const quint16 taken = holder.Port();
  ASSERT_NE(taken, 0);

  CommentatorFixture fixture(/*show_main_window=*/true, ListenerPorts{0, taken});
  FeedStatusView& corner = fixture.App().FeedView();
  const QRect bar = fixture.Main().menuBar()->geometry();
  EXPECT_EQ(corner.geometry().right(), bar.right()) << "at the menu bar's right end";
  EXPECT_EQ(corner.geometry().top(), bar.top());
  EXPECT_TRUE(fixture.Main().centralWidget()->geometry().top() >= corner.geometry().bottom())
      << "and nowhere over the window's own layout";
  EXPECT_EQ(corner.accessibleName(), "Feed status");
  // The port closed is shown without the tick: the receivers were opened
  // after the corner was made.
  StopTicks(corner);
  Settle(2);
  const QList<QLabel*> labels = corner.findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 2);
  EXPECT_EQ(labels[0]->accessibleName(), "waiting for the first record") << "the mark, read aloud";
  const QString text = labels[1]->text();
  EXPECT_TRUE(text.contains(QStringLiteral("port %1 closed").arg(taken))) << text.toStdString();
  EXPECT_TRUE(text.contains(QRegularExpression("\\d\\d:\\d\\d:\\d\\d"))) << text.toStdString();

  ASSERT_TRUE(fixture.SendAndWait("{heartbeat}+", 2));
  Settle(1);
  EXPECT_EQ(labels[0]->accessibleName(), "live") << "the first record, without the tick";
}

}  // namespace
