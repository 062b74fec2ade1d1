// race-feed: argument parsing, replay lines, the record size limit, the demo
// session's content, and real datagrams over loopback.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "session/session_format.h"
#include "tests/relay/password_file_cases.h"
#include "tools/race_feed/demo.h"
#include "tools/race_feed/options.h"
#include "tools/race_feed/records.h"
#include "tools/race_feed/replay.h"
#include "tools/race_feed/run.h"
#include "tools/race_feed/sender.h"

namespace race_feed {
namespace {

using std::chrono::milliseconds;

// The value of `tag` in `record`: up to the next "{" or the end.
std::string Value(const std::string& record, const std::string& tag) {
  const std::string braced = "{" + tag + "}";
  const std::size_t at = record.find(braced);
  if (at == std::string::npos) {
    return {};
  }
  const std::size_t begin = at + braced.size();
  return record.substr(begin, record.find('{', begin) - begin);
}

bool Has(const std::string& record, const std::string& tag) {
  return record.find("{" + tag + "}") != std::string::npos;
}

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunMain(const std::vector<std::string>& args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = Main(args, in, out, err, false);
  return {status, out.str(), err.str()};
}

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

// ---- Arguments ----

TEST(RaceFeedArguments, WrongCommandLinesAreRefusedWithAReason) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{}, "missing command"},
      {{"fly"}, "unknown command fly"},
      {{"demo", "--loud"}, "unknown option --loud"},
      {{"demo", "extra"}, "unexpected argument extra"},
      {{"send"}, "missing TEXT for send"},
      {{"replay"}, "missing FILE for replay"},
      {{"demo", "--port"}, "missing value for --port"},
      {{"demo", "--host"}, "missing value for --host"},
      {{"demo", "--port", "0"}, "bad value for --port"},
      {{"demo", "--port", "70000"}, "bad value for --port"},
      {{"demo", "--port", "x"}, "bad value for --port"},
      {{"demo", "--port", "291o5"}, "bad value for --port"},
      {{"demo", "--port="}, "bad value for --port"},
      {{"demo", "--speed", "0"}, "bad value for --speed"},
      {{"demo", "--speed", "-2"}, "bad value for --speed"},
      {{"demo", "--speed", "fast"}, "bad value for --speed"},
      {{"demo", "--speed", "inf"}, "bad value for --speed"},
      {{"demo", "--speed", "nan"}, "bad value for --speed"},
      {{"flood", "--rate", "-1"}, "bad value for --rate"},
      {{"flood", "--count", "0"}, "bad value for --count"},
      {{"flood", "--count", "1e3"}, "bad value for --count"},
      {{"flood", "--family", "keirin"}, "bad value for --family"},
      {{"demo", "--quiet=yes"}, "--quiet takes no value"},
      {{"demo", "--version=2"}, "--version takes no value"},
      // The limits are named.
      {{"demo", "--speed", "1e-300"}, "(a speed is 0.001 to 1000000)"},
      {{"replay", "-", "--speed", "2e6"}, "(a speed is 0.001 to 1000000)"},
      {{"flood", "--rate", "1e8"}, "(a rate is 0 to 10000000 records a second)"},
      // Options that would do nothing for the command.
      {{"send", "x", "--rate", "5"}, "--rate does nothing for send (only for flood)"},
      {{"send", "x", "--quiet"}, "--quiet does nothing for send"},
      {{"demo", "--count", "5"}, "--count does nothing for demo (only for flood)"},
      {{"flood", "--speed", "2"}, "--speed does nothing for flood (only for demo and replay)"},
      {{"publish", "mqtt://h", "--port", "1"}, "--port does nothing for publish"},
      {{"publish", "mqtt://h", "--host", "h"}, "--host does nothing for publish"},
      {{"demo", "--topic", "t"}, "--topic does nothing for demo (only for publish and subscribe)"},
      // publish and subscribe.
      {{"publish"}, "missing BROKER for publish"},
      {{"subscribe", "broker.example"}, "bad broker \"broker.example\""},
      {{"publish", "mqtt://h:0"}, "a port is 1..65535"},
      {{"subscribe", "mqtt://alice:pw@h"}, "no password in BROKER, give --password-file"},
      {{"publish", "mqtt://h", "--ports", "29105"}, "bad value for --ports"},
      {{"publish", "mqtt://h", "--ports", "29105,70000"}, "bad value for --ports"},
      {{"publish", "mqtt://h", "--topic", "a/#"}, "bad value for --topic"},
      {{"publish", "mqtt://h", "--cafile", "ca.crt"}, "--cafile needs a TLS broker (mqtts://)"},
      {{"subscribe", "mqtts://h", "--password-file", "pw"}, "needs a user name in BROKER"},
      {{"subscribe", "mqtt://h", "extra"}, "unexpected argument extra"},
  };
  for (const Case& c : cases) {
    const ParseResult result = ParseArguments(c.args);
    std::string joined;
    for (const std::string& arg : c.args) {
      joined += arg + " ";
    }
    EXPECT_FALSE(result.options.has_value()) << joined;
    EXPECT_NE(result.error.find(c.error), std::string::npos)
        << joined << "-> \"" << result.error << "\"";
  }
}

