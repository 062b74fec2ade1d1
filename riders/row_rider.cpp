#include "riders/row_rider.h"

#include <algorithm>
#include <cctype>

std::string_view TrimCell(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

namespace {

std::optional<RowRider> FromCells(std::string_view bib_cell, std::string_view name_cell) {
  std::string_view bib = TrimCell(bib_cell);
  std::string_view name = TrimCell(name_cell);
  if (bib.empty()) {
    SplitBibAndName(name_cell, bib, name);
  }
  if (bib.empty() && name.empty()) {
    return std::nullopt;
  }
  return RowRider{std::string(bib), std::string(name)};
}

}  // namespace

void SplitBibAndName(std::string_view cell, std::string_view& bib, std::string_view& name) {
  cell = TrimCell(cell);
  const std::size_t blank = cell.find(' ');
  const std::string_view first = cell.substr(0, blank);
  const bool digits = !first.empty() && std::all_of(first.begin(), first.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
  if (!digits) {
    bib = {};
    name = cell;
    return;
  }
  bib = first;
  name = blank == std::string_view::npos ? std::string_view() : TrimCell(cell.substr(blank));
}

std::optional<RowRider> RiderOnRow(const ScreenData& data, const GridModel& grid, int row) {
  if (row < grid.FixedRows()) {
    return std::nullopt;
  }
  if (&grid == &data.scratch.competitors) {
    return FromCells(grid.Cell(1, row), grid.Cell(2, row));  // Bib, Competitor
  }
  if (&grid == &data.points_race.standings || &grid == &data.points_race.shown_sprint ||
      &grid == &data.time_trial.standings) {
    return FromCells({}, grid.Cell(1, row));  // the name column, a bib first or not
  }
  if (&grid == &data.sprint.heat && row < 4) {
    return FromCells({}, grid.Cell(2, row));  // the four racers
  }
  for (const RiderPanelData& panel : data.time_trial.panels) {
    if (&grid == &panel.summary && row == 0) {
      return FromCells({}, grid.Cell(0, 0));
    }
  }
  return std::nullopt;
}
