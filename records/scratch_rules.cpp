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

FamilyResult HandleScratchRecord(const RecordTags& record, ScratchData& data, ScreenWindow& window,
                                 WriteReport& written) {
  window.ShowAndRaise();
  written.Write(part::kScratchShown);
  // The screen is seen as shown before any cell changes.
  window.DrawPending();

  const bool clear = record.Flag("{clr}");
  if (clear || record.Occurs("{title}")) {
    // Both empty the whole screen; a heading then writes the heat.
    data.ClearScreen();
    written.Write(part::kScratchHeat);
    written.Write(part::kScratchLines, part::kScratchPositions);
    if (clear) {
      return FamilyResult::kEndRecord;
    }
    WriteCells(kHeadingCells, record, data.heat);
    return FamilyResult::kContinue;
  }
  const int position = ReadInteger(record.Value("{list}"));
  if (position >= 0 && position <= kLastPosition) {
    WriteCells(kCompetitorCells, record, data.competitors, position + 1);
    written.Write(part::kScratchLines + position);
  }
  return FamilyResult::kContinue;
}
