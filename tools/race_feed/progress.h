// The progress bar on a terminal: records sent, of how many, and the rate.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace race_feed {

// "[#####---------------]   120/812 records   41.3/s  0:03"
std::string ProgressLine(std::int64_t sent, std::int64_t total, double seconds);

class Progress {
 public:
  // Draws nothing unless `enabled` (a terminal, no --quiet).
  Progress(std::ostream& out, std::int64_t total, bool enabled);

  // Redraws at most ten times a second, and only once a run has lasted a
  // second: short runs stay silent.
  void Update(std::int64_t sent);

  // The last state on its own line, when anything was drawn.
  void Finish(std::int64_t sent);

 private:
  double Elapsed() const;
  void Draw(std::int64_t sent);

  std::ostream& out_;
  std::int64_t total_;
  bool enabled_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
};

}  // namespace race_feed
