// Entry point of the widget tests: one application object for the whole
// executable, run in a private working directory so the data files the
// program writes never land in the source tree.
#include "platform/application.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                   : qgetenv("QT_QPA_PLATFORM"));
  CommentatorApplication app(argc, argv);
  QTemporaryDir work_dir;
  QDir::setCurrent(work_dir.path());
  return RUN_ALL_TESTS();
}
