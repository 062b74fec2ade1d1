#include "records/screen_data_snapshot.h"

#include <string_view>

namespace {

// Every grid and text of the screens in one fixed order, for copying out and
// back alike.
template <class Data, class OnGrid, class OnText>
void VisitParts(Data& data, OnGrid on_grid, OnText on_text) {
  on_grid(data.scratch.heat);
  on_grid(data.scratch.competitors);
  on_grid(data.quick_text.lines);
  on_text(data.sprint.title);
  on_grid(data.sprint.heat);
  on_grid(data.points_race.standings);
  on_grid(data.points_race.sprint_names);
  on_grid(data.points_race.shown_sprint);
  on_grid(data.points_race.sprint_store);
  on_grid(data.time_trial.standings);
  for (auto& panel : data.time_trial.panels) {
    on_grid(panel.summary);
    on_grid(panel.laps);
    on_text(panel.time);
    on_text(panel.difference);
  }
}

void Put(std::string& out, std::string_view text) {
  std::size_t size = text.size();
  do {
    const auto low = static_cast<unsigned char>(size & 0x7f);
    size >>= 7;
    out.push_back(static_cast<char>(size != 0 ? (low | 0x80) : low));
  } while (size != 0);
  out.append(text);
}

// Only reads what Put wrote, so it trusts the lengths.
std::string_view Get(const std::string& in, std::size_t& at) {
  std::size_t size = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(in[at++]);
    size |= static_cast<std::size_t>(byte & 0x7f) << shift;
    if ((byte & 0x80) == 0) {
      break;
    }
  }
  const std::string_view text(in.data() + at, size);
  at += size;
  return text;
}

}  // namespace

ScreenDataSnapshot ScreenDataSnapshot::Take(const ScreenData& data) {
  ScreenDataSnapshot snapshot;
  std::string& out = snapshot.cells_;
  VisitParts(
      data,
      [&out](const GridModel& grid) {
        for (int row = 0; row < grid.RowCount(); ++row) {
          for (int col = 0; col < grid.ColCount(); ++col) {
            Put(out, grid.Cell(col, row));
          }
        }
      },
      [&out](const ScreenText& text) { Put(out, text.Text()); });
  out.shrink_to_fit();
  return snapshot;
}

void ScreenDataSnapshot::RestoreInto(ScreenData& data) const {
  if (cells_.empty()) {
    return;
  }
  std::size_t at = 0;
  VisitParts(
      data,
      [this, &at](GridModel& grid) {
        for (int row = 0; row < grid.RowCount(); ++row) {
          for (int col = 0; col < grid.ColCount(); ++col) {
            grid.SetCell(col, row, Get(cells_, at));
          }
        }
      },
      [this, &at](ScreenText& text) { text.SetText(Get(cells_, at)); });
  // The shown sprint is the chosen one wherever a sprint was shown: a
  // clear leaves it empty, and any showing writes its place numbers.
  PointsRaceData& points = data.points_race;
  if (!points.shown_sprint.Cell(0, 1).empty()) {
    points.ShowSelectedSprint();
  }
}
