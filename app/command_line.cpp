#include "app/command_line.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string_view>

#include "relay/printable.h"

namespace {

constexpr const char* kProgram = "orvane-commentator";

// A plain decimal number ("1.5", "2"): no sign, exponent, hexadecimal or
// words, which strtod would take as well.
bool ParseScale(const std::string& text, double& scale) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const std::size_t point = text.find('.');
  const std::string_view whole = std::string_view(text).substr(0, point);
  const std::string_view fraction =
      point == std::string::npos ? std::string_view() : std::string_view(text).substr(point + 1);
  if (whole.empty() || !std::all_of(whole.begin(), whole.end(), digit) ||
      (point != std::string::npos &&
       (fraction.empty() || !std::all_of(fraction.begin(), fraction.end(), digit)))) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  scale = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size() && std::isfinite(scale) &&
         scale >= kMinScale && scale <= kMaxScale;
}

// The options that take a value.
constexpr std::array<std::string_view, 12> kValueOptions = {
    "--scale",  "--screen",        "--record", "--publish",      "--subscribe",  "--topic",
    "--cafile", "--password-file", "--delay",  "--open-session", "--start-list", "--notes"};

bool TakesValue(std::string_view name) {
  return std::find(kValueOptions.begin(), kValueOptions.end(), name) != kValueOptions.end();
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

// QCommandLineParser would also take "-scale" for "--scale" and "--h" for
// "-h", a word that is no option for a positional argument, and names an
// unknown option without its dashes. The screen's long options have two
// dashes, its one short option is -h, it takes no other word, and a
// message names an option as it was given.
struct Spelling {
  std::size_t words_before = 0;  // the words before the first one it cannot take
  std::string problem;           // that word's message; empty: every word is taken
};

Spelling CheckSpelling(const std::vector<std::string>& arguments) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const std::string name =
        argument.starts_with("--") ? argument.substr(0, argument.find('=')) : argument;
    const bool has_value = name.size() < argument.size();
    if (name == "-h" || name == "--help" || name == "--version") {
      continue;  // a value after them is ignored
    }
    if (name == "--allow-plain-password") {
      if (has_value) {
        return {i, "--allow-plain-password takes no value"};
      }
      continue;
    }
    if (!TakesValue(name)) {
      return {i, "unknown option '" + relay::Printable(name) + "' (see --help)"};
    }
    if (!has_value) {
      if (i + 1 == arguments.size()) {
        return {i, name + " needs a value (see --help)"};
      }
      ++i;  // its value, whatever it looks like
    }
  }
  return {arguments.size(), {}};
}

