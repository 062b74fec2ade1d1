#include "tools/race_feed/relay_commands.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "relay/delay_line.h"
#include "relay/relay.h"
#include "tools/race_feed/run.h"
#include "tools/race_feed/sender.h"

namespace race_feed {

namespace {

using Clock = std::chrono::steady_clock;

// One byte more than a record may have: a datagram that fills it is too long.
constexpr std::size_t kReceiveBuffer = 1025;
constexpr int kReceiveBufferBytes = 8 << 20;
constexpr auto kDrainBudget = std::chrono::milliseconds(5);
constexpr auto kFlushAtEnd = std::chrono::seconds(3);

volatile std::sig_atomic_t stop_requested = 0;

void RequestStop(int) {
  stop_requested = 1;
}

// SIGINT and SIGTERM end the loop; without SA_RESTART they also cut poll()
// short, so the end comes at once.
class StopSignals {
 public:
  StopSignals() {
    stop_requested = 0;
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_int_);
    sigaction(SIGTERM, &action, &previous_term_);
    std::signal(SIGPIPE, SIG_IGN);
  }
  ~StopSignals() {
    sigaction(SIGINT, &previous_int_, nullptr);
    sigaction(SIGTERM, &previous_term_, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct sigaction previous_int_ {};
  struct sigaction previous_term_ {};
};

// A UDP socket on 0.0.0.0:port. No address reuse: a screen already on the
// port would otherwise lose its datagrams to us without a word.
class UdpListener {
 public:
  ~UdpListener() {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  bool Open(int port, std::string& error) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
      error = std::string("cannot open a UDP socket: ") + std::strerror(errno);
      return false;
    }
    // A burst must wait in the kernel while the broker takes the last one.
    if (setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBufferBytes,
                   sizeof kReceiveBufferBytes) != 0) {
      setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      error = "cannot listen on UDP port " + std::to_string(port) + ": " + std::strerror(errno);
      if (errno == EADDRINUSE) {
        error += " (a commentator screen here can publish itself: --publish)";
      }
      return false;
    }
    return true;
  }
  int Fd() const { return fd_; }

  // One datagram; false when none is waiting.
  bool Receive(std::string& bytes, std::uint32_t& sender, bool& too_long) {
    char buffer[kReceiveBuffer];
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const ssize_t got =
        recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
    if (got < 0) {
      return false;
    }
    too_long = static_cast<std::size_t>(got) == kReceiveBuffer;
    bytes.assign(buffer, static_cast<std::size_t>(got));
    sender = ntohl(from.sin_addr.s_addr);
    return true;
  }

 private:
  int fd_ = -1;
};

int Fail(std::ostream& err, const std::string& message) {
  err << "race-feed: " << message << '\n';
  return kExitRuntime;
}

// Tells the user of each change of the connection (not of each second
// counted down).
class StatusReporter {
 public:
  StatusReporter(const relay::Relay& relay, std::ostream& err, bool quiet)
      : relay_(relay), err_(err), quiet_(quiet) {}
  void Report() {
    const relay::RelayStatus status = relay_.Status();
    const std::string key =
        std::to_string(static_cast<int>(status.connection)) + status.error + "/" +
        std::to_string(status.lost) + "/" + std::to_string(status.restarts) + "/" +
        std::to_string(status.out_of_order) + "/" + std::to_string(status.venue_lost) + "/" +
        std::to_string(status.unreadable);
    if (key == last_ || quiet_) {
      return;
    }
    last_ = key;
    err_ << "race-feed: " << relay_.Options().Url() << ": " << relay::DescribeStatus(status) << '\n'
         << std::flush;
  }

 private:
  const relay::Relay& relay_;
  std::ostream& err_;
  bool quiet_;
  std::string last_;
};

// Runs the relay's share of one poll() round and says how long the round
// may wait for the other sockets.
class RelayPump {
 public:
  explicit RelayPump(relay::Relay& relay) : relay_(relay), next_tick_(Clock::now()) {}

