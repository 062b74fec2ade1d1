// One run of the relay benchmark: sends time trial records at a steady rate
// to two UDP ports (the venue's) and takes them in on two others (the remote
// screen's), each stamped with its sequence number and sending time, and
// reports the loss and the latency. With the same ports on both sides it
// measures a direct UDP send, the baseline.
//
//   relay_bench free-ports N
//   relay_bench run --to A,B --from C,D --rate R --seconds S
//
// "run" prints one line of KEY=value pairs. Loss-free: every record arrived,
// none twice, in order on each port, within max(300 ms, 10 % of the sending
// time) after the last one was sent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::int64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);  // one clock for every process on the host
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int Socket(int port, bool bind_it) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (bind_it) {
    const int size = 16 << 20;
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
      setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      std::fprintf(stderr, "relay_bench: cannot bind UDP port %d: %s\n", port,
                   std::strerror(errno));
      std::exit(1);
    }
  }
  return fd;
}

bool ParsePorts(const char* text, int ports[2]) {
  return std::sscanf(text, "%d,%d", &ports[0], &ports[1]) == 2;
}

// A time trial standings line of a realistic length, with the bench's own
// tag carrying the sequence number and the sending time.
std::string Record(std::int64_t sequence, std::int64_t sent_ns) {
  char text[256];
  std::snprintf(text, sizeof text,
                "{tt}+{standings}%lld{rnk}%lld{name}BENCH RIDER %05lld{score}4:%02lld.%03lld"
                "{dif}+0.%03lld{bench}%lld:%lld",
                static_cast<long long>(sequence % 40), static_cast<long long>(sequence % 40 + 1),
                static_cast<long long>(sequence % 100000), static_cast<long long>(sequence % 60),
                static_cast<long long>(sequence % 1000), static_cast<long long>(sequence % 997),
                static_cast<long long>(sequence), static_cast<long long>(sent_ns));
  return text;
}

struct Arrival {
  std::int64_t sequence;
  std::int64_t sent_ns;
  std::int64_t received_ns;
  int port;
};

double Percentile(std::vector<std::int64_t>& values, double fraction) {
  if (values.empty()) {
    return 0;
  }
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
  return static_cast<double>(values[at]) / 1000.0;
}

