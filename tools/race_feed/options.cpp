#include "tools/race_feed/options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace race_feed {

namespace {

constexpr std::string_view kUsage =
    R"(Usage: race-feed COMMAND [OPTIONS]

Sends race data records as UDP datagrams to the commentator screen.

Commands:
  demo             play a built-in session of every record family
                   (about four minutes at --speed 1)
  send TEXT        send TEXT as one record
  replay FILE      send FILE, one record a line; "-" reads standard input.
                   A line may start with a delay in milliseconds and a TAB
                   ("250<TAB>{tt}+..."): the wait before that record. A line
                   whose text before its first TAB is not all digits is sent
                   at once, whole. Empty lines are skipped; a CR before the
                   line end is dropped.
  flood            send --count records at --rate a second, for load tests

Options:
  --host HOST      IPv4 address or name to send to (default 127.0.0.1)
  --port PORT      UDP port, 1..65535 (default 29105)
  --broadcast      allow a broadcast address as HOST (for a real LAN)
  --source ADDR    send from this local address (e.g. 127.0.0.2)
  --speed N        demo and replay: play N times faster (N > 0; default 1)
  --rate N         flood: records a second, 0 for as fast as possible (default 1000)
  --count M        flood: records to send, 1..100000000 (default 1000)
  --family F       flood: scratch, tt, pts, sprint, qdtype or mixed (default mixed)
  --quiet          no progress bar
  --help           this text

Every record is checked before any is sent: one longer than 1024 bytes is
refused, never cut. Exit status: 0 done, 1 runtime error (host, file,
record, send), 2 usage error.
)";

constexpr std::int64_t kMaxCount = 100'000'000;
constexpr double kMaxSpeed = 1e6;
constexpr double kMaxRate = 1e7;

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

// The value options; the rest are switches.
bool TakesValue(std::string_view name) {
  return name == "--host" || name == "--port" || name == "--source" || name == "--speed" ||
         name == "--rate" || name == "--count" || name == "--family";
}

// Stores one option's value; an error message when it is not acceptable.
std::string SetValue(Options& options, std::string_view name, const std::string& value) {
  const std::string bad = "bad value for " + std::string(name) + ": \"" + value + "\"";
  if (name == "--host" || name == "--source") {
    if (value.empty()) {
      return bad;
    }
    (name == "--host" ? options.host : options.source) = value;
  } else if (name == "--port") {
    const auto port = ParseInteger(value);
    if (!port || *port < 1 || *port > 65535) {
      return bad + " (a port is 1..65535)";
    }
    options.port = static_cast<int>(*port);
  } else if (name == "--speed") {
    const auto speed = ParseNumber(value);
    if (!speed || *speed <= 0 || *speed > kMaxSpeed) {
      return bad + " (a speed is a number above 0)";
    }
    options.speed = *speed;
  } else if (name == "--rate") {
    const auto rate = ParseNumber(value);
    if (!rate || *rate < 0 || *rate > kMaxRate) {
      return bad + " (a rate is a number, 0 or more)";
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
  }
  return {};
}

ParseResult Failure(std::string message) {
  return {std::nullopt, std::move(message)};
}

}  // namespace

std::string_view UsageText() {
  return kUsage;
}

ParseResult ParseArguments(const std::vector<std::string>& args) {
  Options options;
  std::vector<std::string> positional;
  bool help = false;
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
    } else if (name == "--broadcast" || name == "--quiet") {
      if (value) {
        return Failure(name + " takes no value");
      }
      (name == "--broadcast" ? options.broadcast : options.quiet) = true;
    } else if (TakesValue(name)) {
      if (!value) {
        if (i + 1 >= args.size()) {
          return Failure("missing value for " + name);
        }
        value = args[++i];
      }
      if (std::string error = SetValue(options, name, *value); !error.empty()) {
        return Failure(std::move(error));
      }
    } else {
      return Failure("unknown option " + name);
    }
  }

  if (help) {
    options.command = Command::kHelp;
    return {options, {}};
  }
  if (positional.empty()) {
    return Failure("missing command (demo, send, replay or flood; --help for usage)");
  }
  const std::string& command = positional[0];
  std::size_t wanted = 1;
  if (command == "demo") {
    options.command = Command::kDemo;
  } else if (command == "flood") {
    options.command = Command::kFlood;
  } else if (command == "send" || command == "replay") {
    wanted = 2;
    if (positional.size() < 2) {
      return Failure("missing " + std::string(command == "send" ? "TEXT" : "FILE") + " for " +
                     command);
    }
    if (command == "send") {
      options.command = Command::kSend;
      options.text = positional[1];
    } else {
      options.command = Command::kReplay;
      options.file = positional[1];
    }
  } else {
    return Failure("unknown command " + command);
  }
  if (positional.size() > wanted) {
    return Failure("unexpected argument " + positional[wanted]);
  }
  return {options, {}};
}

}  // namespace race_feed
