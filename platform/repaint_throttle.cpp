#include "platform/repaint_throttle.h"

#include <QEvent>
#include <QWidget>

RepaintThrottle::RepaintThrottle(QWidget* target, QWidget* painted)
    : QObject(target), target_(target), painted_(painted) {
  hold_.setSingleShot(true);
  connect(&hold_, &QTimer::timeout, this, &RepaintThrottle::EndHold);
  painted_->installEventFilter(this);
}

bool RepaintThrottle::Hold() {
  if (hold_.isActive()) {
    return true;
  }
  if (!since_last_paint_.isValid()) {
    return false;
  }
  const qint64 since = since_last_paint_.elapsed();
  if (since >= kInterval) {
    return false;  // paints with the next pass of the event loop
  }
  hold_.start(static_cast<int>(kInterval - since));
  return true;
}

void RepaintThrottle::ContentChanged() {
  if (Hold()) {
    target_->setUpdatesEnabled(false);
  }
}

bool RepaintThrottle::HoldRepaint(const QRect& area) {
  if (!Hold()) {
    return false;
  }
  held_area_ |= area;
  return true;
}

bool RepaintThrottle::eventFilter(QObject* watched, QEvent* event) {
  if (watched == painted_ && event->type() == QEvent::Paint) {
    since_last_paint_.start();
  }
  return false;
}

void RepaintThrottle::EndHold() {
  if (!target_->updatesEnabled()) {
    target_->setUpdatesEnabled(true);  // asks for the whole target
  }
  if (!held_area_.isEmpty()) {
    painted_->update(held_area_);
    held_area_ = QRect();
  }
}
