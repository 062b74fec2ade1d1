#include "platform/windows.h"

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

}  // namespace

QRect PrimaryScreenGeometry() {
  const QScreen* screen =
      ChosenScreen().isNull() ? QGuiApplication::primaryScreen() : ChosenScreen().data();
  return screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
}

bool ChooseEventScreen(const QString& name_or_number, QString& error) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  bool is_number = false;
  const int number = name_or_number.toInt(&is_number);
  QStringList names;
  for (int i = 0; i < screens.size(); ++i) {
    if ((is_number && i == number) || (!is_number && screens[i]->name() == name_or_number)) {
      ChosenScreen() = screens[i];
      return true;
    }
    names << QStringLiteral("%1 (%2)").arg(i).arg(screens[i]->name());
  }
  error = QStringLiteral("no monitor '%1'; there are: %2").arg(name_or_number, names.join(", "));
  return false;
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
