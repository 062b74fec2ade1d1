// A recorded session file taken into a history, to browse without a feed:
// each datagram with its recorded sender, tested against the listening
// address in force when it came (the file's address lines; before the
// first, or in a file without any, the address given).
#pragma once

#include "history/session_history.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct SessionFileRead {
  std::uint64_t datagrams = 0;
  std::uint64_t turned_away = 0;
  std::string error;  // empty when the whole file was read
};

// `accepts(address, sender)` is the listening-address test; `second_port`
// the port that makes a datagram the second receiver's; `end_time_ms`
// when the session ended (the file's last change), which times it.
SessionFileRead ReadSessionFile(
    const std::string& path, std::string_view address_now, int second_port,
    std::int64_t end_time_ms,
    const std::function<bool(std::string_view address, std::string_view sender)>& accepts,
    SessionHistory& history);
