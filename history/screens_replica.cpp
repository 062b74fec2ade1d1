#include "history/screens_replica.h"

#include <cstring>

namespace {

// The ScreenWindows order.
constexpr int kScratch = 0;
constexpr int kTimeTrial = 4;

}  // namespace

ScreensReplica::ScreensReplica()
    : windows_{{*this, 0}, {*this, 1}, {*this, 2}, {*this, 3}, {*this, 4}},
      dispatcher_(data_, {&windows_[0], &windows_[1], &windows_[2], &windows_[3], &windows_[4]},
                  log_) {}

// The screens empty themselves as they come into view; only the scratch and
// time trial screens have anything to empty.
void ScreensReplica::FirstShowing::ShowAndRaise() {
  const auto bit = static_cast<std::uint8_t>(1u << screen_);
  if ((replica_.shown_ & bit) != 0) {
    return;
  }
  replica_.shown_ |= bit;
  if (screen_ == kScratch) {
    replica_.data_.scratch.ClearScreen();
  } else if (screen_ == kTimeTrial) {
    replica_.data_.time_trial.ClearAllPanels();
  }
}

WriteReport ScreensReplica::Take(std::string_view datagram) {
  return dispatcher_.DispatchRecord(datagram.substr(0, strnlen(datagram.data(), datagram.size())));
}

ScreensReplica::State ScreensReplica::Save() const {
  return {ScreenDataSnapshot::Take(data_), shown_};
}

void ScreensReplica::Restore(const State& state) {
  state.cells.RestoreInto(data_);
  shown_ = state.shown;
}

bool StartsHeat(const WriteReport& report) {
  return report.Wrote(part::kScratchHeat) || report.Wrote(part::kPointsHeadings) ||
         (report.Wrote(part::kPanelSummary) && report.Wrote(part::kPanelSummary + 1));
}
