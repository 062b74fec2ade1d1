#include "relay/message.h"

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>

namespace relay {

namespace {

constexpr std::uint8_t kRecordKind = 1;
constexpr std::uint8_t kSnapshotKind = 2;
constexpr std::uint8_t kPositionKind = 3;

void Put(std::string& out, std::uint64_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
    out += static_cast<char>((value >> shift) & 0xff);
  }
}

std::uint64_t Get(std::string_view in, std::size_t at, int bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    value = (value << 8) | static_cast<std::uint8_t>(in[at + static_cast<std::size_t>(i)]);
  }
  return value;
}

}  // namespace

std::string EncodeRecord(const RecordMessage& message) {
  std::string out;
  out.reserve(kHeaderSize + message.bytes.size());
  Put(out, kFormatVersion, 1);
  Put(out, kRecordKind, 1);
  Put(out, static_cast<std::uint64_t>(message.port_index), 1);
  Put(out, 0, 1);
  Put(out, message.sender, 4);
  Put(out, message.session, 8);
  Put(out, message.sequence, 8);
  Put(out, static_cast<std::uint64_t>(message.received_us), 8);
  out += message.bytes;
  return out;
}

std::optional<RecordMessage> DecodeRecord(std::string_view payload) {
  if (payload.size() < kHeaderSize || payload.size() > kHeaderSize + kMaxRecordBytes ||
      Get(payload, 0, 1) != kFormatVersion || Get(payload, 1, 1) != kRecordKind ||
      Get(payload, 2, 1) > 1 || Get(payload, 3, 1) != 0) {
    return std::nullopt;
  }
  RecordMessage message;
  message.port_index = static_cast<int>(Get(payload, 2, 1));
  message.sender = static_cast<std::uint32_t>(Get(payload, 4, 4));
  message.session = Get(payload, 8, 8);
  message.sequence = Get(payload, 16, 8);
  message.received_us = static_cast<std::int64_t>(Get(payload, 24, 8));
  message.bytes = std::string(payload.substr(kHeaderSize));
  if (message.sequence == 0) {
    return std::nullopt;
  }
  return message;
}

std::string EncodeSnapshot(std::uint64_t session, std::uint64_t valid_up_to, std::int64_t made_us,
                           const std::vector<std::string_view>& records) {
  std::size_t size = kHeaderSize;
  for (const std::string_view record : records) {
    size += 2 + record.size();
  }
  std::string out;
  out.reserve(size);
  Put(out, kFormatVersion, 1);
  Put(out, kSnapshotKind, 1);
  Put(out, 0, 2);
  Put(out, records.size(), 4);
  Put(out, session, 8);
  Put(out, valid_up_to, 8);
  Put(out, static_cast<std::uint64_t>(made_us), 8);
  for (const std::string_view record : records) {
    Put(out, record.size(), 2);
    out += record;
  }
  return out;
}

std::optional<Snapshot> DecodeSnapshot(std::string_view payload) {
  if (payload.size() < kHeaderSize || payload.size() > kMaxSnapshotBytes ||
      Get(payload, 0, 1) != kFormatVersion || Get(payload, 1, 1) != kSnapshotKind ||
      Get(payload, 2, 2) != 0) {
    return std::nullopt;
  }
  const std::uint64_t count = Get(payload, 4, 4);
  if (count > kMaxSnapshotRecords) {
    return std::nullopt;
  }
  Snapshot snapshot;
  snapshot.session = Get(payload, 8, 8);
  snapshot.valid_up_to = Get(payload, 16, 8);
  snapshot.made_us = static_cast<std::int64_t>(Get(payload, 24, 8));
  std::size_t at = kHeaderSize;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (payload.size() - at < 2) {
      return std::nullopt;
    }
    const std::size_t length = Get(payload, at, 2);
    at += 2;
    if (payload.size() - at < length) {
      return std::nullopt;
    }
    auto record = DecodeRecord(payload.substr(at, length));
    at += length;
    if (!record || record->session != snapshot.session || record->sequence > snapshot.valid_up_to ||
        (!snapshot.records.empty() && record->sequence <= snapshot.records.back().sequence)) {
      return std::nullopt;
    }
    snapshot.records.push_back(std::move(*record));
  }
  if (at != payload.size()) {
    return std::nullopt;
  }
  return snapshot;
}

std::string EncodePosition(const Position& position) {
  std::string out;
  out.reserve(kHeaderSize);
  Put(out, kFormatVersion, 1);
  Put(out, kPositionKind, 1);
  Put(out, 0, 6);
  Put(out, position.session, 8);
  Put(out, position.last_sequence, 8);
  Put(out, position.lost, 8);
  return out;
}

std::optional<Position> DecodePosition(std::string_view payload) {
  if (payload.size() != kHeaderSize || Get(payload, 0, 1) != kFormatVersion ||
      Get(payload, 1, 1) != kPositionKind || Get(payload, 2, 6) != 0) {
    return std::nullopt;
  }
  return Position{Get(payload, 8, 8), Get(payload, 16, 8), Get(payload, 24, 8)};
}

std::string SenderText(std::uint32_t address) {
  in_addr in{};
  in.s_addr = htonl(address);
  char dotted[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &in, dotted, sizeof dotted);
  return dotted;
}

std::uint32_t SenderAddress(std::string_view dotted) {
  in_addr in{};
  if (inet_pton(AF_INET, std::string(dotted).c_str(), &in) != 1) {
    return 0;
  }
  return ntohl(in.s_addr);
}

std::int64_t NowMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace relay
