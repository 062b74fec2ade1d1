#include "records/tag_cells.h"

#include "records/grid_model.h"
#include "records/record_text.h"

std::string CellValue(const TagCell& cell, const RecordTags& record) {
  if (cell.comma_field > 0) {
    return CommaField(cell.comma_field, record.Text());
  }
  if (cell.number > 0) {
    return std::string(record.Value(NumberedTag(cell.tag, cell.number)));
  }
  std::string value(record.Value(cell.tag));
  if (!cell.joined_tag.empty()) {
    value += ' ';
    value += record.Value(cell.joined_tag);
  }
  return value;
}

void WriteCells(std::span<const TagCell> cells, const RecordTags& record, GridModel& grid,
                int first_row) {
  for (const TagCell& cell : cells) {
    const int row = first_row + cell.row;
    if (cell.number == 0 && cell.comma_field == 0 && cell.joined_tag.empty()) {
      grid.SetCell(cell.col, row, record.Value(cell.tag));  // no copy for a plain tag
    } else {
      grid.SetCell(cell.col, row, CellValue(cell, record));
    }
  }
}
