// The main window's traffic log as the browser view shows it: the same
// lines the record rules write into the desktop's log, its last 30.
#pragma once

#include "records/dispatch.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace view {

class ViewLog : public TrafficLog {
 public:
  static constexpr std::size_t kLines = 30;

  bool Shown() const override { return true; }
  void AddLine(std::string_view line) override;

  const std::deque<std::string>& Lines() const { return lines_; }
  // Grows with every line added, so a change is seen even when the log is full.
  std::uint64_t Generation() const { return generation_; }

 private:
  std::deque<std::string> lines_;
  std::uint64_t generation_ = 0;
};

}  // namespace view
