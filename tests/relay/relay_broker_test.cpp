// The relay over a real mosquitto on loopback: records relayed whole and
// in order, a late joiner's screens, a broker that goes away and comes
// back, TLS and passwords; the library's two ends and race-feed's.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "broker_process.h"
#include "relay/relay.h"
#include "relay_pump.h"
#include "support/record_fakes.h"
#include "tools/race_feed/demo.h"

namespace relay {
namespace {

using namespace std::chrono_literals;
using Connection = RelayStatus::Connection;

constexpr std::uint32_t kVenue = 0x0a000005;  // 10.0.0.5

BrokerOptions OptionsFor(const BrokerProcess& broker, const std::string& user = "") {
  BrokerOptions options;
  std::string error;
  EXPECT_TRUE(ParseBrokerUrl(broker.Url(user), options, error)) << error;
  options.topic =
      "venue/" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
  return options;
}

// A subscriber end that keeps what it hands on.
struct Subscriber {
  explicit Subscriber(BrokerOptions options)
      : relay(std::move(options), Role::kSubscribe,
              [this](const RecordMessage& message) { got.push_back(message); }) {}
  std::vector<std::string> Bytes() const {
    std::vector<std::string> bytes;
    for (const RecordMessage& message : got) {
      bytes.push_back(message.bytes);
    }
    return bytes;
  }
  std::vector<RecordMessage> got;
  Relay relay;
};

bool Connected(const Relay& relay) {
  return relay.Status().connection == Connection::kConnected;
}

// A subscriber follows the live feed once its subscription is in, which is
// a little after it connects: the first record it gets shows that it is.
// The record is one the snapshot keeps, so it comes either way.
constexpr std::string_view kWarmUp = "{sprintf}+{title}warm-up";

bool WarmUp(Relay& publisher, Subscriber& subscriber) {
  if (!PumpUntil({&publisher, &subscriber.relay},
                 [&] { return Connected(publisher) && Connected(subscriber.relay); })) {
    return false;
  }
  publisher.Publish(0, kVenue, kWarmUp, 0);
  return PumpUntil({&publisher, &subscriber.relay}, [&] { return subscriber.got.size() == 1; });
}

// Random datagrams: every byte value, lengths from empty to 1024.
std::vector<std::string> AwkwardDatagrams(int count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::string> datagrams;
  for (int i = 0; i < count; ++i) {
    const int length = i == 0 ? 0 : i == 1 ? 1024 : std::uniform_int_distribution(0, 300)(random);
    std::string bytes;
    for (int b = 0; b < length; ++b) {
      bytes += static_cast<char>(std::uniform_int_distribution(0, 255)(random));
    }
    datagrams.push_back(bytes);
  }
  return datagrams;
}

std::vector<std::string> ScreensAfter(const std::vector<std::string>& records) {
  RecordsFixture screens;
  for (const std::string& record : records) {
    screens.Dispatch(std::string_view(record.c_str()));
  }
  return ::Snapshot(screens.data);
}

std::vector<std::string> DemoRecords() {
  std::vector<std::string> records;
  for (const auto& entry : race_feed::DemoSession()) {
    records.push_back(entry.record);
  }
  return records;
}

class RelayBrokerTest : public ::testing::Test {
 protected:
  void StartBroker(BrokerProcess::Setup setup = BrokerProcess::Setup()) {
    broker_ = std::make_unique<BrokerProcess>(std::move(setup));
    ASSERT_TRUE(broker_->Start()) << broker_->Error();
  }
  std::unique_ptr<BrokerProcess> broker_;
};

// ---- The library's two ends ----

TEST_F(RelayBrokerTest, RecordsArriveOnceInOrderWithTheirPortAndSender) {
  StartBroker();
  Subscriber subscriber(OptionsFor(*broker_));
  Relay publisher(OptionsFor(*broker_), Role::kPublish);
  ASSERT_TRUE(subscriber.relay.Start());
  ASSERT_TRUE(publisher.Start());
  ASSERT_TRUE(WarmUp(publisher, subscriber));

  const std::vector<std::string> datagrams = AwkwardDatagrams(2000, 17);
  for (std::size_t i = 0; i < datagrams.size(); ++i) {
    publisher.Publish(static_cast<int>(i % 3 == 0), kVenue + static_cast<std::uint32_t>(i % 2),
                      datagrams[i], 1000 + static_cast<std::int64_t>(i));
  }
  ASSERT_TRUE(PumpUntil(
      {&publisher, &subscriber.relay}, [&] { return subscriber.got.size() >= datagrams.size(); },
      20s))
      << subscriber.got.size() << " of " << datagrams.size() << " sub "
      << DescribeStatus(subscriber.relay.Status()) << " pub " << DescribeStatus(publisher.Status())
      << " relayed " << publisher.Status().relayed;
  PumpFor({&publisher, &subscriber.relay}, 100ms);
  ASSERT_EQ(subscriber.got.size(), datagrams.size() + 1);
  for (std::size_t i = 0; i < datagrams.size(); ++i) {
    const RecordMessage& got = subscriber.got[i + 1];
    ASSERT_EQ(got.sequence, i + 2);
    ASSERT_EQ(got.bytes, datagrams[i]) << i;
    ASSERT_EQ(got.port_index, static_cast<int>(i % 3 == 0)) << i;
    ASSERT_EQ(got.sender, kVenue + i % 2) << i;
    ASSERT_EQ(got.received_us, 1000 + static_cast<std::int64_t>(i)) << i;
  }
  EXPECT_EQ(publisher.Status().relayed, datagrams.size() + 1);
  EXPECT_EQ(publisher.Status().queued, 0u);
}

TEST_F(RelayBrokerTest, ALateJoinerSeesTheCurrentScreensWithoutANewRecord) {
  StartBroker();
  Relay publisher(OptionsFor(*broker_), Role::kPublish);
  ASSERT_TRUE(publisher.Start());
  ASSERT_TRUE(PumpUntil({&publisher}, [&] { return Connected(publisher); }));
  const std::vector<std::string> records = DemoRecords();
  for (std::size_t i = 0; i < records.size(); ++i) {
    publisher.Publish(static_cast<int>(i % 2), kVenue, records[i], 0);
  }
  // Taken by the broker, and the snapshot after them (at most a second later).
  ASSERT_TRUE(PumpUntil({&publisher}, [&] { return publisher.Status().queued == 0; }));
  PumpFor({&publisher}, 1200ms);

  Subscriber late(OptionsFor(*broker_));
  ASSERT_TRUE(late.relay.Start());
  const auto joined = std::chrono::steady_clock::now();
  ASSERT_TRUE(PumpUntil(
      {&publisher, &late.relay}, [&] { return !late.got.empty(); }, 5s));
  EXPECT_LT(std::chrono::steady_clock::now() - joined, 1s);
  PumpFor({&publisher, &late.relay}, 200ms);
  EXPECT_EQ(publisher.Status().relayed, records.size()) << "nothing new was published";
  EXPECT_LT(late.got.size(), records.size() / 4);
  EXPECT_EQ(ScreensAfter(late.Bytes()), ScreensAfter(records));
  EXPECT_EQ(late.relay.Status().lost, 0u);
}

TEST_F(RelayBrokerTest, ABrokerRestartLosesNothingWithinTheQueue) {
  StartBroker();
  Subscriber subscriber(OptionsFor(*broker_));
  Relay publisher(OptionsFor(*broker_), Role::kPublish);
  ASSERT_TRUE(subscriber.relay.Start());
  ASSERT_TRUE(publisher.Start());
  ASSERT_TRUE(WarmUp(publisher, subscriber));
  const std::vector<std::string> datagrams = AwkwardDatagrams(800, 5);
  for (std::size_t i = 0; i < 300; ++i) {
    publisher.Publish(0, kVenue, datagrams[i], 0);
  }
  ASSERT_TRUE(
      PumpUntil({&publisher, &subscriber.relay}, [&] { return subscriber.got.size() == 301; }));

  broker_->Stop();
  PumpFor({&publisher, &subscriber.relay}, 300ms);
  for (std::size_t i = 300; i < datagrams.size(); ++i) {
    publisher.Publish(1, kVenue, datagrams[i], 0);
  }
  const RelayStatus waiting = publisher.Status();
  EXPECT_EQ(waiting.connection, Connection::kRetrying);
  EXPECT_GE(waiting.queued, 500u);
  EXPECT_NE(DescribeStatus(waiting).find("reconnecting in "), std::string::npos)
      << DescribeStatus(waiting);

  ASSERT_TRUE(broker_->Start()) << broker_->Error();
  ASSERT_TRUE(PumpUntil(
      {&publisher, &subscriber.relay}, [&] { return subscriber.got.size() > datagrams.size(); },
      30s))
      << subscriber.got.size() << " " << DescribeStatus(subscriber.relay.Status());
  PumpFor({&publisher, &subscriber.relay}, 200ms);
  ASSERT_EQ(subscriber.got.size(), datagrams.size() + 1);
  for (std::size_t i = 0; i < datagrams.size(); ++i) {
    ASSERT_EQ(subscriber.got[i + 1].sequence, i + 2);
    ASSERT_EQ(subscriber.got[i + 1].bytes, datagrams[i]);
  }
  EXPECT_EQ(publisher.Status().lost, 0u);
  EXPECT_EQ(publisher.Status().queued, 0u);
  EXPECT_EQ(subscriber.relay.Status().lost, 0u);
}

TEST_F(RelayBrokerTest, BeyondTheQueueTheLossIsCountedAndTheScreensCatchUp) {
  StartBroker();
  BrokerOptions options = OptionsFor(*broker_);
  options.queue_limit = 100;
  Subscriber subscriber(OptionsFor(*broker_));
  Relay publisher(options, Role::kPublish);
  ASSERT_TRUE(subscriber.relay.Start());
  ASSERT_TRUE(publisher.Start());
  ASSERT_TRUE(WarmUp(publisher, subscriber));
  std::vector<std::string> records = DemoRecords();
  records.insert(records.begin(), std::string(kWarmUp));
  ASSERT_GT(records.size(), 600u);
  // Connected, the queue holds what the broker has not acknowledged yet.
  auto publish_paced = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      ASSERT_TRUE(PumpUntil({&publisher}, [&] { return publisher.Status().queued < 50; }));
      publisher.Publish(0, kVenue, records[i], 0);
    }
  };
  publish_paced(1, 200);
  ASSERT_TRUE(
      PumpUntil({&publisher, &subscriber.relay}, [&] { return subscriber.got.size() == 200; }));
  EXPECT_EQ(publisher.Status().lost, 0u);

