// The program's own windows and listener, measured from inside while a
// separate sender feeds them over loopback.
//
//   receiver_harness receive [--port1 P] [--port2 P] [--expect N] [--idle-ms MS]
//                            [--max-s S] [--warm N] [--record FILE]
//   receiver_harness latency [--family tt|pts] [--rate N] [--seconds S]
//
// Both print "ready port1=.. port2=.. rcvbuf1=.. rcvbuf2=.." once listening,
// then one "result key=value ..." line. `receive` ends when every expected
// datagram has been logged or dropped, when the log has stopped growing for
// --idle-ms, or after --max-s. `latency` sends its own timestamped records
// from a second thread and reports the time from sending to the cells.
#include "app/commentator_app.h"
#include "app/main_window.h"
#include "app/race_data_listener.h"
#include "platform/grid_view.h"
#include "platform/text_list.h"
#include "records/dispatch.h"
#include "records/grid_model.h"
#include "screens/shown_text.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

// Wall clock, so a driver script can set it against its own `date +%s%N`.
std::int64_t WallNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

struct Options {
  std::string mode;
  quint16 port1 = 0;
  quint16 port2 = 0;
  std::uint64_t expect = 0;
  int idle_ms = 1500;
  std::uint64_t warm = 20000;  // lines after which memory is read once more
  int max_s = 600;
  std::string family = "tt";
  int rate = 1000;
  int seconds = 10;
  std::string record;  // a session recording kept meanwhile
};

bool ParseOptions(int argc, char** argv, Options& options) {
  if (argc < 2) {
    return false;
  }
  options.mode = argv[1];
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const char* value = argv[i + 1];
    if (key == "--port1") {
      options.port1 = static_cast<quint16>(std::atoi(value));
    } else if (key == "--port2") {
      options.port2 = static_cast<quint16>(std::atoi(value));
    } else if (key == "--expect") {
      options.expect = std::strtoull(value, nullptr, 10);
    } else if (key == "--warm") {
      options.warm = std::strtoull(value, nullptr, 10);
    } else if (key == "--idle-ms") {
      options.idle_ms = std::atoi(value);
    } else if (key == "--max-s") {
      options.max_s = std::atoi(value);
    } else if (key == "--family") {
      options.family = value;
    } else if (key == "--rate") {
      options.rate = std::atoi(value);
    } else if (key == "--seconds") {
      options.seconds = std::atoi(value);
    } else if (key == "--record") {
      options.record = value;
    } else {
      return false;
    }
  }
  return options.mode == "receive" || options.mode == "latency";
}

// The offscreen platform warns on every raise(); the program on a desktop
// does not, so the warnings are counted and kept out of the figures.
std::uint64_t qt_messages = 0;
void CountMessage(QtMsgType, const QMessageLogContext&, const QString&) {
  ++qt_messages;
}

// --- Kernel and process figures ---------------------------------------------

std::map<std::string, std::int64_t> UdpCounters() {
  std::ifstream snmp("/proc/self/net/snmp");
  std::string header;
  std::string values;
  for (std::string line; std::getline(snmp, line);) {
    if (line.rfind("Udp: ", 0) == 0) {
      (header.empty() ? header : values) = line;
    }
  }
  std::map<std::string, std::int64_t> counters;
  std::istringstream names(header);
  std::istringstream numbers(values);
  std::string name;
  std::string number;
  while (names >> name && numbers >> number) {
    counters[name] = std::strtoll(number.c_str(), nullptr, 10);
  }
  return counters;
}

// Datagrams the kernel dropped on the sockets bound to `port`.
std::int64_t SocketDrops(quint16 port) {
  std::ifstream table("/proc/self/net/udp");
  std::string line;
  std::getline(table, line);  // heading
  std::int64_t drops = 0;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::vector<std::string> parts;
    for (std::string part; fields >> part;) {
      parts.push_back(part);
    }
    if (parts.size() < 13) {
      continue;
    }
    const std::string& local = parts[1];
    const auto colon = local.find(':');
    if (colon == std::string::npos ||
        std::strtoul(local.c_str() + colon + 1, nullptr, 16) != port) {
      continue;
    }
    drops += std::strtoll(parts[12].c_str(), nullptr, 10);
  }
  return drops;
}

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) {
      return std::strtol(line.c_str() + 6, nullptr, 10);
    }
  }
  return -1;
}

// --- Paints -------------------------------------------------------------------

