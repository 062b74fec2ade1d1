#include "relay/broker_options.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>

#include "relay/printable.h"

namespace relay {

namespace {

bool HostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

}  // namespace

std::string BrokerOptions::Url() const {
  std::string url = tls ? "mqtts://" : "mqtt://";
  if (!user.empty()) {
    url += user + "@";
  }
  const bool ipv6 = host.find(':') != std::string::npos;
  url += ipv6 ? "[" + host + "]" : host;
  return url + ":" + std::to_string(port);
}

bool ParseBrokerUrl(std::string_view url, BrokerOptions& options, std::string& error) {
  // Built by appending: GCC 12 sees a false overlap in "\"" + url + "\"".
  std::string shown = "\"";
  shown += Printable(url);
  shown += '"';
  std::string_view rest = url;
  bool tls = false;
  if (rest.starts_with("mqtts://")) {
    tls = true;
    rest.remove_prefix(8);
  } else if (rest.starts_with("mqtt://")) {
    rest.remove_prefix(7);
  } else {
    error = "bad broker " + shown + " (mqtt://[USER@]HOST[:PORT] or mqtts://...)";
    return false;
  }
  if (rest.ends_with('/')) {
    rest.remove_suffix(1);
  }
  std::string user;
  if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
    user = std::string(rest.substr(0, at));
    rest.remove_prefix(at + 1);
    if (user.find(':') != std::string::npos) {
      error = "bad broker " + shown + ": no password in BROKER, give --password-file";
      return false;
    }
    if (user.empty()) {
      error = "bad broker " + shown + ": empty user name before \"@\"";
      return false;
    }
  }
  std::string_view host;
  std::optional<std::string_view> port_text;
  if (rest.starts_with('[')) {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) {
      error = "bad broker " + shown + ": \"[\" without \"]\"";
      return false;
    }
    host = rest.substr(1, close - 1);
    const std::string_view after = rest.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') {
        error = "bad broker " + shown + ": unexpected text after \"]\"";
        return false;
      }
      port_text = after.substr(1);
    }
    if (!std::all_of(host.begin(), host.end(), [](char c) {
          return std::isxdigit(static_cast<unsigned char>(c)) || c == ':';
        })) {
      error = "bad broker " + shown + ": bad IPv6 address";
      return false;
    }
  } else {
    const std::size_t colon = rest.find(':');
    host = rest.substr(0, colon);
    if (colon != std::string_view::npos) {
      port_text = rest.substr(colon + 1);
    }
    if (!std::all_of(host.begin(), host.end(), HostCharacter)) {
      error = "bad broker " + shown + ": bad host name";
      return false;
    }
  }
  if (host.empty()) {
    error = "bad broker " + shown + ": no host";
    return false;
  }
  int port = tls ? 8883 : 1883;
  if (port_text) {
    const char* last = port_text->data() + port_text->size();
    const auto [end, ec] = std::from_chars(port_text->data(), last, port);
    if (port_text->empty() || ec != std::errc() || end != last || port < 1 || port > 65535) {
      error = "bad broker " + shown + ": a port is 1..65535";
      return false;
    }
  }
  options.tls = tls;
  options.user = std::move(user);
  options.host = std::string(host);
  options.port = port;
  return true;
}

bool IsBrokerOption(std::string_view name) {
  return name == "--topic" || name == "--cafile" || name == "--password-file" || name == "--delay";
}

