// One commentator screen per machine: a second copy, whoever starts it and
// from wherever, would bind the same ports with address reuse and silently
// take every datagram from the first. The ports themselves are the claim:
// nothing else (a name, a file) that another user could take first.
#pragma once

#include "app/race_data_listener.h"
#include "app/udp_port_table.h"

#include <QString>

// The program that already holds a race data port.
struct HeldPort {
  quint16 port = 0;
  SocketOwner owner;
};

// A claim on the pair of race data ports, taken before any window and held
// until Release, by the time the receivers have bound beside it.
//
// For each port in turn: a port on which another socket is bound, with
// address reuse, is refused (our receivers would bind beside it and share
// its datagrams); one held without address reuse is left alone (our
// receiver cannot bind it and stays closed). A free port is bound with
// address reuse, as the receivers bind, and looked at again: of two copies
// that bound it in the same moment, the one whose socket has the higher
// inode number gives up at once, and the other waits for it to go. Both
// see the same two numbers, so exactly one stays, whatever their users.
class PortClaim {
 public:
  explicit PortClaim(ListenerPorts ports);
  ~PortClaim();
  PortClaim(const PortClaim&) = delete;
  PortClaim& operator=(const PortClaim&) = delete;

  // False when another program shares a port.
  bool Held() const { return held_; }
  const HeldPort& Holder() const { return holder_; }
  // The claim's own sockets are closed; the receivers hold the ports now.
  void Release();

 private:
  // Each false, with the holder, when another program has the port.
  bool Unshared(quint16 port);
  bool Claim(quint16 port, int& fd);
  bool Refuse(quint16 port, const UdpSocketEntry& holder);

  int fds_[2] = {-1, -1};
  bool held_ = true;
  HeldPort holder_;
};

// What a copy that finds a port held tells the user before it ends.
QString PortInUseMessage(const HeldPort& holder);
