// One commentator screen per user: a second copy would bind the same ports
// with address reuse and silently take every datagram from the first.
#pragma once

#include <string>

class InstanceLock {
 public:
  // Locks `directory`/orvane-commentator.lock; `Held()` tells whether this
  // process got it. The lock goes with the process, however it ends.
  explicit InstanceLock(const std::string& directory);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  bool Held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

// The user's runtime directory ($XDG_RUNTIME_DIR), or the temporary directory.
std::string RuntimeDirectory();

inline constexpr const char* kAlreadyListeningMessage =
    "Another commentator screen is already listening on UDP ports 29105 and 29104.\n"
    "This copy will end now; use the screen that is already running.";
