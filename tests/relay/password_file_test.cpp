// What ReadPasswordFile takes from a file and what it refuses, beyond the
// command lines' table: line ends, bounds, modes and names that would drive
// a terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "relay/broker_options.h"
#include "tests/relay/password_file_cases.h"

namespace relay {
namespace {

TEST(PasswordFile, WhatIsTakenAndWhatIsRefused) {
  const PasswordFiles files;
  const std::string longest(kMaxPasswordBytes, 'x');
  struct Case {
    std::string what;
    std::string text;
    mode_t mode;
    std::string password;  // empty: refused with `error`
    std::string error;
  };
  const std::vector<Case> cases = {
      {"first line only", "s3cret\nsecond line\n", 0600, "s3cret", ""},
      {"CR LF", "s3cret\r\n", 0600, "s3cret", ""},
      {"no line end", "s3cret", 0400, "s3cret", ""},
      {"the longest line", longest + "\n", 0600, longest, ""},
      {"the longest line, CR LF", longest + "\r\n", 0600, longest, ""},
      {"a line too long", longest + "x\n", 0600, "", "its first line is longer than 4096 bytes"},
      {"a huge file of one line", std::string(1 << 20, 'x'), 0600, "",
       "its first line is longer than 4096 bytes"},
      {"empty", "", 0600, "", "its first line is empty"},
      {"empty first line", "\nsecond\n", 0600, "", "its first line is empty"},
      {"zero byte", std::string("s3\0cret\n", 8), 0600, "", "its first line holds a zero byte"},
      {"group may read", "s3cret\n", 0640, "", "is readable by others: chmod 600"},
      {"others may read", "s3cret\n", 0604, "", "is readable by others: chmod 600"},
      {"group may write", "s3cret\n", 0620, "", "is writable by others: chmod 600"},
      {"others may write", "s3cret\n", 0602, "", "is writable by others: chmod 600"},
  };
  int count = 0;
  for (const Case& c : cases) {
    const std::string path = files.Write("case-" + std::to_string(++count), c.text, c.mode);
    std::string password = "left over";
    std::string error;
    const bool read = ReadPasswordFile(path, password, error);
    EXPECT_EQ(read, !c.password.empty()) << c.what << ": " << error;
    EXPECT_EQ(password, c.password) << c.what;
    if (!read) {
      EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
      EXPECT_NE(error.find(path), std::string::npos) << c.what << ": " << error;
    }
  }
}

TEST(PasswordFile, ANameIsEchoedSafely) {
  const PasswordFiles files;
  std::string password;
  std::string error;
  EXPECT_FALSE(ReadPasswordFile(files.Path("pw\x1b]0;owned\a\xc3\xa9"), password, error));
  EXPECT_NE(error.find("/pw\\x1b]0;owned\\x07\\xc3\\xa9: No such file"), std::string::npos)
      << error;
  const std::string odd = files.Write("pw\x1b[2J", "s3cret\n", 0644);
  EXPECT_FALSE(ReadPasswordFile(odd, password, error));
  EXPECT_NE(error.find("/pw\\x1b[2J is readable by others: chmod 600 "), std::string::npos)
      << error;
  EXPECT_EQ(error.find('\x1b'), std::string::npos) << error;
}

}  // namespace
}  // namespace relay
