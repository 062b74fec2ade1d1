#include "history/session_file.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <string>
#include <vector>

namespace {

bool Accepts(std::string_view address, std::string_view sender) {
  return address == "255.255.255.255" || address == sender;
}

struct Read {
  SessionFileRead result;
  std::vector<bool> accepted;
  std::vector<int> receivers;
};

Read ReadText(const std::string& text, std::string_view address_now = "10.0.0.1") {
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("session.txt")).toStdString();
  std::ofstream(path, std::ios::binary) << text;
  SessionHistory history;
  Read read{ReadSessionFile(path, address_now, 29104, 1'000'000, Accepts, history), {}, {}};
  for (std::uint64_t i = history.Begin(); i < history.End(); ++i) {
    read.accepted.push_back(history.At(i).accepted);
    read.receivers.push_back(history.At(i).receiver);
  }
  return read;
}

}  // namespace

// Each datagram meets the address in force when it came; before the first
// address line, the one the program has now.
TEST(SessionFileTest, TurnsAwayWhatWasTurnedAwayThen) {
  const Read read = ReadText(
      "#orvane-session 1\n"
      "0\t29105\t10.0.0.1\t{heartbeat}+\n"
      "5\t29104\t10.0.0.2\t{heartbeat}+\n"
      "#address\t10.0.0.2\n"
      "5\t29105\t10.0.0.1\t{heartbeat}+\n"
      "5\t29105\t10.0.0.2\t{heartbeat}+\n"
      "#address\t255.255.255.255\r\n"
      "5\t29105\t10.0.0.9\t{heartbeat}+\n");
  EXPECT_EQ(read.result.error, "");
  EXPECT_EQ(read.result.datagrams, 5u);
  EXPECT_EQ(read.result.turned_away, 2u);
  EXPECT_EQ(read.accepted, (std::vector<bool>{true, false, false, true, true}));
  EXPECT_EQ(read.receivers, (std::vector<int>{0, 1, 0, 0, 0}));
}

TEST(SessionFileTest, RefusesBrokenFilesWhole) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"", "not a session file"},
      {"hello\n", "not a session file"},
      {"#orvane-session 2\n", "is not"},
      {"#orvane-session 1\n0\t29105\t10.0.0.1\t{a}\n5\t29105", "line 3: cut short"},
      {"#orvane-session 1\nfive\t29105\t10.0.0.1\t{a}\n", "line 2"},
      {"#orvane-session 1\n#address\t\\q\n", "line 2"},
  };
  for (const auto& c : cases) {
    const Read read = ReadText(c.text);
    EXPECT_NE(read.result.error.find(c.error), std::string::npos)
        << c.text << " gave: " << read.result.error;
    EXPECT_TRUE(read.accepted.empty()) << c.text;
  }
}