  broker_->Stop();
  PumpFor({&publisher, &subscriber.relay}, 300ms);
  for (std::size_t i = 200; i < 500; ++i) {
    publisher.Publish(0, kVenue, records[i], 0);
  }
  EXPECT_EQ(publisher.Status().queued, 100u);
  EXPECT_EQ(publisher.Status().lost, 200u);
  EXPECT_NE(DescribeStatus(publisher.Status()).find("queue 100 records, records lost 200"),
            std::string::npos)
      << DescribeStatus(publisher.Status());

  ASSERT_TRUE(broker_->Start()) << broker_->Error();
  ASSERT_TRUE(PumpUntil(
      {&publisher}, [&] { return Connected(publisher); }, 30s));
  publish_paced(500, records.size());
  ASSERT_TRUE(PumpUntil(
      {&publisher, &subscriber.relay},
      [&] { return !subscriber.got.empty() && subscriber.got.back().sequence == records.size(); },
      30s));
  EXPECT_EQ(publisher.Status().lost, 200u);
  // The snapshot filled the hole: the screens are the venue's.
  EXPECT_EQ(ScreensAfter(subscriber.Bytes()), ScreensAfter(records));
  EXPECT_GT(subscriber.relay.Status().lost, 0u);
  EXPECT_LE(subscriber.relay.Status().lost, 200u);
  for (std::size_t i = 1; i < subscriber.got.size(); ++i) {
    ASSERT_LT(subscriber.got[i - 1].sequence, subscriber.got[i].sequence);
  }
}

