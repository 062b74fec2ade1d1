// DispatchRecord: hands each accepted record to its families in their fixed
// order and writes what they carry into the screens' data.
#pragma once

#include "records/screen_data.h"
#include "records/write_report.h"

#include <string_view>

// The main window's traffic log, as the records side sees it.
class TrafficLog {
 public:
  // Records are handled only while the main window, and so the log, shows.
  virtual bool Shown() const = 0;
  // Adds a line, then keeps the log to its last 30 lines.
  virtual void AddLine(std::string_view line) = 0;

 protected:
  ~TrafficLog() = default;
};

class RecordDispatcher {
 public:
  RecordDispatcher(ScreenData& data, const ScreenWindows& windows, TrafficLog& log)
      : data_(data), windows_(windows), log_(log) {}

  // Never fails and keeps nothing between records, whatever the text.
  // Says what the record wrote.
  WriteReport DispatchRecord(std::string_view text);

  const ScreenData& Data() const { return data_; }

 private:
  ScreenData& data_;
  ScreenWindows windows_;
  TrafficLog& log_;
};

inline constexpr std::string_view kHeartbeatLine = "Heartbeat received from SERVER!!";
