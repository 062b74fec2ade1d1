#include "support/record_fakes.h"

std::string GridRow(const GridModel& grid, int row) {
  std::string joined;
  for (int col = 0; col < grid.ColCount(); ++col) {
    if (col > 0) {
      joined += '|';
    }
    joined += grid.Cell(col, row);
  }
  return joined;
}

std::vector<std::string> GridRows(const GridModel& grid) {
  std::vector<std::string> rows;
  for (int row = 0; row < grid.RowCount(); ++row) {
    rows.push_back(GridRow(grid, row));
  }
  return rows;
}

namespace {

void AddCells(std::vector<std::string>& lines, const std::string& name, const GridModel& grid) {
  for (int row = 0; row < grid.RowCount(); ++row) {
    for (int col = 0; col < grid.ColCount(); ++col) {
      if (!grid.Cell(col, row).empty()) {
        lines.push_back(name + "(" + std::to_string(col) + "," + std::to_string(row) +
                        ")=" + grid.Cell(col, row));
      }
    }
  }
}

void AddText(std::vector<std::string>& lines, const std::string& name, const ScreenText& text) {
  if (!text.Text().empty()) {
    lines.push_back(name + "=" + text.Text());
  }
}

}  // namespace

std::vector<std::string> Snapshot(const ScreenData& data) {
  std::vector<std::string> lines;
  AddCells(lines, "scratch.heat", data.scratch.heat);
  AddCells(lines, "scratch.competitors", data.scratch.competitors);
  AddCells(lines, "quick_text.lines", data.quick_text.lines);
  AddText(lines, "sprint.title", data.sprint.title);
  AddCells(lines, "sprint.heat", data.sprint.heat);
  const PointsRaceData& points = data.points_race;
  AddCells(lines, "points_race.standings", points.standings);
  AddCells(lines, "points_race.sprint_names", points.sprint_names);
  AddCells(lines, "points_race.shown_sprint", points.shown_sprint);
  AddCells(lines, "points_race.sprint_store", points.sprint_store);
  lines.push_back("points_race.chosen=" + std::to_string(points.ChosenSprint()));
  const TimeTrialData& time_trial = data.time_trial;
  AddCells(lines, "time_trial.standings", time_trial.standings);
  for (int panel = 0; panel < 2; ++panel) {
    const std::string name = "time_trial.panels[" + std::to_string(panel) + "].";
    AddCells(lines, name + "summary", time_trial.panels[panel].summary);
    AddCells(lines, name + "laps", time_trial.panels[panel].laps);
    AddText(lines, name + "time", time_trial.panels[panel].time);
    AddText(lines, name + "difference", time_trial.panels[panel].difference);
  }
  return lines;
}
