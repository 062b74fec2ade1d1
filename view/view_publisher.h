// The browser view at the venue end: after each record, the documents of
// the screens it touched (view_state.h), at most ten a second per screen,
// retained, on T/view/<screen>. Also the traffic log's last lines, from
// the same dispatch that wrote the screens, and the feed's state.
//
// It keeps no connection: Flush() hands each due document to the caller's
// sender, which says whether the broker client took it. A document not
// taken stays due, and a screen that changes again meanwhile is sent once,
// as it then stands.
#pragma once

#include "records/screen_data.h"
#include "records/write_report.h"
#include "view/view_log.h"
#include "view/view_state.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace view {

class ViewPublisher {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr auto kMinInterval = std::chrono::milliseconds(100);
  static constexpr int kLiveSeconds = 15;   // as the desktop's status corner
  static constexpr int kQuietSeconds = 60;  // longer than this: no data
  using Send = std::function<bool(const std::string& topic, const std::string& payload)>;

  // `topic` is the feed's; the documents go below it, on `topic`/view/...
  explicit ViewPublisher(std::string topic);

  // The log the record rules write to (ShadowScreens takes it).
  TrafficLog& Log() { return log_; }

  // The main window's line for a datagram the venue took in from `sender`,
  // after what the rules wrote for it.
  void LogDatagram(std::string_view sender, std::string_view record);
  // What the record numbered `sequence`, taken in at `received_us`, wrote.
  void Took(const WriteReport& report, std::uint64_t sequence, std::int64_t received_us,
            Clock::time_point now);
  // Every document is due again (a new connection, a broker that may have
  // lost them).
  void MarkAllDue();
  // Sends what is due and allowed at `now`; `now_us` stamps the documents.
  void Flush(const ScreenData& data, Clock::time_point now, std::int64_t now_us, const Send& send);
  // When Flush() has something to send next, if anything is waiting.
  std::optional<Clock::time_point> NextDue(Clock::time_point now) const;

  // The screens' documents carry each rider row's bib from now on.
  void SetRowBib(RowBib bibs) { row_bib_ = std::move(bibs); }

  std::string Topic(Screen screen) const;
  FeedState Feed(Clock::time_point now) const;

 private:
  struct Slot {
    bool due = true;  // every screen once, when the first connection comes
    bool ever_sent = false;
    Clock::time_point last_sent;
    std::uint64_t forward = 0;
  };

  std::string topic_;
  ViewLog log_;
  std::uint64_t log_generation_ = 0;
  std::array<Slot, kScreenCount> slots_{};
  std::uint64_t sequence_ = 0;
  std::int64_t received_us_ = 0;
  std::optional<Clock::time_point> last_record_;
  std::string sent_feed_text_;
  RowBib row_bib_;
};

}  // namespace view