// Counts paint events on grid viewports and on the traffic log's viewport.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(const QWidget* log_viewport) : log_viewport_(log_viewport) {}
  std::uint64_t grid_paints = 0;
  std::uint64_t log_paints = 0;
  std::uint64_t all_paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++all_paints;
      if (watched == log_viewport_) {
        ++log_paints;
      } else if (watched->parent() != nullptr &&
                 qobject_cast<GridView*>(watched->parent()) != nullptr) {
        ++grid_paints;
      }
    }
    return false;
  }

 private:
  const QWidget* log_viewport_;
};

// --- Common set-up ------------------------------------------------------------

// The traffic log's list: the main window keeps it to itself.
TextList& TrafficLogList(MainWindow& main_window) {
  return *main_window.findChild<TextList*>(QStringLiteral("ListBox1"));
}

void PrintReady(RaceDataListener& listener) {
  std::printf("ready port1=%u port2=%u rcvbuf1=%d rcvbuf2=%d\n", listener.LocalPort(0),
              listener.LocalPort(1), listener.ReceiveBufferSize(0), listener.ReceiveBufferSize(1));
  std::fflush(stdout);
}

// --- receive --------------------------------------------------------------------

int RunReceive(const Options& options, CommentatorApp& commentator) {
  MainWindow& main_window = commentator.Main();
  RaceDataListener& listener = commentator.Listener();
  TextList& log = TrafficLogList(main_window);
  const quint16 port1 = listener.LocalPort(0);
  const quint16 port2 = listener.LocalPort(1);
  const auto udp_before = UdpCounters();
  const std::int64_t drops_before = SocketDrops(port1) + SocketDrops(port2);
  const long rss_start = ResidentKb();

  PaintCounter paints(log.viewport());
  qApp->installEventFilter(&paints);

  // Heartbeat records add a line of their own besides the datagram's line.
  std::uint64_t heartbeat_lines = 0;
  std::int64_t first_line_wall = 0;
  std::int64_t last_line_wall = 0;
  const QString heartbeat = ShownText(kHeartbeatLine);
  QObject::connect(log.model(), &QAbstractItemModel::rowsInserted,
                   [&](const QModelIndex&, int first, int last) {
                     const std::int64_t now = WallNs();
                     if (first_line_wall == 0) {
                       first_line_wall = now;
                     }
                     last_line_wall = now;
                     for (int row = first; row <= last; ++row) {
                       const QListWidgetItem* line = log.item(row);
                       if (line != nullptr && line->text() == heartbeat) {
                         ++heartbeat_lines;
                       }
                     }
                   });

  // Responsiveness: how late a 10 ms timer on the event loop ever is.
  constexpr std::int64_t kTickNs = 10'000'000;
  std::int64_t last_tick = NowNs();
  std::int64_t max_late_ns = 0;
  std::uint64_t late_over_100ms = 0;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const std::int64_t now = NowNs();
    const std::int64_t late = now - last_tick - kTickNs;
    max_late_ns = std::max(max_late_ns, late);
    if (late > 100'000'000) {
      ++late_over_100ms;
    }
    last_tick = now;
  });
  tick.start(10);

  const std::int64_t start = NowNs();
  std::uint64_t seen_lines = 0;
  long rss_warm = 0;
  std::int64_t last_growth = start;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const std::int64_t now = NowNs();
    const std::uint64_t lines = main_window.TrafficLinesAdded();
    if (lines != seen_lines) {
      seen_lines = lines;
      last_growth = now;
    }
    if (rss_warm == 0 && lines >= options.warm) {
      rss_warm = ResidentKb();
    }
    const std::uint64_t datagrams = lines - heartbeat_lines;
    const std::int64_t dropped = SocketDrops(port1) + SocketDrops(port2) - drops_before;
    const bool all_accounted =
        options.expect > 0 && datagrams + static_cast<std::uint64_t>(dropped) >= options.expect;
    const bool idle = lines > 0 && now - last_growth > std::int64_t{options.idle_ms} * 1'000'000;
    const bool too_long = now - start > std::int64_t{options.max_s} * 1'000'000'000;
    if (all_accounted || idle || too_long) {
      watch.stop();
      // Let the paints that are due happen, so they are counted too.
      QTimer::singleShot(100, qApp, &QApplication::quit);
    }
  });
  watch.start(20);
  QApplication::exec();
  tick.stop();
  qApp->removeEventFilter(&paints);

  const auto udp_after = UdpCounters();
  const auto delta = [&](const char* name) {
    const auto before = udp_before.find(name);
    const auto after = udp_after.find(name);
    return before == udp_before.end() || after == udp_after.end() ? -1
                                                                  : after->second - before->second;
  };
  const std::uint64_t lines = main_window.TrafficLinesAdded();
  const std::uint64_t datagrams = lines - heartbeat_lines;
  const double span_s = static_cast<double>(last_line_wall - first_line_wall) / 1e9;
  std::printf(
      "result mode=receive datagrams=%" PRIu64 " lines=%" PRIu64 " heartbeat_lines=%" PRIu64
      " socket_drops=%" PRId64 " rcvbuf_errors=%" PRId64 " in_errors=%" PRId64
      " first_line_wall_ns=%" PRId64 " last_line_wall_ns=%" PRId64
      " receive_rate=%.0f log_lines=%d max_late_ms=%.1f late_over_100ms=%" PRIu64
      " grid_paints=%" PRIu64 " log_paints=%" PRIu64 " all_paints=%" PRIu64
      " rss_start_kb=%ld rss_warm_kb=%ld rss_end_kb=%ld rcvbuf1=%d rcvbuf2=%d qt_messages=%" PRIu64
      "\n",
      datagrams, lines, heartbeat_lines, SocketDrops(port1) + SocketDrops(port2) - drops_before,
      delta("RcvbufErrors"), delta("InErrors"), first_line_wall, last_line_wall,
      span_s > 0 ? static_cast<double>(datagrams) / span_s : 0.0, log.LineCount(),
      static_cast<double>(max_late_ns) / 1e6, late_over_100ms, paints.grid_paints,
      paints.log_paints, paints.all_paints, rss_start, rss_warm, ResidentKb(),
      listener.ReceiveBufferSize(0), listener.ReceiveBufferSize(1), qt_messages);
  return 0;
}