TEST_F(RelayBrokerTest, TlsChecksTheCertificateAndTheBrokerThePassword) {
  StartBroker({.tls = true, .user = "alice", .password = "s3cret"});
  struct Case {
    std::string cafile;
    std::string password;  // empty: no password file
    std::string error;     // empty: connects
  };
  const Case cases[] = {
      {broker_->CaFile(), "s3cret", ""},
      {broker_->OtherCaFile(), "s3cret",
       "certificate verify failed (is --cafile the CA that signed the broker's certificate?)"},
      {broker_->CaFile(), "wrong", "refused the user name or password"},
      {broker_->CaFile(), "", "refused the user name or password"},
  };
  for (const Case& c : cases) {
    BrokerOptions options = OptionsFor(*broker_, "alice");
    options.cafile = c.cafile;
    if (!c.password.empty()) {
      options.password_file = broker_->PasswordFile(c.password);
    }
    Relay publisher(options, Role::kPublish);
    ASSERT_TRUE(publisher.Start()) << publisher.Status().error;
    ASSERT_TRUE(PumpUntil(
        {&publisher}, [&] { return Connected(publisher) || publisher.Status().refused; }, 5s))
        << DescribeStatus(publisher.Status());
    const RelayStatus status = publisher.Status();
    if (c.error.empty()) {
      EXPECT_EQ(status.connection, Connection::kConnected) << status.error;
    } else {
      EXPECT_TRUE(status.refused);
      EXPECT_NE(status.error.find(c.error), std::string::npos) << status.error;
    }
  }
  BrokerOptions options = OptionsFor(*broker_, "alice");
  options.cafile = broker_->Dir() + "/missing.crt";
  Relay unusable(options, Role::kPublish);
  EXPECT_FALSE(unusable.Start());
  EXPECT_NE(unusable.Status().error.find("cannot use --cafile"), std::string::npos);
  options.cafile = broker_->CaFile();
  options.password_file = broker_->Dir() + "/missing-password";
  Relay no_password(options, Role::kPublish);
  EXPECT_FALSE(no_password.Start());
  EXPECT_NE(no_password.Status().error.find("cannot read password file"), std::string::npos);
}

