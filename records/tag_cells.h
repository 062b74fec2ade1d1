// The one table type from a record's values to grid cells, which every
// record family writes through.
#pragma once

#include "records/columns.h"

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

class GridModel;
class RecordTags;

// One value of a record and the cell it goes to. The value is a tag's, two
// tags' joined by a blank, a numbered tag's, or a comma field of the whole
// record. `row` counts from the row the record addresses (a list position's
// row), or from 0 where the cells are fixed.
struct TagCell {
  std::string_view tag = {};  // "{name}"; with `number`, the stem of a numbered tag
  int col = 0;
  int row = 0;
  std::string_view joined_tag = {};
  int number = 0;       // > 0: the tag read is stem + number + "}", e.g. "{ltg7}"
  int comma_field = 0;  // > 0: comma field n of the whole record, no tag
};

// The value a cell receives from `record`; a missing tag gives "".
std::string CellValue(const TagCell& cell, const RecordTags& record);

// Writes every cell of the table into `grid`, `first_row` added to each row.
void WriteCells(std::span<const TagCell> cells, const RecordTags& record, GridModel& grid,
                int first_row = 0);

// A grid line: column i of `columns` takes its tag (and joined tag).
template <std::size_t N>
constexpr std::array<TagCell, N> LineCells(const std::array<Column, N>& columns) {
  std::array<TagCell, N> cells{};
  for (std::size_t i = 0; i < N; ++i) {
    cells[i] = {
        .tag = columns[i].tag, .col = static_cast<int>(i), .joined_tag = columns[i].joined_tag};
  }
  return cells;
}

// A column filled from numbered tags: stem 1 to N into rows 1 to N.
template <int N>
constexpr std::array<TagCell, N> NumberedCells(std::string_view stem, int col) {
  std::array<TagCell, N> cells{};
  for (int i = 1; i <= N; ++i) {
    cells[i - 1] = {.tag = stem, .col = col, .row = i, .number = i};
  }
  return cells;
}
