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
