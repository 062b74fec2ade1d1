#include "platform/windows.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

void SetOuterSize(QWidget* window, QSize outer) {
  window->resize(outer - kDesignFrame);
}

QRect OuterGeometry(const QWidget* window) {
  const QRect frame = window->frameGeometry();
  if (frame.size() != window->size()) {
    return frame;  // a window manager drew the frame
  }
  return QRect(frame.topLeft(), window->size() + kDesignFrame);
}

QPoint CentredOver(const QRect& over, QSize outer) {
  const int left = over.left() + (over.width() - outer.width()) / 2;
  const int top = over.top() + (over.height() - outer.height()) / 2;
  return QPoint(std::max(left, 0), std::max(top, 0));
}

QSize PrimaryScreenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry().size() : QSize(1024, 768);
}

void SetBackground(QWidget* widget, const QColor& colour) {
  QPalette colours = widget->palette();
  colours.setColor(QPalette::Window, colour);
  widget->setPalette(colours);
  widget->setAutoFillBackground(true);
}

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette colours = widget->palette();
  colours.setColor(QPalette::WindowText, colour);
  widget->setPalette(colours);
}

namespace {

class ActivationChangeFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    return event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate ||
           event->type() == QEvent::ActivationChange;
  }
};

}  // namespace

void IgnoreActivationChanges(QWidget* window) {
  window->installEventFilter(new ActivationChangeFilter(window));
}

void ShowAndRaise(QWidget* window) {
  if (window->isVisible() && !window->isMinimized() && window->isActiveWindow()) {
    return;
  }
  window->show();
  window->raise();
  window->activateWindow();
}
