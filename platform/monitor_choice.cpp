#include "platform/monitor_choice.h"

#include <QStringList>

namespace {

// Digits only: "+1", " 1" and "1e0" are names, and match none.
int Number(const QString& text) {
  if (text.isEmpty() || text.size() > 4) {
    return -1;
  }
  int number = 0;
  for (const QChar c : text) {
    if (c < u'0' || c > u'9') {
      return -1;
    }
    number = number * 10 + (c.unicode() - u'0');
  }
  return number;
}

}  // namespace

int ChooseMonitor(const QList<MonitorEntry>& monitors, const QString& name_or_number,
                  const QString& other_display, QString& error) {
  const int number = Number(name_or_number);
  int chosen = -1;
  QStringList names;
  for (int i = 0; i < monitors.size(); ++i) {
    if (chosen < 0 && (number >= 0 ? i == number : monitors[i].name == name_or_number)) {
      chosen = i;
    }
    names << (monitors[i].on_own_x_screen
                  ? QStringLiteral("%1 (%2)").arg(i).arg(monitors[i].name)
                  : QStringLiteral("%1 (%2, on another X screen)").arg(i).arg(monitors[i].name));
  }
  if (chosen < 0) {
    error = QStringLiteral("no monitor '%1'; there are: %2").arg(name_or_number, names.join(", "));
    return -1;
  }
  if (!monitors[chosen].on_own_x_screen) {
    error = QStringLiteral(
                "monitor %1 (%2) is on another X screen of this display, where the program opens "
                "no window; to use it, start the program on that X screen (%3)")
                .arg(chosen)
                .arg(monitors[chosen].name, other_display.isEmpty()
                                                ? QStringLiteral("DISPLAY=:N.S")
                                                : QStringLiteral("DISPLAY=%1").arg(other_display));
    return -1;
  }
  return chosen;
}
