// race-feed sending real datagrams over loopback: records whole and in
// order, replay delays and ports, the source address, flood counts, and
// nothing sent when any record is refused.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "session/session_format.h"
#include "tests/race_feed/run_main.h"
#include "tools/race_feed/records.h"
#include "tools/race_feed/sender.h"

namespace race_feed {
namespace {

using std::chrono::milliseconds;

// A UDP socket on 127.0.0.1 with a port of the system's choosing.
class LoopbackReceiver {
 public:
  struct Datagram {
    std::string text;
    std::string from;
  };

  LoopbackReceiver() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      ADD_FAILURE() << "cannot bind a loopback UDP socket";
      return;
    }
    port_ = ntohs(address.sin_port);
  }
  ~LoopbackReceiver() { close(fd_); }

  int Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }

  std::optional<Datagram> Receive(milliseconds wait = milliseconds(2000)) {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(wait.count())) != 1) {
      return std::nullopt;
    }
    char buffer[2048];
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const ssize_t got =
        recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
    if (got < 0) {
      return std::nullopt;
    }
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, dotted, sizeof dotted);
    return Datagram{std::string(buffer, static_cast<std::size_t>(got)), dotted};
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A file that is removed again at the end of the test.
class TempFile {
 public:
  explicit TempFile(const std::string& contents) {
    char name[] = "/tmp/race_feed_test_XXXXXX";
    const int fd = mkstemp(name);
    path_ = name;
    if (fd < 0 ||
        write(fd, contents.data(), contents.size()) != static_cast<ssize_t>(contents.size())) {
      ADD_FAILURE() << "cannot write " << path_;
    }
    close(fd);
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// ---- Refusals: nothing leaves when any record is bad ----

TEST(RaceFeedRefusal, ATooLongRecordIsRefusedAndNothingSent) {
  LoopbackReceiver receiver;
  const std::string too_long(1025, 'x');
  const Outcome send = RunMain({"send", too_long, "--port", receiver.PortText()});
  EXPECT_EQ(send.status, kExitRuntime);
  EXPECT_NE(send.err.find("longer than 1024"), std::string::npos) << send.err;

  TempFile file("{heartbeat}+\n10\t{tt}+{clr}+\n" + too_long + "\n{heartbeat}+\n");
  const Outcome replay = RunMain({"replay", file.Path(), "--port", receiver.PortText()});
  EXPECT_EQ(replay.status, kExitRuntime);
  EXPECT_NE(replay.err.find("line 3: "), std::string::npos) << replay.err;

  EXPECT_FALSE(receiver.Receive(milliseconds(200))) << "a record went out";
}

TEST(RaceFeedRefusal, RuntimeErrorsExitWithOne) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{"send", "{heartbeat}+", "--host", "300.1.2.3"}, "bad address \"300.1.2.3\""},
      {{"send", "{heartbeat}+", "--host", "1.2.3"}, "bad address"},
      {{"send", "{heartbeat}+", "--source", "127.0.0.999"}, "--source: bad address"},
      {{"replay", "/nonexistent/race-feed/session.txt"}, "cannot read /nonexistent"},
      {{"replay", "/tmp"}, "cannot read /tmp"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = RunMain(c.args);
    EXPECT_EQ(outcome.status, kExitRuntime) << c.args[1];
    EXPECT_NE(outcome.err.find(c.error), std::string::npos) << outcome.err;
  }
}

TEST(RaceFeedRefusal, AFailedSendIsReported) {
  std::string error;
  // Port 0 cannot be sent to; nothing leaves the host.
  const auto sender = Sender::Open({"127.0.0.1", 0, false, ""}, error);
  ASSERT_TRUE(sender) << error;
  EXPECT_FALSE(sender->Send("{heartbeat}+", error));
  EXPECT_NE(error.find("send to 127.0.0.1:0 failed"), std::string::npos) << error;
}

// ---- Over loopback ----

TEST(RaceFeedLoopback, RecordsArriveWholeAndInOrder) {
  LoopbackReceiver receiver;
  std::string error;
  const auto sender = Sender::Open({"127.0.0.1", receiver.Port(), false, ""}, error);
  ASSERT_TRUE(sender) << error;
  const std::vector<std::string> records = {
      "{heartbeat}+", "{tt}+{standings}0{rnk}1{name}A. RIDER GBR{score}4:12.345{dif}",
      std::string(1024, 'z')};
  for (const std::string& record : records) {
    ASSERT_TRUE(sender->Send(record, error)) << error;
  }
  for (const std::string& record : records) {
    const auto got = receiver.Receive();
    ASSERT_TRUE(got) << "missing " << record.substr(0, 30);
    EXPECT_EQ(got->text, record);
  }
}