TEST(RaceFeedArguments, UsageErrorsExitWithTwoAndOneLine) {
  const Outcome outcome = RunMain({"demo", "--port", "70000"});
  EXPECT_EQ(outcome.status, kExitUsage);
  EXPECT_EQ(outcome.err.rfind("race-feed: ", 0), 0u) << outcome.err;
  EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
}

TEST(RaceFeedArguments, OptionsGoAnywhereInEitherForm) {
  const PasswordFiles files;
  const ParseResult flood =
      ParseArguments({"--port=29104", "flood", "--rate", "0", "--count", "50", "--family=tt",
                      "--host", "localhost", "--source", "127.0.0.2", "--broadcast", "--quiet"});
  ASSERT_TRUE(flood.options) << flood.error;
  EXPECT_EQ(flood.options->command, Command::kFlood);
  EXPECT_EQ(flood.options->port, 29104);
  EXPECT_EQ(flood.options->rate, 0.0);
  EXPECT_EQ(flood.options->count, 50);
  EXPECT_EQ(flood.options->family, Family::kTimeTrial);
  EXPECT_EQ(flood.options->host, "localhost");
  EXPECT_EQ(flood.options->source, "127.0.0.2");
  EXPECT_TRUE(flood.options->broadcast);
  EXPECT_TRUE(flood.options->quiet);

  const ParseResult replay = ParseArguments({"replay", "-", "--speed", "2.5"});
  ASSERT_TRUE(replay.options) << replay.error;
  EXPECT_EQ(replay.options->command, Command::kReplay);
  EXPECT_EQ(replay.options->file, "-");
  EXPECT_EQ(replay.options->speed, 2.5);
  EXPECT_EQ(replay.options->port, 29105);
  EXPECT_EQ(replay.options->host, "127.0.0.1");

  // After "--" a record may start with a dash.
  const ParseResult send = ParseArguments({"send", "--", "--odd"});
  ASSERT_TRUE(send.options) << send.error;
  EXPECT_EQ(send.options->text, "--odd");

  const ParseResult subscribe =
      ParseArguments({"--ports=39105,39104", "subscribe", "mqtts://alice@broker.example:9883",
                      "--host", "10.0.0.9", "--topic", "venue/track", "--cafile", "ca.crt",
                      "--password-file", files.Path("private")});
  ASSERT_TRUE(subscribe.options) << subscribe.error;
  EXPECT_EQ(subscribe.options->command, Command::kSubscribe);
  EXPECT_EQ(subscribe.options->ports, (std::array<int, 2>{39105, 39104}));
  EXPECT_EQ(subscribe.options->host, "10.0.0.9");
  EXPECT_EQ(subscribe.options->broker.Url(), "mqtts://alice@broker.example:9883");
  EXPECT_EQ(subscribe.options->broker.topic, "venue/track");
  EXPECT_EQ(subscribe.options->broker.cafile, "ca.crt");
  EXPECT_EQ(subscribe.options->broker.password_file, files.Path("private"));

  const ParseResult publish = ParseArguments({"publish", "mqtt://broker.example"});
  ASSERT_TRUE(publish.options) << publish.error;
  EXPECT_EQ(publish.options->ports, (std::array<int, 2>{29105, 29104}));
  EXPECT_EQ(publish.options->broker.topic, "orvane/feed");
  EXPECT_EQ(publish.options->broker.port, 1883);
}

