#include "app/udp_port_table.h"

#include <QFile>

#include <dirent.h>
#include <pwd.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// An IPv6 address as /proc prints it: four 32-bit words in hexadecimal, each
// in the host's byte order.
bool SharedIpv6Address(const QByteArray& address) {
  if (address.size() != 32) {
    return false;
  }
  if (!address.startsWith("0000000000000000")) {
    return false;
  }
  const QByteArray third = address.mid(16, 8);
  if (third == "00000000") {
    return address.endsWith("00000000");  // ::
  }
  return third == "FFFF0000" || third == "0000FFFF";  // ::ffff:a.b.c.d
}

QByteArray ReadProcFile(const char* path) {
  // Proc files report no size; read until the end.
  QFile file(QString::fromLatin1(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Anyone names their program: only printable ASCII of it reaches a message.
std::string Printable(const QByteArray& name) {
  std::string shown;
  for (const char byte : name.left(64)) {
    shown += byte >= 0x20 && byte < 0x7f ? byte : '?';
  }
  return shown;
}

std::string ProgramOf(long pid) {
  // The command's own name: comm is cut to 15 characters.
  QFile command_line(QStringLiteral("/proc/%1/cmdline").arg(pid));
  if (command_line.open(QIODevice::ReadOnly)) {
    const QByteArray first = command_line.read(4096).split('\0').value(0);
    const QByteArray name = first.mid(first.lastIndexOf('/') + 1);
    if (!name.isEmpty()) {
      return Printable(name);
    }
  }
  QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
  return comm.open(QIODevice::ReadOnly) ? Printable(comm.readAll().trimmed()) : std::string();
}

std::string UserName(uid_t uid) {
  passwd entry{};
  passwd* found = nullptr;
  char buffer[1024];
  if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    return Printable(found->pw_name);
  }
  return std::to_string(uid);
}

struct DirectoryCloser {
  void operator()(DIR* directory) const { ::closedir(directory); }
};
using Directory = std::unique_ptr<DIR, DirectoryCloser>;

bool HoldsSocket(const std::string& fd_directory, const std::string& link) {
  const Directory fds(::opendir(fd_directory.c_str()));
  if (!fds) {
    return false;  // another user's process, or gone
  }
  char target[64];
  while (const dirent* fd = ::readdir(fds.get())) {
    const std::string path = fd_directory + "/" + fd->d_name;
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length == static_cast<ssize_t>(link.size()) &&
        std::memcmp(target, link.data(), link.size()) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<UdpSocketEntry> SocketsSharingPort(const QByteArray& table, bool ipv6, quint16 port) {
  std::vector<UdpSocketEntry> found;
  const QByteArray wanted = QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
  // The first line names the columns.
  for (const QByteArray& line : table.split('\n').mid(1)) {
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() < 10) {
      continue;
    }
    const QList<QByteArray> local = fields[1].split(':');
    if (local.size() != 2 || local[1] != wanted) {
      continue;
    }
    if (ipv6 ? !SharedIpv6Address(local[0]) : local[0].size() != 8) {
      continue;
    }
    bool uid_ok = false;
    bool inode_ok = false;
    const uint uid = fields[7].toUInt(&uid_ok);
    const qulonglong inode = fields[9].toULongLong(&inode_ok);
    if (uid_ok && inode_ok && inode != 0) {
      found.push_back({inode, static_cast<uid_t>(uid)});
    }
  }
  return found;
}

std::vector<UdpSocketEntry> SocketsSharingPort(quint16 port) {
  std::vector<UdpSocketEntry> found =
      SocketsSharingPort(ReadProcFile("/proc/net/udp"), false, port);
  for (const UdpSocketEntry& entry :
       SocketsSharingPort(ReadProcFile("/proc/net/udp6"), true, port)) {
    found.push_back(entry);
  }
  return found;
}

SocketOwner OwnerOf(const UdpSocketEntry& socket) {
  SocketOwner owner;
  owner.user = UserName(socket.uid);
  const std::string link = "socket:[" + std::to_string(socket.inode) + "]";
  const Directory processes(::opendir("/proc"));
  if (!processes) {
    return owner;
  }
  while (const dirent* process = ::readdir(processes.get())) {
    char* end = nullptr;
    const long pid = std::strtol(process->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') {
      continue;
    }
    if (HoldsSocket(std::string("/proc/") + process->d_name + "/fd", link)) {
      owner.pid = pid;
      owner.program = ProgramOf(pid);
      break;
    }
  }
  return owner;
}