// Stores one option's value; why it cannot be used, or an empty string.
std::string SetValue(CommandLine& line, const std::string& name, const std::string& value) {
  if (name == "--scale") {
    double scale = 1;
    if (!ParseScale(value, scale)) {
      return "--scale takes a number from 0.5 to 4, not '" + relay::Printable(value) + "'";
    }
    line.scale = scale;
  } else if (name == "--screen") {
    if (value.empty()) {
      return "--screen takes a monitor's name or number";
    }
    line.screen = value;
  } else if (name == "--record") {
    if (value.empty()) {
      return "--record takes a file name";
    }
    line.record = value;
  } else if (name == "--open-session") {
    if (value.empty()) {
      return "--open-session takes a file name";
    }
    line.open_session = value;
  } else if (name == "--start-list" || name == "--notes") {
    if (value.empty()) {
      return name + " takes a file name";
    }
    (name == "--notes" ? line.notes : line.start_list) = value;
  } else if (name == "--publish" || name == "--subscribe") {
    const relay::Role role = name == "--publish" ? relay::Role::kPublish : relay::Role::kSubscribe;
    if (line.broker_role && *line.broker_role != role) {
      return "--publish and --subscribe cannot be used together";
    }
    std::string problem;
    if (!relay::ParseBrokerUrl(value, line.broker, problem)) {
      return name + ": " + problem;
    }
    line.broker_role = role;
  } else {
    return relay::SetBrokerOption(line.broker, name, value);
  }
  return {};
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments,
                                            std::string& error) {
  // The words up to the first one it cannot take go to the parser, so that
  // a bad value before that word is named first, as it comes first.
  const Spelling spelling = CheckSpelling(arguments);
  QCommandLineParser parser;
  const QCommandLineOption help(QStringList{"h", "help"});
  const QCommandLineOption version("version");
  const QCommandLineOption allow_plain_password("allow-plain-password");
  parser.addOptions({help, version, allow_plain_password});
  for (const std::string_view name : kValueOptions) {
    parser.addOption(QCommandLineOption(Word(name.substr(2)), {}, "value"));
  }
  QStringList words = {kProgram};
  for (std::size_t i = 0; i < spelling.words_before; ++i) {
    words.append(Word(arguments[i]));
  }
  // Its only complaint left is a value after --help or --version, which is
  // ignored.
  parser.parse(words);

  // Each value in the order given, so the first bad one is named.
  CommandLine line;
  std::map<QString, qsizetype> values_taken;
  for (const QString& name : parser.optionNames()) {
    const QStringList values = parser.values(name);
    if (const qsizetype taken = values_taken[name]++; taken < values.size()) {
      error = SetValue(line, "--" + Bytes(name), Bytes(values[taken]));
      if (!error.empty()) {
        return std::nullopt;
      }
    }
  }
  if (!spelling.problem.empty()) {
    error = spelling.problem;
    return std::nullopt;
  }
  line.help = parser.isSet(help);
  line.version = parser.isSet(version);
  line.broker.allow_plain_password = parser.isSet(allow_plain_password);
  if (!line.broker_role && (parser.isSet("topic") || parser.isSet("cafile") ||
                            parser.isSet("password-file") || line.broker.allow_plain_password)) {
    error =
        "--topic, --cafile, --password-file and --allow-plain-password go with --publish or "
        "--subscribe";
    return std::nullopt;
  }
  if (parser.isSet("delay") && line.broker_role != relay::Role::kSubscribe) {
    error = "--delay goes with --subscribe";
    return std::nullopt;
  }
  if (line.broker_role == relay::Role::kPublish && line.start_list) {
    line.broker.start_list = *line.start_list;  // the browser's rider cards
  }
  if (line.broker_role) {
    if (std::string problem = relay::BrokerOptionsProblem(line.broker); !problem.empty()) {
      error = problem;
      return std::nullopt;
    }
    // Read now, so a file that cannot be used ends the start before any
    // window opens; the broker link reads it again when it connects.
    if (std::string problem = relay::PasswordFileProblem(line.broker); !problem.empty()) {
      error = problem;
      return std::nullopt;
    }
  }
  return line;
}

std::string UsageText() {
  return std::string("Usage: ") + kProgram + R"( [OPTION]...
The commentator screen for track cycling: race data records from the
race-scoring server, on UDP ports 29105 and 29104, shown on their event
screens. Without options it keeps commentator.dat and qdtype.dat in the
working directory and shows every screen at its designed size.

Options:
  --scale F            draw every window, font and grid F times larger
                       (0.5 to 4; 1.5 and 2 suit large screens)
  --screen NAME|N      the monitor the windows open on and the full-screen
                       event screens cover, by name or by number from 0
                       (default: the primary)
  --record FILE        keep every datagram taken in, in a session file for
                       race-feed replay; FILE must not exist yet
  --start-list FILE    the riders of the day, a CSV file with a "bib" column,
                       for the rider cards (also File > Open Start List...)
  --notes FILE         keep the commentator's rider notes in FILE (default
                       commentator-notes.json beside commentator.dat)
  --publish BROKER     relay what this screen receives through an MQTT
                       broker, for remote commentary
  --subscribe BROKER   show the feed a venue relays through an MQTT broker
  --topic T            the broker topic (default orvane/feed)
  --cafile FILE        mqtts: the certificate authority of the broker
  --password-file FILE the broker password, on the file's first line; the
                       file must be for its owner alone (chmod 600)
  --allow-plain-password
                       let --password-file go with mqtt://, where the
                       password crosses the network in clear
  --delay SECONDS      with --subscribe: show the feed that many seconds
                       (0 to 600) behind the venue, in its rhythm
  --open-session FILE  browse a recorded session's screens, without a feed
  -h, --help           show this help and end
      --version        show the version and end

BROKER is mqtt://[USER@]HOST[:PORT] (1883) or mqtts://[USER@]HOST[:PORT]
(8883, TLS). F11 shows the event screen that has the keyboard full screen
on its monitor, and back. Ctrl+H shows earlier moments of the session (Esc:
back to live); with --subscribe, Ctrl+Up and Ctrl+Down change the delay by
a second, Ctrl+PgUp and Ctrl+PgDown by five.
)";
}

std::string VersionText() {
  return std::string(kProgram) + " " + ORVANE_VERSION + "\n";
}
