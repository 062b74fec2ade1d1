#include "platform/window_frame.h"

#include "platform/x11.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

constexpr int kCheckInterval = 25;  // ms
// How long a window manager may take to frame a window, and to frame it
// again (some first frame a window, then redecorate it); after that the
// user moves and sizes it.
constexpr int kChecks = 80;
constexpr int kChecksUnframed = 400;
// Until the window manager has framed the window, its frame is unknown: the
// client is made this much smaller than the outer size, so a window meant to
// cover the screen is not taken for one that does not fit it (which some
// window managers maximise).
constexpr QMargins kFrameGuess(16, 48, 16, 16);

}  // namespace

QMargins FrameMargins(const QWidget* window) {
  const QWindow* handle = window->windowHandle();
  return handle != nullptr ? handle->frameMargins() : QMargins();
}

QRect OuterGeometry(const QWidget* window) {
  return window->geometry().marginsAdded(FrameMargins(window));
}

WindowFrame::WindowFrame(QWidget* window) : QObject(window), window_(window) {
  window_->installEventFilter(this);
  watch_.setInterval(kCheckInterval);
  connect(&watch_, &QTimer::timeout, this, [this] {
    Check();
    if (--checks_left_ <= 0) {
      watch_.stop();
    }
  });
}

void WindowFrame::SetOuterSize(QSize outer) {
  outer_size_ = outer;
  place_.reset();
  Request();
}

void WindowFrame::SetOuterGeometry(const QRect& outer) {
  outer_size_ = outer.size();
  place_ = outer.topLeft();
  Request();
}

void WindowFrame::Request() {
  Apply();
  if (window_->isVisible()) {
    Watch();  // otherwise its showing starts the watch
  }
}

void WindowFrame::Watch() {
  checks_left_ = framed_ || !WindowManagerRunning() ? kChecks : kChecksUnframed;
  watch_.start();
}

void WindowFrame::Apply() {
  QMargins margins = FrameMargins(window_);
  applied_margins_ = margins;
  framed_ = !margins.isNull();
  if (framed_) {
    last_frame_ = margins;
  } else if (WindowManagerRunning()) {
    // A window leaving full screen gets its frame back: the one it had is
    // the right size at once. A guess asked for first could be the window
    // manager's last word, and the toolkit does not ask again for a
    // geometry it believes the window has.
    margins = last_frame_.isNull() ? kFrameGuess : last_frame_;
  }
  const QSize client = outer_size_.shrunkBy(margins).expandedTo(QSize(0, 0));
  if (fixed_) {
    window_->setFixedSize(client);
  }
  if (place_) {
    // Placed by the client area, with the frame the window system reports
    // now: a top-level's own idea of its frame can lag behind.
    window_->setGeometry(QRect(*place_ + QPoint(margins.left(), margins.top()), client));
  } else {
    window_->resize(client);
  }
}

bool WindowFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) {
    return false;
  }
  switch (event->type()) {
    case QEvent::Show:
      Watch();
      [[fallthrough]];
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
      if (watch_.isActive()) {
        Check();
      }
      break;
    default:
      break;
  }
  return false;
}

void WindowFrame::Check() {
  if (!window_->isVisible()) {
    return;
  }
  if (window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
    watch_.stop();  // the user's choice now
    return;
  }
  if (FrameMargins(window_) != applied_margins_) {
    Apply();
    checks_left_ = kChecks;  // in case the frame changes once more
  }
}
