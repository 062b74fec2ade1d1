#include "platform/string_grid.h"
#include "platform/windows.h"
#include "records/record_families.h"
#include "records/record_text.h"
#include "screens/commenta_tt.h"

#include <QLabel>

#include <string>
#include <string_view>

namespace {

constexpr int kLastStandingsPosition = 98;
constexpr int kLaps = 41;
constexpr std::size_t kLineLimit = 255;
constexpr std::string_view kSeparator = "  /  ";

// Both "0" (or both "1") is the left-hand rider panel; anything else, a
// missing tag included, is the right-hand one.
int ChosenPanel(const RecordTags& record) {
  const std::string_view course = record.Value("{crs}");
  const std::string_view stack = record.Value("{stack}");
  const bool left = (course == "0" && stack == "0") || (course == "1" && stack == "1");
  return left ? 0 : 1;
}

void SetLabelBytes(QLabel& label, std::string_view bytes) {
  label.setText(QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

void WriteStandingsLine(StringGrid& standings, const RecordTags& record) {
  const int position = ReadInteger(record.Value("{standings}"));
  if (position < 0 || position > kLastStandingsPosition) {
    return;
  }
  const int row = position + 1;
  standings.SetCell(0, row, record.Value("{rnk}"));
  standings.SetCell(1, row, record.Value("{name}"));
  standings.SetCell(2, row, record.Value("{score}"));
  standings.SetCell(3, row, record.Value("{dif}"));
}

// The time, then each of difference, rank and speed that the record
// carries, kept within the 255 characters of a line.
std::string TimeLine(std::string_view time, std::string_view difference, const RecordTags& record) {
  std::string line(time);
  auto join = [&line](std::string_view part) {
    if (part.empty()) {
      return;
    }
    line += kSeparator;
    line += part;
    if (line.size() > kLineLimit) {
      line.resize(kLineLimit);
    }
  };
  join(difference);
  join(record.Value("{rank}"));
  join(record.Value("{spdk}"));
  return line;
}

void WriteRiderUpdate(const RiderPanel& panel, const RecordTags& record) {
  const std::string_view time = record.Value("{time}");
  const std::string_view difference = record.Value("{diff}");
  panel.summary->SetCell(0, 0, record.Value("{name}"));
  SetLabelBytes(*panel.time, time);
  SetLabelBytes(*panel.difference, difference);
  panel.summary->SetCell(0, 1, TimeLine(time, difference, record));
  panel.summary->SetCell(0, 2, record.Value("{ltg}"));
  panel.summary->SetCell(0, 3, record.Value("{dist}"));
  for (int lap = 1; lap <= kLaps; ++lap) {
    panel.laps->SetCell(0, lap, record.Value(NumberedTag("{ltg", lap)));
  }
}

void WriteLapTimes(const RiderPanel& panel, const RecordTags& record) {
  for (int lap = 1; lap <= kLaps; ++lap) {
    panel.laps->SetCell(1, lap, record.Value(NumberedTag("{n", lap)));
    panel.laps->SetCell(2, lap, record.Value(NumberedTag("{d", lap)));
  }
}

}  // namespace

FamilyResult HandleTimeTrialRecord(const EventScreens& screens, const RecordTags& record) {
  Ttt_commentator_form& screen = *screens.time_trial;
  ShowAndRaise(&screen);
  // Only the first of these that the record asks for is carried out.
  if (record.Flag("{clr}")) {
    screen.ClearAllPanels();
  } else if (record.Flag("{clr_racers}")) {
    screen.ClearRiderPanels();
  } else if (record.Has("{standings}")) {
    WriteStandingsLine(*screen.standings_stringgrid, record);
  } else if (record.Has("{tick-hit}")) {
    WriteRiderUpdate(screen.Panel(ChosenPanel(record)), record);
  } else if (record.Has("{audit}")) {
    WriteLapTimes(screen.Panel(ChosenPanel(record)), record);
  }
  // The time trial family is the last, so its clearing ends nothing more.
  return FamilyResult::kContinue;
}
