#include "app/posix_files.h"

#include "platform/application.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

int OpenRegularFile(const char* path, int flags) {
  const int fd = ::open(path, flags | O_CLOEXEC);
  if (fd < 0) {
    return -1;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

void FinishWriting(int fd, bool written) {
  int error = written ? 0 : errno;
  if (::close(fd) != 0 && error == 0) {
    error = errno;
  }
  if (error != 0) {
    ReportIoError(error);
  }
}
