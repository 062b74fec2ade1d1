// Replay files as race-feed reads them: what makes a session file, a file
// cut short, lines and files too long, files that are not files, and
// messages that show a file's bytes only escaped. Nothing is sent from a
// refused file.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "session/session_format.h"
#include "tools/race_feed/replay.h"

extern char** environ;

namespace race_feed {
namespace {

using namespace std::string_literals;

constexpr std::string_view kLine = "0\t29105\t10.0.0.5\t{heartbeat}+\n";

// A directory of its own, removed with what is in it.
class TempDir {
 public:
  TempDir() {
    char name[] = "/tmp/replay_file_test_XXXXXX";
    path_ = ::mkdtemp(name) != nullptr ? name : "";
    EXPECT_FALSE(path_.empty());
  }
  ~TempDir() {
    for (const std::string& file : files_) {
      ::unlink(file.c_str());
    }
    ::rmdir(path_.c_str());
  }
  std::string File(const std::string& name, const std::string& contents) {
    const std::string path = Name(name);
    std::ofstream(path, std::ios::binary) << contents;
    return path;
  }
  std::string Name(const std::string& name) {
    files_.push_back(path_ + "/" + name);
    return files_.back();
  }

 private:
  std::string path_;
  std::vector<std::string> files_;
};

// The same file fed whole and a byte at a time must come out the same.
ReplayScript ByteByByte(std::string_view text) {
  ReplayReader reader;
  for (char c : text) {
    if (!reader.Feed({&c, 1})) {
      break;
    }
  }
  return reader.Finish();
}

TEST(ReplayFile, WhatEachFileBecomes) {
  struct Case {
    const char* what;
    std::string text;
    std::size_t records;  // when it is played
    std::string error;    // when it is refused
  };
  const std::string line(kLine);
  const Case cases[] = {
      {"no header: plain lines", "{a}\n10\t{b}\n", 2, ""},
      {"the exact header", "#orvane-session 1\n" + line + line, 2, ""},
      {"CRLF line ends", "#orvane-session 1\r\n0\t29105\t10.0.0.5\t{a}\r\n", 1, ""},
      {"the header alone", "#orvane-session 1\n", 0, ""},
      {"an empty file", "", 0, ""},
      {"another version", "#orvane-session 2\n" + line, 0,
       "line 1: header \"#orvane-session 2\" is not \"#orvane-session 1\""},
      {"a trailing blank", "#orvane-session 1 \n" + line, 0,
       "line 1: header \"#orvane-session 1 \""},
      {"a byte-order mark", "\xEF\xBB\xBF#orvane-session 1\n" + line, 0,
       "line 1: a byte-order mark before the header"},
      {"a later header is a plain record", "{a}\n#orvane-session 1\n", 2, ""},
      {"session: last line without LF", "#orvane-session 1\n" + line + line.substr(0, 20), 0,
       "line 3: no line end; the file was cut short"},
      {"plain: last line without LF", "{a}\n{b}", 0, "line 2: no line end"},
      {"a header without LF", "#orvane-session 1", 0, "line 1: no line end"},
      {"a line of 5000 bytes", "#orvane-session 1\n" + std::string(5000, 'x') + "\n", 0,
       "line 2: longer than 2176 bytes"},
      {"a plain line of 5000 bytes", "{a}\n{b}\n" + std::string(5000, 'x'), 0,
       "line 3: longer than 2176 bytes"},
      {"the widest record, all escaped",
       "#orvane-session 1\n86400000\t65535\t10.0.0.5\t" + std::string(2048, '\\') + "\r\n", 1, ""},
      {"a record one byte too long",
       "#orvane-session 1\n0\t29105\t10.0.0.5\t" + std::string(1025, 'x') + "\n", 0,
       "line 2: record of 1025 bytes is longer than 1024"},
      {"escapes in a bad line", "#orvane-session 1\n\x1b[31m\t1\t2\tx\n", 0,
       "line 2: delay \"\\x1B[31m\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ReplayScript whole = ParseReplayText(c.text);
    const ReplayScript pieces = ByteByByte(c.text);
    EXPECT_EQ(whole.error, pieces.error);
    EXPECT_EQ(whole.records.size(), pieces.records.size());
    if (c.error.empty()) {
      EXPECT_EQ(whole.error, "");
      EXPECT_EQ(whole.records.size(), c.records);
    } else {
      EXPECT_EQ(whole.error.rfind(c.error, 0), 0u) << whole.error;
      EXPECT_TRUE(whole.records.empty());
    }
    EXPECT_EQ(whole.error.find('\x1b'), std::string::npos);
  }
  const ReplayScript widest = ParseReplayText(cases[14].text);
  ASSERT_EQ(widest.records.size(), 1u);
  EXPECT_EQ(widest.records[0].record, std::string(1024, '\\'));
}

// A line too long is refused as it is read, not once the file is in memory.
TEST(ReplayFile, ALineTooLongIsRefusedAtOnce) {
  ReplayReader reader;
  EXPECT_TRUE(reader.Feed("#orvane-session 1\n"));
  EXPECT_TRUE(reader.Feed(std::string(session::kMaxSessionLineBytes, '1')));
  EXPECT_FALSE(reader.Feed("1"));
  EXPECT_FALSE(reader.Feed("\n"));
  EXPECT_EQ(reader.Finish().error, "line 2: longer than 2176 bytes, more than any record needs");
}

TEST(ReplayFile, AFileIsBoundedInBytesAndRecords) {
  // Skipped lines count towards the size too.
  ReplayReader big;
  std::string chunk;
  for (int i = 0; i < 8; ++i) {
    chunk += "#" + std::string(2046, 'c') + "\n";
  }
  std::uint64_t fed = 0;
  bool taken = big.Feed("#orvane-session 1\n");
  while (taken && fed <= kMaxReplayBytes) {
    taken = big.Feed(chunk);
    fed += chunk.size();
  }
  EXPECT_FALSE(taken);
  EXPECT_LE(fed, kMaxReplayBytes + chunk.size());
  EXPECT_NE(big.Finish().error.find("goes on past 256 MiB"), std::string::npos);

  ReplayReader many;
  std::string lines;
  for (int i = 0; i < 1000; ++i) {
    lines += "x\n";
  }
  std::size_t records = 0;
  while (records <= kMaxReplayRecords && many.Feed(lines)) {
    records += 1000;
  }
  const ReplayScript script = many.Finish();
  EXPECT_EQ(script.error, "line 2000001: more than 2000000 records, the most race-feed replays");
  EXPECT_TRUE(script.records.empty());
}

// A FIFO's writer never comes, /dev/zero never ends: neither is read.
TEST(ReplayFile, OnlyARegularFileIsRead) {
  TempDir dir;
  const std::string fifo = dir.Name("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string path;
    std::string error;
  };
  const Case cases[] = {
      {"/dev/zero", "cannot read /dev/zero: a device, not a regular file"},
      {fifo, "cannot read " + fifo + ": a FIFO, not a regular file"},
      {"/tmp", "cannot read /tmp: a directory, not a regular file"},
      {"/nonexistent/session.txt", "cannot read /nonexistent/session.txt: No such file"},
      {dir.Name("\x1b]2;title\x07.txt"), "\\x1B]2;title\\x07.txt: No such file"},
  };
  for (const Case& c : cases) {
    std::istringstream unused;
    const auto start = std::chrono::steady_clock::now();
    const ReplayScript script = ReadReplayFile(c.path, unused);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_NE(script.error.find(c.error), std::string::npos) << script.error;
    EXPECT_EQ(script.error.find('\x1b'), std::string::npos) << script.error;
    EXPECT_TRUE(script.records.empty());
  }
  // Standard input stays allowed, its lines bounded like a file's.
  std::istringstream zeros(std::string(1 << 20, '\0'));
  EXPECT_EQ(ReadReplayFile("-", zeros).error.rfind("-: line 1: longer than", 0), 0u);
  std::istringstream good("#orvane-session 1\n" + std::string(kLine));
  EXPECT_EQ(ReadReplayFile("-", good).records.size(), 1u);
}

// ---- The real race-feed ----

struct Outcome {
  int status = -1;
  std::string err;
};

// race-feed with `args`, its standard input from `input`; killed after 10 s.
Outcome RunRaceFeed(const std::vector<std::string>& args, const std::string& input = "/dev/null") {
  TempDir dir;
  const std::string err_path = dir.Name("stderr");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<std::string> all{RACE_FEED_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  pid_t pid = 0;
  Outcome outcome;
  const int spawned = posix_spawn(&pid, RACE_FEED_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start race-feed";
    return outcome;
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      ADD_FAILURE() << "race-feed did not end within 10 s";
      return outcome;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream file(err_path, std::ios::binary);
  outcome.err.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return outcome;
}

// A UDP socket on 127.0.0.1 with a port of the system's choosing.
class Receiver {
 public:
  Receiver() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), size), 0);
    EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size), 0);
    port_ = std::to_string(ntohs(address.sin_port));
  }
  ~Receiver() { ::close(fd_); }
  const std::string& Port() const { return port_; }
  // What has arrived, waiting up to 200 ms for the first.
  std::vector<std::string> Take() {
    std::vector<std::string> got;
    pollfd ready{fd_, POLLIN, 0};
    while (::poll(&ready, 1, got.empty() ? 200 : 0) == 1) {
      char buffer[2048];
      const ssize_t size = ::recv(fd_, buffer, sizeof buffer, 0);
      if (size < 0) {
        break;
      }
      got.emplace_back(buffer, static_cast<std::size_t>(size));
    }
    return got;
  }

 private:
  int fd_ = -1;
  std::string port_;
};

