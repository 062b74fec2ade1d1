// The program's command line: what each option sets, and a clear line for
// every bad value.
#include "app/command_line.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/relay/password_file_cases.h"

namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, NoOptionsChangeNothing) {
  std::string error;
  const std::optional<CommandLine> line = ParseCommandLine({}, error);
  ASSERT_TRUE(line);
  EXPECT_FALSE(line->help || line->version || line->scale || line->screen || line->record ||
               line->broker_role);
}

TEST(CommandLine, EachOptionAndItsValue) {
  const PasswordFiles files;
  std::string error;
  const std::optional<CommandLine> line =
      ParseCommandLine({"--scale", "1.5", "--screen=HDMI-1", "--record", "evening.txt",
                        "--subscribe", "mqtts://studio@broker.example", "--topic", "venue/feed",
                        "--cafile", "ca.pem", "--password-file", files.Path("private")},
                       error);
  ASSERT_TRUE(line) << error;
  EXPECT_DOUBLE_EQ(*line->scale, 1.5);
  EXPECT_EQ(*line->screen, "HDMI-1");
  EXPECT_EQ(*line->record, "evening.txt");
  EXPECT_EQ(*line->broker_role, relay::Role::kSubscribe);
  EXPECT_TRUE(line->broker.tls);
  EXPECT_EQ(line->broker.user, "studio");
  EXPECT_EQ(line->broker.host, "broker.example");
  EXPECT_EQ(line->broker.port, 8883);
  EXPECT_EQ(line->broker.topic, "venue/feed");
  EXPECT_EQ(line->broker.cafile, "ca.pem");
  EXPECT_EQ(line->broker.password_file, files.Path("private"));

  ASSERT_TRUE(ParseCommandLine({"--help"}, error)->help);
  ASSERT_TRUE(ParseCommandLine({"-h"}, error)->help);
  ASSERT_TRUE(ParseCommandLine({"--version"}, error)->version);
  EXPECT_EQ(*ParseCommandLine({"--scale=0.5"}, error)->scale, 0.5);
  EXPECT_EQ(*ParseCommandLine({"--scale", "4"}, error)->scale, 4.0);

  // A value is taken whole, whatever it looks like, byte for byte.
  EXPECT_EQ(*ParseCommandLine({"--screen", "-h"}, error)->screen, "-h");
  EXPECT_EQ(*ParseCommandLine({"--record=\xe9t\xe9=1.txt"}, error)->record, "\xe9t\xe9=1.txt");

  EXPECT_EQ(ParseCommandLine({"--subscribe", "mqtt://a", "--delay", "600"}, error)->broker.delay_s,
            600);
  EXPECT_EQ(*ParseCommandLine({"--open-session", "evening.txt"}, error)->open_session,
            "evening.txt");
}

struct BadCase {
  Args arguments;
  std::string error;
};

class BadCommandLineTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadCommandLineTest, OneClearLine) {
  std::string error;
  EXPECT_FALSE(ParseCommandLine(GetParam().arguments, error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BadCommandLineTest,
    ::testing::Values(
        BadCase{{"--bogus"}, "unknown option '--bogus' (see --help)"},
        BadCase{{"evening.txt"}, "unknown option 'evening.txt' (see --help)"},
        BadCase{{"--scale"}, "--scale needs a value (see --help)"},
        BadCase{{"--scale", "0.49"}, "--scale takes a number from 0.5 to 4, not '0.49'"},
        BadCase{{"--scale", "4.01"}, "--scale takes a number from 0.5 to 4, not '4.01'"},
        BadCase{{"--scale", "nan"}, "--scale takes a number from 0.5 to 4, not 'nan'"},
        BadCase{{"--scale", "1.5x"}, "--scale takes a number from 0.5 to 4, not '1.5x'"},
        BadCase{{"--scale", "0x2"}, "--scale takes a number from 0.5 to 4, not '0x2'"},
        BadCase{{"--scale", "1e0"}, "--scale takes a number from 0.5 to 4, not '1e0'"},
        BadCase{{"--scale", "+1"}, "--scale takes a number from 0.5 to 4, not '+1'"},
        BadCase{{"--scale", "1."}, "--scale takes a number from 0.5 to 4, not '1.'"},
        BadCase{{"--scale", " 1"}, "--scale takes a number from 0.5 to 4, not ' 1'"},
        BadCase{{"--screen="}, "--screen takes a monitor's name or number"},
        BadCase{{"--record", ""}, "--record takes a file name"},
        BadCase{{"--topic", "t"},
                "--topic, --cafile, --password-file and --allow-plain-password go with "
                "--publish or --subscribe"},
        BadCase{{"--allow-plain-password"},
                "--topic, --cafile, --password-file and --allow-plain-password go with "
                "--publish or --subscribe"},
        BadCase{{"--allow-plain-password=yes"}, "--allow-plain-password takes no value"},
        // Spellings a command-line parser may take: here an option has two
        // dashes, or is -h.
        BadCase{{"-help"}, "unknown option '-help' (see --help)"},
        BadCase{{"--h"}, "unknown option '--h' (see --help)"},
        BadCase{{"-hh"}, "unknown option '-hh' (see --help)"},
        BadCase{{"-scale", "2"}, "unknown option '-scale' (see --help)"},
        BadCase{{"--"}, "unknown option '--' (see --help)"},
        // The first fault on the line is the one named.
        BadCase{{"--scale", "9", "--bogus"}, "--scale takes a number from 0.5 to 4, not '9'"},
        BadCase{{"--bogus", "--scale", "9"}, "unknown option '--bogus' (see --help)"},
        // What is echoed cannot drive the terminal.
        BadCase{{"--\x1b]0;owned\a"}, "unknown option '--\\x1b]0;owned\\x07' (see --help)"},
        BadCase{{"--scale",
                 "\x9b"
                 "2J"},
                "--scale takes a number from 0.5 to 4, not '\\x9b2J'"},
        BadCase{{"--delay", "5"}, "--delay goes with --subscribe"},
        BadCase{{"--publish", "mqtt://a", "--delay", "5"}, "--delay goes with --subscribe"},
        BadCase{{"--subscribe", "mqtt://a", "--delay", "601"},
                "bad value for --delay: \"601\" (whole seconds, 0 to 600)"},
        BadCase{{"--subscribe", "mqtt://a", "--delay", "1.5"},
                "bad value for --delay: \"1.5\" (whole seconds, 0 to 600)"},
        BadCase{{"--open-session", ""}, "--open-session takes a file name"},
        BadCase{{"--publish", "mqtt://a", "--subscribe", "mqtt://a"},
                "--publish and --subscribe cannot be used together"},
        BadCase{{"--publish", "tcp://a"},
                "--publish: bad broker \"tcp://a\" (mqtt://[USER@]HOST[:PORT] or mqtts://...)"}));

// Every kind of password file, as the screen's command line sees it: a
// file that cannot be used is a bad value like any other, found at once.
TEST(CommandLine, PasswordFiles) {
  const PasswordFiles files;
  for (const PasswordFileCase& c : PasswordFileCases(files)) {
    Args arguments = {"--subscribe", c.broker};
    if (!c.file.empty()) {
      arguments.insert(arguments.end(), {"--password-file", c.file});
    }
    if (c.allow_plain) {
      arguments.push_back("--allow-plain-password");
    }
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    const std::optional<CommandLine> line = ParseCommandLine(arguments, error);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.what;
    if (c.error.empty()) {
      ASSERT_TRUE(line) << c.what << ": " << error;
      EXPECT_EQ(line->broker.password_file, c.file) << c.what;
      EXPECT_EQ(line->broker.allow_plain_password, c.allow_plain) << c.what;
    } else {
      EXPECT_FALSE(line) << c.what;
      EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    }
  }
}

// The program itself: a password file it cannot use ends the start with
// status 2 and one line, before it looks for a display, let alone opens a
// window (with no display, a start that got further would end with 1).
TEST(CommandLine, UnusablePasswordFileEndsTheStartWithTwo) {
  const PasswordFiles files;
  for (const std::string& file : {files.Path("missing"), files.Path("shared")}) {
    int pipe_fds[2];
    ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      dup2(pipe_fds[1], STDERR_FILENO);
      unsetenv("DISPLAY");
      unsetenv("WAYLAND_DISPLAY");
      unsetenv("QT_QPA_PLATFORM");
      execl(ORVANE_COMMENTATOR, ORVANE_COMMENTATOR, "--subscribe", "mqtts://studio@127.0.0.1",
            "--password-file", file.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipe_fds[1]);
    std::string err;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd readable{pipe_fds[0], POLLIN, 0};
      if (poll(&readable, 1, 100) <= 0) {
        continue;
      }
      char buffer[512];
      const ssize_t got = read(pipe_fds[0], buffer, sizeof buffer);
      if (got <= 0) {
        break;
      }
      err.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipe_fds[0]);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << file << ": still running after 10 s";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << file << ": " << err;
    EXPECT_EQ(err.rfind("orvane-commentator: ", 0), 0u) << err;
    EXPECT_NE(err.find("password file " + file), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
  }
}

TEST(CommandLine, HelpAndVersionTexts) {
  EXPECT_NE(UsageText().find("--scale F"), std::string::npos);
  EXPECT_NE(UsageText().find("--record FILE"), std::string::npos);
  EXPECT_EQ(VersionText(), std::string("orvane-commentator ") + ORVANE_VERSION + "\n");
}

}  // namespace
