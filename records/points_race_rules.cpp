// Points race records: one line of the standings, the result of one
// intermediate sprint, or both; or a request to clear the screen.
#include "records/families.h"
#include "records/tag_cells.h"

#include <array>

namespace {

constexpr auto kStandingsCells = LineCells(kStandingsColumns);
constexpr int kLastPosition = kStandingsRows - 2;  // below the heading row

// Rider i of a sprint: name in store column 2i - 2, points in 2i - 1.
constexpr auto kSprintRiderCells = [] {
  std::array<TagCell, 2 * kSprintPlaces> cells{};
  for (int rider = 1; rider <= kSprintPlaces; ++rider) {
    cells[2 * rider - 2] = {.tag = "{name", .col = 2 * rider - 2, .number = rider};
    cells[2 * rider - 1] = {.tag = "{pts", .col = 2 * rider - 1, .number = rider};
  }
  return cells;
}();

void WriteStandings(const RecordTags& record, PointsRaceData& data, WriteReport& written) {
  const int position = ReadInteger(record.Value("{standings}"));
  if (position == 0) {
    data.standings.ClearRows(1);  // position 0 starts a new table
    written.Write(part::kPointsLines, part::kPointsPositions);
  }
  if (position >= 0 && position <= kLastPosition) {
    WriteCells(kStandingsCells, record, data.standings, position + 1);
    written.Write(part::kPointsLines + position);
  }
}

void WriteSprint(const RecordTags& record, PointsRaceData& data, WriteReport& written) {
  const int sprint = ReadInteger(record.Value("{sprint}"));
  if (sprint >= 0 && sprint < kSprintCount) {
    // Renaming an entry leaves the commentator's choice where it was.
    data.sprint_names.SetCell(0, sprint, record.Value("{sname}"));
    WriteCells(kSprintRiderCells, record, data.sprint_store, sprint);
    written.Write(part::kSprintNames + sprint);
    written.Write(part::kSprintStore + sprint);
  }
  data.ShowSelectedSprint();
  written.Write(part::kShownSprint);
}

}  // namespace

FamilyResult HandlePointsRaceRecord(const RecordTags& record, PointsRaceData& data,
                                    ScreenWindow& window, WriteReport& written) {
  window.ShowAndRaise();
  written.Write(part::kPointsShown);
  if (record.Flag("{clr}")) {
    // The chooser's entries stay: a clear leaves the sprint names alone.
    data.ClearGrids();
    written.Write(part::kPointsHeadings);
    written.Write(part::kPointsLines, part::kPointsPositions);
    written.Write(part::kSprintStore, kSprintCount);
    written.Write(part::kShownSprint);
    return FamilyResult::kEndRecord;
  }
  if (record.Has("{standings}")) {
    WriteStandings(record, data, written);
  }
  if (record.Has("{sprint}")) {
    WriteSprint(record, data, written);
  }
  return FamilyResult::kContinue;
}
