// What the kernel tells of the UDP sockets bound to a port in this network
// namespace: the tables under /proc/net, and the process behind a socket
// where the system lets us see it.
#pragma once

#include <QByteArray>

#include <sys/types.h>
#include <string>
#include <vector>

struct UdpSocketEntry {
  unsigned long long inode = 0;
  uid_t uid = 0;
};

// The sockets in one table (the text of /proc/net/udp, or of udp6 when
// `ipv6`) bound to `port` on an address a receiver on 0.0.0.0 shares: any
// IPv4 address, and the IPv6 any address or a v4-mapped one. (The table
// does not tell whether a socket on the IPv6 any address takes IPv4 too, as
// it does unless set IPv6-only: it counts.) Lines that do not parse are
// passed over.
std::vector<UdpSocketEntry> SocketsSharingPort(const QByteArray& table, bool ipv6, quint16 port);

// The same, read from both tables of this network namespace.
std::vector<UdpSocketEntry> SocketsSharingPort(quint16 port);

// Who holds a socket, as far as the system tells.
struct SocketOwner {
  long pid = 0;  // 0 when the process cannot be seen (another user's, to a user)
  std::string program;
  std::string user;  // the name, or the uid in digits
};

// Looks for the socket among the open files of every process we may see;
// the table's uid names the user in any case.
SocketOwner OwnerOf(const UdpSocketEntry& socket);
