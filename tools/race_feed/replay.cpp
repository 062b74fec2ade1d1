#include "tools/race_feed/replay.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "session/session_format.h"

namespace race_feed {

namespace {

constexpr std::int64_t kMaxDelayMs = 24LL * 60 * 60 * 1000;

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

ReplayLine Error(std::string message) {
  ReplayLine line;
  line.kind = ReplayLine::Kind::kError;
  line.error = std::move(message);
  return line;
}

}  // namespace

ReplayLine ParseReplayLine(std::string_view line) {
  if (line.ends_with('\r')) {
    line.remove_suffix(1);
  }
  ReplayLine result;
  if (line.empty()) {
    return result;
  }
  std::string_view record = line;
  std::int64_t delay = 0;
  if (const std::size_t tab = line.find('\t'); tab != std::string_view::npos) {
    const std::string_view prefix = line.substr(0, tab);
    if (AllDigits(prefix)) {
      const auto [ptr, ec] = std::from_chars(prefix.data(), prefix.data() + prefix.size(), delay);
      if (ec != std::errc() || delay > kMaxDelayMs) {
        return Error("delay " + session::PrintableExcerpt(prefix) + " ms is longer than a day");
      }
      record = line.substr(tab + 1);
      if (record.empty()) {
        return Error("no record after the delay");
      }
    }
  }
  if (std::string problem = RecordProblem(record); !problem.empty()) {
    return Error(std::move(problem));
  }
  result.kind = ReplayLine::Kind::kRecord;
  result.entry = {delay, std::string(record)};
  return result;
}

ReplayLine ParseSessionFileLine(std::string_view line) {
  ReplayLine result;
  if (line.empty() || line == "\r" || line.starts_with('#')) {
    return result;
  }
  session::SessionEntry entry;
  std::string error;
  if (!session::ParseSessionLine(line, entry, error)) {
    return Error(std::move(error));
  }
  if (std::string problem = RecordProblem(entry.bytes); !problem.empty()) {
    return Error(std::move(problem));
  }
  result.kind = ReplayLine::Kind::kRecord;
  result.entry = {entry.delay_ms, std::move(entry.bytes), entry.port, std::move(entry.sender)};
  return result;
}

bool ReplayReader::Feed(std::string_view bytes) {
  if (!script_.error.empty()) {
    return false;
  }
  bytes_ += bytes.size();
  if (bytes_ > kMaxReplayBytes) {
    return Refuse(lines_ + 1, "the file goes on past " + std::to_string(kMaxReplayBytes >> 20) +
                                  " MiB, the most race-feed replays");
  }
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    if (partial_.size() + piece.size() > session::kMaxSessionLineBytes) {
      return Refuse(lines_ + 1, "longer than " + std::to_string(session::kMaxSessionLineBytes) +
                                    " bytes, more than any record needs");
    }
    if (end == std::string_view::npos) {
      partial_.append(piece);
      return true;
    }
    bytes.remove_prefix(end + 1);
    ++lines_;
    bool taken = false;
    if (partial_.empty()) {
      taken = TakeLine(piece);
    } else {
      partial_.append(piece);
      taken = TakeLine(partial_);
      partial_.clear();
    }
    if (!taken) {
      return false;
    }
  }
  return true;
}

ReplayScript ReplayReader::Finish() {
  if (script_.error.empty() && !partial_.empty()) {
    Refuse(lines_ + 1, "no line end; the file was cut short (a full disk?)");
  }
  return std::move(script_);
}

bool ReplayReader::TakeLine(std::string_view line) {
  if (lines_ == 1) {
    std::string error;
    switch (session::ClassifyFirstLine(line, error)) {
      case session::FirstLine::kKnownSession:
        script_.session = true;
        return true;
      case session::FirstLine::kRefusedSession:
        return Refuse(lines_, error);
      case session::FirstLine::kNotSession:
        break;
    }
  }
  ReplayLine parsed = script_.session ? ParseSessionFileLine(line) : ParseReplayLine(line);
  if (parsed.kind == ReplayLine::Kind::kError) {
    return Refuse(lines_, parsed.error);
  }
  if (parsed.kind == ReplayLine::Kind::kRecord) {
    if (script_.records.size() == kMaxReplayRecords) {
      return Refuse(lines_, "more than " + std::to_string(kMaxReplayRecords) +
                                " records, the most race-feed replays");
    }
    script_.records.push_back(std::move(parsed.entry));
  }
  return true;
}

bool ReplayReader::Refuse(std::size_t line, const std::string& message) {
  script_.records.clear();
  script_.records.shrink_to_fit();
  script_.error = "line " + std::to_string(line) + ": " + message;
  return false;
}

ReplayScript ParseReplayText(std::string_view text) {
  ReplayReader reader;
  reader.Feed(text);
  return reader.Finish();
}

namespace {

const char* KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) {
    return "a directory";
  }
  if (S_ISFIFO(mode)) {
    return "a FIFO";
  }
  if (S_ISCHR(mode) || S_ISBLK(mode)) {
    return "a device";
  }
  if (S_ISSOCK(mode)) {
    return "a socket";
  }
  return "something else";
}

ReplayScript Failed(std::string message) {
  ReplayScript script;
  script.error = std::move(message);
  return script;
}

}  // namespace

ReplayScript ReadReplayFile(const std::string& path, std::istream& in) {
  const std::string name = session::PrintableExcerpt(path, 200);
  ReplayReader reader;
  char buffer[16384];
  if (path == "-") {
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
      if (!reader.Feed({buffer, static_cast<std::size_t>(in.gcount())})) {
        break;
      }
    }
    if (in.bad()) {
      return Failed("cannot read standard input");
    }
  } else {
    // O_NONBLOCK: opening a FIFO with no writer waits for one otherwise.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      return Failed("cannot read " + name + ": " + std::strerror(errno));
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
      const int saved = errno;
      ::close(fd);
      return Failed("cannot read " + name + ": " + std::strerror(saved));
    }
    if (!S_ISREG(status.st_mode)) {
      ::close(fd);
      return Failed("cannot read " + name + ": " + KindOfFile(status.st_mode) +
                    ", not a regular file; replay reads a file, or - for standard input");
    }
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got < 0) {
        const int saved = errno;
        ::close(fd);
        return Failed("cannot read " + name + ": " + std::strerror(saved));
      }
      if (got == 0 || !reader.Feed({buffer, static_cast<std::size_t>(got)})) {
        break;
      }
    }
    ::close(fd);
  }
  ReplayScript script = reader.Finish();
  if (!script.error.empty()) {
    script.error = name + ": " + script.error;
  }
  return script;
}

}  // namespace race_feed
