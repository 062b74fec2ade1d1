// Counts a widget's paints and remembers how many changes the last one
// could show and what it painted.
#pragma once

#include <QEvent>
#include <QObject>
#include <QPaintEvent>
#include <QRegion>

class PaintCounter : public QObject {
 public:
  int paints = 0;
  int changes = 0;
  int changes_painted = 0;
  QRegion last_painted;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      changes_painted = changes;
      last_painted = static_cast<QPaintEvent*>(event)->region();
    }
    return false;
  }
};