// Every kind of password file, for both broker commands: one that cannot
// be used is a usage error (status 2, one line), found at once, before any
// port or connection is opened.
TEST(RaceFeedArguments, PasswordFiles) {
  const PasswordFiles files;
  for (const std::string command : {"publish", "subscribe"}) {
    for (const PasswordFileCase& c : PasswordFileCases(files)) {
      std::vector<std::string> args = {command, c.broker};
      if (!c.file.empty()) {
        args.insert(args.end(), {"--password-file", c.file});
      }
      if (c.allow_plain) {
        args.push_back("--allow-plain-password");
      }
      const std::string what = command + ", " + c.what;
      const auto start = std::chrono::steady_clock::now();
      const ParseResult result = ParseArguments(args);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << what;
      if (c.error.empty()) {
        ASSERT_TRUE(result.options) << what << ": " << result.error;
        EXPECT_EQ(result.options->broker.allow_plain_password, c.allow_plain) << what;
      } else {
        EXPECT_FALSE(result.options) << what;
        EXPECT_NE(result.error.find(c.error), std::string::npos) << what << ": " << result.error;
      }
    }
    const Outcome missing =
        RunMain({command, "mqtts://venue@127.0.0.1:1", "--password-file", files.Path("missing")});
    EXPECT_EQ(missing.status, kExitUsage) << missing.err;
    EXPECT_EQ(missing.err.find('\n'), missing.err.size() - 1) << missing.err;
  }
  EXPECT_EQ(ParseArguments({"send", "x", "--allow-plain-password"}).error,
            "--allow-plain-password does nothing for send (only for publish and subscribe)");
  // Arguments are echoed with their control bytes escaped.
  EXPECT_EQ(ParseArguments({"demo", "\x1b[2J"}).error, "unexpected argument \\x1b[2J");
}

TEST(RaceFeedArguments, HelpAndVersionPrintAndSucceed) {
  const Outcome help = RunMain({"demo", "--help"});
  EXPECT_EQ(help.status, kExitOk);
  EXPECT_NE(help.out.find("Usage: race-feed"), std::string::npos);
  EXPECT_TRUE(help.err.empty());

  const Outcome version = RunMain({"publish", "--version"});
  EXPECT_EQ(version.status, kExitOk);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("race-feed \\d+\\.\\d+\\.\\d+\n")))
      << version.out;
}

// ---- Replay lines ----

TEST(RaceFeedReplay, LinesSplitIntoDelayAndRecord) {
  using Kind = ReplayLine::Kind;
  struct Case {
    std::string line;
    Kind kind;
    std::int64_t delay;
    std::string record_or_error;
  };
  const Case cases[] = {
      {"250\t{tt}+{clr}+", Kind::kRecord, 250, "{tt}+{clr}+"},
      {"0\t{heartbeat}+", Kind::kRecord, 0, "{heartbeat}+"},
      {"{heartbeat}+", Kind::kRecord, 0, "{heartbeat}+"},
      {"{heartbeat}+\r", Kind::kRecord, 0, "{heartbeat}+"},
      {"40\t{tt}+\r", Kind::kRecord, 40, "{tt}+"},
      // No all-digit text before the first TAB: the whole line is the record.
      {"abc\t{tt}+", Kind::kRecord, 0, "abc\t{tt}+"},
      {"-5\t{tt}+", Kind::kRecord, 0, "-5\t{tt}+"},
      {"\t{tt}+", Kind::kRecord, 0, "\t{tt}+"},
      {"{scratch}+{name}A\tB", Kind::kRecord, 0, "{scratch}+{name}A\tB"},
      {"", Kind::kSkip, 0, ""},
      {"\r", Kind::kSkip, 0, ""},
      {"250\t", Kind::kError, 0, "no record after the delay"},
      {"86400001\t{tt}+", Kind::kError, 0, "longer than a day"},
      {"99999999999999999999\t{tt}+", Kind::kError, 0, "longer than a day"},
      {std::string(1024, 'x'), Kind::kRecord, 0, std::string(1024, 'x')},
      {"5\t" + std::string(1024, 'x') + "\r", Kind::kRecord, 5, std::string(1024, 'x')},
      {std::string(1025, 'x'), Kind::kError, 0, "1025 bytes is longer than 1024"},
  };
  for (const Case& c : cases) {
    const ReplayLine parsed = ParseReplayLine(c.line);
    const std::string shown = c.line.substr(0, 40);
    ASSERT_EQ(parsed.kind, c.kind) << shown << " " << parsed.error;
    if (c.kind == Kind::kRecord) {
      EXPECT_EQ(parsed.entry.delay_ms, c.delay) << shown;
      EXPECT_EQ(parsed.entry.record, c.record_or_error) << shown;
    } else if (c.kind == Kind::kError) {
      EXPECT_NE(parsed.error.find(c.record_or_error), std::string::npos)
          << shown << " -> " << parsed.error;
    }
  }
}

