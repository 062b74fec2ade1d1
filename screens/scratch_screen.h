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
  void Build() override;
  void Prepare() override;

 private:
  ScratchData& data_;
  QGroupBox* heat_box_ = nullptr;
  QGroupBox* competitors_box_ = nullptr;
  GridView* heat_grid_ = nullptr;    // labels in column 0, values in column 1
  GridView* competitors_ = nullptr;  // headings in row 0, list position p in row p + 1
  QLabel* badge_ = nullptr;
  QLabel* banner_ = nullptr;
};
