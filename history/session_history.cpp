#include "history/session_history.h"

#include <algorithm>

namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
// Beyond this many senders (a flood of forged addresses) the rest share one
// name; the bound keeps a sender to two bytes a datagram.
constexpr std::size_t kMaxSenders = 65535;
constexpr std::string_view kTooManySenders = "?";
// A datagram is at most 1024 bytes as the receiver takes it; a relay's
// longer one is kept cut at this length.
constexpr std::size_t kMaxKeptBytes = 65535;

}  // namespace

SessionHistory::SessionHistory(Limits limits) : limits_(limits) {
  limits_.checkpoint_every = std::max<std::uint32_t>(limits_.checkpoint_every, 1);
  checkpoints_.push_back({0, live_.Save()});
  checkpoint_bytes_ = checkpoints_.back().state.cells.ByteSize();
}

std::uint16_t SessionHistory::SenderIndex(std::string_view sender) {
  const auto found = sender_ids_.find(std::string(sender));
  if (found != sender_ids_.end()) {
    return found->second;
  }
  const auto id = static_cast<std::uint16_t>(senders_.size());
  senders_.emplace_back(sender);
  sender_ids_.emplace(senders_.back(), id);
  return id;
}

void SessionHistory::Add(std::int64_t time_ms, int receiver, std::string_view sender,
                         std::string_view bytes, bool accepted) {
  // The last place is kept for the shared name.
  if (senders_.size() + 1 >= kMaxSenders && sender_ids_.count(std::string(sender)) == 0) {
    sender = kTooManySenders;
  }
  bytes = bytes.substr(0, kMaxKeptBytes);
  if (blocks_.empty() || blocks_.back().size() + bytes.size() > kBlockBytes) {
    blocks_.emplace_back();
    blocks_.back().reserve(kBlockBytes);
  }
  std::string& block = blocks_.back();
  index_.push_back({time_ms, static_cast<std::uint32_t>(first_block_ + blocks_.size() - 1),
                    static_cast<std::uint32_t>(block.size()),
                    static_cast<std::uint16_t>(bytes.size()), SenderIndex(sender),
                    static_cast<std::uint8_t>(receiver), accepted});
  block.append(bytes);

  if (accepted && StartsHeat(live_.Take(bytes))) {
    heats_.push_back(End());
  }
  if (End() % limits_.checkpoint_every == 0) {
    checkpoints_.push_back({End(), live_.Save()});
    checkpoint_bytes_ += checkpoints_.back().state.cells.ByteSize();
  }
  KeepWithinLimits();
}

// Drops the oldest checkpoint's stretch while over a bound; the history
// always starts at a checkpoint.
void SessionHistory::KeepWithinLimits() {
  while (checkpoints_.size() > 1 &&
         (index_.size() > limits_.max_datagrams || MemoryBytes() > limits_.max_bytes)) {
    checkpoint_bytes_ -= checkpoints_.front().state.cells.ByteSize();
    checkpoints_.pop_front();
    const std::uint64_t begin = checkpoints_.front().moment;
    while (first_ < begin) {
      index_.pop_front();
      ++first_;
    }
    const std::uint32_t keep_from =
        index_.empty() ? first_block_ + static_cast<std::uint32_t>(blocks_.size() - 1)
                       : index_.front().block;
    while (first_block_ < keep_from) {
      blocks_.pop_front();
      ++first_block_;
    }
    while (!heats_.empty() && heats_.front() <= begin) {
      heats_.pop_front();
    }
  }
}

KeptDatagram SessionHistory::At(std::uint64_t index) const {
  const Entry& entry = index_[index - first_];
  const std::string& block = blocks_[entry.block - first_block_];
  return {entry.time_ms, entry.receiver, senders_[entry.sender],
          std::string_view(block).substr(entry.offset, entry.size), entry.accepted};
}

ScreensReplica::State SessionHistory::ScreensAt(std::uint64_t moment) const {
  moment = std::clamp(moment, Begin(), End());
  if (moment == End()) {
    return live_.Save();
  }
  const auto after = std::upper_bound(
      checkpoints_.begin(), checkpoints_.end(), moment,
      [](std::uint64_t m, const Checkpoint& checkpoint) { return m < checkpoint.moment; });
  const Checkpoint& from = *std::prev(after);
  scratch_.Restore(from.state);
  for (std::uint64_t index = from.moment; index < moment; ++index) {
    const Entry& entry = index_[index - first_];
    if (entry.accepted) {
      scratch_.Take(
          std::string_view(blocks_[entry.block - first_block_]).substr(entry.offset, entry.size));
    }
  }
  return scratch_.Save();
}

std::uint64_t SessionHistory::HeatBefore(std::uint64_t moment) const {
  const auto at = std::lower_bound(heats_.begin(), heats_.end(), moment);
  return at == heats_.begin() ? Begin() : *std::prev(at);
}

std::uint64_t SessionHistory::HeatAfter(std::uint64_t moment) const {
  const auto at = std::upper_bound(heats_.begin(), heats_.end(), moment);
  return at == heats_.end() ? End() : *at;
}

std::size_t SessionHistory::MemoryBytes() const {
  return blocks_.size() * kBlockBytes + index_.size() * sizeof(Entry) + checkpoint_bytes_ +
         heats_.size() * sizeof(std::uint64_t) + senders_.size() * 64;
}
