// A subscriber's records held back on purpose: each is handed on at the
// venue's receive time plus the delay, so a remote screen runs as far
// behind the venue as the video the commentator talks over, in the venue's
// rhythm. The venue's clock is mapped to ours by the smallest offset seen
// (our time of arrival minus the venue's receive time): the first record's,
// until one comes faster, as a late joiner's old snapshot records do not.
//
// Receive times come from the network, so the basis is guarded: once
// kBorneOut records bore it out, an offset further than kAgree from it is
// taken only when kBorneOut records in a row agree on that one, and, if it is a slower one, only
// after they have done so for kWindow (a venue clock stepped back, or a basis a forged record
// made). One forged record can thus neither cancel the delay nor hold it off for good. Nor is any
// record held longer than the delay after it came.
//
// Order is kept: a record is never handed on before one that came earlier.
// Standard library only; the caller's clock drives it.
#pragma once

#include "relay/message.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>

namespace relay {

class DelayLine {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kMaxDelay{600};
  // Beyond this many held (10 minutes of a 3,000 records a second feed),
  // the oldest go on early rather than being lost.
  static constexpr std::size_t kMaxHeld = 1'800'000;
  static constexpr std::chrono::seconds kAgree{2};
  static constexpr int kBorneOut = 3;
  static constexpr std::chrono::seconds kWindow{30};

  explicit DelayLine(std::chrono::milliseconds delay = {}, std::size_t max_held = kMaxHeld)
      : max_held_(max_held) {
    SetDelay(delay);
  }

  // Clamped to 0..kMaxDelay; records held already move with it.
  void SetDelay(std::chrono::milliseconds delay);
  std::chrono::milliseconds Delay() const { return delay_; }

  // A record the relay handed on at `now`.
  void Push(RecordMessage message, Clock::time_point now);
  // Hands on, in order, every record whose time has come by `now`.
  void HandOnDue(Clock::time_point now, const std::function<void(const RecordMessage&)>& deliver);
  // When the first record held is due; nullopt when none is held.
  std::optional<Clock::time_point> NextDue() const;
  std::size_t Held() const { return held_.size(); }

 private:
  struct Waiting {
    RecordMessage message;
    Clock::time_point came;
  };
  // Offsets that disagree with the basis, in a row.
  struct Challenger {
    std::chrono::microseconds offset;  // the smallest of them
    int count = 0;
    Clock::time_point since;
  };

  void Weigh(std::chrono::microseconds offset, Clock::time_point now);
  // When `held` is meant to be handed on, with the delay as it is now.
  Clock::time_point Intended(const Waiting& held) const;

  std::size_t max_held_;
  std::chrono::milliseconds delay_{0};
  std::optional<std::chrono::microseconds> offset_;  // our steady time minus the venue's time
  int support_ = 0;  // records that bore the basis out, up to kBorneOut
  std::optional<Challenger> challenger_;
  std::deque<Waiting> held_;
};

}  // namespace relay
