// The time trial screen: two rider panels, each following one rider on the
// track, with the standings between them.
#pragma once

#include "screens/event_screen.h"

class GridView;
class QGroupBox;
class QLabel;

class TimeTrialScreen : public EventScreen {
  Q_OBJECT

 public:
  static constexpr QSize kDesignClient{885, 578};

  TimeTrialScreen(TimeTrialData& screen_data, const QWidget* main_window);

 protected:
  void Build() override;
  void Prepare() override;

 private:
  struct RiderPanel {
    QGroupBox* box;
    GridView* summary;  // name, time line, laps to go, distance
    GridView* laps;     // "ToGo", "Net", "Diff" for laps 1 to 41
    QLabel* time;       // large time readout
    QLabel* difference;
  };
  RiderPanel MakeRiderPanel(RiderPanelData& panel_data, int index);

  TimeTrialData& data_;
  QLabel* picture_ = nullptr;
  RiderPanel panels_[2] = {};
  QGroupBox* standings_box_ = nullptr;
  GridView* standings_ = nullptr;
};
