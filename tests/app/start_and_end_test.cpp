// The main window as it starts, the windows that come to the front with
// their records, errors from handlers, and the orderly end of the program.
#include "platform/application.h"
#include "platform/text_list.h"
#include "platform/window_frame.h"
#include "screens/event_screen.h"
#include "screens/quick_text_window.h"
#include "screens/time_trial_screen.h"
#include "support/test_support.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTimer>

#include <csignal>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(MainWindow, CaptionColoursAndLayout) {
  CommentatorFixture fixture;
  MainWindow& main = fixture.Main();
  EXPECT_EQ(main.windowTitle(), "Commentator Screen v2.09");
  EXPECT_EQ(OuterGeometry(&main).size(), QSize(812, 656));
  const TextList& log = Find<TextList>(main, "ListBox1");
  EXPECT_EQ(log.palette().color(QPalette::Base), kDisplayColours.background);
  EXPECT_EQ(log.palette().color(QPalette::Text), kDisplayColours.text);
  EXPECT_EQ(kDisplayColours.background, QColor(0, 0, 0));
  EXPECT_EQ(kDisplayColours.text, QColor(255, 255, 255));
  EXPECT_EQ(kDisplayColours.heading, QColor(128, 0, 128));
  EXPECT_EQ(log.geometry(), QRect(8, 360, 785, 241));
  EXPECT_EQ(Find<QLabel>(main, "Label1").text(), "Commentator Screen");
  EXPECT_EQ(Find<QLabel>(main, "Label2").text(), "stand by until TCP/IP packets received.......");
  EXPECT_EQ(Find<QLabel>(main, "Image1").pixmap().size(), QSize(200, 224));
}

TEST(Front, TheLastFamilysWindowEndsInFront) {
  CommentatorFixture fixture;
  // The time trial flag stands first, but the quick text is handled first
  // and the time trial last.
  fixture.Dispatch("{tt}+{qdtype}+{data},one,");
  Settle();
  EXPECT_TRUE(fixture.App().QuickText().isVisible());
  EXPECT_TRUE(fixture.App().TimeTrial().isVisible());
  EXPECT_EQ(QApplication::activeWindow(), &fixture.App().TimeTrial());
}

TEST(Front, AScreenTheUserLeftComesBackToTheFrontWithItsNextRecord) {
  CommentatorFixture fixture;
  QWidget* time_trial = &fixture.App().TimeTrial();
  fixture.Dispatch("{tt}+");
  Settle();
  ASSERT_EQ(QApplication::activeWindow(), time_trial);

  fixture.Main().activateWindow();  // the commentator clicks the main window
  Settle();
  ASSERT_EQ(QApplication::activeWindow(), &fixture.Main());
  fixture.Dispatch("{tt}+");
  Settle();
  EXPECT_EQ(QApplication::activeWindow(), time_trial);
}

class ThrowingObject : public QObject {
 protected:
  bool event(QEvent*) override { throw std::runtime_error("handler failed"); }
};

TEST(Errors, AnExceptionFromAHandlerIsShownAndTheLoopGoesOn) {
  ErrorRecorder errors;
  ThrowingObject object;
  QEvent event(QEvent::User);
  QCoreApplication::sendEvent(&object, &event);
  EXPECT_EQ(errors.messages, QStringList({QStringLiteral("handler failed")}));

  QTimer::singleShot(0, &object, [&object] {
    QEvent posted(QEvent::User);
    QCoreApplication::sendEvent(&object, &posted);
  });
  QTimer::singleShot(20, [] { QCoreApplication::exit(3); });
  EXPECT_EQ(QCoreApplication::exec(), 3) << "the loop went on to its end";
  EXPECT_EQ(errors.messages.size(), 2);
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(OrderlyEnd, ExitCloseBoxAndTerminationSignalsEachEndAndWriteTheSettings) {
  const std::vector<std::pair<const char*, std::function<void(MainWindow&)>>> ends = {
      {"exit", [](MainWindow& main) { Find<QAction>(main, "Exit1").trigger(); }},
      {"close box", [](MainWindow& main) { main.close(); }},
      {"SIGTERM", [](MainWindow&) { std::raise(SIGTERM); }},
      {"SIGINT", [](MainWindow&) { std::raise(SIGINT); }},
  };
  QuitOnTerminationSignals();
  for (const auto& [name, end] : ends) {
    SCOPED_TRACE(name);
    CommentatorFixture fixture;
    MainWindow& main = fixture.Main();
    QTimer::singleShot(0, &main, [&main, end = end] { end(main); });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    watchdog.start(5000);
    EXPECT_EQ(RunEventLoop(), 0);
    watchdog.stop();
    EXPECT_TRUE(main.isVisible()) << "the main window is hidden last, by the end itself";
    fixture.End();
    EXPECT_EQ(ReadFile(QDir(fixture.WorkDir()).filePath("commentator.dat")),
              QByteArray("255.255.255.255\r\n"));
  }
}

}  // namespace
