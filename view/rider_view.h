// The rider cards of the browser view, at the venue end: what each rider
// did today (riders/rider_facts.h, from the same record rules' reports),
// with the venue's start list where it has one, as one JSON document per
// bib, retained, on T/view/riders/<bib>. Only riders whose entries changed
// are sent, at most once a second each. Riders the rows name without a bib
// are found by name in the start list; without one they get no document.
// The format is in README.md, "View messages". QtCore only.
#pragma once

#include "records/screen_data.h"
#include "records/write_report.h"
#include "riders/rider_facts.h"
#include "riders/start_list.h"
#include "view/view_state.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace view {

inline constexpr int kRiderFormatVersion = 1;
// The newest entries a document carries; "more" counts the older ones.
inline constexpr int kMaxRiderEntries = 50;
// Riders with a document; a feed that names more gets none for the rest.
inline constexpr std::size_t kMaxRiderDocuments = 2000;

// One rider's document. `entry` is the start list's line, if any.
std::string RiderDocument(const QString& bib, const QString& name, const StartListRider* entry,
                          const std::vector<RiderFact>& facts, std::int64_t published_us);

class RiderView {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr auto kMinInterval = std::chrono::seconds(1);
  using Send = std::function<bool(const std::string& topic, const std::string& payload)>;

  // `topic` is the feed's; the documents go on `topic`/view/riders/<bib>.
  explicit RiderView(std::string topic);

  void SetStartList(std::optional<StartList> list) { list_ = std::move(list); }
  const StartList* List() const { return list_ ? &*list_ : nullptr; }

  // After each record, what it wrote into `data`.
  void Took(const WriteReport& written, const ScreenData& data);
  // Every rider's document is due again (a new connection).
  void MarkAllDue();
  // Sends the documents that are due and allowed at `now`.
  void Flush(Clock::time_point now, std::int64_t now_us, const Send& send);
  std::optional<Clock::time_point> NextDue(Clock::time_point now) const;

  std::string Topic(const QString& bib) const;
  // The bib of the rider on a grid's row, for the screens' documents.
  RowBib Bibs(const ScreenData& data) const;
  std::size_t Documents() const { return slots_.size(); }

 private:
  struct Slot {
    bool ever_sent = false;
    Clock::time_point last_sent;
    // The last document sent, stamp aside: a row written again as it was
    // sends nothing.
    std::size_t sent_hash = 0;
  };

  std::string topic_;
  std::optional<StartList> list_;
  RiderFacts facts_;
  std::map<QString, Slot> slots_;
  // The riders whose documents are due: a flood's every record looks at
  // these only, not at every rider.
  std::set<QString> due_;
};

}  // namespace view