TEST(RaceFeedLoopback, ReplayFromStandardInputKeepsItsDelays) {
  LoopbackReceiver receiver;
  const auto start = std::chrono::steady_clock::now();
  // 600 ms at speed 3: a 200 ms wait between the two records.
  const Outcome outcome = RunMain({"replay", "-", "--speed", "3", "--port", receiver.PortText()},
                                  "{heartbeat}+\r\n\n600\t{tt}+{clr}+\n");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(outcome.status, kExitOk) << outcome.err;
  EXPECT_TRUE(outcome.err.empty()) << "quiet when not a terminal: " << outcome.err;
  EXPECT_GE(elapsed, milliseconds(195));
  EXPECT_LT(elapsed, milliseconds(500));
  for (const char* expected : {"{heartbeat}+", "{tt}+{clr}+"}) {
    const auto got = receiver.Receive();
    ASSERT_TRUE(got) << expected;
    EXPECT_EQ(got->text, expected);
  }
}

TEST(RaceFeedLoopback, SendingNothingSendsTheEmptyDatagram) {
  LoopbackReceiver receiver;
  const Outcome outcome = RunMain({"send", "", "--port", receiver.PortText()});
  ASSERT_EQ(outcome.status, kExitOk) << outcome.err;
  const auto got = receiver.Receive();
  ASSERT_TRUE(got);
  EXPECT_EQ(got->text, "");
}

TEST(RaceFeedLoopback, ARecordedSessionReplaysByteForByteToItsPorts) {
  LoopbackReceiver ports[2];
  std::string high;
  for (int value = 0x80; value <= 0xff; ++value) {
    high += static_cast<char>(value);
  }
  const std::vector<std::pair<int, std::string>> datagrams = {
      {0, "{scratch}+{name}A\tB"},
      {1, "line\r\nbreaks\rand\nmore"},
      {0, "back\\slash\\t not a tab"},
      {1, high},
      {0, ""},
      {1, std::string(1024, 'z')},
      {0, "250\t{tt}+{clr}+"},
      {1, std::string("zero\0byte", 9)},
  };
  std::string file(session::kSessionHeader);
  file += "\n";
  for (const auto& [index, bytes] : datagrams) {
    file += session::FormatSessionLine({5, ports[index].Port(), "10.0.0.5", bytes});
  }
  TempFile session(file);
  const Outcome outcome = RunMain({"replay", session.Path(), "--port", "9"});
  ASSERT_EQ(outcome.status, kExitOk) << outcome.err;
  for (const auto& [index, bytes] : datagrams) {
    const auto got = ports[index].Receive();
    ASSERT_TRUE(got) << "missing on port " << index << ": " << bytes.substr(0, 20);
    EXPECT_EQ(got->text, bytes);
  }
  EXPECT_FALSE(ports[0].Receive(milliseconds(100)));
}

TEST(RaceFeedLoopback, ChosenSourceAddressIsTheSender) {
  LoopbackReceiver receiver;
  const Outcome outcome =
      RunMain({"send", "{heartbeat}+", "--port", receiver.PortText(), "--source", "127.0.0.2"});
  ASSERT_EQ(outcome.status, kExitOk) << outcome.err;
  const auto got = receiver.Receive();
  ASSERT_TRUE(got);
  EXPECT_EQ(got->from, "127.0.0.2");
}

// A session's records go from their recorded senders where those are this
// machine's; the rest from its own address, and it says how many.
TEST(RaceFeedLoopback, ASessionReplaysFromItsRecordedSenders) {
  LoopbackReceiver receiver;
  const std::vector<std::string> senders = {"127.0.0.7", "127.0.0.8", "203.0.113.5", "127.0.0.7"};
  std::string file(session::kSessionHeader);
  file += "\n#address\t127.0.0.7\n";
  for (const std::string& sender : senders) {
    file += session::FormatSessionLine({0, receiver.Port(), sender, "{heartbeat}+" + sender});
  }
  TempFile session(file);
  const Outcome outcome = RunMain({"replay", session.Path()});
  ASSERT_EQ(outcome.status, kExitOk) << outcome.err;
  EXPECT_NE(outcome.err.find("1 records go from this machine's own address"), std::string::npos)
      << outcome.err;
  for (const std::string& sender : senders) {
    const auto got = receiver.Receive();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->text, "{heartbeat}+" + sender);
    EXPECT_EQ(got->from, sender == "203.0.113.5" ? "127.0.0.1" : sender);
  }

  // --source still chooses one sender for all, and nothing is said.
  const Outcome chosen = RunMain({"replay", session.Path(), "--source", "127.0.0.2"});
  ASSERT_EQ(chosen.status, kExitOk) << chosen.err;
  EXPECT_EQ(chosen.err, "");
  for (std::size_t i = 0; i < senders.size(); ++i) {
    const auto got = receiver.Receive();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->from, "127.0.0.2");
  }
}

TEST(RaceFeedLoopback, FloodSendsExactlyTheCountOfOneFamily) {
  LoopbackReceiver receiver;
  const Outcome outcome = RunMain({"flood", "--rate", "2000", "--count", "30", "--family", "sprint",
                                   "--port", receiver.PortText()});
  ASSERT_EQ(outcome.status, kExitOk) << outcome.err;
  int received = 0;
  while (const auto got = receiver.Receive(milliseconds(300))) {
    EXPECT_EQ(FamilyOf(got->text), Family::kSprint) << got->text;
    ++received;
  }
  EXPECT_EQ(received, 30);
}

}  // namespace
}  // namespace race_feed
