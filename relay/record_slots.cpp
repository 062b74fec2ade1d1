#include "relay/record_slots.h"

#include <cstring>

#include "records/record_text.h"

namespace relay {

namespace {

using namespace slot;

void SetRange(SlotSet& set, int first, int count) {
  for (int slot = first; slot < first + count; ++slot) {
    set.set(static_cast<std::size_t>(slot));
  }
}

// False when the scratch "{clr}" ends the record.
bool Scratch(const RecordTags& record, SlotSet& set) {
  set.set(kScratchShown);
  if (record.Flag("{clr}") || record.Occurs("{title}")) {
    // Both clear the whole screen; a heading then writes the heat.
    set.set(kScratchHeat);
    SetRange(set, kScratchRows, kScratchPositions);
    return !record.Flag("{clr}");
  }
  const int position = ReadInteger(record.Value("{list}"));
  if (position >= 0 && position < kScratchPositions) {
    set.set(static_cast<std::size_t>(kScratchRows + position));
  }
  return true;
}

// False when the points race "{clr}" ends the record.
bool PointsRace(const RecordTags& record, SlotSet& set) {
  set.set(kPointsShown);
  if (record.Flag("{clr}")) {
    // The sprint names stay: a clear leaves the chooser's entries alone.
    set.set(kPointsHeadings);
    SetRange(set, kPointsRows, kPointsPositions);
    SetRange(set, kSprintStore, kSprintCount);
    set.set(kShownSprint);
    return false;
  }
  if (record.Has("{standings}")) {
    const int position = ReadInteger(record.Value("{standings}"));
    if (position == 0) {
      SetRange(set, kPointsRows, kPointsPositions);
    } else if (position > 0 && position < kPointsPositions) {
      set.set(static_cast<std::size_t>(kPointsRows + position));
    }
  }
  if (record.Has("{sprint}")) {
    const int sprint = ReadInteger(record.Value("{sprint}"));
    if (sprint >= 0 && sprint < kSprintCount) {
      set.set(static_cast<std::size_t>(kSprintNames + sprint));
      set.set(static_cast<std::size_t>(kSprintStore + sprint));
    }
    set.set(kShownSprint);
  }
  return true;
}

int Panel(const RecordTags& record) {
  const std::string_view course = record.Value("{crs}");
  const std::string_view stack = record.Value("{stack}");
  return (course == "0" && stack == "0") || (course == "1" && stack == "1") ? 0 : 1;
}

void TimeTrial(const RecordTags& record, SlotSet& set) {
  set.set(kTimeTrialShown);
  const bool clear_all = record.Flag("{clr}");
  if (clear_all || record.Flag("{clr_racers}")) {
    if (clear_all) {
      SetRange(set, kTimeTrialRows, kTimeTrialPositions);
    }
    SetRange(set, kPanelSummary, 2);
    SetRange(set, kPanelToGo, 2);
    SetRange(set, kPanelLapTimes, 2);
  } else if (record.Has("{standings}")) {
    const int position = ReadInteger(record.Value("{standings}"));
    if (position >= 0 && position < kTimeTrialPositions) {
      set.set(static_cast<std::size_t>(kTimeTrialRows + position));
    }
  } else if (record.Has("{tick-hit}")) {
    set.set(static_cast<std::size_t>(kPanelSummary + Panel(record)));
    set.set(static_cast<std::size_t>(kPanelToGo + Panel(record)));
  } else if (record.Has("{audit}")) {
    set.set(static_cast<std::size_t>(kPanelLapTimes + Panel(record)));
  }
}

}  // namespace

SlotSet SlotsWritten(std::string_view datagram) {
  const RecordTags record(datagram.substr(0, strnlen(datagram.data(), datagram.size())));
  SlotSet set;
  if (record.Flag("{heartbeat}")) {
    return set;
  }
  if (record.Flag("{scratch}") && !Scratch(record, set)) {
    return set;
  }
  if (record.Flag("{qdtype}")) {
    set.set(kQuickText);
  }
  if (record.Flag("{sprintf}")) {
    set.set(kSprint);
  }
  if (record.Flag("{ptsrace}") && !PointsRace(record, set)) {
    return set;
  }
  if (record.Flag("{tt}")) {
    TimeTrial(record, set);
  }
  return set;
}

}  // namespace relay
