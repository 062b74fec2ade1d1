// The sprint screen: a sprint heat's title, up to four racers with their
// ranks, and the ride's time and speeds, in large bold type on a dark grid.
#pragma once

#include "screens/event_screen.h"

class GridView;
class QGroupBox;
class QLabel;

class SprintScreen : public EventScreen {
  Q_OBJECT

 public:
  static constexpr QSize kOuterSize{778, 574};
  static constexpr QSize kDesignClient{770, 547};

  SprintScreen(SprintData& screen_data, const QWidget* main_window);

 protected:
  void Build() override;

 private:
  SprintData& data_;
  QGroupBox* heat_box_ = nullptr;
  GridView* heat_grid_ = nullptr;
  QLabel* picture_ = nullptr;
  QLabel* title_ = nullptr;
};
