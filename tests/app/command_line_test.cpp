// The program's command line: what each option sets, and a clear line for
// every bad value.
#include "app/command_line.h"

#include <gtest/gtest.h>

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
  std::string error;
  const std::optional<CommandLine> line =
      ParseCommandLine({"--scale", "1.5", "--screen=HDMI-1", "--record", "evening.txt",
                        "--subscribe", "mqtts://studio@broker.example", "--topic", "venue/feed",
                        "--cafile", "ca.pem", "--password-file", "secret"},
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
  EXPECT_EQ(line->broker.password_file, "secret");

  ASSERT_TRUE(ParseCommandLine({"--help"}, error)->help);
  ASSERT_TRUE(ParseCommandLine({"-h"}, error)->help);
  ASSERT_TRUE(ParseCommandLine({"--version"}, error)->version);
  EXPECT_EQ(*ParseCommandLine({"--scale=0.5"}, error)->scale, 0.5);
  EXPECT_EQ(*ParseCommandLine({"--scale", "4"}, error)->scale, 4.0);
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
                "--topic, --cafile and --password-file go with --publish or --subscribe"},
        BadCase{{"--publish", "mqtt://a", "--subscribe", "mqtt://a"},
                "--publish and --subscribe cannot be used together"},
        BadCase{{"--publish", "tcp://a"},
                "--publish: bad broker \"tcp://a\" (mqtt://[USER@]HOST[:PORT] or mqtts://...)"}));

TEST(CommandLine, HelpAndVersionTexts) {
  EXPECT_NE(UsageText().find("--scale F"), std::string::npos);
  EXPECT_NE(UsageText().find("--record FILE"), std::string::npos);
  EXPECT_EQ(VersionText(), std::string("orvane-commentator ") + ORVANE_VERSION + "\n");
}

}  // namespace
