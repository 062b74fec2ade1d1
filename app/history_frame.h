// What an event screen wears while it shows an earlier moment: a coloured
// frame round the whole window and the moment's time at the top, over the
// screen's picture and controls without taking a click or the focus.
#pragma once

#include <QWidget>

class QLabel;

class HistoryFrame : public QWidget {
  Q_OBJECT

 public:
  static inline const QColor kColour{255, 140, 0};

  // Follows `screen`'s size; hidden until Show.
  explicit HistoryFrame(QWidget* screen);

  void Show(const QString& time_text);
  QString Text() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Place();

  QLabel* label_;
};
