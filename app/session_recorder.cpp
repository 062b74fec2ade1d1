#include "app/session_recorder.h"

#include "app/listening_address.h"
#include "session/session_format.h"

#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

constexpr int kFlushIntervalMs = 1000;

// A file name as messages show it: control characters (a terminal's escape
// sequences among them) as \xNN, every other character as it is.
QString Shown(const QString& name) {
  QString shown;
  for (const QChar c : name) {
    if (c.category() == QChar::Other_Control) {
      shown += QStringLiteral("\\x") +
               QStringLiteral("%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace

std::unique_ptr<SessionRecorder> SessionRecorder::Start(const QString& path,
                                                        RaceDataListener& listener,
                                                        QString& error) {
  const QByteArray name = QFile::encodeName(path);
  // O_EXCL: an earlier recording of that name is never truncated.
  const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = errno == EEXIST
                ? QStringLiteral("%1 already exists; a recording never overwrites a file")
                      .arg(Shown(path))
                : QStringLiteral("%1: %2").arg(Shown(path),
                                               QString::fromLocal8Bit(std::strerror(errno)));
    return nullptr;
  }
  // Past a file-size limit a write fails with EFBIG instead of ending the
  // program, so the recording stops and the screen goes on.
  std::signal(SIGXFSZ, SIG_IGN);
  return std::unique_ptr<SessionRecorder>(new SessionRecorder(path, fd, listener));
}

SessionRecorder::SessionRecorder(const QString& path, int fd, RaceDataListener& listener)
    : path_(path), fd_(fd), listener_(listener) {
  pending_.assign(session::kSessionHeader);
  pending_ += '\n';
  listener_.AddObserver(this);
  flush_timer_.setInterval(kFlushIntervalMs);
  connect(&flush_timer_, &QTimer::timeout, this, &SessionRecorder::Flush);
  flush_timer_.start();
  Flush();
}

SessionRecorder::~SessionRecorder() {
  listener_.RemoveObserver(this);
  if (fd_ >= 0) {
    Flush();
  }
  if (fd_ >= 0) {
    ::fsync(fd_);
    ::close(fd_);
  }
}

QString SessionRecorder::StatusText() const {
  if (!problem_.isEmpty()) {
    return QStringLiteral("recording stopped: %1").arg(problem_);
  }
  return QStringLiteral("recording %1").arg(Shown(QFileInfo(path_).fileName()));
}

void SessionRecorder::DatagramTaken(int receiver, std::string_view sender, std::string_view bytes,
                                    bool) {
  if (fd_ < 0) {
    return;
  }
  const std::int64_t delay_ms =
      since_last_.isValid() ? since_last_.restart() : (since_last_.start(), 0);
  if (listener_.Address().Text() != address_) {
    address_ = listener_.Address().Text();
    pending_ += session::FormatAddressLine(address_);
  }
  const quint16 port = listener_.LocalPort(receiver);
  session::AppendSessionLine(pending_, delay_ms, port != 0 ? port : listener_.Port(receiver),
                             sender, bytes);
}

void SessionRecorder::Flush() {
  std::size_t done = 0;
  while (done < pending_.size() && fd_ >= 0) {
    const ssize_t written = ::write(fd_, pending_.data() + done, pending_.size() - done);
    if (written > 0) {
      done += static_cast<std::size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) {
      continue;
    }
    const int error = written < 0 ? errno : ENOSPC;
    // A full disk or a file-size limit can take part of a line: cut the file
    // back to the last line written whole, so it still ends on a line end.
    const std::size_t last_end = done == 0 ? std::string::npos : pending_.rfind('\n', done - 1);
    const std::size_t whole = last_end == std::string::npos ? 0 : last_end + 1;
    if (whole < done && ::ftruncate(fd_, size_ + static_cast<off_t>(whole)) != 0) {
      // Nothing more to try: the recording ends here either way.
    }
    size_ += static_cast<off_t>(whole);
    Fail(error);
    return;
  }
  size_ += static_cast<off_t>(done);
  pending_.clear();
}

void SessionRecorder::Fail(int error) {
  problem_ = QStringLiteral("%1: %2").arg(Shown(QFileInfo(path_).fileName()),
                                          QString::fromLocal8Bit(std::strerror(error)));
  listener_.RemoveObserver(this);
  flush_timer_.stop();
  pending_.clear();
  ::close(fd_);
  fd_ = -1;
  emit Stopped(problem_);
}
