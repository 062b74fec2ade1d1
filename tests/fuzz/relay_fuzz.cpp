// libFuzzer target: the relay's subscriber side. Arbitrary messages on the
// record and snapshot topics are decoded and handed to the order keeper on
// a fake clock, beside records built from the input and snapshots a venue's
// late-join state makes of them. Aborts when a message does not encode back
// to its own bytes, when held records pass their limits, when a session's
// records are handed on out of order without the feed being taken up anew,
// or when a venue snapshot is refused or larger than the limit.
//
// Input: chunks of [op][length, 2 bytes][payload]. The op's low 3 bits pick
// what happens (see below), its high 5 bits the milliseconds, in 100s,
// that pass before it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <string>
#include <string_view>

#include "records/shadow_screens.h"
#include "relay/late_join_state.h"
#include "relay/message.h"
#include "relay/sequencer.h"

namespace {

using relay::Sequencer;

constexpr std::size_t kHoldLimit = 2000;

void Check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

std::uint64_t Read(std::string_view bytes, std::size_t at, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = at; i < at + count && i < bytes.size(); ++i) {
    value = value << 8 | static_cast<std::uint8_t>(bytes[i]);
  }
  return value;
}

// A few sessions, the awkward ends among them.
std::uint64_t Session(std::uint8_t pick) {
  switch (pick % 5) {
    case 0:
      return 0;
    case 4:
      return std::numeric_limits<std::uint64_t>::max();
    default:
      return 1000 * (pick % 5);
  }
}

std::uint64_t Sequence(std::uint64_t raw) {
  return raw == 0xffff ? std::numeric_limits<std::uint64_t>::max() : raw;
}

class Harness {
 public:
  void Run(std::string_view input) {
    while (input.size() >= 3) {
      const std::uint8_t op = static_cast<std::uint8_t>(input[0]);
      const std::size_t length = std::min<std::size_t>(Read(input, 1, 2), input.size() - 3);
      const std::string_view payload = input.substr(3, length);
      input.remove_prefix(3 + length);
      now_ += std::chrono::milliseconds(100 * (op >> 3));
      Step(op & 7, payload);
      Check(sequencer_.Held() <= kHoldLimit, "held records within the count");
      Check(sequencer_.HeldBytes() <=
                Sequencer::kHeldBytes + Sequencer::kLines * Sequencer::kLineRecords *
                                            (Sequencer::kRecordCost + relay::kMaxRecordBytes),
            "held records within the bytes");
    }
  }

 private:
  void Step(int what, std::string_view payload) {
    switch (what) {
      case 0:  // on the record topic, as it came
        if (auto record = relay::DecodeRecord(payload)) {
          Check(relay::EncodeRecord(*record) == payload, "a record encodes back");
          sequencer_.TakeLive(std::move(*record), now_);
        } else if (const auto position = relay::DecodePosition(payload)) {
          Check(relay::EncodePosition(*position) == payload, "a position encodes back");
          sequencer_.TakePosition(*position, now_);
        }
        break;
      case 1:  // on the snapshot topic, as it came
        if (const auto snapshot = relay::DecodeSnapshot(payload)) {
          std::vector<std::string> encoded;
          for (const relay::RecordMessage& record : snapshot->records) {
            encoded.push_back(relay::EncodeRecord(record));
          }
          const std::vector<std::string_view> views(encoded.begin(), encoded.end());
          Check(relay::EncodeSnapshot(snapshot->session, snapshot->valid_up_to, snapshot->made_us,
                                      views) == payload,
                "a snapshot encodes back");
          sequencer_.TakeSnapshot(*snapshot, now_);
        }
        break;
      case 2: {  // a record: session, sequence (2 bytes), datagram
        relay::RecordMessage record;
        record.session = Session(static_cast<std::uint8_t>(Read(payload, 0, 1)));
        record.sequence = Sequence(Read(payload, 1, 2));
        record.bytes = std::string(payload.substr(std::min<std::size_t>(payload.size(), 3)));
        if (record.bytes.size() > relay::kMaxRecordBytes || record.sequence == 0) {
          break;
        }
        if (record.session == Session(1) && record.sequence > venue_.ValidUpTo()) {
          // What the venue numbered: its late-join state keeps it.
          venue_.Add(record.sequence, record.sender, venue_screens_.Take(record.bytes),
                     relay::EncodeRecord(record));
          Check(venue_.Size() <= relay::kMaxSnapshotRecords, "late-join state within bounds");
        }
        sequencer_.TakeLive(std::move(record), now_);
        break;
      }
      case 3:  // a position: session, last sequence (2 bytes), lost
        sequencer_.TakePosition({Session(static_cast<std::uint8_t>(Read(payload, 0, 1))),
                                 Sequence(Read(payload, 1, 2)), Read(payload, 3, 2)},
                                now_);
        break;
      case 4: {  // the venue's snapshot
        const std::string encoded =
            relay::EncodeSnapshot(Session(1), venue_.ValidUpTo(), 0, venue_.Records());
        Check(encoded.size() <= relay::kMaxSnapshotBytes, "the venue's snapshot within the limit");
        const auto snapshot = relay::DecodeSnapshot(encoded);
        Check(snapshot.has_value(), "the venue's snapshot is read");
        sequencer_.TakeSnapshot(*snapshot, now_);
        break;
      }
      case 5:
        sequencer_.Connected(!payload.empty() && (payload[0] & 1) != 0, now_);
        break;
      default:
        sequencer_.Tick(now_);
        break;
    }
  }

  void Delivered(const relay::RecordMessage& record) {
    if (sequencer_.Restarts() != restarts_) {
      restarts_ = sequencer_.Restarts();
      last_.clear();
    }
    auto [last, fresh] = last_.emplace(record.session, record.sequence);
    Check(fresh || record.sequence > last->second, "a session's records in order");
    last->second = record.sequence;
  }

  Sequencer::Clock::time_point now_{};
  relay::LateJoinState venue_;
  ShadowScreens venue_screens_;
  std::map<std::uint64_t, std::uint64_t> last_;
  std::uint64_t restarts_ = 0;
  Sequencer sequencer_{kHoldLimit,
                       [this](const relay::RecordMessage& record) { Delivered(record); }};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Harness harness;
  harness.Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
