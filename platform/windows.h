// Window-level helpers shared by every window: colours, sizes and placement
// in the pixel units the screens are designed in, and bringing a window to
// the front.
#pragma once

#include <QColor>
#include <QRect>
#include <QSize>

class QWidget;

// Centred over another window's outer rectangle, truncating toward zero,
// negative coordinates raised to 0.
QPoint CentredOver(const QRect& over, QSize outer);

// The whole area of the monitor that stands for "the primary screen" to
// the event screens: the primary one, unless another was chosen.
QRect PrimaryScreenGeometry();
// Its area less panels and docks: where the main window opens.
QRect PrimaryScreenAvailableGeometry();
// Chooses that monitor by its name or its number from 0; false, with
// `error` saying why, when there is no such monitor or it is on another X
// screen (there a window would be sized for it and drawn on this one).
bool ChooseEventScreen(const QString& name_or_number, QString& error);

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
// or without a window manager; false when it was in front already. The
// active window is left alone, since activating asks the display server and
// waits for it. While a modal dialog is open the dialog stays in front and
// keeps the keyboard; the window last brought forward meanwhile comes to the
// front when the dialog closes.
bool ShowAndRaise(QWidget* window);
