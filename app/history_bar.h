// The history bar over the top of the main window: the shown moment's time,
// a slider over the session kept, step buttons and "Live". It only shows and
// asks; HistoryMode does the stepping.
#pragma once

#include <QWidget>

#include <cstdint>

class QLabel;
class QPushButton;
class QSlider;

class HistoryBar : public QWidget {
  Q_OBJECT

 public:
  explicit HistoryBar(QWidget* parent);

  // The session kept runs from moment `begin` to `end`; `shown` is on view.
  void Show(std::uint64_t begin, std::uint64_t end, std::uint64_t shown, const QString& time_text);
  QString TimeText() const;

 signals:
  void MomentChosen(std::uint64_t moment);
  void StepChosen(int records);  // -1 or +1
  void HeatChosen(int heats);    // -1 or +1
  void LiveChosen();

 private:
  QLabel* time_;
  QSlider* slider_;
  std::uint64_t begin_ = 0;
};
