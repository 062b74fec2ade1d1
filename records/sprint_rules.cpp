// Sprint records: the whole state of a sprint heat of up to four riders.
#include "records/families.h"
#include "records/tag_cells.h"

namespace {

// Rows 0 to 3 are the four racers (rank, name); column 2 of rows 4 to 6
// holds the time and the two speeds. Column 0 carries the headings.
constexpr TagCell kHeatCells[] = {
    {.tag = "{rnk1}", .col = 1, .row = 0}, {.tag = "{r1}", .col = 2, .row = 0},
    {.tag = "{rnk2}", .col = 1, .row = 1}, {.tag = "{r2}", .col = 2, .row = 1},
    {.tag = "{rnk3}", .col = 1, .row = 2}, {.tag = "{r3}", .col = 2, .row = 2},
    {.tag = "{rnk4}", .col = 1, .row = 3}, {.tag = "{r4}", .col = 2, .row = 3},
    {.tag = "{et}", .col = 2, .row = 4},   {.tag = "{spdk}", .col = 2, .row = 5},
    {.tag = "{spdm}", .col = 2, .row = 6},
};

}  // namespace

// A sprint record carries the whole heat, so every field is rewritten and a
// missing tag blanks what it would have filled.
FamilyResult HandleSprintRecord(const RecordTags& record, SprintData& data, ScreenWindow& window,
                                WriteReport& written) {
  window.ShowAndRaise();
  data.title.SetText(record.Value("{title}"));
  WriteCells(kHeatCells, record, data.heat);
  written.Write(part::kSprint);
  return FamilyResult::kContinue;
}
