// Each screen's state as a JSON document for the browser view: what the
// record rules wrote into the screens' data, cell by cell, with the
// headings and column widths the desktop draws. The browser only draws it;
// it never reads a record. The format is in README.md, "View messages".
// QtCore only.
#pragma once

#include "records/screen_data.h"
#include "records/write_report.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace view {

inline constexpr int kFormatVersion = 1;

enum class Screen { kScratch, kPointsRace, kSprint, kTimeTrial, kQuickText, kLog, kStatus };
inline constexpr int kScreenCount = 7;
inline constexpr std::array<std::string_view, kScreenCount> kScreenNames = {
    "scratch", "points_race", "sprint", "time_trial", "quick_text", "log", "status"};

using ScreenSet = std::bitset<kScreenCount>;

// The screens a record rewrote something of, and those it brought forward.
struct Touched {
  ScreenSet written;
  ScreenSet forward;
};
Touched ScreensTouched(const WriteReport& report);

// What every document carries besides the screen's own content.
struct Stamp {
  std::uint64_t sequence = 0;     // the last record the state reflects; 0: none yet
  std::int64_t received_us = 0;   // when the venue took that record in
  std::int64_t published_us = 0;  // when this document was made
  std::uint64_t forward = 0;      // the last record that brought this screen forward; 0: none
};

// The feed's state at the venue, as the status corner words it.
struct FeedState {
  std::string state;  // "waiting", "live", "quiet", "no data"
  std::string text;   // "waiting for the first record", "quiet for 20 s", ...
};

// The bib of the rider on a row of one of the data's grids, empty for none:
// the venue knows it from the rows and its start list, the page opens that
// rider's card from the row.
using RowBib = std::function<std::string(const GridModel& grid, int row)>;

// Empty for kLog and kStatus, which take their own content. With `bibs`,
// the grids that name riders carry each row's bib.
std::string ScreenDocument(Screen screen, const ScreenData& data, const Stamp& stamp,
                           const RowBib& bibs = {});
std::string LogDocument(const std::deque<std::string>& lines, const Stamp& stamp);
std::string StatusDocument(const FeedState& feed, const Stamp& stamp);

}  // namespace view
