#include "relay/sequencer.h"

#include <algorithm>

namespace relay {

namespace {

void Mix(std::uint64_t& hash, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) {
    hash = (hash ^ ((value >> (8 * i)) & 0xff)) * 0x100000001b3ULL;
  }
}

// The same for a copy of the message, and only for it (within reason).
std::uint64_t Fingerprint(const RecordMessage& message) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  Mix(hash, message.session);
  Mix(hash, message.sequence);
  Mix(hash, static_cast<std::uint64_t>(message.port_index) << 32 | message.sender);
  Mix(hash, static_cast<std::uint64_t>(message.received_us));
  for (const char byte : message.bytes) {
    hash = (hash ^ static_cast<std::uint8_t>(byte)) * 0x100000001b3ULL;
  }
  return hash;
}

std::size_t Cost(const RecordMessage& message) {
  return Sequencer::kRecordCost + message.bytes.size();
}

}  // namespace

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
  if (SeenBefore(message)) {
    return;  // the broker sent it again after a reconnection
  }
  if (!session_known_) {
    session_known_ = true;
    session_ = message.session;
  }
  if (message.session != session_) {
    Watch(std::move(message), now);
    return;
  }
  if (!following_) {
    if (waiting_) {
      Hold(std::move(message));
    } else {
      Apply(message);  // no snapshot came: start from here
      Flush(now);
    }
    return;
  }
  if (message.sequence > applied_ && message.sequence - 1 == applied_) {
    Apply(message);
    Flush(now);
  } else if (message.sequence > applied_) {
    Hold(std::move(message));
    if (!held_.empty()) {
      Wait(held_.begin()->first - 1, now);
    }
  } else {
    // Late, or the feed goes on below a point it never reached.
    Watch(std::move(message), now);
  }
}

void Sequencer::TakeSnapshot(const Snapshot& snapshot, Clock::time_point now) {
  const bool settling = !waiting_ && following_ && now < settle_until_ &&
                        snapshot.session == session_ && snapshot.valid_up_to > applied_;
  if (!waiting_ && !settling) {
    return;
  }
  if (waiting_ && following_ && (snapshot.session != session_ || snapshot.valid_up_to < Needed())) {
    return;  // older than the gap; the publisher sends a newer one within a second
  }
  if (!following_ && snapshot.session != session_) {
    if (session_chosen_) {
      return;
    }
    // Joining without a line yet: the snapshot names it, and the records
    // that waited are watched as a line of their own.
    std::map<std::uint64_t, RecordMessage> waited;
    waited.swap(held_);
    held_bytes_ = 0;
    session_known_ = true;
    session_ = snapshot.session;
    for (auto& [sequence, message] : waited) {
      Watch(std::move(message), now);
    }
    if (following_ || session_ != snapshot.session) {
      return;  // a watched line was taken up instead
    }
  }
  session_known_ = true;
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
  const bool advanced = !following_ || snapshot.valid_up_to > applied_;
  applied_ = std::max(applied_, snapshot.valid_up_to);
  following_ = true;
  if (advanced) {
    Advanced();
  }
  if (waiting_) {
    waiting_ = false;
    settle_until_ = now + kSettleTime;
  }
  Flush(now);
}

void Sequencer::TakePosition(const Position& position, Clock::time_point now) {
  if (position.session == session_) {
    venue_at_ = std::max(venue_at_, position.last_sequence);
    const bool behind = following_ && position.last_sequence > applied_;
    if (behind) {
      // Records went missing on the way or at the venue.
      Wait(position.last_sequence, now);
    }
    // What the venue lost before the first position seen here was made
    // good by the snapshot joined from.
    if (venue_lost_known_ && position.lost != venue_lost_ && position.lost > 0) {
      venue_lost_until_ = position.last_sequence;
      venue_lost_awaited_ = behind;
      venue_lost_shown_until_ = now + kVenueLossShown;
    }
    venue_lost_ = position.lost;
    venue_lost_known_ = true;
  }
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.session != position.session || line.last > position.last_sequence) {
      continue;
    }
    // Below the point reached only if the venue says it never got there.
    const bool below = line.session == session_ && following_;
    if (below && position.last_sequence >= applied_) {
      continue;
    }
    lines_[i].vouched_up_to = std::max(lines_[i].vouched_up_to, position.last_sequence);
    if (Evidence(i, true, now)) {
      return;
    }
  }
}

void Sequencer::Tick(Clock::time_point now) {
  for (std::size_t i = lines_.size(); i-- > 0;) {
    if (now - lines_[i].extended >= kLineAge) {
      DropLine(i);
    }
  }
  if (waiting_ && now - wait_started_ >= kSnapshotWait) {
    GiveUp();
  }
}

bool Sequencer::SeenBefore(const RecordMessage& message) {
  const std::uint64_t print = Fingerprint(message);
  if (!remembered_.insert(print).second) {
    return true;
  }
  remembered_order_.push_back(print);
  if (remembered_order_.size() > kRemembered) {
    remembered_.erase(remembered_order_.front());
    remembered_order_.pop_front();
  }
  return false;
}