int Run(const int to[2], const int from[2], double rate, double seconds) {
  const int receivers[2] = {Socket(from[0], true), Socket(from[1], true)};
  const int sender = Socket(0, false);
  const auto count = static_cast<std::int64_t>(rate * seconds);
  std::vector<Arrival> arrivals;
  arrivals.reserve(static_cast<std::size_t>(count) + 16);
  std::atomic<bool> stop{false};
  std::thread receiving([&] {
    char buffer[2048];
    while (!stop) {
      pollfd ready[2] = {{receivers[0], POLLIN, 0}, {receivers[1], POLLIN, 0}};
      if (poll(ready, 2, 10) <= 0) {
        continue;
      }
      for (int index = 0; index < 2; ++index) {
        while ((ready[index].revents & POLLIN) != 0) {
          const ssize_t got = recv(receivers[index], buffer, sizeof buffer - 1, MSG_DONTWAIT);
          if (got < 0) {
            break;
          }
          const std::int64_t now = NowNs();
          buffer[got] = '\0';
          const char* stamp = std::strstr(buffer, "{bench}");
          long long sequence = 0;
          long long sent = 0;
          if (stamp != nullptr && std::sscanf(stamp, "{bench}%lld:%lld", &sequence, &sent) == 2) {
            arrivals.push_back({sequence, sent, now, index});
          }
        }
      }
    }
  });

  sockaddr_in destinations[2] = {};
  for (int index = 0; index < 2; ++index) {
    destinations[index].sin_family = AF_INET;
    destinations[index].sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    destinations[index].sin_port = htons(static_cast<std::uint16_t>(to[index]));
  }
  const std::int64_t start = NowNs();
  for (std::int64_t sequence = 0; sequence < count; ++sequence) {
    const auto due = start + static_cast<std::int64_t>(static_cast<double>(sequence) * 1e9 / rate);
    while (NowNs() < due) {
      if (due - NowNs() > 200'000) {
        usleep(100);
      }
    }
    const std::string record = Record(sequence, NowNs());
    const int index = static_cast<int>(sequence % 2);
    sendto(sender, record.data(), record.size(), 0,
           reinterpret_cast<const sockaddr*>(&destinations[index]), sizeof destinations[index]);
  }
  const std::int64_t last_sent = NowNs();
  const std::int64_t sending_ns = last_sent - start;
  const std::int64_t window_ns = std::max<std::int64_t>(300'000'000, sending_ns / 10);
  // Waits for the rest, a little beyond the window so late ones are seen as late.
  while (NowNs() - last_sent < window_ns + 200'000'000) {
    usleep(10'000);
  }
  stop = true;
  receiving.join();

  std::vector<bool> seen(static_cast<std::size_t>(count), false);
  std::int64_t in_window = 0;
  std::int64_t duplicates = 0;
  std::int64_t out_of_order = 0;
  std::int64_t last_arrival = last_sent;
  std::int64_t previous[2] = {-1, -1};
  std::vector<std::int64_t> latencies;
  for (const Arrival& arrival : arrivals) {
    if (arrival.sequence < 0 || arrival.sequence >= count) {
      continue;
    }
    if (seen[static_cast<std::size_t>(arrival.sequence)]) {
      ++duplicates;
      continue;
    }
    seen[static_cast<std::size_t>(arrival.sequence)] = true;
    if (arrival.sequence < previous[arrival.port]) {
      ++out_of_order;
    }
    previous[arrival.port] = arrival.sequence;
    if (arrival.received_ns - last_sent <= window_ns) {
      ++in_window;
    }
    last_arrival = std::max(last_arrival, arrival.received_ns);
    latencies.push_back(arrival.received_ns - arrival.sent_ns);
  }
  const std::int64_t received = static_cast<std::int64_t>(latencies.size());
  const bool loss_free = in_window == count && duplicates == 0 && out_of_order == 0;
  const double p50 = Percentile(latencies, 0.50);
  const double p99 = Percentile(latencies, 0.99);
  const double max =
      latencies.empty()
          ? 0
          : static_cast<double>(*std::max_element(latencies.begin(), latencies.end())) / 1000.0;
  std::printf(
      "rate=%.0f sent=%lld received=%lld in_window=%lld duplicates=%lld out_of_order=%lld "
      "loss_free=%s achieved_rate=%.0f p50_us=%.0f p99_us=%.0f max_us=%.0f drained_ms=%.1f "
      "window_ms=%.0f\n",
      rate, static_cast<long long>(count), static_cast<long long>(received),
      static_cast<long long>(in_window), static_cast<long long>(duplicates),
      static_cast<long long>(out_of_order), loss_free ? "yes" : "no",
      static_cast<double>(count) * 1e9 / static_cast<double>(std::max<std::int64_t>(sending_ns, 1)),
      p50, p99, max, static_cast<double>(last_arrival - last_sent) / 1e6,
      static_cast<double>(window_ns) / 1e6);
  return loss_free ? 0 : 3;
}

int FreePorts(int count) {
  std::vector<int> fds;
  for (int i = 0; i < count; ++i) {
    const int fd = socket(AF_INET, i == 0 ? SOCK_STREAM : SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    std::printf("%s%d", i == 0 ? "" : " ", ntohs(address.sin_port));
    fds.push_back(fd);  // held until all are chosen, so none repeats
  }
  std::printf("\n");
  for (const int fd : fds) {
    close(fd);
  }
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: relay_bench free-ports N   (the first a TCP port, the rest UDP)\n"
               "       relay_bench run --to A,B --from C,D --rate R --seconds S\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "free-ports") == 0) {
    return FreePorts(std::atoi(argv[2]));
  }
  if (argc < 2 || std::strcmp(argv[1], "run") != 0) {
    return Usage();
  }
  int to[2] = {0, 0};
  int from[2] = {0, 0};
  double rate = 1000;
  double seconds = 5;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--to" && ParsePorts(argv[i + 1], to)) {
    } else if (name == "--from" && ParsePorts(argv[i + 1], from)) {
    } else if (name == "--rate") {
      rate = std::atof(argv[i + 1]);
    } else if (name == "--seconds") {
      seconds = std::atof(argv[i + 1]);
    } else {
      return Usage();
    }
  }
  if (to[0] == 0 || from[0] == 0 || rate <= 0 || seconds <= 0) {
    return Usage();
  }
  return Run(to, from, rate, seconds);
}
