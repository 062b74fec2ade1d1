// What one record wrote, as the record rules report it: the parts of the
// screens it rewrote whole or emptied, and the screens it brought forward.
// A part is the smallest piece a record rewrites whole (a competitor line, a
// rider panel's lap times) or a screen's being shown at all; clearing counts
// as writing every part it empties. Whatever must know what a record did
// (the relay's late-join state, a view of the screens) reads this report
// instead of reading the record again. Standard library only.
#pragma once

#include "records/columns.h"

#include <bitset>

namespace part {

inline constexpr int kScratchShown = 0;
inline constexpr int kScratchHeat = 1;
inline constexpr int kScratchLines = 2;  // one per list position 0 to 49
inline constexpr int kScratchPositions = kCompetitorRows - 1;
inline constexpr int kQuickText = kScratchLines + kScratchPositions;  // all eight lines
inline constexpr int kSprint = kQuickText + 1;                        // the whole heat
inline constexpr int kPointsShown = kSprint + 1;
inline constexpr int kPointsHeadings = kPointsShown + 1;  // emptied by a clear only
inline constexpr int kPointsLines = kPointsHeadings + 1;  // one per standings position 0 to 58
inline constexpr int kPointsPositions = kStandingsRows - 1;
inline constexpr int kSprintNames = kPointsLines + kPointsPositions;  // one per sprint 0 to 29
inline constexpr int kSprintStore = kSprintNames + kSprintCount;      // one per sprint
inline constexpr int kShownSprint = kSprintStore + kSprintCount;
inline constexpr int kTimeTrialShown = kShownSprint + 1;
inline constexpr int kTimeTrialLines = kTimeTrialShown + 1;  // one per standings position 0 to 98
inline constexpr int kTimeTrialPositions = kTimeTrialStandingsRows - 1;
// Per rider panel p: its summary and labels, its "ToGo" column, its "Net"
// and "Diff" columns.
inline constexpr int kPanelSummary = kTimeTrialLines + kTimeTrialPositions;  // + p
inline constexpr int kPanelToGo = kPanelSummary + 2;                         // + p
inline constexpr int kPanelLapTimes = kPanelToGo + 2;                        // + p
inline constexpr int kCount = kPanelLapTimes + 2;

}  // namespace part

class WriteReport {
 public:
  void Write(int part) { parts_.set(static_cast<std::size_t>(part)); }
  void Write(int first, int count) {
    for (int part = first; part < first + count; ++part) {
      Write(part);
    }
  }
  bool Wrote(int part) const { return parts_.test(static_cast<std::size_t>(part)); }
  bool None() const { return parts_.none(); }
  const std::bitset<part::kCount>& Parts() const { return parts_; }

  bool operator==(const WriteReport&) const = default;

 private:
  std::bitset<part::kCount> parts_;
};
