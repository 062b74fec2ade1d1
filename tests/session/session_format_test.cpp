// Session file lines: every datagram survives a line, bad lines and other
// versions' headers are named, and file bytes reach a message only escaped.
#include <gtest/gtest.h>

#include <string>

#include "session/session_format.h"

namespace session {
namespace {

using namespace std::string_literals;

// Every byte value, the awkward ones (zero, TAB, CR, LF, backslash, 0x80-0xFF) included.
std::string AllBytes() {
  std::string bytes;
  for (int value = 0; value < 256; ++value) {
    bytes += static_cast<char>(value);
  }
  return bytes;
}

TEST(SessionFormat, EveryDatagramSurvivesALine) {
  const std::string datagrams[] = {
      "",           "{heartbeat}+",          "a\tb\rc\nd\\e", "\\t is not a tab", "zero\0byte"s,
      "250\t{tt}+",  // digits and a TAB, as an old replay line would start
      AllBytes(),   std::string(1024, '\\'),
  };
  for (const std::string& bytes : datagrams) {
    const SessionEntry entry{1234, 29104, "10.0.0.5", bytes};
    const std::string line = FormatSessionLine(entry);
    ASSERT_EQ(line.back(), '\n');
    const std::string_view body(line.data(), line.size() - 1);
    EXPECT_EQ(body.find('\n'), std::string_view::npos);
    EXPECT_EQ(body.find('\r'), std::string_view::npos);
    SessionEntry parsed;
    std::string error;
    ASSERT_TRUE(ParseSessionLine(body, parsed, error)) << error;
    EXPECT_EQ(parsed.bytes, bytes);
    EXPECT_EQ(parsed.delay_ms, 1234);
    EXPECT_EQ(parsed.port, 29104);
    EXPECT_EQ(parsed.sender, "10.0.0.5");
  }
  EXPECT_EQ(EscapeSessionText("a\\b\tc\0"s), "a\\\\b\\tc\\0");
}

// The longest line a reader takes holds the largest datagram with every
// byte escaped and the widest fields: a recorder's line always fits.
TEST(SessionFormat, TheLongestLineAllowedHoldsTheWidestRecord) {
  const SessionEntry widest{86400000, 65535, "ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255",
                            std::string(kMaxDatagramBytes, '\n')};
  const std::string line = FormatSessionLine(widest);
  // Without its LF, with a CR: the line's own size.
  EXPECT_LE(line.size(), kMaxSessionLineBytes);
}

TEST(SessionFormat, BadLinesAreNamedWithTheirBytesEscaped) {
  struct Case {
    std::string line;
    std::string error;
  };
  const Case cases[] = {
      {"10\t29105\t10.0.0.5", "not DELAY_MS"},
      {"x\t29105\t10.0.0.5\t{tt}+", "delay \"x\""},
      {"86400001\t29105\t10.0.0.5\t{tt}+", "up to a day"},
      {"10\t0\t10.0.0.5\t{tt}+", "port \"0\""},
      {"10\t65536\t10.0.0.5\t{tt}+", "port \"65536\""},
      {"10\t29105\t\t{tt}+", "no sender"},
      {"10\t29105\t10.0.0.5\tend\\", "backslash ends"},
      {"10\t29105\t10.0.0.5\t\\x41", "unknown escape \\x"},
      // A terminal's escape sequences come out as text.
      {"\x1b]0;owned\x07\t29105\t10.0.0.5\tx", "delay \"\\x1B]0;owned\\x07\""},
      {"1\t\x1b[2J\t10.0.0.5\tx", "port \"\\x1B[2J\""},
      {"1\t29105\t10.0.0.5\t\\\x9b", "unknown escape \\\\x9B"},
  };
  for (const Case& c : cases) {
    SessionEntry entry;
    std::string error;
    EXPECT_FALSE(ParseSessionLine(c.line, entry, error)) << c.line;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.line << " -> " << error;
    EXPECT_EQ(error.find('\x1b'), std::string::npos) << error;
  }
  SessionEntry entry;
  std::string error;
  EXPECT_TRUE(ParseSessionLine("0\t29105\t10.0.0.5\tx\r", entry, error)) << error;
  EXPECT_EQ(entry.bytes, "x");
}

TEST(SessionFormat, OnlyTheKnownHeaderMakesASessionFile) {
  using enum FirstLine;
  struct Case {
    std::string line;
    FirstLine kind;
    std::string error;
  };
  const Case cases[] = {
      {"#orvane-session 1", kKnownSession, ""},
      {"#orvane-session 1\r", kKnownSession, ""},  // a CRLF line end
      {"{heartbeat}+", kNotSession, ""},
      {"", kNotSession, ""},
      {"# orvane-session 1", kNotSession, ""},
      {"\xEF\xBB\xBF{heartbeat}+", kNotSession, ""},
      {"#orvane-session 2", kRefusedSession, "header \"#orvane-session 2\" is not"},
      {"#orvane-session 1 ", kRefusedSession, "header \"#orvane-session 1 \" is not"},
      {"#orvane-session 1\t", kRefusedSession, "header \"#orvane-session 1\\x09\" is not"},
      {"#orvane-session 1\r\r", kRefusedSession, "\"#orvane-session 1\\x0D\" is not"},
      {"#orvane-session", kRefusedSession, "header \"#orvane-session\" is not"},
      {"#orvane-sessions", kRefusedSession, "is not \"#orvane-session 1\""},
      {"#orvane-session 10", kRefusedSession, "the only version known here"},
      {"\xEF\xBB\xBF#orvane-session 1", kRefusedSession, "a byte-order mark before the header"},
      {"\xEF\xBB\xBF#orvane-session 2", kRefusedSession, "a byte-order mark"},
      {"#orvane-session \x1b[31m1", kRefusedSession, "\"#orvane-session \\x1B[31m1\""},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(ClassifyFirstLine(c.line, error), c.kind) << PrintableExcerpt(c.line);
    if (c.error.empty()) {
      EXPECT_TRUE(error.empty()) << error;
    } else {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
  }
}

TEST(SessionFormat, PrintableExcerptKeepsTerminalsSafe) {
  struct Case {
    std::string bytes;
    std::size_t limit;
    std::string shown;
  };
  const Case cases[] = {
      {"{tt}+ A. Rider", 60, "{tt}+ A. Rider"},
      {"\x1b[2J\x07", 60, "\\x1B[2J\\x07"},
      {"a\\b", 60, "a\\\\b"},
      {"\x7f\x80\x9b\xff"s + '\0', 60, "\\x7F\\x80\\x9B\\xFF\\x00"},
      {"abcdef", 3, "abc..."},
      {"abc", 3, "abc"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PrintableExcerpt(c.bytes, c.limit), c.shown);
  }
  for (char c : PrintableExcerpt(AllBytes(), 256)) {
    EXPECT_TRUE(c >= 0x20 && c < 0x7f) << static_cast<int>(c);
  }
}

}  // namespace
}  // namespace session
