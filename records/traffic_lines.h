// The traffic log's line for a datagram the listening address turned away,
// shared by the desktop's listener and the browser view's log.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view kIgnoredPrefix = "IGNORED packet from ";

inline std::string IgnoredLine(std::string_view sender) {
  std::string line(kIgnoredPrefix);
  line += sender;
  return line;
}