void Sequencer::Watch(RecordMessage message, Clock::time_point now) {
  auto found = std::find_if(lines_.begin(), lines_.end(), [&](const Line& line) {
    return line.session == message.session && message.sequence > line.last &&
           message.sequence - 1 == line.last;
  });
  if (found == lines_.end()) {
    if (lines_.size() == kLines) {
      // The one that went longest without a record makes room.
      DropLine(static_cast<std::size_t>(
          std::min_element(lines_.begin(), lines_.end(),
                           [](const Line& a, const Line& b) { return a.extended < b.extended; }) -
          lines_.begin()));
    }
    Line line;
    line.session = message.session;
    line.first = message.sequence;
    line.advances = advances_;
    found = lines_.insert(lines_.end(), std::move(line));
  }
  Line& line = *found;
  line.last = message.sequence;
  line.extended = now;
  line_bytes_ += Cost(message);
  line.records.push_back(std::move(message));
  if (line.records.size() > kLineRecords) {
    line_bytes_ -= Cost(line.records.front());
    line.records.pop_front();
    ++out_of_order_;
  }
  const std::size_t index = static_cast<std::size_t>(found - lines_.begin());
  const bool below = line.session == session_ && following_;
  Evidence(index, line.last > line.first && !below, now);
}

bool Sequencer::Evidence(std::size_t index, bool enough, Clock::time_point now) {
  Line& line = lines_[index];
  const bool still = !following_ || line.advances == advances_;
  line.advances = advances_;
  if (!enough || !still) {
    return false;
  }
  TakeUp(index, now);
  return true;
}

void Sequencer::TakeUp(std::size_t index, Clock::time_point now) {
  Line line = std::move(lines_[index]);
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
  for (const RecordMessage& message : line.records) {
    line_bytes_ -= Cost(message);
  }
  if (following_) {
    ++restarts_;
  }
  out_of_order_ += held_.size();
  held_.clear();
  held_bytes_ = 0;
  // Joining anew: the line's snapshot, merged with its records.
  session_ = line.session;
  session_known_ = true;
  session_chosen_ = true;
  applied_ = 0;
  following_ = false;
  counting_ = false;
  venue_at_ = line.vouched_up_to;
  venue_lost_known_ = false;
  venue_lost_awaited_ = false;
  venue_lost_shown_until_ = {};
  settle_until_ = {};
  for (RecordMessage& message : line.records) {
    Hold(std::move(message));
  }
  waiting_ = false;
  Wait(0, now);
}

void Sequencer::DropLine(std::size_t index) {
  for (const RecordMessage& message : lines_[index].records) {
    line_bytes_ -= Cost(message);
  }
  out_of_order_ += lines_[index].records.size();
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
}

void Sequencer::GiveUp() {
  // No snapshot came: go on with what is here, counting the holes, but
  // jump only to records something bears out: another record right after,
  // or the venue's position.
  waiting_ = false;
  venue_lost_awaited_ = false;
  std::map<std::uint64_t, RecordMessage> waited;
  waited.swap(held_);
  held_bytes_ = 0;
  auto run = waited.begin();
  while (run != waited.end()) {
    auto end = std::next(run);
    std::uint64_t last = run->first;
    while (end != waited.end() && end->first == last + 1) {
      last = (end++)->first;
    }
    const bool borne_out = last > run->first || venue_at_ >= run->first;
    for (auto it = run; it != end; ++it) {
      if (it->first <= applied_ && following_) {
        continue;
      }
      if (!borne_out) {
        ++out_of_order_;
        continue;
      }
      if (counting_) {
        missed_ += it->first - applied_ - 1;
      }
      Apply(it->second);
    }
    run = end;
  }
}

std::uint64_t Sequencer::Needed() const {
  // A snapshot that fills the first gap will do, whatever else was asked for.
  return held_.empty() ? wanted_up_to_ : held_.begin()->first - 1;
}

void Sequencer::Wait(std::uint64_t up_to, Clock::time_point now) {
  if (!waiting_) {
    waiting_ = true;
    ++snapshot_asks_;
    wait_started_ = now;
    wanted_up_to_ = 0;
  }
  wanted_up_to_ = std::max(wanted_up_to_, up_to);
}

void Sequencer::Hold(RecordMessage message) {
  const std::uint64_t sequence = message.sequence;
  const std::size_t cost = Cost(message);
  if (!held_.emplace(sequence, std::move(message)).second) {
    ++out_of_order_;  // another record of that number waits already
    return;
  }
  held_bytes_ += cost;
  while (held_.size() > hold_limit_ || held_bytes_ > kHeldBytes) {
    held_bytes_ -= Cost(held_.begin()->second);
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
  Advanced();
}

void Sequencer::Advanced() {
  ++advances_;
  if (venue_lost_awaited_ && applied_ >= venue_lost_until_) {
    venue_lost_awaited_ = false;
  }
}

void Sequencer::Flush(Clock::time_point now) {
  while (!held_.empty()) {
    const auto first = held_.begin();
    if (first->first <= applied_) {
      held_bytes_ -= Cost(first->second);
      held_.erase(first);
      continue;
    }
    if (first->first != applied_ + 1) {
      Wait(first->first - 1, now);
      return;
    }
    Apply(first->second);
    held_bytes_ -= Cost(first->second);
    held_.erase(first);
  }
  if (waiting_ && following_ && applied_ >= wanted_up_to_) {
    waiting_ = false;  // the gap closed on its own
  }
}

}  // namespace relay
