#include "screens/commentator_scratchf.h"

Tcommentator_scratch::Tcommentator_scratch(const QWidget* main_window) : QWidget(nullptr), main_window_(main_window) {
  setObjectName(QStringLiteral("commentator_scratch"));
  setWindowTitle(QStringLiteral("Commentator Screen, Scratch / Keiren"));
  (void)main_window_;
}
