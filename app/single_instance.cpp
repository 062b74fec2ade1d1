#include "app/single_instance.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <cstddef>
#include <string>

namespace {

// The abstract name: a leading zero byte, no terminating one.
socklen_t ClaimAddress(ListenerPorts ports, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  const std::string name =
      "orvane-commentator/udp/" + std::to_string(ports.first) + "+" + std::to_string(ports.second);
  name.copy(address.sun_path + 1, sizeof address.sun_path - 1);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

std::string ProgramOf(long pid) {
  // The command's own name: comm is cut to 15 characters.
  QFile command_line(QStringLiteral("/proc/%1/cmdline").arg(pid));
  if (command_line.open(QIODevice::ReadOnly)) {
    const QByteArray first = command_line.read(4096).split('\0').value(0);
    const QByteArray name = first.mid(first.lastIndexOf('/') + 1);
    if (!name.isEmpty()) {
      return name.toStdString();
    }
  }
  QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
  return comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed().toStdString() : std::string();
}

std::string UserName(uid_t uid) {
  passwd entry{};
  passwd* found = nullptr;
  char buffer[1024];
  if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    return found->pw_name;
  }
  return std::to_string(uid);
}

// Asks the holder's socket who is behind it.
ClaimHolder AskHolder(const sockaddr_un& address, socklen_t length) {
  ClaimHolder holder;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return holder;
  }
  ucred peer{};
  socklen_t peer_length = sizeof peer;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
      ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peer_length) == 0 && peer.pid > 0) {
    holder.pid = peer.pid;
    holder.program = ProgramOf(peer.pid);
    holder.user = UserName(peer.uid);
  }
  ::close(fd);
  return holder;
}

}  // namespace

PortClaim::PortClaim(ListenerPorts ports) {
  fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    return;
  }
  sockaddr_un address;
  const socklen_t length = ClaimAddress(ports, address);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    if (error == EADDRINUSE) {
      held_ = false;
      holder_ = AskHolder(address, length);
    }
    return;
  }
  // Listening lets a later copy learn who we are; its calls are taken and
  // hung up at once so they never fill the queue.
  ::listen(fd_, 8);
  if (QCoreApplication::instance() != nullptr) {
    callers_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(callers_.get(), &QSocketNotifier::activated, [fd = fd_] {
      int caller;
      while ((caller = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC)) >= 0) {
        ::close(caller);
      }
    });
  }
}

PortClaim::~PortClaim() {
  callers_.reset();
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

QString AlreadyListeningMessage(ListenerPorts ports, const ClaimHolder& holder) {
  QString held_by;
  if (holder.pid > 0) {
    held_by = QStringLiteral(" (");
    if (!holder.program.empty()) {
      held_by += QString::fromLocal8Bit(holder.program.c_str()) + QStringLiteral(", ");
    }
    held_by += QStringLiteral("process ") + QString::number(holder.pid) +
               QStringLiteral(", user ") + QString::fromLocal8Bit(holder.user.c_str()) +
               QStringLiteral(")");
  }
  return QStringLiteral("Another commentator screen is already listening on UDP ports ") +
         QString::number(ports.first) + QStringLiteral(" and ") + QString::number(ports.second) +
         held_by +
         QStringLiteral(".\nThis copy will end now; use the screen that is already running.");
}
