// A burst of scratch records over loopback on both ports: every datagram the
// kernel took in is either logged or counted as dropped. And a burst into
// small receive buffers: the drops the kernel counts are the drops the
// status corner shows.
#include "app/feed_status.h"
#include "app/race_data_listener.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::string>;

constexpr int kRecords = 20000;
constexpr int kSendLimitMs = 60000;
constexpr int kDrainLimitMs = 180000;
constexpr int kQuietMs = 2000;  // no new log line for this long: the burst is over

// The Udp counters of /proc/net/snmp, by name.
std::optional<std::map<std::string, long long>> ReadUdpCounters() {
  std::ifstream snmp("/proc/net/snmp");
  std::string names;
  std::string values;
  for (std::string line; std::getline(snmp, line);) {
    if (line.rfind("Udp: ", 0) != 0) {
      continue;
    }
    if (names.empty()) {
      names = line;
    } else {
      values = line;
      break;
    }
  }
  if (values.empty()) {
    return std::nullopt;
  }
  std::istringstream name_words(names.substr(5));
  std::istringstream value_words(values.substr(5));
  std::map<std::string, long long> counters;
  std::string name;
  long long value = 0;
  while (name_words >> name && value_words >> value) {
    counters[name] = value;
  }
  return counters;
}

std::string FloodRecord(int i) {
  if (i % 1000 == 0) {
    return "{scratch}+{title}Keirin heat " + std::to_string(i / 1000 + 1) + "{time}" +
           std::to_string(i % 600) + ".5{spd}58." + std::to_string(i % 10);
  }
  const int position = i % 50;
  return "{scratch}+{list}" + std::to_string(position) + "{rank}" + std::to_string(position + 1) +
         "{bib}" + std::to_string(100 + position) + "{name}Rider " + std::to_string(i) +
         "{nat}NZL{status}{laps}" + std::to_string(i % 30);
}

// Sends the burst from a plain socket, alternating the two ports; counts
// the datagrams the kernel accepted whole.
void SendBurst(quint16 port1, quint16 port2, std::atomic<int>& sent, std::atomic<bool>& done) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd >= 0) {
    sockaddr_in to[2] = {};
    const quint16 ports[2] = {port1, port2};
    for (int k = 0; k < 2; ++k) {
      to[k].sin_family = AF_INET;
      to[k].sin_port = htons(ports[k]);
      inet_pton(AF_INET, "127.0.0.1", &to[k].sin_addr);
    }
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRecords; ++i) {
      if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(kSendLimitMs)) {
        break;
      }
      const std::string record = FloodRecord(i);
      const sockaddr_in& target = to[i % 2];
      const ssize_t written = sendto(fd, record.data(), record.size(), 0,
                                     reinterpret_cast<const sockaddr*>(&target), sizeof target);
      if (written == static_cast<ssize_t>(record.size())) {
        sent.fetch_add(1);
      }
    }
    ::close(fd);
  }
  done.store(true);
}

TEST(ScratchFlood, BurstOnBothPortsIsLoggedOrDroppedByTheKernel) {
  CommentatorFixture fixture;
  MainWindow& main_window = fixture.Main();
  const RaceDataListener& listener = fixture.App().Listener();
  // The screen already shown, so every handling's event loop pass has
  // drawing to do while datagrams keep arriving.
  fixture.Dispatch("{scratch}+{clr}+");
  Settle();

  const auto before = ReadUdpCounters();
  ASSERT_TRUE(before.has_value()) << "/proc/net/snmp has no Udp counters";
  const std::uint64_t lines_before = main_window.TrafficLinesAdded();

  QElapsedTimer clock;
  clock.start();
  std::atomic<int> sent{0};
  std::atomic<bool> done{false};
  std::thread sender(SendBurst, fixture.Port1(), fixture.Port2(), std::ref(sent), std::ref(done));

  std::uint64_t last_seen = lines_before;
  qint64 last_change_ms = 0;
  while (clock.elapsed() < kDrainLimitMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const std::uint64_t now = main_window.TrafficLinesAdded();
    if (now != last_seen) {
      last_seen = now;
      last_change_ms = clock.elapsed();
    }
    if (done.load() && clock.elapsed() - std::max(last_change_ms, qint64{0}) > kQuietMs) {
      break;
    }
    if (done.load() && now - lines_before == static_cast<std::uint64_t>(sent.load())) {
      break;
    }
    usleep(1000);
  }
  sender.join();
  const qint64 elapsed_ms = clock.elapsed();
  const auto after = ReadUdpCounters();
  ASSERT_TRUE(after.has_value());

  const long long logged = static_cast<long long>(main_window.TrafficLinesAdded() - lines_before);
  // InErrors counts every datagram UDP dropped on receipt, full buffers included.
  const long long dropped = after->at("InErrors") - before->at("InErrors");
  const long long rcvbuf_dropped = after->at("RcvbufErrors") - before->at("RcvbufErrors");
  std::printf(
      "scratch flood: sent %d, logged %lld, dropped by the kernel %lld (RcvbufErrors %lld), "
      "elapsed %lld ms, receive buffers %d / %d bytes\n",
      sent.load(), logged, dropped, rcvbuf_dropped, static_cast<long long>(elapsed_ms),
      listener.ReceiveBufferSize(0), listener.ReceiveBufferSize(1));
  std::fflush(stdout);

  EXPECT_EQ(sent.load(), kRecords);
  EXPECT_EQ(logged + dropped, sent.load());

  // Still alive and still handling records.
  SendDatagram(fixture.Port2(), "{scratch}+{title}After the burst");
  EXPECT_TRUE(WaitUntil(
      [&] { return fixture.Log().back() == "127.0.0.1>{scratch}+{title}After the burst"; }));
  EXPECT_EQ(fixture.Data().scratch.heat.Cell(1, 0), "After the burst");
}

