// Which rider a row of an event screen names, read from the screens' data:
// the row's bib where it has one, else its name (the cell may join a bib and
// a name, "47 L. MARTENS BEL"). For a double click on a grid. QtCore only.
#pragma once

#include "records/screen_data.h"

#include <optional>
#include <string>
#include <string_view>

struct RowRider {
  std::string bib;   // empty when the row names the rider only
  std::string name;  // bytes as the record had them

  bool operator==(const RowRider&) const = default;
};

// `text` without blanks and tabs at either end.
std::string_view TrimCell(std::string_view text);

// A cell that joins a bib and a name: the bib is its first word when that
// is all digits. Blanks around both are dropped.
void SplitBibAndName(std::string_view cell, std::string_view& bib, std::string_view& name);

// The rider on `row` (counted as the grid's cells are, headings included)
// of `grid`, one of `data`'s grids; nothing for a grid or row that names
// nobody.
std::optional<RowRider> RiderOnRow(const ScreenData& data, const GridModel& grid, int row);
