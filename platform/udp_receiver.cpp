#include "platform/udp_receiver.h"

#include <QSocketNotifier>

#include <linux/sock_diag.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

// Room for a burst of race data: tens of thousands of small records sent at
// full speed arrive whole instead of overflowing the default buffer.
constexpr int kReceiveBufferRequest = 32 * 1024 * 1024;

void EnlargeReceiveBuffer(int fd) {
  int size = kReceiveBufferRequest;
  // As root the kernel's cap can be passed; otherwise it is capped at rmem_max.
  if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
}

// The socket's drop count as it stands, or `fallback` when the kernel cannot
// tell (before Linux 4.12 and its SO_MEMINFO).
std::uint32_t SocketDrops(int fd, std::uint32_t fallback) {
  std::uint32_t memory[SK_MEMINFO_VARS] = {};
  socklen_t length = sizeof memory;
  if (getsockopt(fd, SOL_SOCKET, SO_MEMINFO, memory, &length) != 0 ||
      length < (SK_MEMINFO_DROPS + 1) * sizeof memory[0]) {
    return fallback;
  }
  return std::max(memory[SK_MEMINFO_DROPS], fallback);
}

}  // namespace

UdpReceiver::UdpReceiver(QObject* parent) : QObject(parent) {}

UdpReceiver::~UdpReceiver() {
  Close();
}

bool UdpReceiver::Open(quint16 port) {
  if (IsOpen()) {
    return true;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return false;
  }
  const int on = 1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(port);
  if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    ::close(fd);
    return false;
  }
  EnlargeReceiveBuffer(fd);
  // Each datagram then carries the socket's drop count as it was queued.
  setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
  // Asked once here rather than of the socket per datagram; with port 0 the
  // kernel chose it.
  socklen_t length = sizeof local;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    ::close(fd);
    return false;
  }
  local_port_ = ntohs(local.sin_port);
  fd_ = fd;
  notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &UdpReceiver::DataAvailable);
  return true;
}

void UdpReceiver::Close() {
  if (!IsOpen()) {
    return;
  }
  drops_closed_ += SocketDrops(fd_, drops_seen_);
  drops_seen_ = 0;
  delete notifier_;
  notifier_ = nullptr;
  ::close(fd_);
  fd_ = -1;
  local_port_ = 0;
}

bool UdpReceiver::Receive(Datagram& out) {
  if (!IsOpen()) {
    return false;
  }
  sockaddr_in sender{};
  iovec buffer{out.bytes, sizeof out.bytes};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))];
  msghdr message{};
  message.msg_name = &sender;
  message.msg_namelen = sizeof sender;
  message.msg_iov = &buffer;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  // MSG_TRUNC makes the kernel report the datagram's real length, so an
  // oversized one is recognised; it has been taken off the queue either way.
  const ssize_t length = recvmsg(fd_, &message, MSG_TRUNC | MSG_DONTWAIT);
  if (length < 0) {
    return false;
  }
  // The drop count comes only once the socket has dropped something.
  for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
       header = CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SO_RXQ_OVFL) {
      std::uint32_t drops = 0;
      std::memcpy(&drops, CMSG_DATA(header), sizeof drops);
      drops_seen_ = std::max(drops_seen_, drops);
    }
  }
  if (static_cast<std::size_t>(length) > sizeof out.bytes || sender.sin_family != AF_INET) {
    return false;
  }
  out.size = static_cast<std::size_t>(length);
  char dotted[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &sender.sin_addr, dotted, sizeof dotted);
  out.sender = dotted;
  return true;
}

bool UdpReceiver::HasPendingData() const {
  if (!IsOpen()) {
    return false;
  }
  pollfd pending{fd_, POLLIN, 0};
  return poll(&pending, 1, 0) > 0 && (pending.revents & POLLIN);
}

int UdpReceiver::ReceiveBufferSize() const {
  int size = 0;
  socklen_t length = sizeof size;
  if (!IsOpen() || getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, &length) != 0) {
    return 0;
  }
  return size;
}

std::uint64_t UdpReceiver::KernelDrops() const {
  return drops_closed_ + (IsOpen() ? SocketDrops(fd_, drops_seen_) : 0);
}
