// Which monitor `--screen` names, by its name or its number from 0 in the
// order the toolkit lists the monitors.
#pragma once

#include <QList>
#include <QString>

struct MonitorEntry {
  QString name;
  // On the X screen the program's windows open on. A monitor of another X
  // screen (":N.1") has coordinates of its own: a window given them would
  // be sized for that monitor and drawn on this X screen.
  bool on_own_x_screen = true;
};

// The index of the chosen monitor, or -1 with `error` saying why: there is
// no such monitor (the message names those there are), or it is on another
// X screen. `other_display` is the DISPLAY that reaches that X screen, when
// it is known.
int ChooseMonitor(const QList<MonitorEntry>& monitors, const QString& name_or_number,
                  const QString& other_display, QString& error);
