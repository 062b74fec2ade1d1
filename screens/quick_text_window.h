// The QD Type commentator window: eight lines of free text in large type,
// filled by quick-text records. Closing it only hides it.
#pragma once

#include "screens/event_screen.h"

class TextList;

class QuickTextWindow : public EventScreen {
  Q_OBJECT

 public:
  static constexpr QSize kOuterSize{966, 630};
  static constexpr QSize kDesignClient{958, 603};

  QuickTextWindow(QuickTextData& screen_data, const QWidget* main_window);

 private:
  void ShowLines(int first, int last);

  QuickTextData& data_;
  TextList* lines_;
};
