#include "relay/sequencer.h"

#include <algorithm>

namespace relay {

Sequencer::Sequencer(std::size_t hold_limit, Deliver deliver)
    : deliver_(std::move(deliver)), hold_limit_(std::max<std::size_t>(hold_limit, 1)) {}

void Sequencer::Connected(bool session_kept, Clock::time_point now) {
  if (!session_kept) {
    // Whatever was published meanwhile is gone; a snapshot at least as
    // recent as what was shown brings the screens up to date.
    Wait(applied_, now);
  }
}

void Sequencer::TakeLive(RecordMessage message, Clock::time_point now) {
  if (message.session < session_) {
    return;  // an earlier run of the publisher
  }
  if (message.session > session_) {
    SwitchSession(message.session);
    Wait(0, now);
  }
  if (message.sequence <= applied_) {
    return;  // shown already, live or in a snapshot
  }
  if (waiting_) {
    Hold(std::move(message));
    return;
  }
  if (following_ && message.sequence != applied_ + 1) {
    Hold(std::move(message));
    Wait(held_.begin()->first - 1, now);
    return;
  }
  Apply(message);
}

void Sequencer::TakeSnapshot(const Snapshot& snapshot, Clock::time_point now) {
  const bool settling = !waiting_ && now < settle_until_ && snapshot.session == session_ &&
                        snapshot.valid_up_to > applied_;
  if ((!waiting_ && !settling) || snapshot.session < session_) {
    return;
  }
  if (snapshot.session > session_) {
    SwitchSession(snapshot.session);
  } else if (snapshot.valid_up_to < wanted_up_to_) {
    return;  // older than the gap; the publisher sends a newer one within a second
  }
  // The snapshot's records and the live ones that waited, merged in order:
  // every slot still ends with its last writer, and fewer records go unseen.
  std::uint64_t handed_on = 0;
  auto live = held_.upper_bound(applied_);
  auto kept = snapshot.records.begin();
  while (kept != snapshot.records.end() && kept->sequence <= applied_) {
    ++kept;
  }
  for (;;) {
    const bool live_next = live != held_.end() && live->first <= snapshot.valid_up_to;
    const bool kept_next = kept != snapshot.records.end();
    if (!live_next && !kept_next) {
      break;
    }
    const RecordMessage* next = nullptr;
    if (live_next && (!kept_next || live->first <= kept->sequence)) {
      if (kept_next && kept->sequence == live->first) {
        ++kept;
      }
      next = &(live++)->second;
    } else {
      next = &*kept++;
    }
    deliver_(*next);
    ++delivered_;
    ++handed_on;
  }
  if (counting_ && snapshot.valid_up_to > applied_) {
    missed_ += snapshot.valid_up_to - applied_ - handed_on;
  }
  applied_ = std::max(applied_, snapshot.valid_up_to);
  following_ = true;
  if (waiting_) {
    waiting_ = false;
    settle_until_ = now + kSettleTime;
  }
  Flush(now);
}

void Sequencer::Tick(Clock::time_point now) {
  if (!waiting_ || now - wait_started_ < kSnapshotWait) {
    return;
  }
  // No snapshot came: go on with what is here, counting the holes.
  waiting_ = false;
  for (auto& [sequence, message] : held_) {
    if (sequence <= applied_) {
      continue;
    }
    if (counting_) {
      missed_ += sequence - applied_ - 1;
    }
    Apply(message);
  }
  held_.clear();
}

void Sequencer::SwitchSession(std::uint64_t session) {
  session_ = session;
  applied_ = 0;
  following_ = false;
  counting_ = false;
  held_.clear();
}

void Sequencer::Wait(std::uint64_t up_to, Clock::time_point now) {
  if (!waiting_) {
    waiting_ = true;
    wait_started_ = now;
    wanted_up_to_ = 0;
  }
  wanted_up_to_ = std::max(wanted_up_to_, up_to);
}

void Sequencer::Hold(RecordMessage message) {
  const std::uint64_t sequence = message.sequence;
  held_.emplace(sequence, std::move(message));
  if (held_.size() > hold_limit_) {
    held_.erase(held_.begin());
    ++missed_;
  }
}

void Sequencer::Apply(const RecordMessage& message) {
  deliver_(message);
  ++delivered_;
  applied_ = message.sequence;
  following_ = true;
  counting_ = true;
}

void Sequencer::Flush(Clock::time_point now) {
  while (!held_.empty()) {
    const auto first = held_.begin();
    if (first->first <= applied_) {
      held_.erase(first);
      continue;
    }
    if (first->first != applied_ + 1) {
      Wait(first->first - 1, now);
      return;
    }
    Apply(first->second);
    held_.erase(first);
  }
}

}  // namespace relay
