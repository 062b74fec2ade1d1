#include "platform/application.h"

#include <QMessageBox>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>

namespace {

ErrorSink& Sink() {
  static ErrorSink sink;
  return sink;
}

int g_signal_pipe[2] = {-1, -1};
bool g_in_event_loop = false;

void OnTerminationSignal(int signal_number) {
  const int saved = errno;
  const auto byte = static_cast<char>(signal_number);
  [[maybe_unused]] const ssize_t written = ::write(g_signal_pipe[1], &byte, 1);
  errno = saved;
}

// Any event loop sees the pipe, a message box's own among them.
void OnTerminationRequest() {
  char byte = 0;
  if (::read(g_signal_pipe[0], &byte, 1) != 1) {
    return;
  }
  if (g_in_event_loop) {
    QApplication::quit();
    return;
  }
  std::signal(byte, SIG_DFL);
  std::raise(byte);
}

}  // namespace

void SetErrorSink(ErrorSink sink) {
  Sink() = std::move(sink);
}

void ReportError(const QString& message) {
  if (Sink()) {
    Sink()(message);
    return;
  }
  // Also where a terminal or the session's journal keeps it.
  std::fprintf(stderr, "orvane-commentator: %s\n", qPrintable(message));
  // Raised above the screens' windows, which would hide it otherwise.
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message, QMessageBox::Ok);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  box.show();
  box.raise();
  box.activateWindow();
  box.exec();
}

void ReportIoError(int error_number) {
  ReportError(QString::fromLocal8Bit(std::strerror(error_number)));
}

CommentatorApplication::CommentatorApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool CommentatorApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ReportError(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    ReportError(QStringLiteral("Unknown error"));
  }
  return false;
}

void QuitOnTerminationSignals() {
  if (g_signal_pipe[0] >= 0 ||
      socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_pipe) != 0) {
    return;
  }
  auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, &OnTerminationRequest);
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  // Over a file-size limit a write then fails and is reported, instead of
  // the signal ending the program on the spot.
  std::signal(SIGXFSZ, SIG_IGN);
}

int RunEventLoop() {
  g_in_event_loop = true;
  const int status = QApplication::exec();
  g_in_event_loop = false;
  return status;
}
