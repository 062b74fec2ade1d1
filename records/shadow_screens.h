// The record rules on screens' data that no window shows: what a datagram
// writes, for those that must know it without showing the screens (the
// relay's late-join state at the venue, race-feed publish). The same rules
// the screens run, so there is nothing to keep equal.
#pragma once

#include "records/dispatch.h"
#include "records/screen_data.h"
#include "records/write_report.h"

#include <string_view>

class ShadowScreens {
 public:
  // `log` (may be null) takes the traffic log's lines the records write.
  explicit ShadowScreens(TrafficLog* log = nullptr);
  ShadowScreens(const ShadowScreens&) = delete;
  ShadowScreens& operator=(const ShadowScreens&) = delete;

  // What `datagram` writes when a screen takes it in: the record is its
  // bytes up to the first zero byte, as the listener hands it on.
  WriteReport Take(std::string_view datagram);

  const ScreenData& Data() const { return data_; }

 private:
  class Unseen : public ScreenWindow {
   public:
    void ShowAndRaise() override {}
    void DrawPending() override {}
  };
  // The time trial's data is empty until its screen is first shown, which
  // clears it (screen_data.h): the first record that shows it does so here.
  class TimeTrialUnseen : public ScreenWindow {
   public:
    explicit TimeTrialUnseen(TimeTrialData& data) : data_(data) {}
    void ShowAndRaise() override {
      if (!shown_) {
        shown_ = true;
        data_.ClearAllPanels();
      }
    }
    void DrawPending() override {}

   private:
    TimeTrialData& data_;
    bool shown_ = false;
  };
  class NoLog : public TrafficLog {
   public:
    bool Shown() const override { return true; }
    void AddLine(std::string_view) override {}
  };

  ScreenData data_;
  Unseen unseen_;
  TimeTrialUnseen time_trial_{data_.time_trial};
  NoLog log_;
  RecordDispatcher dispatcher_;
};