  pollfd Watch() const {
    const int fd = relay_.Socket();
    return {fd, static_cast<short>(fd < 0 ? 0 : POLLIN | (relay_.WantsWrite() ? POLLOUT : 0)), 0};
  }
  int TimeoutMs() const {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(next_tick_ - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
  }
  void Handle(const pollfd& watched) {
    if (watched.fd >= 0 && watched.fd == relay_.Socket()) {
      if ((watched.revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
        relay_.HandleReadable();
      }
      if ((watched.revents & POLLOUT) != 0 && relay_.Socket() == watched.fd) {
        relay_.HandleWritable();
      }
    }
    if (Clock::now() >= next_tick_) {
      next_tick_ = Clock::now() + std::chrono::milliseconds(relay_.Tick());
    }
  }

 private:
  relay::Relay& relay_;
  Clock::time_point next_tick_;
};

// A broker that refuses us before we were ever in is a mistake in the
// command line (password, CA), not a passing trouble.
bool RefusedFromTheStart(const relay::Relay& relay) {
  return relay.Status().refused && !relay.EverConnected();
}

}  // namespace

int RunPublish(const Options& options, std::ostream& err) {
  UdpListener listeners[2];
  for (int index = 0; index < 2; ++index) {
    std::string error;
    if (!listeners[index].Open(options.ports[static_cast<std::size_t>(index)], error)) {
      return Fail(err, error);
    }
  }
  relay::Relay relay(options.broker, relay::Role::kPublish);
  const std::string url = options.broker.Url();
  if (!relay.Start()) {
    return Fail(err, url + ": " + relay.Status().error);
  }
  StopSignals stop_signals;
  StatusReporter reporter(relay, err, options.quiet);
  RelayPump pump(relay);
  std::string bytes;
  while (stop_requested == 0) {
    reporter.Report();
    if (RefusedFromTheStart(relay)) {
      return Fail(err, url + ": " + relay.Status().error);
    }
    pollfd watched[3] = {
        {listeners[0].Fd(), POLLIN, 0}, {listeners[1].Fd(), POLLIN, 0}, pump.Watch()};
    if (poll(watched, 3, std::min(pump.TimeoutMs(), 1000)) < 0 && errno != EINTR) {
      return Fail(err, std::string("poll failed: ") + std::strerror(errno));
    }
    for (int index = 0; index < 2; ++index) {
      if ((watched[index].revents & POLLIN) == 0) {
        continue;
      }
      const Clock::time_point start = Clock::now();
      std::uint32_t sender = 0;
      bool too_long = false;
      while (Clock::now() - start < kDrainBudget &&
             listeners[index].Receive(bytes, sender, too_long)) {
        if (!too_long) {
          // No listening address here: every datagram is shown.
          relay.Publish(index, sender, bytes, relay::NowMicroseconds(), true);
        }
      }
    }
    pump.Handle(watched[2]);
  }
  // What the broker has not taken yet gets a moment to go.
  const Clock::time_point end = Clock::now() + kFlushAtEnd;
  while (relay.Status().queued > 0 &&
         relay.Status().connection == relay::RelayStatus::Connection::kConnected &&
         Clock::now() < end) {
    pollfd watched = pump.Watch();
    poll(&watched, 1, 100);
    pump.Handle(watched);
  }
  const relay::RelayStatus status = relay.Status();
  relay.Stop();
  if (!options.quiet) {
    err << "race-feed: published " << status.relayed << " records, " << status.lost << " lost, "
        << status.queued << " still queued\n";
  }
  return kExitOk;
}

int RunSubscribe(const Options& options, std::ostream& err) {
  std::unique_ptr<Sender> senders[2];
  for (int index = 0; index < 2; ++index) {
    std::string error;
    senders[index] = Sender::Open({options.host, options.ports[static_cast<std::size_t>(index)],
                                   options.broadcast, options.source},
                                  error);
    if (!senders[index]) {
      return Fail(err, error);
    }
  }
  std::string send_error;
  const auto send = [&](const relay::RecordMessage& message) {
    std::string error;
    if (!senders[message.port_index]->Send(message.bytes, error)) {
      send_error = error;
    }
  };
  relay::DelayLine delay_line(std::chrono::seconds(options.broker.delay_s));
  relay::Relay relay(options.broker, relay::Role::kSubscribe,
                     [&](const relay::RecordMessage& message) {
                       delay_line.Push(message, relay::DelayLine::Clock::now());
                     });
  const std::string url = options.broker.Url();
  if (!relay.Start()) {
    return Fail(err, url + ": " + relay.Status().error);
  }
  StopSignals stop_signals;
  StatusReporter reporter(relay, err, options.quiet);
  RelayPump pump(relay);
  while (stop_requested == 0) {
    reporter.Report();
    if (RefusedFromTheStart(relay)) {
      return Fail(err, url + ": " + relay.Status().error);
    }
    pollfd watched = pump.Watch();
    int timeout_ms = std::min(pump.TimeoutMs(), 1000);
    if (const auto due = delay_line.NextDue()) {
      const auto wait =
          std::chrono::ceil<std::chrono::milliseconds>(*due - relay::DelayLine::Clock::now());
      timeout_ms = std::clamp(static_cast<int>(wait.count()), 0, timeout_ms);
    }
    if (poll(&watched, 1, timeout_ms) < 0 && errno != EINTR) {
      return Fail(err, std::string("poll failed: ") + std::strerror(errno));
    }
    pump.Handle(watched);
    relay.DeliverPending();
    delay_line.HandOnDue(relay::DelayLine::Clock::now(), send);
    if (!send_error.empty()) {
      return Fail(err, send_error);
    }
  }
  const relay::RelayStatus status = relay.Status();
  relay.Stop();
  if (!options.quiet) {
    err << "race-feed: handed on " << status.relayed << " records, " << status.lost << " missed\n";
  }
  return kExitOk;
}

}  // namespace race_feed
