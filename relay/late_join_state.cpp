#include "relay/late_join_state.h"

#include <algorithm>

namespace relay {

void LateJoinState::Add(std::uint64_t sequence, std::uint32_t sender, std::string_view datagram,
                        std::string encoded) {
  valid_up_to_ = sequence;
  const SlotSet written = SlotsWritten(datagram);
  if (written.none()) {
    return;
  }
  Kept& kept = kept_[sequence];
  kept.encoded = std::move(encoded);
  Write(all_, written, sequence, kept);
  auto view = std::find_if(senders_.begin(), senders_.end(),
                           [sender](const View& v) { return v.sender == sender; });
  if (view == senders_.end() && senders_.size() < kSenderViews) {
    view = senders_.insert(senders_.end(), View{sender, {}});
  }
  if (view != senders_.end()) {
    Write(*view, written, sequence, kept);
  }
}

void LateJoinState::Write(View& view, const SlotSet& written, std::uint64_t sequence, Kept& kept) {
  for (std::size_t slot = 0; slot < written.size(); ++slot) {
    if (!written.test(slot)) {
      continue;
    }
    std::uint64_t& last = view.last_writer[slot];
    if (last != 0) {
      // `last` is older than `sequence`, so never `kept` itself.
      const auto previous = kept_.find(last);
      if (--previous->second.writers == 0) {
        kept_.erase(previous);
      }
    }
    last = sequence;
    ++kept.writers;
  }
}

std::vector<std::string_view> LateJoinState::Records() const {
  std::vector<std::string_view> records;
  records.reserve(kept_.size());
  for (const auto& [sequence, kept] : kept_) {
    records.push_back(kept.encoded);
  }
  return records;
}

}  // namespace relay
