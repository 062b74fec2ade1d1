// Time trial records: clear the screen or the rider panels, write one line of
// the standings, update a rider panel, or fill a rider panel's lap times.
#include "records/families.h"
#include "records/tag_cells.h"

#include <string>
#include <string_view>

namespace {

constexpr int kLastPosition = kTimeTrialStandingsRows - 2;  // below the heading row
constexpr std::size_t kLineLimit = 255;
constexpr std::string_view kSeparator = "  /  ";

constexpr auto kStandingsCells = LineCells(kTimeTrialStandingsColumns);
// Row 1 of the summary is the time line, joined below.
constexpr TagCell kSummaryCells[] = {
    {.tag = "{name}", .row = 0},
    {.tag = "{ltg}", .row = 2},
    {.tag = "{dist}", .row = 3},
};
constexpr auto kToGoCells = NumberedCells<kLaps>(kLapColumns[0].tag, 0);
constexpr auto kNetCells = NumberedCells<kLaps>(kLapColumns[1].tag, 1);
constexpr auto kDiffCells = NumberedCells<kLaps>(kLapColumns[2].tag, 2);

// Both "0" (or both "1") is the left-hand rider panel, 0; anything else, a
// missing tag included, is the right-hand one.
int ChosenPanel(const RecordTags& record) {
  const std::string_view course = record.Value("{crs}");
  const std::string_view stack = record.Value("{stack}");
  const bool left = (course == "0" && stack == "0") || (course == "1" && stack == "1");
  return left ? 0 : 1;
}

// The time, then each of difference, rank and speed that the record
// carries, kept within the 255 characters of a line.
std::string TimeLine(const RecordTags& record) {
  std::string line(record.Value("{time}"));
  for (const std::string_view tag : {"{diff}", "{rank}", "{spdk}"}) {
    const std::string_view part = record.Value(tag);
    if (part.empty()) {
      continue;
    }
    line += kSeparator;
    line += part;
    if (line.size() > kLineLimit) {
      line.resize(kLineLimit);
    }
  }
  return line;
}

void WriteStandingsLine(const RecordTags& record, TimeTrialData& data, WriteReport& written) {
  const int position = ReadInteger(record.Value("{standings}"));
  if (position >= 0 && position <= kLastPosition) {
    WriteCells(kStandingsCells, record, data.standings, position + 1);
    written.Write(part::kTimeTrialLines + position);
  }
}

void WriteRiderUpdate(const RecordTags& record, RiderPanelData& panel) {
  WriteCells(kSummaryCells, record, panel.summary);
  panel.time.SetText(record.Value("{time}"));
  panel.difference.SetText(record.Value("{diff}"));
  panel.summary.SetCell(0, 1, TimeLine(record));
  WriteCells(kToGoCells, record, panel.laps);
}

void WriteLapTimes(const RecordTags& record, RiderPanelData& panel) {
  WriteCells(kNetCells, record, panel.laps);
  WriteCells(kDiffCells, record, panel.laps);
}

}  // namespace

FamilyResult HandleTimeTrialRecord(const RecordTags& record, TimeTrialData& data,
                                   ScreenWindow& window, WriteReport& written) {
  window.ShowAndRaise();
  written.Write(part::kTimeTrialShown);
  // Only the first of these that the record asks for is carried out.
  const bool clear_all = record.Flag("{clr}");
  if (clear_all || record.Flag("{clr_racers}")) {
    if (clear_all) {
      data.ClearAllPanels();
      written.Write(part::kTimeTrialLines, part::kTimeTrialPositions);
    } else {
      data.ClearRiderPanels();
    }
    written.Write(part::kPanelSummary, 2);
    written.Write(part::kPanelToGo, 2);
    written.Write(part::kPanelLapTimes, 2);
  } else if (record.Has("{standings}")) {
    WriteStandingsLine(record, data, written);
  } else if (record.Has("{tick-hit}")) {
    const int panel = ChosenPanel(record);
    WriteRiderUpdate(record, data.panels[panel]);
    written.Write(part::kPanelSummary + panel);
    written.Write(part::kPanelToGo + panel);
  } else if (record.Has("{audit}")) {
    const int panel = ChosenPanel(record);
    WriteLapTimes(record, data.panels[panel]);
    written.Write(part::kPanelLapTimes + panel);
  }
  // The time trial family is the last, so its clearing ends nothing more.
  return FamilyResult::kContinue;
}
