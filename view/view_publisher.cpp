#include "view/view_publisher.h"

#include <utility>

namespace view {

ViewPublisher::ViewPublisher(std::string topic) : topic_(std::move(topic)) {}

std::string ViewPublisher::Topic(Screen screen) const {
  return topic_ + "/view/" + std::string(kScreenNames[static_cast<int>(screen)]);
}

void ViewPublisher::LogDatagram(std::string_view sender, std::string_view record) {
  std::string line(sender);
  line += '>';
  line += record;
  log_.AddLine(line);
}

void ViewPublisher::Took(const WriteReport& report, std::uint64_t sequence,
                         std::int64_t received_us, Clock::time_point now) {
  sequence_ = sequence;
  received_us_ = received_us;
  last_record_ = now;
  const Touched touched = ScreensTouched(report);
  for (int screen = 0; screen < kScreenCount; ++screen) {
    if (touched.written.test(static_cast<std::size_t>(screen))) {
      slots_[static_cast<std::size_t>(screen)].due = true;
    }
    if (touched.forward.test(static_cast<std::size_t>(screen))) {
      slots_[static_cast<std::size_t>(screen)].forward = sequence;
    }
  }
  if (log_.Generation() != log_generation_) {
    log_generation_ = log_.Generation();
    slots_[static_cast<int>(Screen::kLog)].due = true;
  }
}

void ViewPublisher::MarkAllDue() {
  for (Slot& slot : slots_) {
    slot.due = true;
  }
}

FeedState ViewPublisher::Feed(Clock::time_point now) const {
  if (!last_record_) {
    return {"waiting", "waiting for the first record"};
  }
  const auto silent = std::chrono::duration_cast<std::chrono::seconds>(now - *last_record_).count();
  if (silent <= kLiveSeconds) {
    return {"live", "live"};
  }
  if (silent <= kQuietSeconds) {
    return {"quiet", "quiet for " + std::to_string(silent) + " s"};
  }
  return {"no data", "no data for over " + std::to_string(kQuietSeconds) + " s"};
}

void ViewPublisher::Flush(const ScreenData& data, Clock::time_point now, std::int64_t now_us,
                          const Send& send) {
  const FeedState feed = Feed(now);
  Slot& status = slots_[static_cast<int>(Screen::kStatus)];
  if (feed.text != sent_feed_text_) {
    status.due = true;
  }
  for (int index = 0; index < kScreenCount; ++index) {
    Slot& slot = slots_[static_cast<std::size_t>(index)];
    if (!slot.due || (slot.ever_sent && now - slot.last_sent < kMinInterval)) {
      continue;
    }
    const auto screen = static_cast<Screen>(index);
    const Stamp stamp{sequence_, received_us_, now_us, slot.forward};
    std::string payload;
    if (screen == Screen::kLog) {
      payload = LogDocument(log_.Lines(), stamp);
    } else if (screen == Screen::kStatus) {
      payload = StatusDocument(feed, stamp);
    } else {
      payload = ScreenDocument(screen, data, stamp, row_bib_);
    }
    if (!send(Topic(screen), payload)) {
      return;  // the client takes nothing now; all stays due
    }
    slot.due = false;
    slot.ever_sent = true;
    slot.last_sent = now;
    if (screen == Screen::kStatus) {
      sent_feed_text_ = feed.text;
    }
  }
}

std::optional<ViewPublisher::Clock::time_point> ViewPublisher::NextDue(
    Clock::time_point now) const {
  std::optional<Clock::time_point> next;
  const auto consider = [&](Clock::time_point at) {
    if (!next || at < *next) {
      next = at;
    }
  };
  for (const Slot& slot : slots_) {
    if (slot.due) {
      consider(slot.ever_sent ? std::max(now, slot.last_sent + kMinInterval) : now);
    }
  }
  // The status words change with the silence's length, once a second.
  if (last_record_ && now - *last_record_ <= std::chrono::seconds(kQuietSeconds + 1)) {
    const auto silent = now - *last_record_;
    consider(now + (std::chrono::seconds(1) - silent % std::chrono::seconds(1)));
  }
  return next;
}

}  // namespace view
