// Entry point of the widget tests: one application object for the whole
// executable, run in a private working directory so the data files the
// program writes never land in the source tree.
#include "platform/application.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

#include <gtest/gtest.h>

namespace {

// The offscreen platform warns about window-manager hints it cannot pass on.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (message.contains(QLatin1String("propagateSizeHints")) ||
      message.contains(QLatin1String("does not support raise()"))) {
    return;
  }
  fprintf(stderr, "%s%s\n", type == QtWarningMsg ? "Warning: " : "", qPrintable(message));
}

}  // namespace

int main(int argc, char** argv) {
  qInstallMessageHandler(QuietOffscreenNotes);
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  CommentatorApplication app(argc, argv);
  QTemporaryDir work_dir;
  QDir::setCurrent(work_dir.path());
  return RUN_ALL_TESTS();
}
