// Feed trouble on the event screens: which trouble a screen's notice names,
// that the notice sits over the screen's picture and covers no data, and
// that it goes with the next record.
#include "app/feed_notices.h"
#include "platform/grid_view.h"
#include "screens/event_screen.h"
#include "screens/points_race_screen.h"
#include "screens/quick_text_window.h"
#include "screens/scratch_screen.h"
#include "screens/sprint_screen.h"
#include "screens/time_trial_screen.h"
#include "support/test_support.h"

#include <QLabel>

#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace {

using Connection = relay::RelayStatus::Connection;
using State = FeedStatus::State;

class FakeClock : public FeedClock {
 public:
  qint64 MonotonicMs() const override { return ms; }
  QTime TimeOfDay() const override { return QTime(14, 3, 0); }
  qint64 ms = 100'000;
};

struct NoticeCase {
  const char* name;
  State state;
  int silent_seconds;
  std::optional<Connection> broker;
  bool losing;
  const char* ignored_sender;
  bool port_closed;
  const char* shown;  // "" : no notice
};

class NoticeForTest : public ::testing::TestWithParam<NoticeCase> {};

TEST_P(NoticeForTest, NamesTheMostImportantTrouble) {
  const NoticeCase& c = GetParam();
  FeedStatus::Report report;
  report.state = c.state;
  report.silent_seconds = c.silent_seconds;
  report.ignored_sender = c.ignored_sender;
  if (c.port_closed) {
    report.closed_ports = {29104};
  }
  std::optional<relay::RelayStatus> broker;
  if (c.broker) {
    broker.emplace();
    broker->connection = *c.broker;
  }
  const FeedNotice notice = NoticeFor(report, broker, c.losing);
  EXPECT_EQ(notice.text.toStdString(), c.shown);
  EXPECT_EQ(notice.colour.isValid(), *c.shown != '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Reports, NoticeForTest,
    ::testing::Values(NoticeCase{"Live", State::kLive, 2, std::nullopt, false, "", false, ""},
                      NoticeCase{"LiveAndConnected", State::kLive, 2, Connection::kConnected, false,
                                 "", false, ""},
                      NoticeCase{"Waiting", State::kWaiting, 0, std::nullopt, false, "", false, ""},
                      NoticeCase{"Quiet", State::kQuiet, 20, std::nullopt, false, "", false,
                                 "quiet for 20 s"},
                      NoticeCase{"NoData", State::kNoData, 75, std::nullopt, false, "", false,
                                 "no data for 75 s"},
                      NoticeCase{"QuietBeatsEverything", State::kQuiet, 16, Connection::kRetrying,
                                 true, "10.0.0.9", true, "quiet for 16 s"},
                      NoticeCase{"BrokerDown", State::kLive, 1, Connection::kRetrying, true,
                                 "10.0.0.9", true, "broker reconnecting"},
                      NoticeCase{"BrokerStopped", State::kLive, 1, Connection::kStopped, false, "",
                                 false, "broker stopped"},
                      NoticeCase{"Losing", State::kLive, 1, Connection::kConnected, true,
                                 "10.0.0.9", true, "records lost"},
                      NoticeCase{"Ignoring", State::kLive, 1, std::nullopt, false, "10.0.0.9", true,
                                 "ignoring 10.0.0.9"},
                      NoticeCase{"PortClosed", State::kLive, 1, std::nullopt, false, "", true,
                                 "port 29104 closed"}),
    [](const auto& row) { return std::string(row.param.name); });

QLabel* Notice(const EventScreen& screen) {
  return screen.findChild<QLabel*>(QStringLiteral("feed_notice"));
}

TEST(FeedNotices, AQuietFeedShowsOnEveryShownScreenOverItsPictureAndGoesWithTheNextRecord) {
  FakeClock clock;
  CommentatorFixture fixture(true, {0, 0}, &clock);
  CommentatorApp& app = fixture.App();
  for (const char* record :
       {"{scratch}+{title}Heat 1", "{sprintf}+{title}Final", "{ptsrace}+{standings}0{rnk}1",
        "{qdtype}+{data},ONE,TWO,THREE,FOUR,FIVE,SIX,SEVEN,123456789012345678901234567890",
        "{tt}+{standings}0{rnk}1"}) {
    fixture.Dispatch(record);
    app.Notices().DatagramTaken(0, "10.0.0.5", record, true);
    app.Feed().DatagramTaken(0, "10.0.0.5", record, true);
  }
  Settle();
  EventScreen* screens[] = {&app.Scratch(), &app.Sprint(), &app.PointsRace(), &app.QuickText(),
                            &app.TimeTrial()};
  app.Notices().Refresh();
  for (EventScreen* screen : screens) {
    EXPECT_EQ(Notice(*screen), nullptr)
        << "a live feed leaves " << screen->objectName().toStdString() << " as it always was";
  }

  // The longest notices the screens carry, then the common one.
  app.Feed().DatagramTaken(0, "10.0.0.5", "{heartbeat}+", true);
  clock.ms += 75'000;
  app.Notices().Refresh();
  Settle();
  for (EventScreen* screen : screens) {
    SCOPED_TRACE(screen->objectName().toStdString());
    ASSERT_NE(Notice(*screen), nullptr);
    EXPECT_TRUE(screen->rect().contains(Notice(*screen)->geometry()));
  }
  app.Feed().DatagramTaken(0, "10.0.0.5", "{heartbeat}+", true);
  clock.ms += 20'000;
  app.Notices().Refresh();
  Settle();
  for (EventScreen* screen : screens) {
    SCOPED_TRACE(screen->objectName().toStdString());
    QLabel* notice = Notice(*screen);
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text(), "quiet for 20 s");
    EXPECT_EQ(notice->accessibleName(), "Feed notice: quiet for 20 s");
    EXPECT_EQ(screen->FeedNotice(), "quiet for 20 s");
    const QRect place = notice->geometry();
    EXPECT_TRUE(screen->rect().contains(place)) << "inside the window";
    EXPECT_GE(notice->fontInfo().pixelSize(), 18) << "readable from the commentator's seat";
    if (screen == &app.QuickText()) {
      // Below the eighth line of large type (48 pixels each, from 12).
      EXPECT_GE(place.top(), 12 + 8 * 48);
      continue;
    }
    // It covers no data: no grid and no text label of the screen.
    for (const QWidget* control : screen->findChildren<QWidget*>()) {
      // Grids, and labels that are no picture (empty ones are filled later).
      const auto* label = qobject_cast<const QLabel*>(control);
      const bool data = qobject_cast<const GridView*>(control) != nullptr ||
                        (label != nullptr && label != notice && label->pixmap().isNull());
      if (!data || !control->isVisible()) {
        continue;
      }
      const QRect in_window(control->mapTo(screen, QPoint(0, 0)), control->size());
      EXPECT_FALSE(in_window.intersects(place)) << "covers " << control->objectName().toStdString()
                                                << " " << control->accessibleName().toStdString();
    }
  }

  clock.ms += 1'000;
  app.Notices().DatagramTaken(0, "10.0.0.5", "{heartbeat}+", true);
  app.Feed().DatagramTaken(0, "10.0.0.5", "{heartbeat}+", true);
  app.Notices().Refresh();
  for (EventScreen* screen : screens) {
    EXPECT_TRUE(screen->FeedNotice().isEmpty()) << "gone with the next record";
  }
}

TEST(FeedNotices, AScreenShownDuringTroubleCarriesTheNoticeFromItsFirstShowing) {
  FakeClock clock;
  CommentatorFixture fixture(true, {0, 0}, &clock);
  CommentatorApp& app = fixture.App();
  app.Feed().DatagramTaken(0, "10.0.0.5", "{heartbeat}+", true);
  clock.ms += 70'000;
  app.Notices().Refresh();
  fixture.Dispatch("{tt}+{standings}0{rnk}1");
  Settle();
  ASSERT_NE(Notice(app.TimeTrial()), nullptr);
  EXPECT_EQ(Notice(app.TimeTrial())->text(), "no data for 70 s");
  EXPECT_TRUE(Notice(app.TimeTrial())->isVisible());
}

}  // namespace
