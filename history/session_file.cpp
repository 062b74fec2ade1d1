#include "history/session_file.h"

#include "session/session_format.h"

#include <fstream>
#include <vector>

namespace {

// Read in a first pass; only whole, well-formed files are taken in.
struct Line {
  session::SessionEntry entry;
  std::string address;
};

}  // namespace

SessionFileRead ReadSessionFile(
    const std::string& path, std::string_view address_now, int second_port,
    std::int64_t end_time_ms,
    const std::function<bool(std::string_view address, std::string_view sender)>& accepts,
    SessionHistory& history) {
  SessionFileRead read;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    read.error = "cannot be opened";
    return read;
  }
  std::string line;
  std::string error;
  if (!std::getline(file, line) ||
      session::ClassifyFirstLine(line, error) != session::FirstLine::kKnownSession) {
    read.error = error.empty() ? "not a session file" : error;
    return read;
  }
  std::vector<Line> lines;
  std::string address(address_now);
  std::int64_t total_ms = 0;
  for (std::uint64_t number = 2; file.peek() != EOF; ++number) {
    line.clear();
    // A line longer than any a recorder writes is not read whole.
    char c = 0;
    while (file.get(c) && c != '\n' && line.size() <= session::kMaxSessionLineBytes) {
      line.push_back(c);
    }
    const std::string where = "line " + std::to_string(number) + ": ";
    if (c != '\n') {
      read.error = where + (line.size() > session::kMaxSessionLineBytes
                                ? "longer than a session line can be"
                                : "cut short (the file does not end on a line end)");
      return read;
    }
    if (session::ParseAddressLine(line, address, error)) {
      if (!error.empty()) {
        read.error = where + error;
        return read;
      }
      continue;
    }
    if (line.empty() || line == "\r" || line.starts_with('#')) {
      continue;
    }
    Line parsed;
    if (!session::ParseSessionLine(line, parsed.entry, error)) {
      read.error = where + error;
      return read;
    }
    parsed.address = address;
    total_ms += parsed.entry.delay_ms;
    lines.push_back(std::move(parsed));
  }
  std::int64_t time_ms = end_time_ms - total_ms;
  for (const Line& taken : lines) {
    time_ms += taken.entry.delay_ms;
    const bool accepted = accepts(taken.address, taken.entry.sender);
    history.Add(time_ms, taken.entry.port == second_port ? 1 : 0, taken.entry.sender,
                taken.entry.bytes, accepted);
    ++read.datagrams;
    read.turned_away += accepted ? 0 : 1;
  }
  return read;
}
