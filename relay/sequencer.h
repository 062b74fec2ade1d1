// A subscriber's order keeper: hands on each record of the feed once, in
// sequence order, starting from the snapshot when it joins or lost track.
//
// Records beyond a gap in the sequence numbers wait while a snapshot is
// awaited (a gap means records were lost, and the snapshot puts the
// screens right); so do all live records at the start, and a reconnection
// whose session the broker did not keep waits for one too. A snapshot's
// records are handed on only beyond what was already handed on, and live
// records it accounts for are dropped, so nothing is shown twice or out of
// order. A record that continues what was handed on goes on at once, even
// while a snapshot is awaited. If no fitting snapshot comes within
// kSnapshotWait, the waiting records go on as they are, but only runs of
// them that something else bears out (README, "Message format").
//
// A subscription takes a moment to be in place, and the retained snapshot
// can be up to a second older than the last record: for kSettleTime after
// a snapshot ended a wait, newer snapshots are taken too, so records
// published while the subscription was being set up are not missed even
// when no later record shows the gap.
//
// Anyone allowed to publish on the topic can send any message, so no one
// message moves the line followed (a session and the last sequence number
// handed on) far: a record of another session, or one below the point
// reached, starts a line of its own that is watched; it is taken up, as if
// joining anew, once two messages bear it out while the followed line stood
// still between them: two records in a row, or a record and the venue's
// position message at or beyond it (for a line below the point reached,
// only the position message, saying the venue is behind that point).
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <unordered_set>
#include <vector>

#include "relay/message.h"

namespace relay {

class Sequencer {
 public:
  using Clock = std::chrono::steady_clock;
  using Deliver = std::function<void(const RecordMessage&)>;
  static constexpr auto kSnapshotWait = std::chrono::seconds(3);
  static constexpr auto kSettleTime = std::chrono::seconds(3);
  static constexpr auto kVenueLossShown = std::chrono::seconds(5);
  // Records of a line nothing bore out for this long are dropped.
  static constexpr auto kLineAge = std::chrono::seconds(10);
  // What waiting records may take, counting what each costs beside its
  // bytes, whatever `hold_limit` says.
  static constexpr std::size_t kHeldBytes = std::size_t{16} << 20;
  static constexpr std::size_t kRecordCost = 160;
  // Other lines watched at once, and the records kept of each.
  static constexpr std::size_t kLines = 4;
  static constexpr std::size_t kLineRecords = 256;
  // Records taken lately, to know the copies a broker sends again.
  static constexpr std::size_t kRemembered = 4096;

  // At most `hold_limit` live records wait; older ones beyond it are lost.
  Sequencer(std::size_t hold_limit, Deliver deliver);

  // A (re)connection; `session_kept`: the broker kept what was sent meanwhile.
  void Connected(bool session_kept, Clock::time_point now);
  void TakeLive(RecordMessage message, Clock::time_point now);
  void TakeSnapshot(const Snapshot& snapshot, Clock::time_point now);
  void TakePosition(const Position& position, Clock::time_point now);
  void Tick(Clock::time_point now);

  bool WantsSnapshot(Clock::time_point now) const { return waiting_ || now < settle_until_; }
  // Goes up at each new wait: the retained snapshot is wanted again even
  // when the subscription to it never ended.
  std::uint64_t SnapshotAsks() const { return snapshot_asks_; }
  std::size_t Held() const { return held_.size(); }
  // Memory the waiting and watched records take, by kRecordCost.
  std::size_t HeldBytes() const { return held_bytes_ + line_bytes_; }
  // Records never handed on: gaps the snapshot filled in or waiting gave up on.
  std::uint64_t Missed() const { return missed_; }
  std::uint64_t Delivered() const { return delivered_; }
  // Records dropped because no line they belonged to was borne out.
  std::uint64_t OutOfOrder() const { return out_of_order_; }
  // Times the feed was taken up anew: another session or a false point left.
  std::uint64_t Restarts() const { return restarts_; }
  // The venue's own count of records it could not send, once it went up:
  // while the snapshot that puts them right is awaited, and for at least
  // kVenueLossShown (the snapshot is often there a moment later); else 0.
  std::uint64_t VenueLost(Clock::time_point now) const {
    return venue_lost_awaited_ || now < venue_lost_shown_until_ ? venue_lost_ : 0;
  }

 private:
  struct Line {
    std::uint64_t session = 0;
    std::uint64_t first = 0;  // sequence numbers, in a row
    std::uint64_t last = 0;
    std::uint64_t vouched_up_to = 0;    // a position message bore it out to there
    std::uint64_t advances = 0;         // the followed line's advances at its last message
    Clock::time_point extended;         // its last record came
    std::deque<RecordMessage> records;  // the newest kLineRecords
  };

  bool SeenBefore(const RecordMessage& message);
  void Watch(RecordMessage message, Clock::time_point now);
  // One more message bore `line` out: taken up if that is enough.
  bool Evidence(std::size_t line, bool enough, Clock::time_point now);
  void TakeUp(std::size_t line, Clock::time_point now);
  void DropLine(std::size_t line);
  void GiveUp();
  std::uint64_t Needed() const;
  void Wait(std::uint64_t up_to, Clock::time_point now);
  void Hold(RecordMessage message);
  void Apply(const RecordMessage& message);
  void Advanced();
  void Flush(Clock::time_point now);

  Deliver deliver_;
  std::size_t hold_limit_;
  std::uint64_t session_ = 0;
  bool session_known_ = false;   // from the first record or snapshot
  bool session_chosen_ = false;  // taken up from a line: only its snapshot joins it
  std::uint64_t applied_ = 0;    // the last sequence number handed on
  bool following_ = false;       // `applied_` is a point of the feed the screens reached
  // A live record came through since joining: the subscription works, so
  // what is skipped from now on was missed, not joined too late for.
  bool counting_ = false;
  std::uint64_t advances_ = 0;  // times the followed line moved on
  bool waiting_ = false;
  std::uint64_t snapshot_asks_ = 0;
  std::uint64_t wanted_up_to_ = 0;  // without waiting records: the least `valid_up_to` to take
  Clock::time_point wait_started_;
  Clock::time_point settle_until_;
  std::map<std::uint64_t, RecordMessage> held_;
  std::size_t held_bytes_ = 0;
  std::vector<Line> lines_;
  std::size_t line_bytes_ = 0;
  std::uint64_t venue_at_ = 0;  // the highest position the venue gave for `session_`
  std::uint64_t venue_lost_ = 0;
  bool venue_lost_known_ = false;
  std::uint64_t venue_lost_until_ = 0;  // the sequence number that puts it right
  bool venue_lost_awaited_ = false;
  Clock::time_point venue_lost_shown_until_;
  std::unordered_set<std::uint64_t> remembered_;
  std::deque<std::uint64_t> remembered_order_;
  std::uint64_t missed_ = 0;
  std::uint64_t delivered_ = 0;
  std::uint64_t out_of_order_ = 0;
  std::uint64_t restarts_ = 0;
};

}  // namespace relay
