// The parts of the event screens that one record writes or clears, as
// numbered slots, by the same rules the screen dispatches it with: the
// heartbeat first, then scratch (whose "{clr}" ends the record), quick
// text, sprint, points race (whose "{clr}" ends it too) and time trial.
// A slot is the smallest part a record rewrites whole (a competitor row, a
// rider panel's lap times) or a family's being shown at all. Clearing
// counts as writing: a clear writes every slot it empties.
#pragma once

#include <bitset>
#include <string_view>

#include "records/columns.h"

namespace relay {

namespace slot {

inline constexpr int kScratchShown = 0;
inline constexpr int kScratchHeat = 1;
inline constexpr int kScratchRows = 2;  // one per list position 0 to 49
inline constexpr int kScratchPositions = kCompetitorRows - 1;
inline constexpr int kQuickText = kScratchRows + kScratchPositions;  // all eight lines
inline constexpr int kSprint = kQuickText + 1;                       // the whole heat
inline constexpr int kPointsShown = kSprint + 1;
inline constexpr int kPointsHeadings = kPointsShown + 1;  // emptied by a clear only
inline constexpr int kPointsRows = kPointsHeadings + 1;   // one per standings position 0 to 58
inline constexpr int kPointsPositions = kStandingsRows - 1;
inline constexpr int kSprintNames = kPointsRows + kPointsPositions;  // one per sprint 0 to 29
inline constexpr int kSprintStore = kSprintNames + kSprintCount;     // one per sprint
inline constexpr int kShownSprint = kSprintStore + kSprintCount;
inline constexpr int kTimeTrialShown = kShownSprint + 1;
inline constexpr int kTimeTrialRows = kTimeTrialShown + 1;  // one per standings position 0 to 98
inline constexpr int kTimeTrialPositions = kTimeTrialStandingsRows - 1;
// Per rider panel p: its summary and labels, its "ToGo" column, its "Net"
// and "Diff" columns.
inline constexpr int kPanelSummary = kTimeTrialRows + kTimeTrialPositions;  // + p
inline constexpr int kPanelToGo = kPanelSummary + 2;                        // + p
inline constexpr int kPanelLapTimes = kPanelToGo + 2;                       // + p
inline constexpr int kCount = kPanelLapTimes + 2;

}  // namespace slot

using SlotSet = std::bitset<slot::kCount>;

// The slots `datagram` writes when the screen takes it in; the record is its
// bytes up to the first zero byte, as the screen reads it.
SlotSet SlotsWritten(std::string_view datagram);

}  // namespace relay
