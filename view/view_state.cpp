#include "view/view_state.h"

#include "records/columns.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <span>

namespace view {

namespace {

QJsonValue Text(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QJsonArray Widths(std::span<const Column> columns) {
  QJsonArray widths;
  for (const Column& column : columns) {
    widths.append(column.width);
  }
  return widths;
}

// Every cell, row by row; trailing empty rows are left off ("row_count"
// says how many the grid has), so an empty list costs a few bytes.
QJsonObject Grid(const GridModel& grid, std::span<const Column> columns = {},
                 const RowBib& bibs = {}) {
  int used = 0;
  for (int row = 0; row < grid.RowCount(); ++row) {
    for (int col = 0; col < grid.ColCount(); ++col) {
      if (!grid.Cell(col, row).empty()) {
        used = row + 1;
        break;
      }
    }
  }
  QJsonArray rows;
  for (int row = 0; row < used; ++row) {
    QJsonArray cells;
    for (int col = 0; col < grid.ColCount(); ++col) {
      cells.append(Text(grid.Cell(col, row)));
    }
    rows.append(cells);
  }
  QJsonObject object{{"col_count", grid.ColCount()},
                     {"row_count", grid.RowCount()},
                     {"fixed_cols", grid.FixedCols()},
                     {"fixed_rows", grid.FixedRows()},
                     {"rows", rows}};
  if (!columns.empty()) {
    object.insert("widths", Widths(columns));
  }
  if (bibs) {
    QJsonArray row_bibs;
    bool any = false;
    for (int row = 0; row < used; ++row) {
      const std::string bib = bibs(grid, row);
      any = any || !bib.empty();
      row_bibs.append(Text(bib));
    }
    if (any) {
      object.insert("bibs", row_bibs);
    }
  }
  return object;
}

QJsonArray Column0(const GridModel& grid) {
  QJsonArray lines;
  for (int row = 0; row < grid.RowCount(); ++row) {
    lines.append(Text(grid.Cell(0, row)));
  }
  return lines;
}

QJsonObject Scratch(const ScratchData& data, const RowBib& bibs) {
  return {{"heat", Grid(data.heat, kHeatColumns)},
          {"competitors", Grid(data.competitors, kCompetitorColumns, bibs)}};
}

// Every sprint as the desktop would show it when chosen, so the browser
// chooses one locally without knowing how the store is laid out.
QJsonObject PointsRace(const PointsRaceData& data, const RowBib& bibs) {
  QJsonArray sprints;
  for (int sprint = 0; sprint < kSprintCount; ++sprint) {
    QJsonArray places;
    for (int place = 1; place <= kSprintPlaces; ++place) {
      QJsonArray cells;
      for (int col = 0; col < static_cast<int>(kSprintResultColumns.size()); ++col) {
        cells.append(Text(data.ShownSprintCell(sprint, col, place)));
      }
      places.append(cells);
    }
    sprints.append(places);
  }
  return {{"standings", Grid(data.standings, kStandingsColumns, bibs)},
          {"wide_name_width", kWideStandingsNameWidth},
          {"sprint_names", Column0(data.sprint_names)},
          {"chosen_sprint", data.ChosenSprint()},
          {"shown_sprint", Grid(data.shown_sprint, kSprintResultColumns, bibs)},
          {"sprints", sprints}};
}

QJsonObject Sprint(const SprintData& data, const RowBib& bibs) {
  return {{"title", Text(data.title.Text())}, {"heat", Grid(data.heat, kSprintHeatColumns, bibs)}};
}

QJsonObject TimeTrial(const TimeTrialData& data, const RowBib& bibs) {
  QJsonArray panels;
  for (const RiderPanelData& panel : data.panels) {
    QJsonObject object{{"summary", Column0(panel.summary)},
                       {"laps", Grid(panel.laps, kLapColumns)},
                       {"time", Text(panel.time.Text())},
                       {"difference", Text(panel.difference.Text())}};
    if (const std::string bib = bibs ? bibs(panel.summary, 0) : std::string(); !bib.empty()) {
      object.insert("bib", Text(bib));
    }
    panels.append(object);
  }
  return {{"standings", Grid(data.standings, kTimeTrialStandingsColumns, bibs)},
          {"panels", panels}};
}

std::string Document(Screen screen, QJsonObject content, const Stamp& stamp) {
  content.insert("format", "orvane-view");
  content.insert("version", kFormatVersion);
  content.insert("screen", QString::fromLatin1(kScreenNames[static_cast<int>(screen)]));
  // Doubles carry integers exactly up to 2^53: sequence numbers and
  // microseconds since 1970 stay well below for centuries.
  content.insert("sequence", static_cast<double>(stamp.sequence));
  content.insert("received_us", static_cast<double>(stamp.received_us));
  content.insert("published_us", static_cast<double>(stamp.published_us));
  content.insert("forward", static_cast<double>(stamp.forward));
  return QJsonDocument(content).toJson(QJsonDocument::Compact).toStdString();
}

bool Any(const WriteReport& report, int first, int count) {
  for (int part = first; part < first + count; ++part) {
    if (report.Wrote(part)) {
      return true;
    }
  }
  return false;
}

}  // namespace

Touched ScreensTouched(const WriteReport& report) {
  Touched touched;
  const auto set = [&](ScreenSet& screens, Screen screen, bool yes) {
    if (yes) {
      screens.set(static_cast<std::size_t>(screen));
    }
  };
  set(touched.written, Screen::kScratch, Any(report, part::kScratchShown, part::kQuickText));
  set(touched.written, Screen::kQuickText, report.Wrote(part::kQuickText));
  set(touched.written, Screen::kSprint, report.Wrote(part::kSprint));
  set(touched.written, Screen::kPointsRace,
      Any(report, part::kPointsShown, part::kTimeTrialShown - part::kPointsShown));
  set(touched.written, Screen::kTimeTrial,
      Any(report, part::kTimeTrialShown, part::kCount - part::kTimeTrialShown));
  // The quick text and the sprint are brought forward by every record of
  // theirs, and such a record rewrites them whole.
  set(touched.forward, Screen::kScratch, report.Wrote(part::kScratchShown));
  set(touched.forward, Screen::kQuickText, report.Wrote(part::kQuickText));
  set(touched.forward, Screen::kSprint, report.Wrote(part::kSprint));
  set(touched.forward, Screen::kPointsRace, report.Wrote(part::kPointsShown));
  set(touched.forward, Screen::kTimeTrial, report.Wrote(part::kTimeTrialShown));
  return touched;
}

std::string ScreenDocument(Screen screen, const ScreenData& data, const Stamp& stamp,
                           const RowBib& bibs) {
  switch (screen) {
    case Screen::kScratch:
      return Document(screen, Scratch(data.scratch, bibs), stamp);
    case Screen::kPointsRace:
      return Document(screen, PointsRace(data.points_race, bibs), stamp);
    case Screen::kSprint:
      return Document(screen, Sprint(data.sprint, bibs), stamp);
    case Screen::kTimeTrial:
      return Document(screen, TimeTrial(data.time_trial, bibs), stamp);
    case Screen::kQuickText:
      return Document(screen, {{"lines", Column0(data.quick_text.lines)}}, stamp);
    case Screen::kLog:
    case Screen::kStatus:
      break;
  }
  return {};
}

std::string LogDocument(const std::deque<std::string>& lines, const Stamp& stamp) {
  QJsonArray array;
  for (const std::string& line : lines) {
    array.append(Text(line));
  }
  return Document(Screen::kLog, {{"lines", array}}, stamp);
}

std::string StatusDocument(const FeedState& feed, const Stamp& stamp) {
  return Document(Screen::kStatus, {{"state", Text(feed.state)}, {"text", Text(feed.text)}}, stamp);
}

}  // namespace view
