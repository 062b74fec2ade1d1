// The session's datagrams as the screen took them in, accepted or turned
// away, kept in memory up to a bound, and the screens as they were at any
// moment of it. Moment m is the screens after the first m datagrams; the
// oldest are dropped past the bound, a checkpoint's worth at a time, and
// Begin() says from which moment on the history reaches.
//
// Every checkpoint_every datagrams a copy of the replica's screens is kept,
// so the screens at any moment are the nearest checkpoint before it plus at
// most that many records through the same record rules.
#pragma once

#include "history/screens_replica.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct KeptDatagram {
  std::int64_t time_ms = 0;  // when it came, ms since the epoch
  int receiver = 0;          // 0 the first port, 1 the second
  std::string_view sender;
  std::string_view bytes;  // the whole datagram
  bool accepted = false;
};

class SessionHistory {
 public:
  struct Limits {
    std::size_t max_datagrams = 1'000'000;
    std::size_t max_bytes = std::size_t{256} << 20;
    std::uint32_t checkpoint_every = 1024;
  };

  explicit SessionHistory(Limits limits);
  SessionHistory() : SessionHistory(Limits{}) {}
  SessionHistory(const SessionHistory&) = delete;
  SessionHistory& operator=(const SessionHistory&) = delete;

  // Keeps a datagram; an accepted one goes through the record rules.
  void Add(std::int64_t time_ms, int receiver, std::string_view sender, std::string_view bytes,
           bool accepted);

  std::uint64_t Begin() const { return first_; }
  std::uint64_t End() const { return first_ + index_.size(); }
  // Datagram `index`, Begin() <= index < End(); its views last until the
  // next Add.
  KeptDatagram At(std::uint64_t index) const;

  // The screens at `moment`, clamped to Begin()..End().
  ScreensReplica::State ScreensAt(std::uint64_t moment) const;
  // The screens now, which is ScreensAt(End()).
  ScreensReplica::State ScreensNow() const { return live_.Save(); }

  // The moment a heat's first record has just been taken: the nearest
  // before `moment` (Begin() when none), or after it (End() when none).
  std::uint64_t HeatBefore(std::uint64_t moment) const;
  std::uint64_t HeatAfter(std::uint64_t moment) const;

  // What the history holds in memory, roughly.
  std::size_t MemoryBytes() const;

 private:
  struct Entry {
    std::int64_t time_ms;
    std::uint32_t block;  // counted from the first block ever
    std::uint32_t offset;
    std::uint16_t size;
    std::uint16_t sender;
    std::uint8_t receiver;
    bool accepted;
  };
  struct Checkpoint {
    std::uint64_t moment;
    ScreensReplica::State state;
  };

  std::uint16_t SenderIndex(std::string_view sender);
  void KeepWithinLimits();

  Limits limits_;
  std::uint64_t first_ = 0;
  std::deque<Entry> index_;
  std::deque<std::string> blocks_;
  std::uint32_t first_block_ = 0;
  std::vector<std::string> senders_;
  std::unordered_map<std::string, std::uint16_t> sender_ids_;
  std::deque<Checkpoint> checkpoints_;
  std::size_t checkpoint_bytes_ = 0;
  std::deque<std::uint64_t> heats_;  // moments, ascending
  ScreensReplica live_;
  mutable ScreensReplica scratch_;  // where a moment is built
};
