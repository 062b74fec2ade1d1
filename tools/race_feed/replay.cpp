#include "tools/race_feed/replay.h"

#include <algorithm>
#include <charconv>

#include "relay/session_format.h"

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
        return Error("delay " + std::string(prefix) + " ms is longer than a day");
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
  relay::SessionEntry entry;
  std::string error;
  if (!relay::ParseSessionLine(line, entry, error)) {
    return Error(std::move(error));
  }
  if (std::string problem = RecordProblem(entry.bytes); !problem.empty()) {
    return Error(std::move(problem));
  }
  result.kind = ReplayLine::Kind::kRecord;
  result.entry = {entry.delay_ms, std::move(entry.bytes), entry.port};
  return result;
}

ReplayScript ParseReplayText(std::string_view text) {
  ReplayScript script;
  std::size_t number = 0;
  bool first = true;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (first && relay::IsSessionHeader(line)) {
      script.session = true;
      first = false;
      continue;
    }
    first = false;
    ReplayLine parsed = script.session ? ParseSessionFileLine(line) : ParseReplayLine(line);
    if (parsed.kind == ReplayLine::Kind::kError) {
      script.records.clear();
      script.error = "line " + std::to_string(number) + ": " + parsed.error;
      return script;
    }
    if (parsed.kind == ReplayLine::Kind::kRecord) {
      script.records.push_back(std::move(parsed.entry));
    }
  }
  return script;
}

}  // namespace race_feed
