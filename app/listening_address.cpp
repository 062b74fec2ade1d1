#include "app/listening_address.h"

#include "app/posix_files.h"
#include "platform/application.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

void ListeningAddress::SetText(std::string_view text) {
  text_.assign(text.substr(0, kLimit));
}

void ListeningAddress::Load(const char* path) {
  const int fd = OpenRegularFile(path, O_RDONLY);
  if (fd < 0) {
    text_ = kAllSenders;
    return;
  }
  // The first line only: read until its end or until more than the limit
  // (plus a CR) is known.
  std::string line;
  char chunk[256];
  bool line_ended = false;
  while (!line_ended && line.size() <= kLimit) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      const int error = errno;
      ::close(fd);
      ReportIoError(error);
      text_ = kAllSenders;
      return;
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
  SetText(line);
}

void ListeningAddress::Save(const char* path) const {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    return;
  }
  const std::string line = text_ + "\r\n";
  FinishWriting(fd, WriteAll(fd, line.data(), line.size()));
}
