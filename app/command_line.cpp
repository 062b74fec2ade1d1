#include "app/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
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

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments,
                                            std::string& error) {
  CommandLine line;
  bool broker_option_given = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> value;
    if (const std::size_t equals = name.find('=');
        name.rfind("--", 0) == 0 && equals != name.npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "--help" || name == "-h") {
      line.help = true;
      continue;
    }
    if (name == "--version") {
      line.version = true;
      continue;
    }
    if (name == "--allow-plain-password") {
      if (value) {
        error = "--allow-plain-password takes no value";
        return std::nullopt;
      }
      line.broker.allow_plain_password = true;
      broker_option_given = true;
      continue;
    }
    const bool takes_value = name == "--scale" || name == "--screen" || name == "--record" ||
                             name == "--publish" || name == "--subscribe" ||
                             relay::IsBrokerOption(name);
    if (!takes_value) {
      error = "unknown option '" + relay::Printable(name) + "' (see --help)";
      return std::nullopt;
    }
    if (!value) {
      if (i + 1 >= arguments.size()) {
        error = name + " needs a value (see --help)";
        return std::nullopt;
      }
      value = arguments[++i];
    }
    if (name == "--scale") {
      double scale = 1;
      if (!ParseScale(*value, scale)) {
        error = "--scale takes a number from 0.5 to 4, not '" + relay::Printable(*value) + "'";
        return std::nullopt;
      }
      line.scale = scale;
    } else if (name == "--screen") {
      if (value->empty()) {
        error = "--screen takes a monitor's name or number";
        return std::nullopt;
      }
      line.screen = *value;
    } else if (name == "--record") {
      if (value->empty()) {
        error = "--record takes a file name";
        return std::nullopt;
      }
      line.record = *value;
    } else if (name == "--publish" || name == "--subscribe") {
      const relay::Role role =
          name == "--publish" ? relay::Role::kPublish : relay::Role::kSubscribe;
      if (line.broker_role && *line.broker_role != role) {
        error = "--publish and --subscribe cannot be used together";
        return std::nullopt;
      }
      std::string problem;
      if (!relay::ParseBrokerUrl(*value, line.broker, problem)) {
        error = name + ": " + problem;
        return std::nullopt;
      }
      line.broker_role = role;
    } else {
      broker_option_given = true;
      if (std::string problem = relay::SetBrokerOption(line.broker, name, *value);
          !problem.empty()) {
        error = problem;
        return std::nullopt;
      }
    }
  }
  if (broker_option_given && !line.broker_role) {
    error =
        "--topic, --cafile, --password-file and --allow-plain-password go with --publish or "
        "--subscribe";
    return std::nullopt;
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
  -h, --help           show this help and end
      --version        show the version and end

BROKER is mqtt://[USER@]HOST[:PORT] (1883) or mqtts://[USER@]HOST[:PORT]
(8883, TLS). F11 shows the event screen that has the keyboard full screen
on its monitor, and back.
)";
}

std::string VersionText() {
  return std::string(kProgram) + " " + ORVANE_VERSION + "\n";
}
