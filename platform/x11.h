// What only the X Window System tells or allows: whether a window manager
// runs, and Motif hints. Elsewhere (offscreen, no display) there is no
// window manager and the hints do nothing.
#pragma once

#include <QString>

class QWidget;

bool WindowManagerRunning();

// The DISPLAY that reaches the other X screen of a display with two
// (":1.1" when the program runs on ":1"); empty with one, or more than two.
QString OtherXScreenDisplay();

// Lets a window manager that honours Motif hints maximise the window (a
// double click on its title bar) though the window asks for no title-bar
// buttons. Call before the window is mapped.
void AllowMaximiseWithoutButtons(QWidget* window);