TEST(RaceFeedReplay, AFileIsCheckedWholeAndABadLineNamed) {
  const ReplayScript good = ParseReplayText("100\t{a}\r\n\n{b}\n\r\n20\t{c}\n");
  ASSERT_TRUE(good.error.empty()) << good.error;
  ASSERT_EQ(good.records.size(), 3u);
  EXPECT_EQ(good.records[0].delay_ms, 100);
  EXPECT_EQ(good.records[0].record, "{a}");
  EXPECT_EQ(good.records[1].record, "{b}");
  EXPECT_EQ(good.records[2].delay_ms, 20);
  EXPECT_EQ(good.records[2].record, "{c}");

  const ReplayScript bad = ParseReplayText("{a}\n\n10\t" + std::string(1025, 'y') + "\n{d}\n");
  EXPECT_EQ(bad.error.rfind("line 3: ", 0), 0u) << bad.error;
  EXPECT_TRUE(bad.records.empty());
}

TEST(RaceFeedReplay, ASessionFileNamesEachRecordsPortAndABadLine) {
  const ReplayScript session = ParseReplayText(
      "#orvane-session 1\r\n"
      "0\t29105\t10.0.0.5\t{heartbeat}+\n"
      "\n"
      "# a note\n"
      "40\t29104\t10.0.0.5\t\n"
      "7\t29105\t10.0.0.6\ta\\tb\\\\\\0\r\n");
  ASSERT_TRUE(session.error.empty()) << session.error;
  EXPECT_TRUE(session.session);
  ASSERT_EQ(session.records.size(), 3u);
  EXPECT_EQ(session.records[0].port, 29105);
  EXPECT_EQ(session.records[1].port, 29104);
  EXPECT_EQ(session.records[1].delay_ms, 40);
  EXPECT_EQ(session.records[1].record, "");
  EXPECT_EQ(session.records[2].record, std::string("a\tb\\\0", 5));

  struct Case {
    std::string line;
    std::string error;
  };
  const Case bad[] = {
      {"0\t29105\t10.0.0.5\t" + std::string(1025, 'x'), "line 2: record of 1025 bytes"},
      {"0\t0\t10.0.0.5\tx", "line 2: port \"0\""},
      {"{tt}+", "line 2: not DELAY_MS<TAB>PORT<TAB>SENDER<TAB>TEXT"},
      {"0\t29105\t10.0.0.5\tbad\\q", "line 2: unknown escape \\q"},
  };
  for (const Case& c : bad) {
    const ReplayScript script = ParseReplayText("#orvane-session 1\n" + c.line + "\n");
    EXPECT_NE(script.error.find(c.error), std::string::npos) << c.line << " -> " << script.error;
    EXPECT_TRUE(script.records.empty());
  }
  // The header only counts on the first line.
  const ReplayScript old_format = ParseReplayText("{a}\n#orvane-session 1\n");
  EXPECT_FALSE(old_format.session);
  EXPECT_EQ(old_format.records.size(), 2u);
}

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

