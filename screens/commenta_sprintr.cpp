#include "screens/commenta_sprintr.h"

Tsprintr_commentator_form::Tsprintr_commentator_form(const QWidget* main_window) : QWidget(nullptr), main_window_(main_window) {
  setObjectName(QStringLiteral("sprintr_commentator_form"));
  setWindowTitle(QStringLiteral("Sprint Race Commentator"));
  (void)main_window_;
}
