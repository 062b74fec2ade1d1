#include "relay/late_join_state.h"

#include <algorithm>

namespace relay {

void LateJoinState::Add(std::uint64_t sequence, std::uint32_t sender, const WriteReport& written,
                        std::string encoded) {
  valid_up_to_ = sequence;
  if (written.None()) {
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

void LateJoinState::Write(View& view, const WriteReport& written, std::uint64_t sequence,
                          Kept& kept) {
  for (int part = 0; part < part::kCount; ++part) {
    if (!written.Wrote(part)) {
      continue;
    }
    std::uint64_t& last = view.last_writer[static_cast<std::size_t>(part)];
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