// ---- The demo session ----

class DemoSessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { session_ = new std::vector<TimedRecord>(DemoSession()); }
  static void TearDownTestSuite() { delete session_; }

  static std::vector<std::string> RecordsOf(Family family) {
    std::vector<std::string> records;
    for (const TimedRecord& entry : *session_) {
      if (FamilyOf(entry.record) == family) {
        records.push_back(entry.record);
      }
    }
    return records;
  }

  // The family's records split at each clear, the clears left out.
  static std::vector<std::vector<std::string>> Races(Family family) {
    std::vector<std::vector<std::string>> races;
    for (const std::string& record : RecordsOf(family)) {
      if (Value(record, "clr") == "+") {
        races.emplace_back();
      } else if (!races.empty()) {
        races.back().push_back(record);
      }
    }
    return races;
  }

  static std::vector<TimedRecord>* session_;
};

std::vector<TimedRecord>* DemoSessionTest::session_ = nullptr;

TEST_F(DemoSessionTest, EveryRecordFitsBelongsToAFamilyAndTheRunIsRepeatable) {
  std::map<Family, int> counts;
  std::int64_t total_ms = 0;
  std::int64_t last_heartbeat = 0;
  std::int64_t longest_silence = 0;
  for (const TimedRecord& entry : *session_) {
    EXPECT_TRUE(RecordProblem(entry.record).empty()) << entry.record;
    EXPECT_GE(entry.delay_ms, 0);
    const auto family = FamilyOf(entry.record);
    ASSERT_TRUE(family) << entry.record;
    ++counts[*family];
    total_ms += entry.delay_ms;
    if (*family == Family::kHeartbeat) {
      longest_silence = std::max(longest_silence, total_ms - last_heartbeat);
      last_heartbeat = total_ms;
    }
  }
  for (Family family : {Family::kHeartbeat, Family::kScratch, Family::kQuickText, Family::kSprint,
                        Family::kPointsRace, Family::kTimeTrial}) {
    EXPECT_GT(counts[family], 0) << static_cast<int>(family);
  }
  EXPECT_GE(total_ms, 180'000);
  EXPECT_LE(total_ms, 300'000);
  EXPECT_LE(longest_silence, 5000);
  EXPECT_GE(counts[Family::kQuickText], 5);

  const std::vector<TimedRecord> again = DemoSession();
  ASSERT_EQ(again.size(), session_->size());
  for (std::size_t i = 0; i < again.size(); ++i) {
    ASSERT_EQ(again[i].record, (*session_)[i].record) << i;
    ASSERT_EQ(again[i].delay_ms, (*session_)[i].delay_ms) << i;
  }
}

TEST_F(DemoSessionTest, KeirinAndScratchFieldsWithChangingStatuses) {
  const auto races = Races(Family::kScratch);
  ASSERT_EQ(races.size(), 2u);
  std::vector<std::size_t> field_sizes;
  std::set<std::string> statuses;
  for (const auto& race : races) {
    std::set<std::string> bibs;
    std::set<std::string> laps;
    for (const std::string& record : race) {
      if (Has(record, "title")) {
        EXPECT_FALSE(Value(record, "title").empty());
        continue;
      }
      const int position = std::atoi(Value(record, "list").c_str());
      EXPECT_TRUE(position >= 0 && position <= 49) << record;
      // A line rewrites its whole row, so it carries all six cells.
      for (const char* tag : {"rank", "bib", "name", "nat", "status", "laps"}) {
        EXPECT_TRUE(Has(record, tag)) << tag << " in " << record;
      }
      EXPECT_TRUE(std::regex_match(Value(record, "nat"), std::regex("[A-Z]{3}"))) << record;
      bibs.insert(Value(record, "bib"));
      laps.insert(Value(record, "laps"));
      statuses.insert(Value(record, "status"));
    }
    EXPECT_GT(laps.size(), 3u);
    field_sizes.push_back(bibs.size());
  }
  EXPECT_TRUE(field_sizes[0] == 6 || field_sizes[0] == 7) << field_sizes[0];
  EXPECT_EQ(field_sizes[1], 24u);
  for (const char* status : {"DNF", "-1 LAP", "+1 LAP"}) {
    EXPECT_EQ(statuses.count(status), 1u) << status;
  }
  // The heat heading gets its time and speed at the finish.
  const std::string& heading = *std::find_if(races[0].rbegin(), races[0].rend(),
                                             [](const auto& r) { return Has(r, "title"); });
  EXPECT_TRUE(std::regex_match(Value(heading, "time"), std::regex("\\d+\\.\\d{3}"))) << heading;
  EXPECT_FALSE(Value(heading, "spd").empty()) << heading;
}

TEST_F(DemoSessionTest, PointsRaceStandingsAddUpToTheSprints) {
  const auto races = Races(Family::kPointsRace);
  ASSERT_EQ(races.size(), 1u);
  std::set<std::string> sprint_names;
  std::set<std::string> bibs;
  int sprint_points = 0;
  std::vector<std::string> table;  // the latest full table
  std::vector<std::string> building;
  for (const std::string& record : races[0]) {
    if (Has(record, "sprint")) {
      const std::string name = Value(record, "sname");
      EXPECT_TRUE(std::regex_match(name, std::regex("Sprint \\d+ - (Lap \\d+|Finish)"))) << name;
      sprint_names.insert(name);
      for (int place = 1; place <= 4; ++place) {
        EXPECT_FALSE(Value(record, "name" + std::to_string(place)).empty()) << record;
        sprint_points += std::atoi(Value(record, "pts" + std::to_string(place)).c_str());
      }
    }
    if (Has(record, "standings")) {
      const int position = std::atoi(Value(record, "standings").c_str());
      if (position == 0) {
        building.clear();
      }
      // Tables are sent whole, in order.
      ASSERT_EQ(position, static_cast<int>(building.size())) << record;
      building.push_back(record);
      bibs.insert(Value(record, "bib"));
      if (building.size() == 20) {
        table = building;
      }
    }
  }
  EXPECT_GE(sprint_names.size(), 6u);
  EXPECT_EQ(bibs.size(), 20u);
  ASSERT_EQ(table.size(), 20u);

  int standing_points = 0;
  int lap_points = 0;
  int previous = 1 << 30;
  for (const std::string& line : table) {
    const int points = std::atoi(Value(line, "pts").c_str());
    standing_points += points;
    lap_points += 20 * std::atoi(Value(line, "laps").c_str());
    if (Value(line, "status") != "DNF") {
      EXPECT_LE(points, previous) << "standings out of order at " << line;
      previous = points;
      EXPECT_FALSE(Value(line, "rnk").empty()) << line;
    }
  }
  EXPECT_EQ(standing_points, sprint_points + lap_points);
}

TEST_F(DemoSessionTest, SprintHeatsOfTwoAndThreeWithConsistentSpeeds) {
  std::set<int> heat_sizes;
  int finished = 0;
  for (const std::string& record : RecordsOf(Family::kSprint)) {
    EXPECT_FALSE(Value(record, "title").empty());
    for (const char* tag :
         {"rnk1", "r1", "rnk2", "r2", "rnk3", "r3", "rnk4", "r4", "et", "spdk", "spdm"}) {
      EXPECT_TRUE(Has(record, tag)) << tag << " in " << record;
    }
    int riders = 0;
    for (int line = 1; line <= 4; ++line) {
      riders += Value(record, std::string("r").append(std::to_string(line))).empty() ? 0 : 1;
    }
    heat_sizes.insert(riders);
    const std::string time = Value(record, "et");
    if (time.empty()) {
      continue;
    }
    ++finished;
    EXPECT_TRUE(std::regex_match(time, std::regex("\\d{2}\\.\\d{3}"))) << time;
    // 200 m in that time, each speed rounded to two places.
    const double kmh = 720.0 / std::atof(time.c_str());
    EXPECT_NEAR(std::atof(Value(record, "spdk").c_str()), kmh, 0.0051) << record;
    EXPECT_NEAR(std::atof(Value(record, "spdm").c_str()), kmh / 1.609344, 0.0051) << record;
    EXPECT_EQ(Value(record, "rnk1"), "1");
  }
  EXPECT_EQ(heat_sizes, (std::set<int>{2, 3}));
  EXPECT_GE(finished, 2);
}

TEST_F(DemoSessionTest, TimeTrialUsesBothPanelsLapByLap) {
  const auto races = Races(Family::kTimeTrial);
  ASSERT_EQ(races.size(), 1u);
  const std::regex digit_like("[+-]?(\\d+:)?\\d+\\.\\d+");
  std::map<std::string, int> laps_to_go;  // per rider, the last seen
  std::map<std::string, int> panel_ticks;
  int audits = 0;
  int rider_clears = 0;
  std::set<std::string> standings_names;
  int longest_table = 0;
  for (const std::string& record : races[0]) {
    if (Value(record, "clr_racers") == "+") {
      ++rider_clears;
    } else if (Has(record, "standings")) {
      standings_names.insert(Value(record, "name"));
      longest_table = std::max(longest_table, std::atoi(Value(record, "standings").c_str()) + 1);
      EXPECT_TRUE(std::regex_match(Value(record, "score"), digit_like)) << record;
    } else if (Has(record, "tick-hit")) {
      const std::string panel = Value(record, "crs") + "/" + Value(record, "stack");
      ++panel_ticks[panel];
      EXPECT_TRUE(std::regex_match(Value(record, "time"), digit_like)) << record;
      EXPECT_TRUE(std::regex_match(Value(record, "diff"), digit_like)) << record;
      EXPECT_FALSE(Value(record, "ltg1").empty()) << record;
      const std::string name = Value(record, "name");
      const int to_go = std::atoi(Value(record, "ltg").c_str());
      if (laps_to_go.count(name) != 0) {
        EXPECT_EQ(to_go, laps_to_go[name] - 1) << record;
      }
      laps_to_go[name] = to_go;
    } else if (Has(record, "audit")) {
      ++audits;
      EXPECT_FALSE(Value(record, "n1").empty()) << record;
      EXPECT_FALSE(Value(record, "d1").empty()) << record;
    } else {
      ADD_FAILURE() << "not a time trial update: " << record;
    }
  }
  EXPECT_EQ(standings_names.size(), 16u);
  EXPECT_EQ(longest_table, 16);
  EXPECT_EQ(laps_to_go.size(), 16u);
  for (const auto& [name, to_go] : laps_to_go) {
    EXPECT_EQ(to_go, 0) << name << " did not finish";
  }
  EXPECT_EQ(panel_ticks.size(), 2u);
  EXPECT_GT(panel_ticks["0/0"], 0);
  EXPECT_GT(panel_ticks["0/1"], 0);
  EXPECT_GT(audits, 0);
  EXPECT_EQ(rider_clears, 8);
}

TEST_F(DemoSessionTest, QuickTextIsAlwaysEightLines) {
  bool announces_next = false;
  for (const std::string& record : RecordsOf(Family::kQuickText)) {
    EXPECT_EQ(record.rfind("{qdtype}+{data},", 0), 0u) << record;
    EXPECT_EQ(std::count(record.begin(), record.end(), ','), 9) << record;
    EXPECT_EQ(record.back(), ',') << record;
    announces_next = announces_next || record.find(",NEXT: ") != std::string::npos;
  }
  EXPECT_TRUE(announces_next);
}

TEST(RaceFeedFlood, EachFamilyPoolHoldsOnlyThatFamilyWithoutClears) {
  for (Family family : {Family::kScratch, Family::kTimeTrial, Family::kPointsRace, Family::kSprint,
                        Family::kQuickText}) {
    const std::vector<std::string> pool = FloodPool(family);
    ASSERT_FALSE(pool.empty()) << static_cast<int>(family);
    for (const std::string& record : pool) {
      EXPECT_EQ(FamilyOf(record), family) << record;
      EXPECT_EQ(record.find("{clr"), std::string::npos) << record;
    }
  }
  std::set<std::optional<Family>> mixed;
  for (const std::string& record : FloodPool(Family::kMixed)) {
    mixed.insert(FamilyOf(record));
  }
  EXPECT_EQ(mixed.size(), 6u);
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
