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
//
// A recording also notes the listening address in force, before the first
// datagram and again whenever it changes, so a record turned away then is
// turned away again when the session is opened:
//
//   #address<TAB>ADDRESS
//
// with ADDRESS escaped as TEXT is. Readers that do not know it skip it as
// they skip every line starting with "#"; a file without such lines is read
// with the address in force now.
//
// A line is written whole or not at all, so a file that does not end on a
// line end was cut short (a full disk, a killed writer) and is not played.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace session {

inline constexpr std::string_view kSessionHeader = "#orvane-session 1";
// What every version's header starts with.
inline constexpr std::string_view kSessionMagic = "#orvane-session";

// The longest datagram a line carries, as the screen reads it.
inline constexpr std::size_t kMaxDatagramBytes = 1024;
// The longest line a reader needs to take, its LF not counted: every byte of
// the largest datagram escaped, a delay of a day with room for leading zeros,
// a port, a sender (an IPv6 address in text at most), three TABs and a CR.
inline constexpr std::size_t kMaxSessionLineBytes = 2 * kMaxDatagramBytes + 128;

struct SessionEntry {
  std::int64_t delay_ms = 0;
  int port = 0;
  std::string sender;
  std::string bytes;  // the whole datagram
};

inline constexpr std::string_view kAddressLinePrefix = "#address\t";

std::string EscapeSessionText(std::string_view bytes);

// "#address<TAB>ADDRESS" with its LF.
std::string FormatAddressLine(std::string_view address);
// True for an address line (without its LF; a CR before it is dropped),
// with `address` set, or `error` when it is broken; false for any other.
bool ParseAddressLine(std::string_view line, std::string& address, std::string& error);

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

// What a file's first line (without its LF) makes of it: a session file of
// the known version, a session file of another (any line starting with
// kSessionMagic, after a byte-order mark if there is one, which is refused),
// or none at all. A CR at its end is a CRLF line end's. `error` says why a
// session file is refused.
enum class FirstLine { kNotSession, kKnownSession, kRefusedSession };
FirstLine ClassifyFirstLine(std::string_view first_line, std::string& error);

// `bytes` fit for a terminal and a log: printable ASCII as it is, a backslash
// as "\\", every other byte as "\xNN", so no escape sequence in a file
// reaches the screen. At most `limit` bytes of the input are shown; "..."
// says there was more.
std::string PrintableExcerpt(std::string_view bytes, std::size_t limit = 60);

}  // namespace session
