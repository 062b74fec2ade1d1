// Top-level windows are designed by their outer frame: its size and, for
// some, its place. The client area is what the real frame leaves. With no
// window manager there is no frame; a window manager draws one only once it
// has mapped the window, so a size or place asked for before then is
// applied again as soon as the frame is known.
#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QTimer>

#include <optional>

class QWidget;

class WindowFrame : public QObject {
 public:
  // Owned by `window`.
  explicit WindowFrame(QWidget* window);

  // The outer size; the window stays where it is.
  void SetOuterSize(QSize outer);
  // The outer size and place.
  void SetOuterGeometry(const QRect& outer);
  // A window only the program sizes: the user cannot resize it.
  void SetFixedSize(bool fixed) { fixed_ = fixed; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Request();
  void Apply();
  void Watch();
  void Check();

  QWidget* window_;
  QSize outer_size_;
  std::optional<QPoint> place_;
  bool fixed_ = false;
  // The frame the last size was worked out with; a change means the window
  // manager has framed the window since.
  QMargins applied_margins_;
  bool framed_ = false;
  // The frame the window last had (none before it is first framed).
  QMargins last_frame_;
  // A frame drawn where the client already stood sends the window no
  // event, and some window managers redraw the frame once more: after a
  // size or place is asked for, the frame is looked at for a while.
  QTimer watch_;
  int checks_left_ = 0;
};

// The frame the window system drew around `window` (empty with none).
QMargins FrameMargins(const QWidget* window);
// The window's outer rectangle, frame included.
QRect OuterGeometry(const QWidget* window);