// --- latency --------------------------------------------------------------------

// The time trial rider update and the points race standings line of the demo,
// with the rider's name replaced by "T" and the sending time in nanoseconds.
std::string LatencyRecord(const std::string& family, std::int64_t sent_ns) {
  std::string stamp = "T";
  stamp += std::to_string(sent_ns);
  if (family == "pts") {
    return "{ptsrace}+{standings}4{rnk}5{bib}39{name}" + stamp +
           "{status}{pts}23{laps}+1{vics}2{secs}1{final}7{sprint}3{sname}Sprint 4 - Lap 40"
           "{name1}18 DE VRIES M{pts1}5{name2}11 HOFFMANN K{pts2}3{name3}46 DUBOIS A{pts3}2"
           "{name4}25 O'NEILL S{pts4}1{name5}53 ROSSI G{pts5}0";
  }
  std::string record = "{tt}+{tick-hit}1{crs}0{stack}0{name}" + stamp +
                       "{time}2:22.035{diff}-0.412{rank}2{spdk}54.3 km/h{ltg}7 laps{dist}2250 m";
  for (int lap = 1; lap <= 41; ++lap) {
    record += "{ltg" + std::to_string(lap) + "}" + std::to_string(lap <= 16 ? 16 - lap : 0);
  }
  return record;
}

// The sending time carried by a cell or log line, 0 when none.
std::int64_t StampIn(const std::string& text, std::size_t from = 0) {
  const std::size_t at = text.find("}T", from);
  const std::size_t cell_at = text.rfind('T');
  const std::size_t digits = at != std::string::npos        ? at + 2
                             : cell_at != std::string::npos ? cell_at + 1
                                                            : std::string::npos;
  if (digits == std::string::npos || digits >= text.size()) {
    return 0;
  }
  return std::strtoll(text.c_str() + digits, nullptr, 10);
}

struct Percentiles {
  double p50 = 0, p90 = 0, p99 = 0, max = 0;
  std::size_t count = 0;
};

Percentiles Summarise(std::vector<std::int64_t> samples) {
  Percentiles result;
  result.count = samples.size();
  if (samples.empty()) {
    return result;
  }
  std::sort(samples.begin(), samples.end());
  const auto at = [&](double fraction) {
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
    return static_cast<double>(samples[index]) / 1000.0;
  };
  result.p50 = at(0.50);
  result.p90 = at(0.90);
  result.p99 = at(0.99);
  result.max = static_cast<double>(samples.back()) / 1000.0;
  return result;
}

