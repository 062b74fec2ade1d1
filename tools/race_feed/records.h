// What race-feed knows about a race data record: its size limit and the
// family flag it starts with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace race_feed {

// One datagram, one byte per character; the screen reads no further.
constexpr std::size_t kMaxRecordBytes = 1024;

enum class Family { kHeartbeat, kScratch, kQuickText, kSprint, kPointsRace, kTimeTrial, kMixed };

// The family whose flag ("{tt}+" ...) opens `record`; empty for none.
std::optional<Family> FamilyOf(std::string_view record);

// The --family name ("scratch", "tt", "pts", "sprint", "qdtype", "mixed").
std::optional<Family> FamilyNamed(std::string_view name);

// A record and the wait before it is sent, in milliseconds at speed 1.
struct TimedRecord {
  std::int64_t delay_ms = 0;
  std::string record;
  int port = 0;          // 0: the --port
  std::string sender{};  // a session file's recorded sender; empty: none
};

// Why `record` cannot be sent, or an empty string when it can. The empty
// record is an empty datagram, which the screen takes like any other.
std::string RecordProblem(std::string_view record);

}  // namespace race_feed