TEST(ReplayFile, RaceFeedSendsNothingFromARefusedFile) {
  Receiver receiver;
  TempDir dir;
  const std::string fifo = dir.Name("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto session = [&](const std::string& header, const std::string& records) {
    std::string text = header;
    for (const char* record : {"{a}", "{b}"}) {
      text += "0\t" + receiver.Port() + "\t127.0.0.1\t" + record + "\n";
    }
    return text + records;
  };
  struct Case {
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string err;
    std::vector<std::string> sent;
  };
  const Case cases[] = {
      {{"replay", dir.File("good", session("#orvane-session 1\n", ""))}, "", 0, "", {"{a}", "{b}"}},
      {{"replay", dir.File("v2", session("#orvane-session 2\n", ""))},
       "",
       1,
       "v2: line 1: header \"#orvane-session 2\" is not \"#orvane-session 1\"",
       {}},
      {{"replay", dir.File("cut", session("#orvane-session 1\n", "0\t1\t1.2.3.4\t{c"))},
       "",
       1,
       "cut: line 4: no line end; the file was cut short",
       {}},
      {{"replay", "/dev/zero"}, "", 1, "/dev/zero: a device, not a regular file", {}},
      {{"replay", fifo}, "", 1, "fifo: a FIFO, not a regular file", {}},
      {{"replay", "-"}, "/dev/zero", 1, "-: line 1: longer than 2176 bytes", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back() + " < " + c.input);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--host", "127.0.0.1", "--port", receiver.Port(), "--quiet"});
    const Outcome outcome = RunRaceFeed(args, c.input.empty() ? "/dev/null" : c.input);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    if (!c.err.empty()) {
      EXPECT_NE(outcome.err.find(c.err), std::string::npos) << outcome.err;
      EXPECT_NE(outcome.err.find("; nothing sent"), std::string::npos) << outcome.err;
    }
    EXPECT_EQ(receiver.Take(), c.sent);
  }
}

}  // namespace
}  // namespace race_feed
