// A subscriber's order keeper: hands on each record of the feed once, in
// sequence order, starting from the snapshot when it joins or lost track.
//
// Live records wait while a snapshot is awaited: at the start, after a
// reconnection whose session the broker did not keep, and at a gap in the
// sequence numbers (a gap means records were lost, and the snapshot puts
// the screens right). A snapshot's records are handed on only beyond what
// was already handed on, and live records it accounts for are dropped, so
// nothing is shown twice or out of order. If no fitting snapshot comes
// within kSnapshotWait, the waiting records go on as they are.
//
// A subscription takes a moment to be in place, and the retained snapshot
// can be up to a second older than the last record: for kSettleTime after
// a snapshot ended a wait, newer snapshots are taken too, so records
// published while the subscription was being set up are not missed even
// when no later record shows the gap.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>

#include "relay/message.h"

namespace relay {

class Sequencer {
 public:
  using Clock = std::chrono::steady_clock;
  using Deliver = std::function<void(const RecordMessage&)>;
  static constexpr auto kSnapshotWait = std::chrono::seconds(3);
  static constexpr auto kSettleTime = std::chrono::seconds(3);

  // At most `hold_limit` live records wait; older ones beyond it are lost.
  Sequencer(std::size_t hold_limit, Deliver deliver);

  // A (re)connection; `session_kept`: the broker kept what was sent meanwhile.
  void Connected(bool session_kept, Clock::time_point now);
  void TakeLive(RecordMessage message, Clock::time_point now);
  void TakeSnapshot(const Snapshot& snapshot, Clock::time_point now);
  void Tick(Clock::time_point now);

  bool WantsSnapshot(Clock::time_point now) const { return waiting_ || now < settle_until_; }
  std::size_t Held() const { return held_.size(); }
  // Records never handed on: gaps the snapshot filled in or waiting gave up on.
  std::uint64_t Missed() const { return missed_; }
  std::uint64_t Delivered() const { return delivered_; }

 private:
  void SwitchSession(std::uint64_t session);
  void Wait(std::uint64_t up_to, Clock::time_point now);
  void Hold(RecordMessage message);
  void Apply(const RecordMessage& message);
  void Flush(Clock::time_point now);

  Deliver deliver_;
  std::size_t hold_limit_;
  std::uint64_t session_ = 0;
  std::uint64_t applied_ = 0;  // the last sequence number handed on
  bool following_ = false;     // `applied_` is a point of the feed the screens reached
  // A live record came through since joining: the subscription works, so
  // what is skipped from now on was missed, not joined too late for.
  bool counting_ = false;
  bool waiting_ = false;
  std::uint64_t wanted_up_to_ = 0;  // the least `valid_up_to` a snapshot must have
  Clock::time_point wait_started_;
  Clock::time_point settle_until_;
  std::map<std::uint64_t, RecordMessage> held_;
  std::uint64_t missed_ = 0;
  std::uint64_t delivered_ = 0;
};

}  // namespace relay
