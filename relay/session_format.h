// Session files: every datagram a screen took in, one a line, so race-feed
// can send them again to the same ports in the same rhythm.
//
//   #orvane-session 1
//   DELAY_MS<TAB>PORT<TAB>SENDER<TAB>TEXT
//
// DELAY_MS is the wait since the previous datagram, PORT the UDP port it
// came to, SENDER the sender's dotted IPv4 address, TEXT the datagram's
// bytes with "\\", "\t", "\r", "\n" and "\0" (a zero byte) written as
// escapes, so every datagram survives, the empty one included. Standard
// library only, for the screen and race-feed alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace relay {

inline constexpr std::string_view kSessionHeader = "#orvane-session 1";

struct SessionEntry {
  std::int64_t delay_ms = 0;
  int port = 0;
  std::string sender;
  std::string bytes;  // the whole datagram
};

std::string EscapeSessionText(std::string_view bytes);

// False, with `error` set, on a backslash that starts no known escape.
bool UnescapeSessionText(std::string_view text, std::string& bytes, std::string& error);

// One line of a session file, its LF included.
std::string FormatSessionLine(const SessionEntry& entry);
// The same line appended to `out`: what a recorder does for every datagram.
void AppendSessionLine(std::string& out, std::int64_t delay_ms, int port, std::string_view sender,
                       std::string_view bytes);

// One line without its LF; a CR before the LF is dropped. False, with
// `error` set, when the line is not DELAY_MS<TAB>PORT<TAB>SENDER<TAB>TEXT
// with a delay of at most a day and a port of 1..65535.
bool ParseSessionLine(std::string_view line, SessionEntry& entry, std::string& error);

// Whether `first_line` (without its LF; a CR is allowed) is the header.
bool IsSessionHeader(std::string_view first_line);

}  // namespace relay
