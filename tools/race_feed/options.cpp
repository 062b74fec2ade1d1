#include "tools/race_feed/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "relay/printable.h"

namespace race_feed {

namespace {

constexpr std::string_view kUsage =
    R"(Usage: race-feed COMMAND [OPTIONS]

Sends race data records as UDP datagrams to the commentator screen, or
relays them through an MQTT broker to a screen away from the venue.

Commands:
  demo             play a built-in session of every record family
                   (about four minutes at --speed 1)
  send TEXT        send TEXT as one record ('' sends the empty datagram)
  replay FILE      send FILE, one record a line; "-" reads standard input.
                   A line may start with a delay in milliseconds and a TAB
                   ("250<TAB>{tt}+..."): the wait before that record. A line
                   whose text before its first TAB is not all digits is sent
                   at once, whole. Empty lines are skipped; a CR before the
                   line end is dropped.
                   A session file (first line "#orvane-session 1", as the
                   screen records it) sends each datagram to its own port.
  flood            send --count records at --rate a second, for load tests
  publish BROKER   take records in on UDP --ports and publish each to the
                   broker (at the venue)
  subscribe BROKER send each record from the broker to --host on --ports
                   (away from the venue)

BROKER is mqtt://[USER@]HOST[:PORT] (port 1883) or mqtts://[USER@]HOST[:PORT]
(TLS, port 8883).

Options:
  --host HOST      IPv4 address or name to send to (default 127.0.0.1)
  --port PORT      UDP port, 1..65535 (default 29105)
  --broadcast      allow a broadcast address as HOST (for a real LAN)
  --source ADDR    send from this local address (e.g. 127.0.0.2)
  --speed N        demo and replay: play N times faster, 0.001..1000000 (default 1)
  --rate N         flood: records a second, 0..10000000, 0 as fast as possible
                   (default 1000)
  --count M        flood: records to send, 1..100000000 (default 1000)
  --family F       flood: scratch, tt, pts, sprint, qdtype or mixed (default mixed)
  --ports A,B      publish and subscribe: the venue's first and second port
                   (default 29105,29104)
  --topic T        publish and subscribe: the broker topic (default orvane/feed)
  --cafile FILE    mqtts: the CA certificate that signed the broker's
                   (default: the system's CAs)
  --password-file FILE
                   the password for BROKER's USER, on the file's first line;
                   the file must be for its owner alone (chmod 600)
  --allow-plain-password
                   let --password-file go with mqtt://, where the password
                   crosses the network in clear
  --quiet          no progress bar or connection messages
  --help           this text
  --version        race-feed's version

Every record is checked before any is sent: one longer than 1024 bytes is
refused, never cut. An option that does nothing for the command is refused.
publish and subscribe run until stopped (Ctrl-C). Exit status: 0 done,
1 runtime error (host, file, record, send, broker), 2 usage error.
)";

#ifndef RACE_FEED_VERSION
#define RACE_FEED_VERSION "unknown"
#endif
constexpr std::string_view kVersion = "race-feed " RACE_FEED_VERSION;

// Which commands each option does something for.
struct OptionUse {
  std::string_view name;
  bool takes_value;
  std::vector<Command> commands;
};

const std::vector<OptionUse>& OptionUses() {
  using enum Command;
  static const std::vector<OptionUse> uses = {
      {"--host", true, {kDemo, kSend, kReplay, kFlood, kSubscribe}},
      {"--port", true, {kDemo, kSend, kReplay, kFlood}},
      {"--broadcast", false, {kDemo, kSend, kReplay, kFlood, kSubscribe}},
      {"--source", true, {kDemo, kSend, kReplay, kFlood, kSubscribe}},
      {"--speed", true, {kDemo, kReplay}},
      {"--rate", true, {kFlood}},
      {"--count", true, {kFlood}},
      {"--family", true, {kFlood}},
      {"--ports", true, {kPublish, kSubscribe}},
      {"--topic", true, {kPublish, kSubscribe}},
      {"--cafile", true, {kPublish, kSubscribe}},
      {"--password-file", true, {kPublish, kSubscribe}},
      {"--allow-plain-password", false, {kPublish, kSubscribe}},
      // A single send finishes before a progress bar would show.
      {"--quiet", false, {kDemo, kReplay, kFlood, kPublish, kSubscribe}},
  };
  return uses;
}

const OptionUse* FindOption(std::string_view name) {
  for (const OptionUse& use : OptionUses()) {
    if (use.name == name) {
      return &use;
    }
  }
  return nullptr;
}

std::string_view CommandName(Command command) {
  switch (command) {
    case Command::kDemo:
      return "demo";
    case Command::kSend:
      return "send";
    case Command::kReplay:
      return "replay";
    case Command::kFlood:
      return "flood";
    case Command::kPublish:
      return "publish";
    case Command::kSubscribe:
      return "subscribe";
    default:
      return "";
  }
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) {
    return std::nullopt;
  }
  return value;
}

std::optional<double> ParseNumber(const std::string& text) {
  if (text.empty()) {
    return std::nullopt;
  }
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<int> ParsePort(std::string_view text) {
  const auto port = ParseInteger(text);
  if (!port || *port < 1 || *port > 65535) {
    return std::nullopt;
  }
  return static_cast<int>(*port);
}

// Stores one option's value; an error message when it is not acceptable.
std::string SetValue(Options& options, std::string_view name, const std::string& value) {
  const std::string bad =
      "bad value for " + std::string(name) + ": \"" + relay::Printable(value) + "\"";
  if (name == "--host" || name == "--source") {
    if (value.empty()) {
      return bad;
    }
    (name == "--host" ? options.host : options.source) = value;
  } else if (name == "--port") {
    const auto port = ParsePort(value);
    if (!port) {
      return bad + " (a port is 1..65535)";
    }
    options.port = *port;
  } else if (name == "--ports") {
    const std::size_t comma = value.find(',');
    const auto first = ParsePort(std::string_view(value).substr(0, comma));
    const auto second = comma == std::string::npos
                            ? std::nullopt
                            : ParsePort(std::string_view(value).substr(comma + 1));
    if (!first || !second) {
      return bad + " (two ports A,B, each 1..65535)";
    }
    options.ports = {*first, *second};
  } else if (name == "--speed") {
    const auto speed = ParseNumber(value);
    if (!speed || *speed < kMinSpeed || *speed > kMaxSpeed) {
      return bad + " (a speed is 0.001 to 1000000)";
    }
    options.speed = *speed;
  } else if (name == "--rate") {
    const auto rate = ParseNumber(value);
    if (!rate || *rate < 0 || *rate > kMaxRate) {
      return bad + " (a rate is 0 to 10000000 records a second)";
    }
    options.rate = *rate;
  } else if (name == "--count") {
    const auto count = ParseInteger(value);
    if (!count || *count < 1 || *count > kMaxCount) {
      return bad + " (a count is 1.." + std::to_string(kMaxCount) + ")";
    }
    options.count = *count;
  } else if (name == "--family") {
    const auto family = FamilyNamed(value);
    if (!family) {
      return bad + " (scratch, tt, pts, sprint, qdtype or mixed)";
    }
    options.family = *family;
  } else if (relay::IsBrokerOption(name)) {
    return relay::SetBrokerOption(options.broker, name, value);
  }
  return {};
}

ParseResult Failure(std::string message) {
  return {std::nullopt, std::move(message)};
}

// "(only for demo and replay)"
std::string WhereItApplies(const OptionUse& use) {
  std::string text = " (only for ";
  for (std::size_t i = 0; i < use.commands.size(); ++i) {
    if (i > 0) {
      text += i + 1 == use.commands.size() ? " and " : ", ";
    }
    text += CommandName(use.commands[i]);
  }
  return text + ")";
}

}  // namespace

std::string_view UsageText() {
  return kUsage;
}

std::string_view VersionText() {
  return kVersion;
}

ParseResult ParseArguments(const std::vector<std::string>& args) {
  Options options;
  std::vector<std::string> positional;
  std::vector<const OptionUse*> given;
  bool help = false;
  bool version = false;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // "-" alone is standard input, not an option.
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const std::size_t equals = arg.find('='); equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    if (name == "--help" || name == "-h") {
      help = true;
      continue;
    }
    if (name == "--version") {
      if (value) {
        return Failure("--version takes no value");
      }
      version = true;
      continue;
    }
    const OptionUse* use = FindOption(name);
    if (use == nullptr) {
      return Failure("unknown option " + relay::Printable(name));
    }
    given.push_back(use);
    if (!use->takes_value) {
      if (value) {
        return Failure(name + " takes no value");
      }
      if (name == "--allow-plain-password") {
        options.broker.allow_plain_password = true;
      } else {
        (name == "--broadcast" ? options.broadcast : options.quiet) = true;
      }
      continue;
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        return Failure("missing value for " + name);
      }
      value = args[++i];
    }
    if (std::string error = SetValue(options, name, *value); !error.empty()) {
      return Failure(std::move(error));
    }
  }

  if (help || version) {
    options.command = help ? Command::kHelp : Command::kVersion;
    return {options, {}};
  }
  if (positional.empty()) {
    return Failure(
        "missing command (demo, send, replay, flood, publish or subscribe; --help for usage)");
  }
  const std::string& command = positional[0];
  std::size_t wanted = 1;
  if (command == "demo") {
    options.command = Command::kDemo;
  } else if (command == "flood") {
    options.command = Command::kFlood;
  } else if (command == "send" || command == "replay" || command == "publish" ||
             command == "subscribe") {
    wanted = 2;
    const bool broker = command == "publish" || command == "subscribe";
    if (positional.size() < 2) {
      return Failure("missing " +
                     std::string(command == "send" ? "TEXT"
                                 : broker          ? "BROKER"
                                                   : "FILE") +
                     " for " + command);
    }
    if (command == "send") {
      options.command = Command::kSend;
      options.text = positional[1];
    } else if (command == "replay") {
      options.command = Command::kReplay;
      options.file = positional[1];
    } else {
      options.command = command == "publish" ? Command::kPublish : Command::kSubscribe;
      std::string error;
      if (!relay::ParseBrokerUrl(positional[1], options.broker, error)) {
        return Failure(std::move(error));
      }
    }
  } else {
    return Failure("unknown command " + relay::Printable(command));
  }
  if (positional.size() > wanted) {
    return Failure("unexpected argument " + relay::Printable(positional[wanted]));
  }
  for (const OptionUse* use : given) {
    if (std::find(use->commands.begin(), use->commands.end(), options.command) ==
        use->commands.end()) {
      return Failure(std::string(use->name) + " does nothing for " + command +
                     WhereItApplies(*use));
    }
  }
  if (std::string problem = relay::BrokerOptionsProblem(options.broker); !problem.empty()) {
    return Failure(std::move(problem));
  }
  // Read now, so a file that cannot be used is a usage error (status 2)
  // before any port or connection is opened.
  if (std::string problem = relay::PasswordFileProblem(options.broker); !problem.empty()) {
    return Failure(std::move(problem));
  }
  return {options, {}};
}

}  // namespace race_feed