// ---- race-feed publish and subscribe ----

// race-feed run in the background, its standard error kept in a file.
class RaceFeedProcess {
 public:
  explicit RaceFeedProcess(const std::vector<std::string>& args) {
    char path[] = "/tmp/race_feed_err_XXXXXX";
    const int fd = mkstemp(path);
    err_path_ = path;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fd, STDERR_FILENO);
      std::vector<char*> argv{const_cast<char*>(RACE_FEED_PATH)};
      for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
      }
      argv.push_back(nullptr);
      execv(RACE_FEED_PATH, argv.data());
      _exit(127);
    }
    close(fd);
  }
  ~RaceFeedProcess() {
    Stop();
    std::remove(err_path_.c_str());
  }
  std::string Err() const {
    std::ifstream file(err_path_);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  // The exit status once it ended by itself within `timeout`; -1 if not.
  int WaitForExit(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0 && std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      }
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }
  // SIGTERM, as Ctrl-C would; the exit status.
  int Stop() {
    if (pid_ <= 0) {
      return -1;
    }
    kill(pid_, SIGTERM);
    int status = WaitForExit(10s);
    if (status < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    return status;
  }
  bool WaitForErr(const std::string& text, std::chrono::milliseconds timeout = 10s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (Err().find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > end) {
        return false;
      }
      std::this_thread::sleep_for(20ms);
    }
    return true;
  }

 private:
  pid_t pid_ = -1;
  std::string err_path_;
};

// Two UDP sockets on loopback, drained by a thread of their own so the
// kernel never drops what race-feed sends.
class UdpCapture {
 public:
  UdpCapture() {
    for (int index = 0; index < 2; ++index) {
      fds_[index] = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      socklen_t size = sizeof address;
      bind(fds_[index], reinterpret_cast<sockaddr*>(&address), size);
      getsockname(fds_[index], reinterpret_cast<sockaddr*>(&address), &size);
      ports_[index] = ntohs(address.sin_port);
    }
    thread_ = std::thread([this] { Drain(); });
  }
  ~UdpCapture() {
    stop_ = true;
    thread_.join();
    close(fds_[0]);
    close(fds_[1]);
  }
  int Port(int index) const { return ports_[index]; }
  std::size_t Count() const { return count_; }
  // Once Count() stopped changing.
  const std::vector<std::string>& Got(int index) const { return got_[index]; }

