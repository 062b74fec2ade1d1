#include "tools/race_feed/options.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>

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
  view-url PAGE    print the address of the screens in a browser and a QR
                   code of it; PAGE is http://HOST:PORT of the broker's
                   WebSockets listener (README, "Screens in a browser")

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
  --topic T        publish, subscribe and view-url: the broker topic
                   (default orvane/feed)
  --viewer-password P
                   view-url: the password of the broker's user "viewer",
                   put in the address (it only reads the screens)
  --cafile FILE    mqtts: the CA certificate that signed the broker's
                   (default: the system's CAs)
  --password-file FILE
                   the password for BROKER's USER, on the file's first line;
                   the file must be for its owner alone (chmod 600)
  --allow-plain-password
                   let --password-file go with mqtt://, where the password
                   crosses the network in clear
  --delay S        subscribe: hand each record on S seconds (0..600) after the
                   venue took it in, in the venue's rhythm (default 0)
  --start-list FILE
                   publish: the riders of the day (CSV with a "bib" column),
                   for the rider cards of the browser view
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
      {"--topic", true, {kPublish, kSubscribe, kViewUrl}},
      {"--viewer-password", true, {kViewUrl}},
      {"--cafile", true, {kPublish, kSubscribe}},
      {"--password-file", true, {kPublish, kSubscribe}},
      {"--delay", true, {kSubscribe}},
      {"--start-list", true, {kPublish}},
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

// The command words, and what each takes after it.
struct CommandWord {
  std::string_view word;
  Command command;
  std::string_view operand;  // empty: nothing
};

constexpr CommandWord kCommandWords[] = {
    {"demo", Command::kDemo, ""},
    {"send", Command::kSend, "TEXT"},
    {"replay", Command::kReplay, "FILE"},
    {"flood", Command::kFlood, ""},
    {"publish", Command::kPublish, "BROKER"},
    {"subscribe", Command::kSubscribe, "BROKER"},
    {"view-url", Command::kViewUrl, "PAGE"},
};

const CommandWord* FindCommand(std::string_view word) {
  const auto* found = std::find_if(std::begin(kCommandWords), std::end(kCommandWords),
                                   [&](const CommandWord& c) { return c.word == word; });
  return found == std::end(kCommandWords) ? nullptr : found;
}

std::string_view CommandName(Command command) {
  for (const CommandWord& c : kCommandWords) {
    if (c.command == command) {
      return c.word;
    }
  }
  return "";
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
  } else if (name == "--start-list") {
    options.broker.start_list = value;
  } else if (name == "--viewer-password") {
    options.viewer_password = value;
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

// An argument as QCommandLineParser reads it, one character for each byte,
// so that what it gives back is the bytes given, whatever their encoding.
QString Word(std::string_view bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string Bytes(const QString& word) {
  const QByteArray bytes = word.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// QCommandLineParser would also take "-port" for "--port" and "--h" for
// "-h", and names an unknown option without its dashes. race-feed's long
// options have two dashes, its one short option is -h, and a message names
// an option as it was given.
struct Spelling {
  std::size_t words_before = 0;  // the words before the first one it cannot take
  std::string problem;           // that word's message; empty: every word is taken
};

Spelling CheckSpelling(const std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
    const std::string& arg = args[i];
    // A command word, what follows it, or "-" for standard input.
    if (arg.size() < 2 || arg[0] != '-') {
      continue;
    }
    const std::string name = arg.substr(0, arg.find('='));
    const bool has_value = name.size() < arg.size();
    if (name == "-h" || name == "--help") {
      continue;
    }
    if (name == "--version") {
      if (has_value) {
        return {i, "--version takes no value"};
      }
      continue;
    }
    const OptionUse* use = FindOption(name);
    if (use == nullptr) {
      return {i, "unknown option " + relay::Printable(name)};
    }
    if (has_value && !use->takes_value) {
      return {i, name + " takes no value"};
    }
    if (use->takes_value && !has_value) {
      if (i + 1 == args.size()) {
        return {i, "missing value for " + name};
      }
      ++i;  // its value, whatever it looks like
    }
  }
  return {args.size(), {}};
}

// The command and what follows it, from the words that are no option;
// why they are wrong, or an empty string.
std::string SetCommand(const QStringList& words, Options& options) {
  std::vector<std::string> positional;
  for (const QString& word : words) {
    positional.push_back(Bytes(word));
  }
  if (positional.empty()) {
    return "missing command (demo, send, replay, flood, publish or subscribe; --help for usage)";
  }
  const CommandWord* command = FindCommand(positional[0]);
  if (command == nullptr) {
    return "unknown command " + relay::Printable(positional[0]);
  }
  options.command = command->command;
  const std::size_t wanted = command->operand.empty() ? 1 : 2;
  if (positional.size() < wanted) {
    return "missing " + std::string(command->operand) + " for " + std::string(command->word);
  }
  if (command->command == Command::kSend) {
    options.text = positional[1];
  } else if (command->command == Command::kReplay) {
    options.file = positional[1];
  } else if (command->command == Command::kViewUrl) {
    options.text = positional[1];
  } else if (command->operand == "BROKER") {
    std::string error;
    if (!relay::ParseBrokerUrl(positional[1], options.broker, error)) {
      return error;
    }
  }
  if (positional.size() > wanted) {
    return "unexpected argument " + relay::Printable(positional[wanted]);
  }
  return {};
}

}  // namespace

std::string_view UsageText() {
  return kUsage;
}

std::string_view VersionText() {
  return kVersion;
}

ParseResult ParseArguments(const std::vector<std::string>& args) {
  // The words up to the first one it cannot take go to the parser, so that
  // a bad value before that word is named first, as it comes first.
  const Spelling spelling = CheckSpelling(args);
  QCommandLineParser parser;
  parser.addOption(QCommandLineOption(QStringList{"h", "help"}));
  parser.addOption(QCommandLineOption("version"));
  for (const OptionUse& use : OptionUses()) {
    parser.addOption(
        QCommandLineOption(Word(use.name.substr(2)), {}, use.takes_value ? "value" : ""));
  }
  QStringList words = {"race-feed"};
  for (std::size_t i = 0; i < spelling.words_before; ++i) {
    words.append(Word(args[i]));
  }
  // Its only complaint left is a value after --help, which is ignored.
  parser.parse(words);

  // Each option's value in the order given, so the first bad one is named.
  Options options;
  std::vector<const OptionUse*> given;
  std::map<QString, qsizetype> values_taken;
  for (const QString& name : parser.optionNames()) {
    const OptionUse* use = FindOption("--" + Bytes(name));
    if (use == nullptr) {
      continue;  // -h, --help, --version
    }
    given.push_back(use);
    if (use->takes_value) {
      const std::string value = Bytes(parser.values(name).at(values_taken[name]++));
      if (std::string error = SetValue(options, use->name, value); !error.empty()) {
        return Failure(std::move(error));
      }
    }
  }
  if (!spelling.problem.empty()) {
    return Failure(spelling.problem);
  }
  options.broadcast = parser.isSet("broadcast");
  options.quiet = parser.isSet("quiet");
  options.broker.allow_plain_password = parser.isSet("allow-plain-password");

  if (parser.isSet("help") || parser.isSet("version")) {
    options.command = parser.isSet("help") ? Command::kHelp : Command::kVersion;
    return {options, {}};
  }
  if (std::string error = SetCommand(parser.positionalArguments(), options); !error.empty()) {
    return Failure(std::move(error));
  }
  for (const OptionUse* use : given) {
    if (std::find(use->commands.begin(), use->commands.end(), options.command) ==
        use->commands.end()) {
      return Failure(std::string(use->name) + " does nothing for " +
                     std::string(CommandName(options.command)) + WhereItApplies(*use));
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
