#include "app/data_file.h"

#include "platform/application.h"

#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

bool IsRegularFile(const char* path, struct stat* info) {
  return ::stat(path, info) == 0 && S_ISREG(info->st_mode);
}

bool NothingThere(const char* path) {
  struct stat info {};
  return ::lstat(path, &info) != 0 && errno == ENOENT;
}

// Whether `path` may be replaced now: a regular file we may write, or
// nothing at all. A dangling link counts as something: a file created
// through it would land wherever it points.
bool Replaceable(const char* path, bool only_if_absent) {
  if (NothingThere(path)) {
    return true;
  }
  struct stat info {};
  return !only_if_absent && IsRegularFile(path, &info) &&
         ::faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0;
}

QString SystemReason(int error_number) {
  return QString::fromLocal8Bit(std::strerror(error_number));
}

// The rename is only durable once the directory that holds the new name is.
void SyncDirectoryOf(const QString& file_path) {
  const QByteArray directory = QFileInfo(file_path).absolutePath().toLocal8Bit();
  const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

bool OpenForReading(QFile& file, const char* path) {
  struct stat info {};
  if (!IsRegularFile(path, &info)) {
    return false;
  }
  // Non-blocking, in case a pipe took the file's place since the look.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return false;
  }
  return true;
}

void WriteWholeFile(const char* path, std::string_view bytes, bool only_if_absent) {
  if (!Replaceable(path, only_if_absent)) {
    return;
  }
  struct stat old_file {};
  const bool replacing = IsRegularFile(path, &old_file);

  // QSaveFile resolves a link to a regular file and writes beside its
  // target. Unbuffered, because Qt 6.4 renames the temporary file into place
  // even when the flush of its buffer failed: the old content would be lost.
  QSaveFile file(QString::fromLocal8Bit(path));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    return;  // cannot be created: skipped without a word
  }
  struct stat created {};
  if (replacing) {
    // A copy started by root keeps the file its owner's.
    if (old_file.st_uid != ::geteuid() || old_file.st_gid != ::getegid()) {
      [[maybe_unused]] const int ignored =
          ::fchown(file.handle(), old_file.st_uid, old_file.st_gid);
    }
  } else if (::fstat(file.handle(), &created) == 0) {
    // The temporary file is created 0666 less the umask; a new data file is 0644 less the umask.
    ::fchmod(file.handle(), created.st_mode & 0644);
  }

  if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
      static_cast<qint64>(bytes.size())) {
    const QString reason = file.errorString();
    file.cancelWriting();
    ReportFileError(path, reason);
    return;
  }
  // QSaveFile ignores a failed sync, so it is done here.
  if (::fsync(file.handle()) != 0) {
    const int error = errno;
    file.cancelWriting();
    ReportFileError(path, SystemReason(error));
    return;
  }
  // Something that took the file's place meanwhile is left alone.
  if (!Replaceable(path, only_if_absent)) {
    file.cancelWriting();
    return;
  }
  if (!file.commit()) {
    ReportFileError(path, file.errorString());
    return;
  }
  SyncDirectoryOf(QFileInfo(file.fileName()).canonicalFilePath());
}

void ReportFileError(const char* path, const QString& reason) {
  ReportError(QString::fromLocal8Bit(path) + QStringLiteral(": ") + reason);
}
