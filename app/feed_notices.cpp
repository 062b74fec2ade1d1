#include "app/feed_notices.h"

#include "app/broker_link.h"
#include "screens/event_screen.h"
#include "screens/shown_text.h"

namespace {

const QColor kWarning(230, 160, 0);
const QColor kAlarm(210, 0, 0);

}  // namespace

FeedNotice NoticeFor(const FeedStatus::Report& report,
                     const std::optional<relay::RelayStatus>& broker, bool losing_records) {
  using State = FeedStatus::State;
  if (report.state == State::kQuiet || report.state == State::kNoData) {
    return {StateWord(report), StateColour(report.state)};
  }
  if (broker && broker->connection != relay::RelayStatus::Connection::kConnected) {
    const bool stopped = broker->connection == relay::RelayStatus::Connection::kStopped;
    return {stopped ? QStringLiteral("broker stopped") : QStringLiteral("broker reconnecting"),
            stopped || broker->refused ? kAlarm : kWarning};
  }
  if (losing_records) {
    return {QStringLiteral("records lost"), kWarning};
  }
  if (!report.ignored_sender.empty()) {
    return {QStringLiteral("ignoring %1").arg(ShownText(report.ignored_sender)), kWarning};
  }
  if (!report.closed_ports.empty()) {
    return {QStringLiteral("port %1 closed").arg(report.closed_ports.front()), kAlarm};
  }
  return {};
}

FeedNotices::FeedNotices(const FeedStatus& status, const FeedClock& clock,
                         std::vector<EventScreen*> screens)
    : status_(status), clock_(clock), screens_(std::move(screens)) {
  ticks_.setInterval(1000);
  connect(&ticks_, &QTimer::timeout, this, &FeedNotices::Refresh);
  ticks_.start();
  connect(&status_, &FeedStatus::Changed, this, &FeedNotices::Refresh);
}

void FeedNotices::DatagramTaken(int, std::string_view, std::string_view, bool accepted) {
  // A record that ends a quiet spell takes the notice away at once; while
  // the feed is live nothing is worked out per record.
  if (accepted && !shown_.text.isEmpty()) {
    Refresh();
  }
}

bool FeedNotices::LosingRecords(std::uint64_t lost_now) {
  const qint64 now = clock_.MonotonicMs();
  if (lost_now > lost_seen_) {
    last_loss_ms_ = now;
  }
  lost_seen_ = lost_now;
  return last_loss_ms_ >= 0 && now - last_loss_ms_ < kLossShownSeconds * 1000;
}

void FeedNotices::Refresh() {
  const FeedStatus::Report report = status_.Now();
  std::optional<relay::RelayStatus> broker;
  std::uint64_t lost = report.kernel_drops;
  if (broker_ != nullptr) {
    broker = broker_->State();
    lost += broker->lost;
  }
  const FeedNotice notice = NoticeFor(report, broker, LosingRecords(lost));
  if (notice == shown_) {
    return;
  }
  shown_ = notice;
  for (EventScreen* screen : screens_) {
    screen->SetFeedNotice(notice.text, notice.colour);
  }
}
