#include "platform/windows.h"

#include "platform/monitor_choice.h"
#include "platform/x11.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QPoint CentredOver(const QRect& over, QSize outer) {
  const int left = over.left() + (over.width() - outer.width()) / 2;
  const int top = over.top() + (over.height() - outer.height()) / 2;
  return QPoint(std::max(left, 0), std::max(top, 0));
}

namespace {

QPointer<QScreen>& ChosenScreen() {
  static QPointer<QScreen> screen;
  return screen;
}

const QScreen* EventScreenMonitor() {
  return ChosenScreen().isNull() ? QGuiApplication::primaryScreen() : ChosenScreen().data();
}

}  // namespace

QRect PrimaryScreenGeometry() {
  const QScreen* screen = EventScreenMonitor();
  return screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
}

QRect PrimaryScreenAvailableGeometry() {
  const QScreen* screen = EventScreenMonitor();
  return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

bool ChooseEventScreen(const QString& name_or_number, QString& error) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  const QScreen* primary = QGuiApplication::primaryScreen();
  // Windows open on the primary monitor's X screen; its monitors are its
  // virtual siblings.
  const QList<QScreen*> own = primary != nullptr ? primary->virtualSiblings() : screens;
  QList<MonitorEntry> monitors;
  bool all_own = true;
  for (QScreen* screen : screens) {
    monitors.append({screen->name(), own.contains(screen)});
    all_own = all_own && own.contains(screen);
  }
  const int chosen =
      ChooseMonitor(monitors, name_or_number, all_own ? QString() : OtherXScreenDisplay(), error);
  if (chosen < 0) {
    return false;
  }
  ChosenScreen() = screens[chosen];
  return true;
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

namespace {

// Brings the window last held back by an open modal dialog to the front
// once the dialog closes.
class FrontAfterClose : public QObject {
  Q_OBJECT

 public:
  static void Hold(QWidget* dialog, QWidget* window) {
    auto* holder = dialog->findChild<FrontAfterClose*>(QString(), Qt::FindDirectChildrenOnly);
    if (holder == nullptr) {
      holder = new FrontAfterClose(dialog);
    }
    holder->window_ = window;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == parent() && event->type() == QEvent::Hide && !window_.isNull()) {
      window_->raise();
      window_->activateWindow();
      deleteLater();
    }
    return false;
  }

 private:
  explicit FrontAfterClose(QWidget* dialog) : QObject(dialog) { dialog->installEventFilter(this); }

  QPointer<QWidget> window_;
};

}  // namespace

bool ShowAndRaise(QWidget* window) {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr && window->isVisible() && !window->isMinimized() &&
      window->isActiveWindow()) {
    return false;
  }
  if (window->isMinimized()) {
    window->showNormal();
  } else {
    window->show();
  }
  window->raise();
  if (modal != nullptr && modal != window) {
    // Some platforms activate a window as it is shown.
    modal->raise();
    modal->activateWindow();
    FrontAfterClose::Hold(modal, window);
    return true;
  }
  window->activateWindow();
  return true;
}

#include "windows.moc"
