// The command line of race-feed: a parse into Options, so every argument
// error can be tested without a socket or a clock. The one file it opens is
// a --password-file, so one that cannot be used is a usage error too.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "relay/broker_options.h"
#include "tools/race_feed/records.h"

namespace race_feed {

enum class Command {
  kHelp,
  kVersion,
  kDemo,
  kSend,
  kReplay,
  kFlood,
  kPublish,
  kSubscribe,
  kViewUrl,
};

inline constexpr double kMinSpeed = 0.001;
inline constexpr double kMaxSpeed = 1e6;
inline constexpr double kMaxRate = 1e7;
inline constexpr std::int64_t kMaxCount = 100'000'000;

struct Options {
  Command command = Command::kHelp;
  std::string text;  // send: the record; view-url: the page's address
  std::string file;  // replay: the file, "-" for standard input
  std::string host = "127.0.0.1";
  int port = 29105;
  bool broadcast = false;
  std::string source;  // local address to bind before sending; empty: any
  double speed = 1.0;  // demo and replay: N times faster than recorded
  bool quiet = false;
  double rate = 1000.0;       // flood: records a second, 0 as fast as possible
  std::int64_t count = 1000;  // flood: records in all
  Family family = Family::kMixed;
  // publish: the ports listened on; subscribe: the ports sent to. The
  // first is the venue's first port, the second its second.
  std::array<int, 2> ports = {29105, 29104};
  relay::BrokerOptions broker;  // publish and subscribe
  std::string viewer_password;  // view-url: the browsers' password, put in the address
};

struct ParseResult {
  std::optional<Options> options;  // empty when the command line is wrong
  std::string error;               // one line, without the "race-feed: " prefix
};

// `args` without the program name.
ParseResult ParseArguments(const std::vector<std::string>& args);

std::string_view UsageText();
std::string_view VersionText();  // "race-feed 2.9.0"

}  // namespace race_feed
