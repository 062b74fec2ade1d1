// Scratch / keirin records: a heat heading (title, time, speed) or one line
// of the competitor list, written into the scratch / keirin screen.
#include "platform/string_grid.h"
#include "platform/windows.h"
#include "records/record_families.h"
#include "records/record_text.h"
#include "screens/commentator_scratchf.h"

#include <QCoreApplication>
#include <QPointer>

#include <string_view>

namespace {

struct TagCell {
  std::string_view tag;
  int index;  // the row of the heat grid, or the column of the competitor grid
};

constexpr TagCell kHeatCells[] = {{"{title}", 0}, {"{time}", 1}, {"{spd}", 2}};
constexpr int kHeatValueCol = 1;

constexpr TagCell kCompetitorCells[] = {
    {"{rank}", 0}, {"{bib}", 1}, {"{name}", 2}, {"{nat}", 3}, {"{status}", 4}, {"{laps}", 5},
};

void WriteHeatHeading(Tcommentator_scratch& screen, const RecordTags& record) {
  screen.ClearScreen();
  for (const TagCell& cell : kHeatCells) {
    screen.StringGrid1->SetCell(kHeatValueCol, cell.index, record.Value(cell.tag));
  }
}

void WriteCompetitorLine(Tcommentator_scratch& screen, const RecordTags& record) {
  StringGrid& grid = *screen.StringGrid2;
  const int position = ReadInteger(record.Value("{list}"));
  const int last_position = grid.RowCount() - 2;  // below the heading row
  if (position < 0 || position > last_position) {
    return;
  }
  for (const TagCell& cell : kCompetitorCells) {
    grid.SetCell(cell.index, position + 1, record.Value(cell.tag));
  }
}

}  // namespace

FamilyResult HandleScratchRecord(const EventScreens& screens, const RecordTags& record) {
  // Held apart from `screens`: the event loop runs below, and the window
  // must not be written after it has gone.
  const QPointer<Tcommentator_scratch> screen = screens.scratch;
  if (screen.isNull()) {
    return FamilyResult::kContinue;
  }
  ShowAndRaise(screen);
  // The newly shown screen is drawn before any cell changes; records that
  // arrive meanwhile are handled here, nested, each with its own text and index.
  QCoreApplication::processEvents();
  if (screen.isNull()) {
    return FamilyResult::kContinue;
  }

  if (record.Flag("{clr}")) {
    screen->ClearScreen();
    return FamilyResult::kEndRecord;
  }
  if (record.Occurs("{title}")) {
    WriteHeatHeading(*screen, record);
  } else {
    WriteCompetitorLine(*screen, record);
  }
  return FamilyResult::kContinue;
}
