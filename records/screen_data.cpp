#include "records/screen_data.h"

#include <string>

namespace {

template <std::size_t N>
void WriteHeadings(GridModel& grid, const std::array<Column, N>& columns) {
  for (std::size_t col = 0; col < N; ++col) {
    grid.SetCell(static_cast<int>(col), 0, columns[col].heading);
  }
}

template <std::size_t N>
void WriteLabels(GridModel& grid, const std::array<std::string_view, N>& labels) {
  for (std::size_t row = 0; row < N; ++row) {
    grid.SetCell(0, static_cast<int>(row), labels[row]);
  }
}

void ClearLapTable(GridModel& laps) {
  laps.ClearCells();
  WriteHeadings(laps, kLapColumns);
}

}  // namespace

void ScreenText::SetText(std::string_view text) {
  if (text_ == text) {
    return;
  }
  text_.assign(text);
  emit Changed();
}

ScratchData::ScratchData() {
  ClearScreen();
}

void ScratchData::ClearScreen() {
  // The values go; the labels and headings are written again, which only
  // changes (and repaints) them where something had overwritten them.
  for (int row = 0; row < heat.RowCount(); ++row) {
    heat.SetCell(1, row, {});
  }
  competitors.ClearRows(1);
  WriteLabels(heat, kHeatLabels);
  WriteHeadings(competitors, kCompetitorColumns);
}

PointsRaceData::PointsRaceData() {
  WriteHeadings(standings, kStandingsColumns);
  WriteHeadings(shown_sprint, kSprintResultColumns);
  for (int sprint = 0; sprint < kSprintCount; ++sprint) {
    sprint_names.SetCell(0, sprint, std::to_string(sprint + 1));
  }
}

std::string PointsRaceData::ShownSprintCell(int sprint, int col, int place) const {
  if (col == 0) {
    return std::to_string(place);
  }
  return sprint_store.Cell(2 * (place - 1) + col - 1, sprint);
}

void PointsRaceData::ShowSelectedSprint() {
  for (int place = 1; place <= kSprintPlaces; ++place) {
    for (int col = 0; col < static_cast<int>(kSprintResultColumns.size()); ++col) {
      shown_sprint.SetCell(col, place, ShownSprintCell(chosen_sprint_, col, place));
    }
  }
}

void PointsRaceData::ChooseSprint(int sprint) {
  if (sprint < 0 || sprint >= kSprintCount) {
    return;
  }
  chosen_sprint_ = sprint;
  ShowSelectedSprint();
}

void PointsRaceData::ClearGrids() {
  standings.ClearCells();
  shown_sprint.ClearCells();
  sprint_store.ClearCells();
}

SprintData::SprintData() {
  WriteLabels(heat, kSprintHeatLabels);
}

void TimeTrialData::ClearRiderPanels() {
  for (RiderPanelData& panel : panels) {
    panel.summary.ClearCells();
    ClearLapTable(panel.laps);
  }
  // Time labels first, then the difference labels.
  for (RiderPanelData& panel : panels) {
    panel.time.SetText({});
  }
  for (RiderPanelData& panel : panels) {
    panel.difference.SetText({});
  }
}

void TimeTrialData::ClearAllPanels() {
  standings.ClearRows(1);  // row 0 is the heading row and is left alone
  ClearRiderPanels();
}
