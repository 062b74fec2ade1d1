#include "support/test_support.h"

#include "platform/application.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

void PrintTo(const QRect& rect, std::ostream* out) {
  *out << "QRect(" << rect.x() << ", " << rect.y() << ", " << rect.width() << ", " << rect.height()
       << ")";
}

void PrintTo(const QPoint& point, std::ostream* out) {
  *out << "QPoint(" << point.x() << ", " << point.y() << ")";
}

void PrintTo(const QSize& size, std::ostream* out) {
  *out << "QSize(" << size.width() << ", " << size.height() << ")";
}

void PrintTo(const QColor& colour, std::ostream* out) {
  *out << "QColor(" << colour.red() << ", " << colour.green() << ", " << colour.blue() << ")";
}

void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

void SendDatagram(quint16 port, std::string_view bytes, const char* source) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return;
  }
  sockaddr_in from{};
  from.sin_family = AF_INET;
  inet_pton(AF_INET, source, &from.sin_addr);
  bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  ::close(fd);
}

PortHolder::PortHolder() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t length = sizeof local;
  if (fd_ >= 0 && bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 &&
      getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
    port_ = ntohs(local.sin_port);
  }
}

PortHolder::~PortHolder() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

bool WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout_ms) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    usleep(1000);
  }
  return true;
}

void Settle(int passes) {
  for (int pass = 0; pass < passes; ++pass) {
    QCoreApplication::processEvents();
  }
}

void PressKey(QWidget* target, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &release);
}

ErrorRecorder::ErrorRecorder() {
  SetErrorSink([this](const QString& message) { messages << message; });
}

ErrorRecorder::~ErrorRecorder() {
  SetErrorSink(nullptr);
}

CommentatorFixture::CommentatorFixture(bool show_main_window, ListenerPorts ports,
                                       const FeedClock* clock)
    : previous_dir_(QDir::currentPath()) {
  QDir::setCurrent(dir_.path());
  app = std::make_unique<CommentatorApp>(ports, clock);
  if (show_main_window) {
    app->ShowMainWindow();
    Settle();
  }
}

CommentatorFixture::~CommentatorFixture() {
  End();
  QDir::setCurrent(previous_dir_);
}

void CommentatorFixture::End() {
  app.reset();
}

quint16 CommentatorFixture::Port1() const {
  return app->Listener().LocalPort(0);
}

quint16 CommentatorFixture::Port2() const {
  return app->Listener().LocalPort(1);
}

bool CommentatorFixture::SendAndWait(std::string_view bytes, int lines, quint16 port) {
  // The log is trimmed to 30 lines, so count what arrives by the lines ever
  // added, not by the lines it holds.
  const std::uint64_t before = Main().TrafficLinesAdded();
  SendDatagram(port != 0 ? port : Port1(), bytes);
  return WaitUntil([&] { return Main().TrafficLinesAdded() >= before + lines; });
}

void CommentatorFixture::Dispatch(std::string_view record) {
  app->Dispatcher().DispatchRecord(record);
}

std::vector<std::string> CommentatorFixture::Log() const {
  return app->Main().TrafficLogLines();
}

bool CommentatorFixture::ClosingEndsProgram(QWidget* window) {
  const QString settings = dir_.filePath(QStringLiteral("commentator.dat"));
  QFile::remove(settings);
  QTimer::singleShot(0, window, [window] { window->close(); });
  // A loop that the close does not end is stopped after a while, and fails.
  bool timed_out = false;
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&timed_out] {
    timed_out = true;
    QCoreApplication::exit(1);
  });
  watchdog.start(5000);
  const int result = QCoreApplication::exec();
  watchdog.stop();
  End();
  return !timed_out && result == 0 && QFile::exists(settings);
}
