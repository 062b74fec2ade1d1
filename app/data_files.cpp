#include "app/data_files.h"

#include "app/globals.h"
#include "platform/application.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace {

// Opens an existing regular file; a directory counts as not openable.
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

// Closes the file; a failure to close or an earlier write error is reported.
void FinishWriting(int fd, bool written) {
  int error = written ? 0 : errno;
  if (::close(fd) != 0 && error == 0) {
    error = errno;
  }
  if (error != 0) {
    ReportIoError(error);
  }
}

}  // namespace

std::string ReadListeningAddress(const char* path) {
  const int fd = OpenRegularFile(path, O_RDONLY);
  if (fd < 0) {
    return std::string(globals::kAllSenders);
  }
  // The first line only: read until its end or until more than the limit
  // (plus a CR) is known.
  std::string line;
  char chunk[256];
  bool line_ended = false;
  while (!line_ended && line.size() <= globals::kListeningAddressLimit) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      const int error = errno;
      ::close(fd);
      ReportIoError(error);
      return std::string(globals::kAllSenders);
    }
    if (got == 0) {
      break;
    }
    for (ssize_t i = 0; i < got; ++i) {
      if (chunk[i] == '\n') {
        line_ended = true;
        break;
      }
      line.push_back(chunk[i]);
    }
  }
  ::close(fd);
  if (line_ended && !line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  if (line.size() > globals::kListeningAddressLimit) {
    line.resize(globals::kListeningAddressLimit);
  }
  return line;
}

void WriteListeningAddress(const char* path, const std::string& address) {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    return;
  }
  const std::string line = address + "\r\n";
  FinishWriting(fd, WriteAll(fd, line.data(), line.size()));
}

void EnsureQdtypeFile(const char* path) {
  struct stat info {};
  if (::stat(path, &info) == 0) {
    return;  // it holds the typist's frames, whatever state it is in
  }
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    return;
  }
  const char empty_record[kQdtypeRecordSize] = {};
  bool written = true;
  for (int record = 0; record < kQdtypeRecordCount && written; ++record) {
    written = WriteAll(fd, empty_record, sizeof empty_record);
  }
  FinishWriting(fd, written);
}
