#include "app/single_instance.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// How long the lower of two copies that bound at once waits for the other
// to see it and go: the other only has to read two small tables.
constexpr auto kRivalGoes = std::chrono::seconds(1);
constexpr auto kLookAgain = std::chrono::milliseconds(10);

// A loopback address nobody sends to: bound there, a socket meets every
// socket on the port's any address in the bind check, as a receiver would,
// yet takes none of the datagrams meant for them.
constexpr in_addr_t kQuietAddress = 0x7ffffffe;  // 127.255.255.254

int BoundSocket(in_addr_t address, quint16 port) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return -1;
  }
  const int on = 1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(address);
  local.sin_port = htons(port);
  // Free binding: the quiet address binds even with loopback down.
  if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::setsockopt(fd, IPPROTO_IP, IP_FREEBIND, &on, sizeof on) != 0 ||
      ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

unsigned long long InodeOf(int fd) {
  struct stat status {};
  return ::fstat(fd, &status) == 0 ? status.st_ino : 0;
}

std::vector<UdpSocketEntry> Others(quint16 port, unsigned long long own) {
  std::vector<UdpSocketEntry> found = SocketsSharingPort(port);
  std::erase_if(found, [own](const UdpSocketEntry& entry) { return entry.inode == own; });
  return found;
}

}  // namespace

PortClaim::PortClaim(ListenerPorts ports) {
  // Both ports are looked at before either is bound, and bound one after the
  // other: a copy that loses the first never reaches the second, so two
  // copies cannot each keep one.
  held_ = Unshared(ports.first) && Unshared(ports.second) && Claim(ports.first, fds_[0]) &&
          Claim(ports.second, fds_[1]);
  if (!held_) {
    Release();
  }
}

PortClaim::~PortClaim() {
  Release();
}

void PortClaim::Release() {
  for (int& fd : fds_) {
    if (fd >= 0) {
      ::close(fd);
      fd = -1;
    }
  }
}

bool PortClaim::Refuse(quint16 port, const UdpSocketEntry& holder) {
  holder_ = {port, OwnerOf(holder)};
  return false;
}

bool PortClaim::Unshared(quint16 port) {
  const std::vector<UdpSocketEntry> holders = Others(port, 0);
  if (holders.empty()) {
    return true;
  }
  // Bound beside them only if every one of them has address reuse too. (A
  // holder on one address alone, without reuse, passes this check though
  // it keeps our receiver out: telling would take that address's datagrams.)
  const int probe = BoundSocket(kQuietAddress, port);
  if (probe < 0) {
    return true;  // held without reuse: our receiver stays closed
  }
  ::close(probe);
  return Refuse(port, holders.front());
}

bool PortClaim::Claim(quint16 port, int& fd) {
  if (!Unshared(port)) {
    return false;
  }
  fd = BoundSocket(INADDR_ANY, port);
  if (fd < 0) {
    return true;  // taken without reuse in the meantime: our receiver stays closed
  }
  const unsigned long long own = InodeOf(fd);
  const auto deadline = std::chrono::steady_clock::now() + kRivalGoes;
  for (;;) {
    const std::vector<UdpSocketEntry> rivals = Others(port, own);
    if (rivals.empty()) {
      return true;
    }
    // Giving up, the socket goes before its rival is looked for among the
    // processes, which takes a while: the rival may be waiting for it.
    const auto give_up = [&](const UdpSocketEntry& rival) {
      ::close(fd);
      fd = -1;
      return Refuse(port, rival);
    };
    const auto lower =
        std::find_if(rivals.begin(), rivals.end(),
                     [own](const UdpSocketEntry& rival) { return rival.inode < own; });
    if (lower != rivals.end()) {
      return give_up(*lower);
    }
    // Each rival has a higher number: it gives up once it sees ours, unless
    // it looked before we bound and stays; then we are the later one.
    if (std::chrono::steady_clock::now() >= deadline) {
      return give_up(rivals.front());
    }
    std::this_thread::sleep_for(kLookAgain);
  }
}

QString PortInUseMessage(const HeldPort& holder) {
  const SocketOwner& owner = holder.owner;
  QString who;
  if (owner.pid > 0) {
    who = (owner.program.empty() ? QStringLiteral("a program")
                                 : QString::fromLocal8Bit(owner.program.c_str())) +
          QStringLiteral(" (process ") + QString::number(owner.pid) + QStringLiteral(", user ") +
          QString::fromLocal8Bit(owner.user.c_str()) + QStringLiteral(")");
  } else {
    who = QStringLiteral("a program of user ") + QString::fromLocal8Bit(owner.user.c_str());
  }
  return QStringLiteral("UDP port ") + QString::number(holder.port) +
         QStringLiteral(" is already in use by ") + who +
         QStringLiteral(
             ", which would share the race data with this screen.\nThis copy will end now; use "
             "the screen that is already running, or end that program first.");
}
