// The scratch / keirin screen: the heat's title, time and speed above the
// list of competitors with rank, bib, name, nation, status and laps.
#pragma once

#include "screens/event_screen.h"

class GridView;
class QGroupBox;
class QLabel;

class ScratchScreen : public EventScreen {
  Q_OBJECT

 public:
  static constexpr QSize kOuterSize{848, 693};
  static constexpr QSize kClientSize{840, 666};

  ScratchScreen(ScratchData& screen_data, const QWidget* main_window);

 protected:
  void Prepare() override;

 private:
  ScratchData& data_;
  QGroupBox* heat_box_;
  QGroupBox* competitors_box_;
  GridView* heat_grid_;    // labels in column 0, values in column 1
  GridView* competitors_;  // headings in row 0, list position p in row p + 1
  QLabel* badge_;
  QLabel* banner_;
};
