// The relay's messages on the broker, one record each, and the snapshot a
// subscriber that joins late starts from. README, "Remote commentary",
// gives the byte layout for other programs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/write_report.h"

namespace relay {

inline constexpr std::uint8_t kFormatVersion = 1;
inline constexpr std::size_t kHeaderSize = 32;
// A record longer than the screen's receive buffer never reaches it.
inline constexpr std::size_t kMaxRecordBytes = 1024;
// The late-join state keeps at most one record per part of each of its five
// views (late_join_state.h): a snapshot can never need more, and a bigger
// one is refused before it is read.
inline constexpr std::size_t kMaxSnapshotRecords = 5 * part::kCount;
inline constexpr std::size_t kMaxSnapshotBytes =
    kHeaderSize + kMaxSnapshotRecords * (2 + kHeaderSize + kMaxRecordBytes);

// One datagram as the venue's receiver took it in.
struct RecordMessage {
  std::uint64_t session = 0;   // the publisher's start, microseconds since 1970
  std::uint64_t sequence = 0;  // from 1, one up per record within the session
  int port_index = 0;          // 0: the first port (29105), 1: the second (29104)
  std::uint32_t sender = 0;    // the venue sender's IPv4 address, host order
  std::int64_t received_us = 0;
  std::string bytes;  // the whole datagram, unchanged
};

// The records that make the venue's screens what they are, in order, and
// the last sequence number they account for.
struct Snapshot {
  std::uint64_t session = 0;
  std::uint64_t valid_up_to = 0;
  std::int64_t made_us = 0;
  std::vector<RecordMessage> records;
};

// The venue's word on where its feed stands, sent on the record topic after
// each snapshot: a subscriber that has not reached `last_sequence` missed
// records and fetches the snapshot, without waiting for another record.
struct Position {
  std::uint64_t session = 0;
  std::uint64_t last_sequence = 0;  // the last record the venue numbered
  std::uint64_t lost = 0;           // records the venue could not send in this session
};

std::string EncodeRecord(const RecordMessage& message);
// Empty when `payload` is no record message of a version this program reads.
std::optional<RecordMessage> DecodeRecord(std::string_view payload);

// `records` are encoded record messages, in sequence order.
std::string EncodeSnapshot(std::uint64_t session, std::uint64_t valid_up_to, std::int64_t made_us,
                           const std::vector<std::string_view>& records);
// Empty when `payload` is no well-formed snapshot of a version this program reads.
std::optional<Snapshot> DecodeSnapshot(std::string_view payload);

std::string EncodePosition(const Position& position);
// Empty when `payload` is no position message of a version this program reads.
std::optional<Position> DecodePosition(std::string_view payload);

// Dotted IPv4 text and back; a text that is no IPv4 address reads 0.0.0.0.
std::string SenderText(std::uint32_t address);
std::uint32_t SenderAddress(std::string_view dotted);

std::int64_t NowMicroseconds();

}  // namespace relay
