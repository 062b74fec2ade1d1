#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cstdlib>

InstanceLock::InstanceLock(const std::string& directory) {
  const std::string path = directory + "/orvane-commentator.lock";
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    held_ = true;  // no place for a lock: do not stop the commentator over it
    return;
  }
  held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

std::string RuntimeDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0' && ::access(runtime, W_OK) == 0) {
    return runtime;
  }
  const char* temporary = std::getenv("TMPDIR");
  return temporary != nullptr && *temporary != '\0' ? temporary : "/tmp";
}
