// Bytes made safe to print in a message.
#include "relay/printable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace relay {
namespace {

TEST(Printable, KeepsPlainAsciiAndEscapesEveryOtherByte) {
  struct Case {
    std::string bytes;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"venue.pw ~/a b{tt}+1:2", "venue.pw ~/a b{tt}+1:2"},
      {"tab\tline\nreturn\r", "tab\\x09line\\x0areturn\\x0d"},
      {std::string("a\0b", 3), "a\\x00b"},
      // A screen clear, a window title and a hyperlink: ESC never gets through.
      {"\x1b[2J\x1b[H", "\\x1b[2J\\x1b[H"},
      {"\x1b]0;owned\a", "\\x1b]0;owned\\x07"},
      {"\x1b]8;;http://x\x1b\\", "\\x1b]8;;http://x\\x1b\\"},
      // DEL, the 8-bit CSI and UTF-8: single bytes, each escaped.
      {"\x7f", "\\x7f"},
      {"\x9b"
       "31m",
       "\\x9b31m"},
      {"caf\xc3\xa9 \xff", "caf\\xc3\\xa9 \\xff"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Printable(c.bytes), c.shown) << c.shown;
  }
}

}  // namespace
}  // namespace relay
