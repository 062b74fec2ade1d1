// Feed trouble on every event screen: during a race the main window and its
// status corner are covered, so each shown screen carries a short notice
// (the state word and its seconds, in the state's colour) while the feed is
// anything but live, and loses it as soon as the feed is live again.
#pragma once

#include "app/feed_status.h"
#include "app/race_data_listener.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <optional>
#include <vector>

#include "relay/relay.h"

class BrokerLink;
class EventScreen;

struct FeedNotice {
  QString text;  // empty: the feed is live, nothing to say
  QColor colour;

  bool operator==(const FeedNotice&) const = default;
};

// The one trouble worth a screen's notice, the most important first: the
// feed quiet or without data, the broker link down, records lost lately, a
// sender turned away, a port closed.
FeedNotice NoticeFor(const FeedStatus::Report& report,
                     const std::optional<relay::RelayStatus>& broker, bool losing_records);

class FeedNotices : public QObject, public DatagramObserver {
  Q_OBJECT

 public:
  // How long "records lost" stays up after the last loss.
  static constexpr int kLossShownSeconds = FeedStatus::kLiveSeconds;

  FeedNotices(const FeedStatus& status, const FeedClock& clock, std::vector<EventScreen*> screens);

  void SetBroker(const BrokerLink* broker) { broker_ = broker; }
  void Refresh();
  const FeedNotice& Shown() const { return shown_; }

  void DatagramTaken(int receiver, std::string_view sender, std::string_view bytes,
                     bool accepted) override;

 private:
  bool LosingRecords(std::uint64_t lost_now);

  const FeedStatus& status_;
  const FeedClock& clock_;
  std::vector<EventScreen*> screens_;
  const BrokerLink* broker_ = nullptr;
  std::uint64_t lost_seen_ = 0;
  qint64 last_loss_ms_ = -1;
  FeedNotice shown_;
  QTimer ticks_;
};
