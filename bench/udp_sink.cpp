// A plain receive loop: the least any receiver can do per datagram. Binds
// 127.0.0.1:PORT (0: an ephemeral port), optionally asks for a receive
// buffer, counts datagrams until none has come for --idle-ms (or --expect
// arrived, or --max-s passed) and prints what it got and what the kernel
// dropped on its socket.
//
//   udp_sink [--port P] [--rcvbuf BYTES] [--expect N] [--idle-ms MS] [--max-s S]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// What the kernel dropped on the sockets bound to `port`: the last column
// of /proc/net/udp.
std::int64_t SocketDrops(unsigned port) {
  std::FILE* table = std::fopen("/proc/self/net/udp", "r");
  if (table == nullptr) {
    return -1;
  }
  char line[512];
  std::int64_t drops = 0;
  if (std::fgets(line, sizeof line, table) == nullptr) {  // heading
    std::fclose(table);
    return -1;
  }
  while (std::fgets(line, sizeof line, table) != nullptr) {
    unsigned local_port = 0;
    long long dropped = 0;
    char rest[256];
    if (std::sscanf(line, " %*d: %*x:%x %*x:%*x %*x %*x:%*x %*x:%*x %*x %*u %*u %*u %*d %255s %lld",
                    &local_port, rest, &dropped) == 3 &&
        local_port == port) {
      drops += dropped;
    }
  }
  std::fclose(table);
  return drops;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  int rcvbuf = 0;
  std::uint64_t expect = 0;
  int idle_ms = 1000;
  int max_s = 120;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const long value = std::strtol(argv[i + 1], nullptr, 10);
    if (key == "--port") {
      port = static_cast<int>(value);
    } else if (key == "--rcvbuf") {
      rcvbuf = static_cast<int>(value);
    } else if (key == "--expect") {
      expect = static_cast<std::uint64_t>(value);
    } else if (key == "--idle-ms") {
      idle_ms = static_cast<int>(value);
    } else if (key == "--max-s") {
      max_s = static_cast<int>(value);
    } else {
      std::fprintf(stderr,
                   "usage: udp_sink [--port P] [--rcvbuf BYTES] [--expect N] "
                   "[--idle-ms MS] [--max-s S]\n");
      return 2;
    }
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &local.sin_addr);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    std::perror("udp_sink: bind");
    return 1;
  }
  if (rcvbuf > 0 && setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &rcvbuf, sizeof rcvbuf) != 0) {
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
  }
  socklen_t length = sizeof local;
  getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
  int obtained = 0;
  length = sizeof obtained;
  getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &obtained, &length);
  std::printf("ready port=%u rcvbuf=%d\n", ntohs(local.sin_port), obtained);
  std::fflush(stdout);

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  std::uint64_t received = 0;
  char buffer[2048];
  while (expect == 0 || received < expect) {
    pollfd pending{fd, POLLIN, 0};
    const int wait = received == 0 ? 1000 : idle_ms;
    const int ready = poll(&pending, 1, wait);
    if (ready > 0) {
      while (recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) >= 0) {
        ++received;
      }
    } else if (received > 0) {
      break;  // idle
    }
    if (Clock::now() - start > std::chrono::seconds(max_s)) {
      break;
    }
  }
  std::printf("result received=%" PRIu64 " socket_drops=%" PRId64 "\n", received,
              SocketDrops(ntohs(local.sin_port)));
  ::close(fd);
  return 0;
}