// A UDP socket of this process, found through /proc as any observer would
// find it: its descriptor (to shrink its buffer) and its inode (to read the
// kernel's own drop count for it).
struct BoundSocket {
  int fd = -1;
  unsigned long inode = 0;
};

// The fields of /proc/net/udp's line for `port`, or for `inode` when given.
std::vector<std::string> ProcNetUdpLine(quint16 port, unsigned long inode = 0) {
  std::ifstream table("/proc/net/udp");
  std::string line;
  std::getline(table, line);  // the heading
  while (std::getline(table, line)) {
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string word; words >> word;) {
      fields.push_back(word);
    }
    if (fields.size() < 13) {
      continue;
    }
    const unsigned long local_port =
        std::stoul(fields[1].substr(fields[1].find(':') + 1), nullptr, 16);
    if (inode != 0 ? std::stoul(fields[9]) == inode : local_port == port) {
      return fields;
    }
  }
  return {};
}

BoundSocket FindSocket(quint16 port) {
  BoundSocket found;
  const std::vector<std::string> fields = ProcNetUdpLine(port);
  if (fields.empty()) {
    return found;
  }
  found.inode = std::stoul(fields[9]);
  const std::string link = "socket:[" + std::to_string(found.inode) + "]";
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error).string() == link) {
      found.fd = std::stoi(entry.path().filename().string());
    }
  }
  return found;
}

// The "drops" column: the kernel's count for the socket.
long long KernelDropsOf(const BoundSocket& socket) {
  const std::vector<std::string> fields = ProcNetUdpLine(0, socket.inode);
  return fields.empty() ? -1 : std::stoll(fields[12]);
}

TEST(KernelDrops, DropsAtFullReceiveBuffersAreCountedAsTheKernelCountsThemAndShownAtOnce) {
  CommentatorFixture fixture;
  FeedStatusView& corner = fixture.App().FeedView();
  QTimer* ticks = corner.findChild<QTimer*>(QStringLiteral("ticks"));
  ASSERT_NE(ticks, nullptr);
  ticks->stop();  // what the corner shows comes from the status's reports
  ASSERT_TRUE(fixture.SendAndWait("{scratch}+{title}Before the burst"));
  Settle();

  const quint16 ports[2] = {fixture.Port1(), fixture.Port2()};
  BoundSocket sockets[2];
  for (int k = 0; k < 2; ++k) {
    sockets[k] = FindSocket(ports[k]);
    ASSERT_GE(sockets[k].fd, 0) << "no socket of ours on port " << ports[k];
    const int small = 4096;  // the kernel doubles it: room for a few datagrams
    ASSERT_EQ(setsockopt(sockets[k].fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
    ASSERT_EQ(KernelDropsOf(sockets[k]), 0);
  }

  // Sent with the event loop standing still: nothing is drained meanwhile.
  const std::uint64_t lines_before = fixture.Main().TrafficLinesAdded();
  constexpr int kBurst = 400;
  int sent = 0;
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < 2 * kBurst; ++i) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(ports[i % 2]);
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    const std::string record = "{scratch}+{title}Burst " + std::to_string(100000 + i);
    if (sendto(fd, record.data(), record.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) == static_cast<ssize_t>(record.size())) {
      ++sent;
    }
  }
  ::close(fd);
  ASSERT_EQ(sent, 2 * kBurst);

  // Drained: the log stops growing.
  std::uint64_t lines = lines_before;
  for (int quiet_passes = 0, passes = 0; quiet_passes < 20 && passes < 1000; ++passes) {
    Settle(1);
    const std::uint64_t now = fixture.Main().TrafficLinesAdded();
    quiet_passes = now == lines ? quiet_passes + 1 : 0;
    lines = now;
    usleep(5000);
  }
  const long long received = static_cast<long long>(lines - lines_before);
  const long long kernel = KernelDropsOf(sockets[0]) + KernelDropsOf(sockets[1]);
  std::printf("kernel drops: sent %d, received %lld, the kernel's count %lld (%lld + %lld)\n", sent,
              received, kernel, KernelDropsOf(sockets[0]), KernelDropsOf(sockets[1]));
  std::fflush(stdout);
  ASSERT_GT(kernel, 0) << "the small buffers overflowed";
  EXPECT_EQ(kernel, sent - received);
  EXPECT_EQ(fixture.App().Feed().Now().kernel_drops, static_cast<std::uint64_t>(kernel));

  // The next datagram tells of the drops: the corner says so without a tick.
  const QString said = QStringLiteral("%1 lost in the kernel").arg(kernel);
  SendDatagram(ports[1], "{scratch}+{title}After the burst");
  auto* text = corner.findChildren<QLabel*>().at(1);
  EXPECT_TRUE(WaitUntil([&] { return text->text().contains(said); }, 2000))
      << text->text().toStdString();
}

}  // namespace
