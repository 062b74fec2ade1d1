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
int ChosenPanel(const std::string& text) {
  const std::string course = TagValue("{crs}", text);
  const std::string stack = TagValue("{stack}", text);
  const bool left = (course == "0" && stack == "0") || (course == "1" && stack == "1");
  return left ? 0 : 1;
}

void SetLabelBytes(QLabel& label, const std::string& bytes) {
  label.setText(QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

void WriteStandingsLine(StringGrid& standings, const std::string& text) {
  const int position = ReadInteger(TagValue("{standings}", text));
  if (position < 0 || position > kLastStandingsPosition) {
    return;
  }
  const int row = position + 1;
  standings.SetCell(0, row, TagValue("{rnk}", text));
  standings.SetCell(1, row, TagValue("{name}", text));
  standings.SetCell(2, row, TagValue("{score}", text));
  standings.SetCell(3, row, TagValue("{dif}", text));
}

// The time, then each of difference, rank and speed that the record
// carries, kept within the 255 characters of a line.
std::string TimeLine(const std::string& time, const std::string& difference,
                     const std::string& text) {
  std::string line = time;
  auto join = [&line](const std::string& part) {
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
  join(TagValue("{rank}", text));
  join(TagValue("{spdk}", text));
  return line;
}

void WriteRiderUpdate(const RiderPanel& panel, const std::string& text) {
  const std::string time = TagValue("{time}", text);
  const std::string difference = TagValue("{diff}", text);
  panel.summary->SetCell(0, 0, TagValue("{name}", text));
  SetLabelBytes(*panel.time, time);
  SetLabelBytes(*panel.difference, difference);
  panel.summary->SetCell(0, 1, TimeLine(time, difference, text));
  panel.summary->SetCell(0, 2, TagValue("{ltg}", text));
  panel.summary->SetCell(0, 3, TagValue("{dist}", text));
  for (int lap = 1; lap <= kLaps; ++lap) {
    panel.laps->SetCell(0, lap, TagValue(NumberedTag("{ltg", lap), text));
  }
}

void WriteLapTimes(const RiderPanel& panel, const std::string& text) {
  for (int lap = 1; lap <= kLaps; ++lap) {
    panel.laps->SetCell(1, lap, TagValue(NumberedTag("{n", lap), text));
    panel.laps->SetCell(2, lap, TagValue(NumberedTag("{d", lap), text));
  }
}

}  // namespace

FamilyResult HandleTimeTrialRecord(const EventScreens& screens, const std::string& text) {
  Ttt_commentator_form& screen = *screens.time_trial;
  ShowAndRaise(&screen);
  // Only the first of these that the record asks for is carried out.
  if (FlagSet("{clr}", text)) {
    screen.ClearAllPanels();
  } else if (FlagSet("{clr_racers}", text)) {
    screen.ClearRiderPanels();
  } else if (HasValue("{standings}", text)) {
    WriteStandingsLine(*screen.standings_stringgrid, text);
  } else if (HasValue("{tick-hit}", text)) {
    WriteRiderUpdate(screen.Panel(ChosenPanel(text)), text);
  } else if (HasValue("{audit}", text)) {
    WriteLapTimes(screen.Panel(ChosenPanel(text)), text);
  }
  // The time trial family is the last, so its clearing ends nothing more.
  return FamilyResult::kContinue;
}
