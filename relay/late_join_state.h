// What a subscriber that joins late must replay to see the venue's screens
// as they are: for every part of the screens (records/write_report.h), the
// last record that wrote it, as the record rules report it. Replaying those
// records in their order gives every part its last writer's content, since
// no later record kept here writes it again; and a subscriber that already
// showed the feed up to sequence N reaches the same screens by replaying only
// those after N. A record that is no part's last writer any more is dropped,
// so what is kept never exceeds one record per part.
//
// A subscriber's listening address may accept only one venue sender: the
// records of each of the first few senders are also kept as that sender
// alone left the screens, so such a subscriber's replay is exact as well.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "records/write_report.h"
#include "relay/message.h"

namespace relay {

class LateJoinState {
 public:
  static constexpr std::size_t kSenderViews = 4;

  // `written`: what the record rules report the datagram wrote; `encoded`:
  // the record's message as published (message.h).
  void Add(std::uint64_t sequence, std::uint32_t sender, const WriteReport& written,
           std::string encoded);

  // The encoded records to replay, in sequence order.
  std::vector<std::string_view> Records() const;
  // The sequence number of the last record added.
  std::uint64_t ValidUpTo() const { return valid_up_to_; }
  std::size_t Size() const { return kept_.size(); }

 private:
  struct Kept {
    std::string encoded;
    int writers = 0;  // parts in all views whose last writer this is
  };
  struct View {
    std::uint32_t sender = 0;
    std::array<std::uint64_t, part::kCount> last_writer{};  // 0: none yet
  };

  void Write(View& view, const WriteReport& written, std::uint64_t sequence, Kept& kept);

  std::map<std::uint64_t, Kept> kept_;
  View all_;
  std::vector<View> senders_;
  std::uint64_t valid_up_to_ = 0;
};

// Every kept record is the last writer of a part in some view.
static_assert((LateJoinState::kSenderViews + 1) * part::kCount == kMaxSnapshotRecords);

}  // namespace relay
