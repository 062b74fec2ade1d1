// A made-up session of every record family at once, with clears, headings,
// heartbeats, junk and datagrams from a sender the screen turns away: what
// the history's tests and benchmarks feed in. Deterministic for a seed.
#pragma once

#include <cstdint>
#include <random>
#include <string>

struct GeneratedDatagram {
  std::string bytes;
  std::string sender;
  int receiver = 0;
  bool accepted = true;
  std::int64_t time_ms = 0;
};

class SessionGenerator {
 public:
  explicit SessionGenerator(std::uint32_t seed) : random_(seed) {}
  GeneratedDatagram Next();

 private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  std::string Name() { return "RIDER " + std::to_string(Pick(1, 80)); }
  std::string Record();

  std::mt19937 random_;
  std::int64_t time_ms_ = 1'700'000'000'000;
};
