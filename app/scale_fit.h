// --scale on a monitor too small for it: every window must fit its monitor
// whole, so a scale that would push one off the edge is reduced to the
// largest that fits, and the user is told.
#pragma once

#include <QSize>
#include <QString>

// The largest scale, at most `requested`, at which the windows centred over
// the main window fit `main_monitor` and the screens that cover a monitor
// still show every column on `event_monitor`. Sizes in device pixels, as
// the monitors have them; `requested` when it fits, never below 0.5.
double FittingScale(double requested, QSize main_monitor, QSize event_monitor);

// "--scale 1.5 does not fit the 1024x768 monitor; using 1.06"
QString ScaleReducedText(double requested, double used, QSize monitor);
// For the status corner: "scale 1.06 (1.5 does not fit)"
QString ScaleNote(double requested, double used);
