#include "screens/commenta_pts.h"

Tptsrace_commentator_form::Tptsrace_commentator_form(const QWidget* main_window) : QWidget(nullptr), main_window_(main_window) {
  setObjectName(QStringLiteral("ptsrace_commentator_form"));
  setWindowTitle(QStringLiteral("ptsrace_commentator_form"));
  (void)main_window_;
}
