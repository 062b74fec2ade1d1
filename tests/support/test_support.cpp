#include "support/test_support.h"

#include "app/globals.h"
#include "platform/application.h"
#include "platform/string_grid.h"
#include "platform/text_list.h"
#include "platform/udp_receiver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

std::string GridRow(const StringGrid& grid, int row) {
  std::string joined;
  for (int col = 0; col < grid.ColCount(); ++col) {
    if (col > 0) {
      joined += '|';
    }
    joined += grid.Cell(col, row);
  }
  return joined;
}

std::vector<std::string> GridRows(const StringGrid& grid) {
  std::vector<std::string> rows;
  for (int row = 0; row < grid.RowCount(); ++row) {
    rows.push_back(GridRow(grid, row));
  }
  return rows;
}

std::vector<std::string> ListLines(const TextList& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.LineCount(); ++i) {
    lines.push_back(list.Line(i));
  }
  return lines;
}

ErrorRecorder::ErrorRecorder() {
  SetErrorSink([this](const QString& message) { messages << message; });
}

ErrorRecorder::~ErrorRecorder() {
  SetErrorSink(nullptr);
}

CommentatorFixture::CommentatorFixture(bool show_main_window) : previous_dir_(QDir::currentPath()) {
  QDir::setCurrent(dir_.path());
  globals::listening_address = std::string(globals::kAllSenders);
  windows = std::make_unique<CommentatorWindows>(ListenerPorts{0, 0});
  if (show_main_window) {
    windows->ShowMainWindow();
    Settle();
  }
}

CommentatorFixture::~CommentatorFixture() {
  End();
  QDir::setCurrent(previous_dir_);
}

void CommentatorFixture::End() {
  windows.reset();
}

quint16 CommentatorFixture::Port1() const {
  return windows->commentator0_form->WSocket1->LocalPort();
}

quint16 CommentatorFixture::Port2() const {
  return windows->commentator0_form->WSocket2->LocalPort();
}

bool CommentatorFixture::SendAndWait(std::string_view bytes, int lines, quint16 port) {
  // The log is trimmed to 30 lines, so count what arrives by watching the
  // last line change as well as the count.
  const TextList& log = *windows->commentator0_form->ListBox1;
  const int before = log.LineCount();
  SendDatagram(port != 0 ? port : Port1(), bytes);
  return WaitUntil([&] { return log.LineCount() >= std::min(before + lines, 30); });
}

void CommentatorFixture::Dispatch(std::string_view record) {
  windows->commentator0_form->DispatchRecord(std::string(record));
}

std::vector<std::string> CommentatorFixture::Log() const {
  return ListLines(*windows->commentator0_form->ListBox1);
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
