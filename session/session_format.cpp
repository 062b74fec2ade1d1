#include "session/session_format.h"

#include <algorithm>
#include <charconv>

namespace session {

namespace {

constexpr std::int64_t kMaxDelayMs = 24LL * 60 * 60 * 1000;

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view WithoutCr(std::string_view line) {
  if (line.ends_with('\r')) {
    line.remove_suffix(1);
  }
  return line;
}

// The next TAB-separated field of `rest`, which loses it and its TAB.
bool NextField(std::string_view& rest, std::string_view& field) {
  const std::size_t tab = rest.find('\t');
  if (tab == std::string_view::npos) {
    return false;
  }
  field = rest.substr(0, tab);
  rest.remove_prefix(tab + 1);
  return true;
}

void AppendEscapedSessionText(std::string& out, std::string_view bytes) {
  // Plain runs are copied whole: a record holds few bytes that need escaping.
  const auto plain = [](char c) {
    return c != '\\' && c != '\t' && c != '\r' && c != '\n' && c != '\0';
  };
  std::size_t from = 0;
  while (from < bytes.size()) {
    std::size_t end = from;
    while (end < bytes.size() && plain(bytes[end])) {
      ++end;
    }
    out.append(bytes.substr(from, end - from));
    if (end == bytes.size()) {
      break;
    }
    out += '\\';
    switch (bytes[end]) {
      case '\\':
        out += '\\';
        break;
      case '\t':
        out += 't';
        break;
      case '\r':
        out += 'r';
        break;
      case '\n':
        out += 'n';
        break;
      default:
        out += '0';
    }
    from = end + 1;
  }
}

}  // namespace

std::string EscapeSessionText(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() + 8);
  AppendEscapedSessionText(text, bytes);
  return text;
}

bool UnescapeSessionText(std::string_view text, std::string& bytes, std::string& error) {
  bytes.clear();
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
      continue;
    }
    if (++i == text.size()) {
      error = "a backslash ends the text (write \\\\ for one)";
      return false;
    }
    switch (text[i]) {
      case '\\':
        bytes += '\\';
        break;
      case 't':
        bytes += '\t';
        break;
      case 'r':
        bytes += '\r';
        break;
      case 'n':
        bytes += '\n';
        break;
      case '0':
        bytes += '\0';
        break;
      default:
        error = "unknown escape \\" + PrintableExcerpt(text.substr(i, 1)) +
                " (known: \\\\ \\t \\r \\n \\0)";
        return false;
    }
  }
  return true;
}

void AppendSessionLine(std::string& out, std::int64_t delay_ms, int port, std::string_view sender,
                       std::string_view bytes) {
  char number[24];
  out.append(number, std::to_chars(number, number + sizeof number, delay_ms).ptr);
  out += '\t';
  out.append(number, std::to_chars(number, number + sizeof number, port).ptr);
  out += '\t';
  out.append(sender);
  out += '\t';
  AppendEscapedSessionText(out, bytes);
  out += '\n';
}

std::string FormatSessionLine(const SessionEntry& entry) {
  std::string line;
  AppendSessionLine(line, entry.delay_ms, entry.port, entry.sender, entry.bytes);
  return line;
}

bool ParseSessionLine(std::string_view line, SessionEntry& entry, std::string& error) {
  std::string_view rest = WithoutCr(line);
  std::string_view delay;
  std::string_view port;
  std::string_view sender;
  if (!NextField(rest, delay) || !NextField(rest, port) || !NextField(rest, sender)) {
    error = "not DELAY_MS<TAB>PORT<TAB>SENDER<TAB>TEXT";
    return false;
  }
  std::int64_t delay_ms = 0;
  if (!AllDigits(delay) ||
      std::from_chars(delay.data(), delay.data() + delay.size(), delay_ms).ec != std::errc() ||
      delay_ms > kMaxDelayMs) {
    error = "delay \"" + PrintableExcerpt(delay) + "\" is not a number of milliseconds up to a day";
    return false;
  }
  int port_number = 0;
  if (!AllDigits(port) ||
      std::from_chars(port.data(), port.data() + port.size(), port_number).ec != std::errc() ||
      port_number < 1 || port_number > 65535) {
    error = "port \"" + PrintableExcerpt(port) + "\" is not 1..65535";
    return false;
  }
  if (sender.empty()) {
    error = "no sender";
    return false;
  }
  if (!UnescapeSessionText(rest, entry.bytes, error)) {
    return false;
  }
  entry.delay_ms = delay_ms;
  entry.port = port_number;
  entry.sender = std::string(sender);
  return true;
}

FirstLine ClassifyFirstLine(std::string_view first_line, std::string& error) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::string_view line = first_line;
  const bool mark = line.starts_with(kByteOrderMark);
  if (mark) {
    line.remove_prefix(kByteOrderMark.size());
  }
  if (!line.starts_with(kSessionMagic)) {
    return FirstLine::kNotSession;
  }
  // The CR of a CRLF line end is the line end's, as on every other line.
  if (mark) {
    error = "a byte-order mark before the header; a session file starts with \"" +
            std::string(kSessionHeader) + "\"";
  } else if (WithoutCr(line) != kSessionHeader) {
    error = "header \"" + PrintableExcerpt(WithoutCr(line)) + "\" is not \"" +
            std::string(kSessionHeader) + "\", the only version known here";
  } else {
    return FirstLine::kKnownSession;
  }
  return FirstLine::kRefusedSession;
}

std::string PrintableExcerpt(std::string_view bytes, std::size_t limit) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string_view shown = bytes.substr(0, limit);
  std::string text;
  text.reserve(shown.size() + 3);
  for (const char c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      text += "\\\\";
    } else if (byte >= 0x20 && byte < 0x7f) {
      text += c;
    } else {
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 0xf];
    }
  }
  if (shown.size() < bytes.size()) {
    text += "...";
  }
  return text;
}

std::string FormatAddressLine(std::string_view address) {
  return std::string(kAddressLinePrefix) + EscapeSessionText(address) + "\n";
}

bool ParseAddressLine(std::string_view line, std::string& address, std::string& error) {
  if (!line.starts_with(kAddressLinePrefix)) {
    return false;
  }
  line.remove_prefix(kAddressLinePrefix.size());
  if (line.ends_with('\r')) {
    line.remove_suffix(1);
  }
  address.clear();
  UnescapeSessionText(line, address, error);
  return true;
}

}  // namespace session
