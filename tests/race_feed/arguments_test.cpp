// race-feed's command line: what each command and option takes, every
// refusal in one line with status 2, --help and --version.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "tests/race_feed/run_main.h"
#include "tests/relay/password_file_cases.h"
#include "tools/race_feed/options.h"
#include "tools/race_feed/records.h"

namespace race_feed {
namespace {

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
      // Spellings a command-line parser may take: here an option has two
      // dashes, or is -h.
      {{"demo", "-port", "5"}, "unknown option -port"},
      {{"demo", "--h"}, "unknown option --h"},
      {{"demo", "-hh"}, "unknown option -hh"},
      // The first fault on the line is the one named.
      {{"demo", "--port", "0", "--loud"}, "bad value for --port"},
      {{"demo", "--loud", "--port", "0"}, "unknown option --loud"},
      // The limits are named.
      {{"demo", "--speed", "1e-300"}, "(a speed is 0.001 to 1000000)"},
      {{"replay", "-", "--speed", "2e6"}, "(a speed is 0.001 to 1000000)"},
      {{"flood", "--rate", "1e8"}, "(a rate is 0 to 10000000 records a second)"},
      // Options that would do nothing for the command.
      {{"send", "x", "--rate", "5"}, "--rate does nothing for send (only for flood)"},
      {{"send", "x", "--quiet"}, "--quiet does nothing for send"},
      {{"demo", "--count", "5"}, "--count does nothing for demo (only for flood)"},
      {{"subscribe", "mqtt://h", "--start-list", "riders.csv"},
       "--start-list does nothing for subscribe (only for publish)"},
      {{"flood", "--speed", "2"}, "--speed does nothing for flood (only for demo and replay)"},
      {{"publish", "mqtt://h", "--port", "1"}, "--port does nothing for publish"},
      {{"publish", "mqtt://h", "--host", "h"}, "--host does nothing for publish"},
      {{"demo", "--topic", "t"},
       "--topic does nothing for demo (only for publish, subscribe and view-url)"},
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

  // A record or a value is taken whole, whatever it looks like, byte for byte.
  const ParseResult bytes = ParseArguments({"send", "\xe9t\xe9 {x}=1", "--host", "-h"});
  ASSERT_TRUE(bytes.options) << bytes.error;
  EXPECT_EQ(bytes.options->text, "\xe9t\xe9 {x}=1");
  EXPECT_EQ(bytes.options->host, "-h");

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

  const ParseResult publish =
      ParseArguments({"publish", "mqtt://broker.example", "--start-list", "riders.csv"});
  ASSERT_TRUE(publish.options) << publish.error;
  EXPECT_EQ(publish.options->broker.start_list, "riders.csv");
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
}  // namespace
}  // namespace race_feed
