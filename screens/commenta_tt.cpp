#include "screens/commenta_tt.h"

Ttt_commentator_form::Ttt_commentator_form(const QWidget* main_window) : QWidget(nullptr), main_window_(main_window) {
  setObjectName(QStringLiteral("tt_commentator_form"));
  setWindowTitle(QStringLiteral("TT Commentator Screen"));
  (void)main_window_;
}
