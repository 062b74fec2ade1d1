// Test doubles for the record rules: the screens' data with windows and a
// traffic log that only note what is asked of them. QtCore only: tests of
// the rules build no window.
#pragma once

#include "records/dispatch.h"
#include "records/grid_model.h"
#include "records/screen_data.h"

#include <string>
#include <string_view>
#include <vector>

// Notes every call a record family makes on its window, into a shared
// journal so the order across windows shows.
class FakeWindow : public ScreenWindow {
 public:
  FakeWindow(std::string name, std::vector<std::string>& journal)
      : name_(std::move(name)), journal_(journal) {}

  void ShowAndRaise() override { journal_.push_back("show " + name_); }
  void DrawPending() override { journal_.push_back("draw " + name_); }

 private:
  std::string name_;
  std::vector<std::string>& journal_;
};

class FakeLog : public TrafficLog {
 public:
  bool Shown() const override { return shown; }
  void AddLine(std::string_view line) override { lines.emplace_back(line); }

  bool shown = true;
  std::vector<std::string> lines;
};

// The screens' data, fake windows and log, and a dispatcher over them.
struct RecordsFixture {
  ScreenData data;
  std::vector<std::string> journal;  // "show scratch", "draw scratch", ...
  FakeWindow scratch{"scratch", journal};
  FakeWindow quick_text{"quick_text", journal};
  FakeWindow sprint{"sprint", journal};
  FakeWindow points_race{"points_race", journal};
  FakeWindow time_trial{"time_trial", journal};
  FakeLog log;
  RecordDispatcher dispatcher{
      data, {&scratch, &quick_text, &sprint, &points_race, &time_trial}, log};

  void Dispatch(std::string_view record) { dispatcher.DispatchRecord(record); }
};

// A grid's rows as text, cells joined by "|", for compact comparisons.
std::string GridRow(const GridModel& grid, int row);
std::vector<std::string> GridRows(const GridModel& grid);

// Everything the screens' data holds, one "place=text" line per non-empty
// cell or label and the chosen sprint, so a test can see that a record
// changed nothing and, when it did, where.
std::vector<std::string> Snapshot(const ScreenData& data);
