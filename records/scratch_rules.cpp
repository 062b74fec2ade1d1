// Scratch / keirin records: a heat heading (title, time, speed) or one line
// of the competitor list.
#include "records/families.h"
#include "records/tag_cells.h"

namespace {

constexpr TagCell kHeadingCells[] = {
    {.tag = "{title}", .col = 1, .row = 0},
    {.tag = "{time}", .col = 1, .row = 1},
    {.tag = "{spd}", .col = 1, .row = 2},
};
constexpr auto kCompetitorCells = LineCells(kCompetitorColumns);
constexpr int kLastPosition = kCompetitorRows - 2;  // below the heading row

}  // namespace

FamilyResult HandleScratchRecord(const RecordTags& record, ScratchData& data,
                                 ScreenWindow& window) {
  window.ShowAndRaise();
  // The screen is seen as shown before any cell changes.
  window.DrawPending();

  if (record.Flag("{clr}")) {
    data.ClearScreen();
    return FamilyResult::kEndRecord;
  }
  if (record.Occurs("{title}")) {
    data.ClearScreen();
    WriteCells(kHeadingCells, record, data.heat);
    return FamilyResult::kContinue;
  }
  const int position = ReadInteger(record.Value("{list}"));
  if (position >= 0 && position <= kLastPosition) {
    WriteCells(kCompetitorCells, record, data.competitors, position + 1);
  }
  return FamilyResult::kContinue;
}
