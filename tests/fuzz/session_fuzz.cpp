// Fuzzes the session format and race-feed's replay files: escaping survives
// every byte string, a parsed line formats back to the same entry, and a
// whole file comes out the same whether read at once or in pieces, with
// nothing played from a refused file and no raw control byte in a message.
#include "session/session_format.h"
#include "tools/race_feed/replay.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

bool Printable(std::string_view message) {
  return std::all_of(message.begin(), message.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

void EscapeRoundTrip(std::string_view bytes) {
  const std::string text = session::EscapeSessionText(bytes);
  Check(text.find_first_of(std::string_view("\t\r\n\0", 4)) == std::string::npos,
        "an escaped text holds a TAB, CR, LF or zero byte");
  std::string back;
  std::string error;
  Check(session::UnescapeSessionText(text, back, error), "an escaped text does not unescape");
  Check(back == bytes, "escape then unescape changes the bytes");

  const session::SessionEntry entry{static_cast<std::int64_t>(bytes.size()), 29105, "10.0.0.5",
                                    std::string(bytes)};
  const std::string line = session::FormatSessionLine(entry);
  Check(line.find('\n') == line.size() - 1, "a formatted line holds an LF before its end");
  session::SessionEntry parsed;
  Check(session::ParseSessionLine(std::string_view(line).substr(0, line.size() - 1), parsed, error),
        "a formatted line does not parse");
  Check(parsed.bytes == entry.bytes && parsed.port == entry.port &&
            parsed.delay_ms == entry.delay_ms && parsed.sender == entry.sender,
        "a formatted line parses to another entry");
  if (bytes.size() <= session::kMaxDatagramBytes) {
    Check(line.size() <= session::kMaxSessionLineBytes, "a datagram's line is over the limit");
  }
}

void ParseLine(std::string_view line) {
  session::SessionEntry entry;
  std::string error;
  if (!session::ParseSessionLine(line, entry, error)) {
    Check(!error.empty() && Printable(error), "a refused line's message is empty or unsafe");
    return;
  }
  Check(entry.port >= 1 && entry.port <= 65535, "a port out of range");
  Check(entry.delay_ms >= 0 && entry.delay_ms <= 24LL * 60 * 60 * 1000, "a delay out of range");
  session::SessionEntry again;
  const std::string formatted = session::FormatSessionLine(entry);
  Check(session::ParseSessionLine(std::string_view(formatted).substr(0, formatted.size() - 1),
                                  again, error),
        "a parsed line formats to a line that does not parse");
  Check(again.bytes == entry.bytes && again.port == entry.port &&
            again.delay_ms == entry.delay_ms && again.sender == entry.sender,
        "a parsed line formats to another entry");

  std::string first_error;
  if (session::ClassifyFirstLine(line, first_error) == session::FirstLine::kRefusedSession) {
    Check(!first_error.empty() && Printable(first_error), "a refused header's message");
  }
}

void ReadFile(std::string_view text, std::size_t piece) {
  const race_feed::ReplayScript whole = race_feed::ParseReplayText(text);
  race_feed::ReplayReader reader;
  for (std::size_t at = 0; at < text.size(); at += piece) {
    if (!reader.Feed(text.substr(at, piece))) {
      break;
    }
  }
  const race_feed::ReplayScript pieces = reader.Finish();
  Check(whole.error == pieces.error, "read in pieces, a file is refused otherwise");
  Check(whole.session == pieces.session, "read in pieces, a file is another kind");
  Check(whole.records.size() == pieces.records.size(), "read in pieces, other records");
  for (std::size_t i = 0; i < whole.records.size(); ++i) {
    Check(whole.records[i].record == pieces.records[i].record &&
              whole.records[i].delay_ms == pieces.records[i].delay_ms &&
              whole.records[i].port == pieces.records[i].port,
          "read in pieces, another record");
  }
  if (!whole.error.empty()) {
    Check(whole.records.empty(), "records kept from a refused file");
    Check(whole.error.starts_with("line ") && Printable(whole.error),
          "a refusal names no line or shows raw bytes");
    return;
  }
  Check(text.empty() || text.back() == '\n', "a file cut short is played");
  for (const race_feed::TimedRecord& record : whole.records) {
    Check(record.record.size() <= race_feed::kMaxRecordBytes, "a record too long is played");
    Check(whole.session == (record.port != 0), "a record's port and the file's kind disagree");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  EscapeRoundTrip(bytes);
  ParseLine(bytes);
  // As a file, fed in pieces of a size the input chooses, and once more
  // behind the session header.
  const std::size_t piece = size == 0 ? 1 : 1 + data[0] % 64;
  ReadFile(bytes, piece);
  ReadFile(std::string(session::kSessionHeader) + "\n" + std::string(bytes), piece);
  return 0;
}
