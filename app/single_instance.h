// One commentator screen per machine: a second copy, whoever starts it and
// from wherever, would bind the same ports with address reuse and silently
// take every datagram from the first.
#pragma once

#include "app/race_data_listener.h"

#include <QString>

#include <memory>
#include <string>

class QSocketNotifier;

// The process behind a claim, as far as the system tells.
struct ClaimHolder {
  long pid = 0;  // 0 when the system does not tell
  std::string program;
  std::string user;
};

// A claim on the pair of race data ports, held for the life of the object:
// an abstract-namespace Unix socket named after the pair. No file is
// involved, every user and session sees the same name (per network
// namespace, like the ports themselves), and the kernel drops the claim when
// the process ends, however it ends.
class PortClaim {
 public:
  explicit PortClaim(ListenerPorts ports);
  ~PortClaim();
  PortClaim(const PortClaim&) = delete;
  PortClaim& operator=(const PortClaim&) = delete;

  // False only when another process holds the pair; a system that offers
  // no such socket does not stop the commentator.
  bool Held() const { return held_; }
  // Who holds it, when not held here.
  const ClaimHolder& Holder() const { return holder_; }

 private:
  int fd_ = -1;
  bool held_ = true;
  ClaimHolder holder_;
  std::unique_ptr<QSocketNotifier> callers_;
};

// What a copy that finds the ports claimed tells the user before it ends.
QString AlreadyListeningMessage(ListenerPorts ports, const ClaimHolder& holder);
