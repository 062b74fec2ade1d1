// What each event screen shows, as data: grid models, label texts and the
// sprint chooser's entries. The record rules write it and call its clear
// operations; the screens observe it and paint it. QtCore only.
#pragma once

#include "records/columns.h"
#include "records/grid_model.h"

#include <QObject>

#include <string>
#include <string_view>

// The text of a label, as bytes.
class ScreenText : public QObject {
  Q_OBJECT

 public:
  const std::string& Text() const { return text_; }
  void SetText(std::string_view text);

 signals:
  void Changed();

 private:
  std::string text_;
};

// What a record family asks of its window.
class ScreenWindow {
 public:
  // Shows the window (which prepares it when it was hidden) and brings it
  // to the front.
  virtual void ShowAndRaise() = 0;
  // Has the window drawn as it stands now, before a record changes it;
  // runs no event loop, so nothing else happens in the middle of a record.
  virtual void DrawPending() = 0;

 protected:
  ~ScreenWindow() = default;
};

// Scratch / keirin: the heat's title, time and speed, and the competitors.
struct ScratchData {
  ScratchData();
  // Empties both grids and writes the labels and the competitor headings.
  void ClearScreen();

  GridModel heat{static_cast<int>(kHeatColumns.size()), static_cast<int>(kHeatLabels.size())};
  GridModel competitors{static_cast<int>(kCompetitorColumns.size()), kCompetitorRows, 0, 1};
};

// Points race: the standings, and intermediate sprints kept in a store and
// shown one at a time, as the commentator chooses.
class PointsRaceData {
 public:
  PointsRaceData();

  // Copies the chosen sprint from the store into `shown_sprint`.
  void ShowSelectedSprint();
  // The commentator's choice of sprint; shows it.
  void ChooseSprint(int sprint);
  int ChosenSprint() const { return chosen_sprint_; }
  // What `shown_sprint` shows at `col`, `place` (1 to kSprintPlaces) when
  // `sprint` is chosen.
  std::string ShownSprintCell(int sprint, int col, int place) const;
  // Empties every cell of the three grids, headings included; the chooser
  // keeps its entries and its choice.
  void ClearGrids();

  GridModel standings{static_cast<int>(kStandingsColumns.size()), kStandingsRows, 0, 1};
  GridModel sprint_names{1, kSprintCount};  // the chooser's entries: row k names sprint k
  GridModel shown_sprint{static_cast<int>(kSprintResultColumns.size()), kSprintPlaces + 1, 0, 1};
  GridModel sprint_store{kSprintStoreColumns, kSprintCount};  // never drawn: row k is sprint k

 private:
  int chosen_sprint_ = 0;
};

// Sprint: a heat's title and up to four racers, time and speeds.
struct SprintData {
  SprintData();

  ScreenText title;
  GridModel heat{static_cast<int>(kSprintHeatColumns.size()),
                 static_cast<int>(kSprintHeatLabels.size()), 1, 0};
};

// Time trial: two rider panels and the standings between them.
struct RiderPanelData {
  GridModel summary{1, kSummaryRows};  // name, time line, laps to go, distance
  GridModel laps{static_cast<int>(kLapColumns.size()), kLaps + 1, 0, 1};
  ScreenText time;
  ScreenText difference;
};

// Empty until the screen is first shown, which clears it.
struct TimeTrialData {
  // Empties both rider panels and writes the lap tables' headings again.
  void ClearRiderPanels();
  // Empties the standings below their heading row, then the rider panels.
  void ClearAllPanels();

  GridModel standings{static_cast<int>(kTimeTrialStandingsColumns.size()), kTimeTrialStandingsRows,
                      1, 1};
  RiderPanelData panels[2];  // 0 on the left, 1 on the right
};

// Quick text: eight lines of free text.
struct QuickTextData {
  GridModel lines{1, kQuickTextLines};
};

// Everything the event screens show, owned for the whole run.
struct ScreenData {
  ScratchData scratch;
  QuickTextData quick_text;
  SprintData sprint;
  PointsRaceData points_race;
  TimeTrialData time_trial;
};

// The windows that show it, in the same order.
struct ScreenWindows {
  ScreenWindow* scratch = nullptr;
  ScreenWindow* quick_text = nullptr;
  ScreenWindow* sprint = nullptr;
  ScreenWindow* points_race = nullptr;
  ScreenWindow* time_trial = nullptr;
};
