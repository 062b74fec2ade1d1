// Quick-text records: eight lines of free text, comma fields 2 to 9 of the
// whole record.
#include "records/families.h"
#include "records/tag_cells.h"

#include <array>

namespace {

constexpr auto kLineCells = [] {
  std::array<TagCell, kQuickTextLines> cells{};
  for (int line = 0; line < kQuickTextLines; ++line) {
    cells[line] = {.row = line, .comma_field = line + 2};
  }
  return cells;
}();

}  // namespace

FamilyResult HandleQuickTextRecord(const RecordTags& record, QuickTextData& data,
                                   ScreenWindow& window, WriteReport& written) {
  window.ShowAndRaise();
  WriteCells(kLineCells, record, data.lines);
  written.Write(part::kQuickText);
  return FamilyResult::kContinue;
}