std::string SetBrokerOption(BrokerOptions& options, std::string_view name,
                            const std::string& value) {
  const std::string bad = "bad value for " + std::string(name) + ": \"" + Printable(value) + "\"";
  if (name == "--topic") {
    // The snapshot goes to TOPIC/state, so the topic itself names no level
    // pattern and does not end in "/".
    if (value.empty() || value.find_first_of("+#") != std::string::npos || value.back() == '/' ||
        value.find('\0') != std::string::npos) {
      return bad + " (a topic is not empty, has no \"+\" or \"#\" and does not end in \"/\")";
    }
    options.topic = value;
  } else if (name == "--cafile" || name == "--password-file") {
    if (value.empty()) {
      return bad + " (a file name)";
    }
    (name == "--cafile" ? options.cafile : options.password_file) = value;
  } else if (name == "--delay") {
    int seconds = -1;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (error != std::errc() || end != value.data() + value.size() || seconds < 0 ||
        seconds > kMaxDelaySeconds) {
      return bad + " (whole seconds, 0 to " + std::to_string(kMaxDelaySeconds) + ")";
    }
    options.delay_s = seconds;
  }
  return {};
}

std::string BrokerOptionsProblem(const BrokerOptions& options) {
  if (!options.cafile.empty() && !options.tls) {
    return "--cafile needs a TLS broker (mqtts://)";
  }
  if (!options.password_file.empty() && options.user.empty()) {
    return "--password-file needs a user name in BROKER (mqtt://USER@HOST)";
  }
  if (options.allow_plain_password && options.password_file.empty()) {
    return "--allow-plain-password goes with --password-file";
  }
  if (!options.password_file.empty() && !options.tls && !options.allow_plain_password) {
    return "--password-file with mqtt:// sends the password in clear: use mqtts://, or give "
           "--allow-plain-password";
  }
  return {};
}

bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error) {
  password.clear();
  const std::string shown = Printable(path);
  // Without O_NONBLOCK a FIFO with no writer would hold the open for ever.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = "cannot read password file " + shown + ": " + std::strerror(errno);
    return false;
  }
  struct stat status {};
  std::string problem;
  if (fstat(fd, &status) != 0) {
    problem = "cannot read password file " + shown + ": " + std::strerror(errno);
  } else if (!S_ISREG(status.st_mode)) {
    problem = "password file " + shown + " is not a regular file";
  } else if ((status.st_mode & (S_IRGRP | S_IROTH)) != 0) {
    problem = "password file " + shown + " is readable by others: chmod 600 " + shown;
  } else if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    problem = "password file " + shown + " is writable by others: chmod 600 " + shown;
  }
  // Up to the first line end, and one byte past the limit to see a longer line.
  std::string text;
  while (problem.empty() && text.size() <= kMaxPasswordBytes &&
         text.find('\n') == std::string::npos) {
    char buffer[1024];
    const std::size_t want = std::min(sizeof buffer, kMaxPasswordBytes + 1 - text.size());
    const ssize_t got = read(fd, buffer, want);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      problem = "cannot read password file " + shown + ": " + std::strerror(errno);
    } else if (got == 0) {
      break;
    } else {
      text.append(buffer, static_cast<std::size_t>(got));
    }
  }
  close(fd);
  std::string line = text.substr(0, text.find('\n'));
  if (line.ends_with('\r')) {
    line.pop_back();
  }
  if (problem.empty()) {
    if (line.size() > kMaxPasswordBytes) {
      problem = "password file " + shown + ": its first line is longer than " +
                std::to_string(kMaxPasswordBytes) + " bytes";
    } else if (line.empty()) {
      problem = "password file " + shown + ": its first line is empty";
    } else if (line.find('\0') != std::string::npos) {
      problem = "password file " + shown + ": its first line holds a zero byte";
    }
  }
  std::fill(text.begin(), text.end(), '\0');
  if (!problem.empty()) {
    std::fill(line.begin(), line.end(), '\0');
    error = std::move(problem);
    return false;
  }
  password = std::move(line);
  return true;
}

std::string PasswordFileProblem(const BrokerOptions& options) {
  if (options.password_file.empty()) {
    return {};
  }
  std::string password;
  std::string error;
  ReadPasswordFile(options.password_file, password, error);
  std::fill(password.begin(), password.end(), '\0');
  return error;
}

}  // namespace relay
