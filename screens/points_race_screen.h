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
  void Build() override;
  void Prepare() override;

 private:
  PointsRaceData& data_;
  QGroupBox* standings_box_ = nullptr;
  GridView* standings_ = nullptr;
  QGroupBox* sprints_box_ = nullptr;
  QComboBox* sprint_chooser_ = nullptr;  // entry k names sprint k
  GridView* shown_sprint_ = nullptr;
  QLabel* picture_ = nullptr;
};
