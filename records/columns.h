// The columns of every event screen's grids, described once: the heading a
// screen shows, the width it draws the column at, and the tag whose value a
// record line writes into it. Read by the screens, the record rules and the
// tests alike.
#pragma once

#include <array>
#include <string_view>

struct Column {
  std::string_view heading;
  int width;                         // pixels; 0 hides the column
  std::string_view tag = {};         // empty: no record writes the column by tag
  std::string_view joined_tag = {};  // a second tag, its value after one blank
};

// Scratch / keirin. The heat grid has labels down column 0 and values beside
// them; the competitor grid one line per list position below its headings.
inline constexpr std::array<Column, 2> kHeatColumns = {{{"", 140}, {"", 400}}};
inline constexpr std::array<std::string_view, 3> kHeatLabels = {"Heat Title:", "Time:", "Speed:"};
inline constexpr std::array<Column, 6> kCompetitorColumns = {{
    {"Rank", 60, "{rank}"},
    {"Bib", 60, "{bib}"},
    {"Competitor", 360, "{name}"},
    {"NAT", 60, "{nat}"},
    {"Status", 60, "{status}"},
    {"Laps-", 60, "{laps}"},
}};
inline constexpr int kCompetitorRows = 51;  // headings and list positions 0 to 49

// Points race. Two values ride along in zero-width columns; the name column
// doubles on screens wider than 800 pixels.
inline constexpr std::array<Column, 8> kStandingsColumns = {{
    {"Rank", 40, "{rnk}"},
    {"Name", 120, "{bib}", "{name}"},
    {"Status", 40, "{status}"},
    {"Pts", 40, "{pts}"},
    {"Laps", 40, "{laps}"},
    {"", 0, "{vics}"},
    {"", 0, "{secs}"},
    {"Final", 40, "{final}"},
}};
inline constexpr int kStandingsRows = 60;  // headings and positions 0 to 58
inline constexpr int kWideStandingsNameWidth = 240;
inline constexpr std::array<Column, 3> kSprintResultColumns = {{
    {"Rank", 60},
    {"Name", 180},
    {"Points", 60},
}};
inline constexpr int kSprintCount = 30;
inline constexpr int kSprintPlaces = 5;
inline constexpr int kSprintStoreColumns = 15;

// Sprint. Headings down column 0; racers in rows 0 to 3, then time and speeds.
inline constexpr std::array<Column, 3> kSprintHeatColumns = {{{"", 128}, {"", 64}, {"", 320}}};
inline constexpr std::array<std::string_view, 7> kSprintHeatLabels = {"Racers", "",    "",   "",
                                                                      "Time",   "KMH", "MPH"};

// Time trial. The standings' heading row stays empty; its rank column is a
// heading column. Lap tables take numbered tags: lap i's "To go" is "{ltg" i "}".
inline constexpr std::array<Column, 4> kTimeTrialStandingsColumns = {{
    {"", 40, "{rnk}"},
    {"", 150, "{name}"},
    {"", 85, "{score}"},
    {"", 70, "{dif}"},
}};
inline constexpr int kTimeTrialStandingsRows = 100;  // heading row and positions 0 to 98
inline constexpr std::array<Column, 3> kLapColumns = {{
    {"ToGo", 30, "{ltg"},
    {"Net", 85, "{n"},
    {"Diff", 60, "{d"},
}};
inline constexpr int kLaps = 41;
inline constexpr int kSummaryRows = 4;  // name, time line, laps to go, distance

// Quick text: eight lines of large type.
inline constexpr int kQuickTextLines = 8;
