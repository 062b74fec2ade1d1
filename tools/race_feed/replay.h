// Replay files: one record a line, each optionally led by the wait before
// it in milliseconds and a TAB; or a session file as the screen records
// it, which also names each record's port.
//
// A file is read piece by piece and every line checked as it arrives, so a
// bad file is refused at once and memory stays bounded: no line may be
// longer than any record needs (session::kMaxSessionLineBytes), the file
// at most kMaxReplayBytes with at most kMaxReplayRecords records. Every
// line must end on a line end: a file that does not was cut short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/race_feed/records.h"

namespace race_feed {

// A day's racing at a record every 50 ms is under a tenth of both.
inline constexpr std::uint64_t kMaxReplayBytes = 256ULL << 20;
inline constexpr std::size_t kMaxReplayRecords = 2'000'000;

struct ReplayLine {
  enum class Kind { kSkip, kRecord, kError };
  Kind kind = Kind::kSkip;
  TimedRecord entry;
  std::string error;
};

// One line without its LF. Text before the first TAB that is all digits is
// the delay; any other text there belongs to the record, which is then sent
// at once, TAB and all. A delay of more than a day is refused, as is a
// delay with no record after it.
ReplayLine ParseReplayLine(std::string_view line);

// One line of a session file, after its header; empty lines and lines
// starting with "#" are skipped.
ReplayLine ParseSessionFileLine(std::string_view line);

struct ReplayScript {
  std::vector<TimedRecord> records;
  bool session = false;  // a session file: every record carries its port
  std::string error;     // "line N: ..." for the first bad line; nothing to send then
};

// Takes a replay file in pieces as they are read. The first line decides
// what the file is: a session file when it is exactly the session header;
// any other line starting with "#orvane-session" (after a byte-order mark,
// if there is one) is another version's header and refused; anything else
// starts a file of plain lines.
class ReplayReader {
 public:
  // The next bytes of the file. False once the file is refused.
  bool Feed(std::string_view bytes);
  // The end of the file.
  ReplayScript Finish();

 private:
  bool TakeLine(std::string_view line);
  bool Refuse(std::size_t line, const std::string& message);

  ReplayScript script_;
  std::string partial_;  // the line so far, at most the longest line allowed
  std::size_t lines_ = 0;
  std::uint64_t bytes_ = 0;
};

// A whole file in memory; every record is checked before any is sent.
ReplayScript ParseReplayText(std::string_view text);

// The file at `path`, or `in` for "-". Only a regular file is read: a FIFO
// or a device could block for ever or never end. Errors start with the
// file's name, shown safely.
ReplayScript ReadReplayFile(const std::string& path, std::istream& in);

}  // namespace race_feed
