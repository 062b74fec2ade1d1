// The record rules on screens' data that no window shows, the way the
// program's screens end up: a screen's first showing empties it as the
// screen itself does (the time trial's lap headings come from there), so a
// replica that took the same records holds the same cells as the screens.
// Its whole state can be copied out and put back, for the history's
// checkpoints.
#pragma once

#include "records/dispatch.h"
#include "records/screen_data.h"
#include "records/screen_data_snapshot.h"
#include "records/write_report.h"

#include <cstdint>
#include <string_view>

class ScreensReplica {
 public:
  struct State {
    ScreenDataSnapshot cells;
    std::uint8_t shown = 0;  // one bit per screen, in the ScreenWindows order
    bool operator==(const State&) const = default;
  };

  ScreensReplica();
  ScreensReplica(const ScreensReplica&) = delete;
  ScreensReplica& operator=(const ScreensReplica&) = delete;

  // What `datagram` writes when a screen takes it in: the record is its
  // bytes up to the first zero byte.
  WriteReport Take(std::string_view datagram);

  State Save() const;
  void Restore(const State& state);

  const ScreenData& Data() const { return data_; }

 private:
  class FirstShowing : public ScreenWindow {
   public:
    FirstShowing(ScreensReplica& replica, int screen) : replica_(replica), screen_(screen) {}
    void ShowAndRaise() override;
    void DrawPending() override {}

   private:
    ScreensReplica& replica_;
    int screen_;
  };
  class NoLog : public TrafficLog {
   public:
    bool Shown() const override { return true; }
    void AddLine(std::string_view) override {}
  };

  ScreenData data_;
  std::uint8_t shown_ = 0;
  FirstShowing windows_[5];
  NoLog log_;
  RecordDispatcher dispatcher_;
};

// Whether a record's report starts a heat: a scratch heading or clear, a
// points race or time trial clear, new riders on the time trial's panels.
// A sprint record carries its whole heat and says nothing of a new one.
bool StartsHeat(const WriteReport& report);
