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
  if (!offset_ || offset < *offset_) {
    offset_ = offset;
  }
  held_.push_back(std::move(message));
}

DelayLine::Clock::time_point DelayLine::Intended(const RecordMessage& message) const {
  return Clock::time_point(std::chrono::microseconds(message.received_us) + offset_.value_or(0us) +
                           delay_);
}

void DelayLine::HandOnDue(Clock::time_point now,
                          const std::function<void(const RecordMessage&)>& deliver) {
  while (!held_.empty() && (Intended(held_.front()) <= now || held_.size() > max_held_)) {
    const RecordMessage message = std::move(held_.front());
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