int RunLatency(const Options& options, CommentatorApp& commentator) {
  TextList& log = TrafficLogList(commentator.Main());
  const quint16 port = commentator.Listener().LocalPort(0);
  const bool pts = options.family == "pts";

  // The first cell each record writes: the rider's name.
  GridModel& grid = pts ? commentator.Data().points_race.standings
                        : commentator.Data().time_trial.panels[0].summary;
  const int cell_col = pts ? 1 : 0;
  const int cell_row = pts ? 5 : 0;

  std::atomic<std::int64_t> measure_from{INT64_MAX};
  std::vector<std::int64_t> cell_samples;
  std::vector<std::int64_t> logged_samples;
  cell_samples.reserve(static_cast<std::size_t>(options.rate) * options.seconds + 16);
  logged_samples.reserve(cell_samples.capacity());
  std::int64_t last_cell_stamp = 0;

  QObject::connect(&grid, &QAbstractItemModel::dataChanged, [&] {
    const std::int64_t now = NowNs();
    const std::int64_t stamp = StampIn(grid.Cell(cell_col, cell_row));
    if (stamp != 0 && stamp != last_cell_stamp) {
      last_cell_stamp = stamp;
      if (stamp >= measure_from.load()) {
        cell_samples.push_back(now - stamp);
      }
    }
  });
  // The log line comes after the whole record has been handled.
  QObject::connect(log.model(), &QAbstractItemModel::rowsInserted,
                   [&](const QModelIndex&, int, int last) {
                     const std::int64_t now = NowNs();
                     const std::int64_t stamp = StampIn(log.Line(last));
                     if (stamp != 0 && stamp >= measure_from.load()) {
                       logged_samples.push_back(now - stamp);
                     }
                   });

  std::atomic<bool> sending_done{false};
  std::atomic<std::int64_t> sent{0};
  std::thread sender([&] {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    const auto send_one = [&] {
      const std::string record = LatencyRecord(options.family, NowNs());
      sendto(fd, record.data(), record.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
    };
    // The first record shows the screen; its cost is not part of the figure.
    send_one();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    measure_from = NowNs();
    const auto start = Clock::now();
    const std::int64_t total = std::int64_t{options.rate} * options.seconds;
    for (std::int64_t i = 0; i < total; ++i) {
      std::this_thread::sleep_until(start +
                                    std::chrono::nanoseconds(i * 1'000'000'000LL / options.rate));
      send_one();
      ++sent;
    }
    ::close(fd);
    sending_done = true;
  });

  QTimer watch;
  std::int64_t done_at = 0;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!sending_done) {
      return;
    }
    if (done_at == 0) {
      done_at = NowNs();
    }
    if (NowNs() - done_at > 500'000'000) {
      watch.stop();
      QApplication::quit();
    }
  });
  watch.start(50);
  QApplication::exec();
  sender.join();

  const Percentiles cells = Summarise(cell_samples);
  const Percentiles logged = Summarise(logged_samples);
  std::printf("result mode=latency family=%s rate=%d seconds=%d sent=%" PRId64
              " cell_samples=%zu cell_p50_us=%.1f cell_p90_us=%.1f cell_p99_us=%.1f "
              "cell_max_us=%.1f logged_samples=%zu logged_p50_us=%.1f logged_p90_us=%.1f "
              "logged_p99_us=%.1f logged_max_us=%.1f\n",
              options.family.c_str(), options.rate, options.seconds, sent.load(), cells.count,
              cells.p50, cells.p90, cells.p99, cells.max, logged.count, logged.p50, logged.p90,
              logged.p99, logged.max);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: receiver_harness receive [--port1 P] [--port2 P] [--expect N] "
                 "[--idle-ms MS] [--max-s S] [--warm N] [--record FILE]\n"
                 "       receiver_harness latency [--family tt|pts] [--rate N] [--seconds S]\n");
    return 2;
  }
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  qInstallMessageHandler(CountMessage);
  QApplication app(argc, argv);
  QTemporaryDir work;
  if (!work.isValid() || !QDir::setCurrent(work.path())) {
    return 1;
  }
  CommentatorApp commentator(ListenerPorts{options.port1, options.port2});
  if (!options.record.empty()) {
    QString error;
    if (!commentator.StartRecording(QString::fromLocal8Bit(options.record.c_str()), error)) {
      std::fprintf(stderr, "receiver_harness: %s\n", qPrintable(error));
      return 1;
    }
  }
  commentator.ShowMainWindow();
  QApplication::processEvents();
  if (!commentator.Listener().IsOpen(0) || !commentator.Listener().IsOpen(1)) {
    std::fprintf(stderr, "receiver_harness: cannot open the listener's ports\n");
    return 1;
  }
  PrintReady(commentator.Listener());
  const int status = options.mode == "latency" ? RunLatency(options, commentator)
                                               : RunReceive(options, commentator);
  std::fflush(stdout);
  return status;
}
