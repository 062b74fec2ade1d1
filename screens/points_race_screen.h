// The points race screen: the standings on the left, and on the right the
// result of one intermediate sprint that the commentator picks from a list.
#pragma once

#include "screens/event_screen.h"

class GridView;
class QComboBox;
class QGroupBox;
class QLabel;

class PointsRaceScreen : public EventScreen {
  Q_OBJECT

 public:
  static constexpr QSize kDesignClient{792, 573};

  PointsRaceScreen(PointsRaceData& screen_data, const QWidget* main_window);

  // The step of Prepare that depend on the primary screen: the name
  // column widens on screens wider than 800 pixels.
  void FitToScreen(QSize screen);

 protected:
  void Prepare() override;

 private:
  PointsRaceData& data_;
  QGroupBox* standings_box_;
  GridView* standings_;
  QGroupBox* sprints_box_;
  QComboBox* sprint_chooser_;  // entry k names sprint k
  GridView* shown_sprint_;
  QLabel* picture_;
};