 private:
  void Drain() {
    while (!stop_) {
      pollfd ready[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
      if (poll(ready, 2, 20) <= 0) {
        continue;
      }
      for (int index = 0; index < 2; ++index) {
        if ((ready[index].revents & POLLIN) != 0) {
          char buffer[2048];
          const ssize_t got = recv(fds_[index], buffer, sizeof buffer, 0);
          if (got >= 0) {
            got_[index].emplace_back(buffer, static_cast<std::size_t>(got));
            ++count_;
          }
        }
      }
    }
  }

  int fds_[2];
  int ports_[2];
  std::vector<std::string> got_[2];
  std::atomic<std::size_t> count_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void SendTo(int port, const std::string& bytes) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  close(fd);
}

// Someone holds UDP `port` on every address.
bool UdpPortTaken(int port) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool taken = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0;
  close(fd);
  return taken;
}

TEST_F(RelayBrokerTest, RaceFeedRelaysAwkwardDatagramsByteForByteToTheirPorts) {
  StartBroker();
  UdpCapture remote;
  const std::string topic = "--topic=venue/race-feed";
  RaceFeedProcess subscribe(
      {"subscribe", broker_->Url(), topic, "--ports",
       std::to_string(remote.Port(0)) + "," + std::to_string(remote.Port(1))});
  ASSERT_TRUE(subscribe.WaitForErr(": connected")) << subscribe.Err();
  const int venue_ports[2] = {FreePort(SOCK_DGRAM), FreePort(SOCK_DGRAM)};
  RaceFeedProcess publish({"publish", broker_->Url(), topic, "--ports",
                           std::to_string(venue_ports[0]) + "," + std::to_string(venue_ports[1])});
  ASSERT_TRUE(publish.WaitForErr(": connected")) << publish.Err();
  ASSERT_TRUE(UdpPortTaken(venue_ports[0]) && UdpPortTaken(venue_ports[1]));

  const std::vector<std::string> datagrams = AwkwardDatagrams(2000, 99);
  std::vector<std::string> expected[2];
  for (std::size_t i = 0; i < datagrams.size(); ++i) {
    const int index = (i * 7 / 3) % 2;
    SendTo(venue_ports[index], datagrams[i]);
    expected[index].push_back(datagrams[i]);
    if (i == 1000) {
      SendTo(venue_ports[0], std::string(1025, 'L'));  // dropped whole, as the screen does
    }
    // About 5,000 a second: race-feed's receive buffer never fills, even at
    // the size an ordinary user may give it.
    if (i % 5 == 0) {
      std::this_thread::sleep_for(1ms);
    }
  }
  const auto end = std::chrono::steady_clock::now() + 20s;
  while (remote.Count() < datagrams.size() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(20ms);
  }
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(publish.Stop(), 0);
  EXPECT_EQ(subscribe.Stop(), 0);
  ASSERT_EQ(remote.Count(), datagrams.size());
  for (int index = 0; index < 2; ++index) {
    ASSERT_EQ(remote.Got(index).size(), expected[index].size()) << "port " << index;
    for (std::size_t i = 0; i < expected[index].size(); ++i) {
      ASSERT_EQ(remote.Got(index)[i], expected[index][i]) << "port " << index << " record " << i;
    }
  }
  EXPECT_NE(publish.Err().find("published 2000 records, 0 lost"), std::string::npos)
      << publish.Err();
}

TEST_F(RelayBrokerTest, RaceFeedStopsWithAClearMessageWhenRefused) {
  StartBroker({.tls = true, .user = "alice", .password = "s3cret"});
  struct Case {
    std::string command;
    std::string cafile;
    std::string password;
    std::string error;
  };
  const Case cases[] = {
      {"publish", broker_->OtherCaFile(), "s3cret", "certificate verify failed"},
      {"subscribe", broker_->CaFile(), "wrong", "refused the user name or password"},
  };
  for (const Case& c : cases) {
    const int ports[2] = {FreePort(SOCK_DGRAM), FreePort(SOCK_DGRAM)};
    RaceFeedProcess feed({c.command, broker_->Url("alice"), "--cafile", c.cafile, "--password-file",
                          broker_->PasswordFile(c.password), "--ports",
                          std::to_string(ports[0]) + "," + std::to_string(ports[1])});
    EXPECT_EQ(feed.WaitForExit(10s), 1) << c.command;
    EXPECT_NE(feed.Err().find(c.error), std::string::npos) << feed.Err();
  }
}

}  // namespace
}  // namespace relay
