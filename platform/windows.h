// Window-level helpers shared by every window: colours, sizes and placement
// in the pixel units the screens are designed in, and bringing a window to
// the front.
#pragma once

#include <QColor>
#include <QRect>
#include <QSize>

class QWidget;

// Top-level windows are designed by their outer size; the frame a window
// manager adds is taken as the usual border and caption.
inline constexpr QSize kDesignFrame{8, 27};
void SetOuterSize(QWidget* window, QSize outer);
QRect OuterGeometry(const QWidget* window);

// Centred over another window's outer rectangle, truncating toward zero,
// negative coordinates raised to 0.
QPoint CentredOver(const QRect& over, QSize outer);

QSize PrimaryScreenSize();

void SetBackground(QWidget* widget, const QColor& colour);
void SetTextColour(QWidget* widget, const QColor& colour);

// The event screens look the same whether or not they are the active
// window, but the toolkit repaints a window whose palette differs between
// the two states, and every item view in it, whenever it gains or loses
// activation: with records for two screens in turn, both screens were
// repainted whole per record. This keeps those notifications from the
// window and its controls.
void IgnoreActivationChanges(QWidget* window);

// Shows the window and brings it to the front of the stacking order, with
// or without a window manager. The active window is already in front; it is
// left alone, since activating asks the display server and waits for it.
void ShowAndRaise(QWidget* window);
