#include "platform/string_grid.h"
#include "platform/windows.h"
#include "records/record_families.h"
#include "records/record_text.h"
#include "screens/commenta_sprintr.h"

#include <QLabel>

#include <string_view>

namespace {

struct SprintCell {
  std::string_view tag;
  int col;
  int row;
};

// Rows 0 to 3 are the four racers (rank, name); column 2 of rows 4 to 6
// holds the time and the two speeds. Column 0 carries the headings.
constexpr SprintCell kSprintCells[] = {
    {"{rnk1}", 1, 0}, {"{r1}", 2, 0},   {"{rnk2}", 1, 1}, {"{r2}", 2, 1},
    {"{rnk3}", 1, 2}, {"{r3}", 2, 2},   {"{rnk4}", 1, 3}, {"{r4}", 2, 3},
    {"{et}", 2, 4},   {"{spdk}", 2, 5}, {"{spdm}", 2, 6},
};

}  // namespace

// A sprint record carries the whole heat, so every field is rewritten and a
// missing tag blanks what it would have filled.
FamilyResult HandleSprintRecord(const EventScreens& screens, const RecordTags& record) {
  Tsprintr_commentator_form& window = *screens.sprint;
  ShowAndRaise(&window);
  const std::string_view title = record.Value("{title}");
  window.Label1->setText(QString::fromLatin1(title.data(), static_cast<qsizetype>(title.size())));
  for (const SprintCell& cell : kSprintCells) {
    window.StringGrid1->SetCell(cell.col, cell.row, record.Value(cell.tag));
  }
  return FamilyResult::kContinue;
}
