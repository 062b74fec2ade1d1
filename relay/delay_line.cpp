#include "relay/delay_line.h"

#include <algorithm>

using namespace std::chrono_literals;

namespace relay {

void DelayLine::SetDelay(std::chrono::milliseconds delay) {
  delay_ = std::clamp(delay, std::chrono::milliseconds(0), std::chrono::milliseconds(kMaxDelay));
}

void DelayLine::Push(RecordMessage message, Clock::time_point now) {
  // A time from the network is bounded so the sums below cannot overflow
  // (2^60 µs is 36,000 years).
  message.received_us = std::clamp<std::int64_t>(message.received_us, 0, std::int64_t{1} << 60);
  const auto offset =
      std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()) -
      std::chrono::microseconds(message.received_us);
  Weigh(offset, now);
  held_.push_back({std::move(message), now});
}

void DelayLine::Weigh(std::chrono::microseconds offset, Clock::time_point now) {
  if (!offset_ || (offset < *offset_ && support_ < kBorneOut)) {
    // No basis yet, or one too few records bore out: a faster one wins.
    offset_ = offset;
    support_ = 1;
    challenger_.reset();
    return;
  }
  if (offset >= *offset_ - kAgree && offset <= *offset_ + kAgree) {
    // Borne out: a faster transit lowers the basis at once.
    offset_ = std::min(*offset_, offset);
    support_ = std::min(support_ + 1, kBorneOut);
    challenger_.reset();
    return;
  }
  if (challenger_ && offset >= challenger_->offset - kAgree &&
      offset <= challenger_->offset + kAgree) {
    challenger_->offset = std::min(challenger_->offset, offset);
    ++challenger_->count;
  } else {
    challenger_ = Challenger{offset, 1, now};
  }
  const bool faster = challenger_->offset < *offset_;
  if (challenger_->count >= kBorneOut && (faster || now - challenger_->since >= kWindow)) {
    offset_ = challenger_->offset;
    support_ = challenger_->count;
    challenger_.reset();
  }
}

DelayLine::Clock::time_point DelayLine::Intended(const Waiting& held) const {
  const Clock::time_point mapped(std::chrono::microseconds(held.message.received_us) +
                                 offset_.value_or(0us));
  // A record that came faster than the basis allows is not held past the
  // delay after it came.
  return std::min(mapped, held.came) + delay_;
}

void DelayLine::HandOnDue(Clock::time_point now,
                          const std::function<void(const RecordMessage&)>& deliver) {
  while (!held_.empty() && (Intended(held_.front()) <= now || held_.size() > max_held_)) {
    const RecordMessage message = std::move(held_.front().message);
    held_.pop_front();
    deliver(message);
  }
}

std::optional<DelayLine::Clock::time_point> DelayLine::NextDue() const {
  if (held_.empty()) {
    return std::nullopt;
  }
  return Intended(held_.front());
}

}  // namespace relay
