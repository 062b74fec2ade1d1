// Points race records: one line of the standings, the result of one
// intermediate sprint, or both; or a request to clear the screen.
#include "platform/string_grid.h"
#include "platform/windows.h"
#include "records/record_families.h"
#include "records/record_text.h"
#include "screens/commenta_pts.h"

#include <QComboBox>

#include <string>
#include <string_view>

namespace {

constexpr int kLastStandingsPosition = 58;  // row 59, the grid's last
constexpr int kLastSprint = 29;
constexpr int kSprintRiders = 5;

// The standings line, column by column. Column 1 joins the bib number and
// the name with one blank, which stays even when both are missing.
struct StandingsColumn {
  std::string_view tag;
  std::string_view joined_tag;
};
constexpr StandingsColumn kStandingsColumns[] = {
    {"{rnk}", ""},  {"{bib}", "{name}"}, {"{status}", ""}, {"{pts}", ""},
    {"{laps}", ""}, {"{vics}", ""},      {"{secs}", ""},   {"{final}", ""},
};

void WriteStandings(Tptsrace_commentator_form& screen, const RecordTags& record) {
  StringGrid& standings = *screen.StringGrid1;
  const int position = ReadInteger(record.Value("{standings}"));
  if (position == 0) {
    // Position 0 starts a new table; the heading row stays.
    for (int row = 1; row < standings.RowCount(); ++row) {
      for (int col = 0; col < standings.ColCount(); ++col) {
        standings.SetCell(col, row, "");
      }
    }
  }
  if (position < 0 || position > kLastStandingsPosition) {
    return;
  }
  int col = 0;
  for (const StandingsColumn& column : kStandingsColumns) {
    std::string value(record.Value(column.tag));
    if (!column.joined_tag.empty()) {
      value += ' ';
      value += record.Value(column.joined_tag);
    }
    standings.SetCell(col++, position + 1, value);
  }
}

void WriteSprint(Tptsrace_commentator_form& screen, const RecordTags& record) {
  const int sprint = ReadInteger(record.Value("{sprint}"));
  if (sprint >= 0 && sprint <= kLastSprint) {
    const std::string_view name = record.Value("{sname}");
    // Renaming an entry leaves the commentator's choice where it was.
    screen.ComboBox1->setItemText(
        sprint, QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    screen.ComboBox1->update();
    for (int rider = 1; rider <= kSprintRiders; ++rider) {
      screen.StringGrid3->SetCell(2 * rider - 2, sprint, record.Value(NumberedTag("{name", rider)));
      screen.StringGrid3->SetCell(2 * rider - 1, sprint, record.Value(NumberedTag("{pts", rider)));
    }
  }
  screen.ShowSelectedSprint();
}

}  // namespace

FamilyResult HandlePointsRaceRecord(const EventScreens& screens, const RecordTags& record) {
  if (screens.points_race == nullptr) {
    return FamilyResult::kContinue;
  }
  Tptsrace_commentator_form& screen = *screens.points_race;
  ShowAndRaise(&screen);
  if (record.Flag("{clr}")) {
    screen.ClearGrids();
    return FamilyResult::kEndRecord;
  }
  if (record.Has("{standings}")) {
    WriteStandings(screen, record);
  }
  if (record.Has("{sprint}")) {
    WriteSprint(screen, record);
  }
  return FamilyResult::kContinue;
}
