#include "app/scale_fit.h"

#include "app/command_line.h"
#include "app/main_window.h"
#include "screens/points_race_screen.h"
#include "screens/quick_text_window.h"
#include "screens/scratch_screen.h"
#include "screens/sprint_screen.h"
#include "screens/time_trial_screen.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

double Fits(QSize monitor, std::initializer_list<QSize> windows) {
  double scale = kMaxScale;
  for (const QSize window : windows) {
    scale = std::min({scale, static_cast<double>(monitor.width()) / window.width(),
                      static_cast<double>(monitor.height()) / window.height()});
  }
  return scale;
}

}  // namespace

double FittingScale(double requested, QSize main_monitor, QSize event_monitor) {
  // The windows that open over the main window, with their frames; the
  // covering screens are laid out for their design size and stretch from it.
  const double fits = std::min(
      Fits(main_monitor, {MainWindow::kOuterSize, ScratchScreen::kOuterSize,
                          SprintScreen::kOuterSize, QuickTextWindow::kOuterSize}),
      Fits(event_monitor, {PointsRaceScreen::kDesignClient, TimeTrialScreen::kDesignClient}));
  if (requested <= fits) {
    return requested;
  }
  // Two decimals, rounded down, so the result fits too.
  return std::max(std::floor(fits * 100) / 100, kMinScale);
}

QString ScaleReducedText(double requested, double used, QSize monitor) {
  return QStringLiteral("--scale %1 does not fit the %2x%3 monitor; using %4")
      .arg(requested)
      .arg(monitor.width())
      .arg(monitor.height())
      .arg(used);
}

QString ScaleNote(double requested, double used) {
  return QStringLiteral("scale %1 (%2 does not fit)").arg(used).arg(requested);
}
