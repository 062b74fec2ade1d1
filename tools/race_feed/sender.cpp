#include "tools/race_feed/sender.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace race_feed {

namespace {

// A full socket buffer under a flood is waited out, briefly.
constexpr int kBusyRetries = 200;
constexpr auto kBusyPause = std::chrono::milliseconds(1);

std::string SystemError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

}  // namespace

std::optional<in_addr> ResolveIPv4(const std::string& host, std::string& error) {
  in_addr address{};
  const bool numeric = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '.';
  });
  if (numeric) {
    if (inet_pton(AF_INET, host.c_str(), &address) != 1) {
      error = "bad address \"" + host + "\"";
      return std::nullopt;
    }
    return address;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (const int status = getaddrinfo(host.c_str(), nullptr, &hints, &found); status != 0) {
    error = "cannot resolve host \"" + host + "\": " + gai_strerror(status);
    return std::nullopt;
  }
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return address;
}

std::vector<std::string> OwnIPv4Addresses() {
  std::vector<std::string> own;
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) {
    return own;
  }
  for (const ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr != nullptr && i->ifa_addr->sa_family == AF_INET) {
      char dotted[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr, dotted,
                sizeof dotted);
      own.emplace_back(dotted);
    }
  }
  freeifaddrs(interfaces);
  return own;
}

namespace {

bool IsLoopback(const std::string& dotted) {
  in_addr address{};
  return inet_pton(AF_INET, dotted.c_str(), &address) == 1 && (ntohl(address.s_addr) >> 24) == 127;
}

}  // namespace

bool CanSendFrom(const std::string& sender, const std::string& host,
                 const std::vector<std::string>& own) {
  in_addr address{};
  if (inet_pton(AF_INET, sender.c_str(), &address) != 1) {
    return false;
  }
  if (IsLoopback(sender)) {
    return IsLoopback(host);
  }
  return std::find(own.begin(), own.end(), sender) != own.end();
}

std::unique_ptr<Sender> Sender::Open(const Destination& destination, std::string& error) {
  const auto host = ResolveIPv4(destination.host, error);
  if (!host) {
    return nullptr;
  }
  std::optional<in_addr> source;
  if (!destination.source.empty()) {
    source = ResolveIPv4(destination.source, error);
    if (!source) {
      error = "--source: " + error;
      return nullptr;
    }
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = SystemError("cannot open a UDP socket");
    return nullptr;
  }
  auto fail = [&](const std::string& what) {
    error = SystemError(what);
    close(fd);
    return nullptr;
  };
  if (destination.broadcast) {
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
      return fail("cannot allow broadcast");
    }
  }
  if (source) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = *source;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
      return fail("cannot send from " + destination.source);
    }
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(destination.port));
  to.sin_addr = *host;
  char dotted[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &to.sin_addr, dotted, sizeof dotted);
  return std::unique_ptr<Sender>(
      new Sender(fd, to, std::string(dotted) + ":" + std::to_string(destination.port)));
}

Sender::Sender(int socket, const sockaddr_in& to, std::string description)
    : socket_(socket), to_(to), description_(std::move(description)) {}

Sender::~Sender() {
  close(socket_);
}

bool Sender::Send(std::string_view record, std::string& error) {
  for (int attempt = 0;; ++attempt) {
    // Unconnected, so a port nobody listens on is no error: UDP as the server sends it.
    const ssize_t sent = sendto(socket_, record.data(), record.size(), 0,
                                reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
    if (sent == static_cast<ssize_t>(record.size())) {
      return true;
    }
    if (sent >= 0) {
      error = "send to " + description_ + " was cut short";
      return false;
    }
    if (errno == EINTR) {
      continue;
    }
    if ((errno == ENOBUFS || errno == EAGAIN) && attempt < kBusyRetries) {
      std::this_thread::sleep_for(kBusyPause);
      continue;
    }
    error = SystemError("send to " + description_ + " failed");
    if (errno == EACCES) {
      error += " (a broadcast address needs --broadcast)";
    }
    return false;
  }
}

}  // namespace race_feed
