// Whether the race feed is alive, at a glance: the feed's state (waiting for
// the first record, live, quiet, no data), a sender the listening address
// turns away, a receiver that could not be opened, datagrams the kernel
// dropped, the records a second, and the time of day. Shown in the main
// window's menu bar, right corner, so the window's own layout stays as it is.
#pragma once

#include "app/race_data_listener.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QTime>
#include <QTimer>
#include <QWidget>

#include <utility>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QLabel;

// Time as the feed status reads it; tests give it a clock of their own.
class FeedClock {
 public:
  virtual ~FeedClock() = default;
  virtual qint64 MonotonicMs() const = 0;
  virtual QTime TimeOfDay() const = 0;
};

// The feed's state, worked out from what the listener takes in. Changed is
// emitted when what is said changes in kind: a first record or one after a
// silence, a sender newly turned away, a receiver opened or not, the kernel's
// first drop. Counts and the silence's length only grow between reports, so
// a record at full rate costs no report of its own.
class FeedStatus final : public QObject, public DatagramObserver {
  Q_OBJECT

 public:
  static constexpr int kLiveSeconds = 15;   // an accepted record this recently: live
  static constexpr int kQuietSeconds = 60;  // longer than this: no data
  static constexpr int kRateSeconds = 5;    // records a second over this long

  enum class State { kWaiting, kLive, kQuiet, kNoData };

  struct Report {
    State state = State::kWaiting;
    int silent_seconds = 0;      // since the last accepted record
    std::string ignored_sender;  // empty: nobody turned away lately
    std::uint64_t ignored_count = 0;
    std::vector<int> closed_ports;
    std::uint64_t kernel_drops = 0;  // both ports
    double records_per_second = 0;
    QTime time_of_day;
  };

  // `listener` tells which receivers could not be opened; may be null.
  FeedStatus(const FeedClock& clock, const RaceDataListener* listener);

  void DatagramTaken(int receiver, std::string_view sender, std::string_view bytes,
                     bool accepted) override;

  Report Now() const;

 signals:
  void Changed();

 private:
  const FeedClock& clock_;
  const RaceDataListener* listener_;
  qint64 last_accepted_ms_ = -1;
  qint64 last_ignored_ms_ = -1;
  std::string ignored_sender_;
  std::uint64_t ignored_count_ = 0;
  bool drops_told_ = false;
  // Accepted records counted by the second they came in, round robin.
  struct Second {
    qint64 second = -1;
    std::uint32_t records = 0;
  };
  std::array<Second, kRateSeconds + 1> seconds_{};
};

// The words and colour a report is shown with.
QString StateWord(const FeedStatus::Report& report);  // "live", "quiet for 20 s", ...
QColor StateColour(FeedStatus::State state);
QString ReportText(const FeedStatus::Report& report);  // everything after the mark

// The corner's parts, the most important first; when the corner is too
// narrow for all of them, the least important go first.
enum class StatusPart {
  kState,
  kBroker,
  kDelay,  // a subscriber's chosen delay behind the venue
  kLosses,
  kIgnoredSender,
  kClosedPorts,
  kRecording,
  // Rider notes that could not be saved.
  kNotesProblem,
  kNote,  // e.g. a scale reduced to fit the monitor
  // The start list's file name.
  kStartList,
  kRate,
  kClock,
};
struct StatusText {
  StatusPart part;
  QString text;
};
std::vector<StatusText> ReportParts(const FeedStatus::Report& report);
// The parts that fit, most important first, whole parts only; the first
// part always stays. `fits` tells whether a text fits where it is shown.
QString FitStatusParts(std::vector<StatusText> parts,
                       const std::function<bool(const QString&)>& fits);
// The same for `width` pixels of text in `font`.
QString FitStatusParts(std::vector<StatusText> parts, const QFont& font, int width);
inline constexpr const char* kStatusSeparator = "  \u00b7  ";

// The corner itself: a coloured mark that a screen reader reads as the
// state, and the rest as text; refreshed once a second for the clock and the
// counts, and on the next event loop pass after the status changes. The
// whole text is its tooltip and accessible description, however much of it
// shows.
class FeedStatusView : public QWidget {
  Q_OBJECT

 public:
  FeedStatusView(const FeedStatus& status, QWidget* parent = nullptr);

  // More to say, e.g. the broker connection or a recording; empty: nothing.
  void AddLine(StatusPart part, std::function<QString()> line);
  void Refresh();
  // Everything there is to say, shown or not.
  QString WholeText() const { return whole_text_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void RefreshSoon();

  const FeedStatus& status_;
  bool refresh_due_ = false;
  std::vector<std::pair<StatusPart, std::function<QString()>>> lines_;
  QString whole_text_;
  QLabel* mark_;
  QLabel* text_;
  QTimer* ticks_;  // named "ticks", so a test can stop them
};

// The system's clocks.
class SystemFeedClock : public FeedClock {
 public:
  qint64 MonotonicMs() const override;
  QTime TimeOfDay() const override;
};
