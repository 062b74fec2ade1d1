// Replay files: one record a line, each optionally led by the wait before
// it in milliseconds and a TAB; or a session file as the screen records
// it, which also names each record's port.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/race_feed/records.h"

namespace race_feed {

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

// A whole file; every record is checked before any is sent.
ReplayScript ParseReplayText(std::string_view text);

}  // namespace race_feed
