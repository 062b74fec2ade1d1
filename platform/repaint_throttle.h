// Holds a widget's repaints to at most one per interval while its content
// keeps changing. A fast feed changes cells and lines far more often than
// anyone can read them, and every paint lays out text: the first change
// after a quiet spell paints at once, a change soon after a paint waits for
// the rest of the interval, and the last change is always painted.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QTimer>

class QWidget;

class RepaintThrottle : public QObject {
 public:
  static constexpr int kInterval = 40;  // ms: 25 paints a second at the most

  // Repaints `target` (or parts of it) and times the interval from the
  // paints of `painted`: the target or the child the content is drawn on.
  // Owned by the target.
  RepaintThrottle(QWidget* target, QWidget* painted);

  // For a widget whose changes ask for repaints the caller does not see
  // (a list that lays out and scrolls its lines): while held, the target and
  // its children ignore update requests, and the target is repainted whole
  // when the hold ends. Call before every change.
  void ContentChanged();

  // For a caller that knows what changed: true when the repaint of `area`
  // (in `painted`'s coordinates) is held, and the box around everything held
  // will be asked for when the hold ends; false when the caller should ask
  // for it now. A box, not a region: a region of many cells costs more to
  // build than to paint.
  bool HoldRepaint(const QRect& area);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool Hold();
  void EndHold();

  QWidget* target_;
  QWidget* painted_;
  QTimer hold_;
  QElapsedTimer since_last_paint_;
  QRect held_area_;
};
