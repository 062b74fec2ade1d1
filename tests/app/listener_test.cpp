// The race data listener over real loopback UDP: the listening-address test,
// the traffic log lines, datagram sizes and bytes, both ports, trimming,
// and when it listens at all.
#include "app/listening_address.h"
#include "app/race_data_listener.h"
#include "platform/text_list.h"
#include "screens/shown_text.h"
#include "screens/time_trial_screen.h"
#include "support/test_support.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

struct SenderCase {
  const char* name;
  std::string listening_address;
  const char* source;
  std::string expected_line;
};

class ListeningAddressTest : public ::testing::TestWithParam<SenderCase> {};

TEST_P(ListeningAddressTest, DecidesBetweenDispatchAndIgnore) {
  const SenderCase& c = GetParam();
  CommentatorFixture fixture;
  fixture.App().Address().SetText(c.listening_address);
  // A heartbeat shows whether the record was dispatched.
  SendDatagram(fixture.Port1(), "{heartbeat}+", c.source);
  ASSERT_TRUE(WaitUntil([&] { return !fixture.Log().empty(); }));
  Settle();
  if (c.expected_line.rfind("IGNORED", 0) == 0) {
    EXPECT_EQ(fixture.Log(), Lines({c.expected_line}));
  } else {
    EXPECT_EQ(fixture.Log(), Lines({"Heartbeat received from SERVER!!", c.expected_line}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Senders, ListeningAddressTest,
    ::testing::Values(
        SenderCase{"all", "255.255.255.255", "127.0.0.5", "127.0.0.5>{heartbeat}+"},
        SenderCase{"same", "127.0.0.5", "127.0.0.5", "127.0.0.5>{heartbeat}+"},
        SenderCase{"other", "127.0.0.5", "127.0.0.6", "IGNORED packet from 127.0.0.6"},
        SenderCase{"empty", "", "127.0.0.5", "IGNORED packet from 127.0.0.5"},
        SenderCase{"blank_after", "127.0.0.5 ", "127.0.0.5", "IGNORED packet from 127.0.0.5"},
        SenderCase{"blank_before", " 127.0.0.5", "127.0.0.5", "IGNORED packet from 127.0.0.5"},
        SenderCase{"leading_zero", "127.0.0.05", "127.0.0.5", "IGNORED packet from 127.0.0.5"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Listener, DatagramTextAndSize) {
  CommentatorFixture fixture;
  const std::string full(1024, 'a');
  ASSERT_TRUE(fixture.SendAndWait(full));
  SendDatagram(fixture.Port1(), std::string(1025, 'b'));  // too long: no trace
  // A zero byte ends the text, so the flag value is a lone "+".
  ASSERT_TRUE(fixture.SendAndWait(std::string("{heartbeat}+\0{tt}+", 18), 2));
  ASSERT_TRUE(fixture.SendAndWait(""));
  EXPECT_EQ(fixture.Log(), Lines({"127.0.0.1>" + full, "Heartbeat received from SERVER!!",
                                  "127.0.0.1>{heartbeat}+", "127.0.0.1>"}));
}

TEST(Listener, BothPortsAlikeAndEveryByteShownAsOneCharacter) {
  CommentatorFixture fixture;
  std::string bytes;
  for (int value = 1; value < 256; ++value) {
    bytes.push_back(static_cast<char>(value));
  }
  ASSERT_TRUE(fixture.SendAndWait(bytes, 1, fixture.Port1()));
  ASSERT_TRUE(fixture.SendAndWait(bytes, 1, fixture.Port2()));
  EXPECT_EQ(fixture.Log(), Lines(2, "127.0.0.1>" + bytes));
  const TextList& log = Find<TextList>(fixture.Main(), "ListBox1");
  EXPECT_EQ(log.item(0)->text(), ShownText("127.0.0.1>" + bytes));
}

TEST(Listener, UnbindablePortLeavesTheOtherWorkingWithoutMessage) {
  const PortHolder holder;
  const quint16 taken = holder.Port();
  ASSERT_NE(taken, 0);

  ErrorRecorder errors;
  CommentatorFixture fixture(/*show_main_window=*/true, ListenerPorts{taken, 0});
  EXPECT_FALSE(fixture.App().Listener().IsOpen(0));
  ASSERT_TRUE(fixture.App().Listener().IsOpen(1));
  ASSERT_TRUE(fixture.SendAndWait("hello", 1, fixture.Port2()));
  EXPECT_EQ(fixture.Log(), Lines({"127.0.0.1>hello"}));
  EXPECT_TRUE(errors.messages.isEmpty());
}

TEST(Listener, LogKeepsThirtyLinesAndScrollsOnlyWhenTrimmed) {
  CommentatorFixture fixture;
  const TextList& log = Find<TextList>(fixture.Main(), "ListBox1");
  for (int i = 1; i <= 30; ++i) {
    ASSERT_TRUE(fixture.SendAndWait("line " + std::to_string(i)));
  }
  EXPECT_EQ(fixture.Main().TrafficLogTopLine(), 0) << "a log of 30 lines keeps its view";

  ASSERT_TRUE(fixture.SendAndWait("line 31"));
  const Lines lines = fixture.Log();
  ASSERT_EQ(lines.size(), 30u);
  EXPECT_EQ(lines.front(), "127.0.0.1>line 2");
  EXPECT_EQ(lines.back(), "127.0.0.1>line 31");
  Settle();
  const int visible = log.viewport()->height() / log.LineHeight();
  EXPECT_EQ(fixture.Main().TrafficLogTopLine(), 30 - visible) << "the last page is shown";

  for (int i = 32; i <= 100; ++i) {
    SendDatagram(fixture.Port1(), "line " + std::to_string(i));
  }
  ASSERT_TRUE(WaitUntil([&] { return fixture.Log().back() == "127.0.0.1>line 100"; }));
  EXPECT_EQ(fixture.Log().front(), "127.0.0.1>line 71");
  Settle();
  EXPECT_EQ(fixture.Main().TrafficLogTopLine(), 30 - visible)
      << "still the last page after many trims";
}

TEST(Listener, QueuedDatagramsLeaveTheEventLoopRunningBetweenThem) {
  CommentatorFixture fixture;
  fixture.App().Listener().SetDrainBudget(std::chrono::nanoseconds(0));  // one per cycle
  for (const char* text : {"a", "b", "c"}) {
    SendDatagram(fixture.Port1(), text);
  }
  usleep(20000);  // loopback delivery is synchronous; this is only a margin

  QCoreApplication::processEvents();
  EXPECT_LT(fixture.Main().TrafficLinesAdded(), 3u) << "one pass handled the whole queue";
  ASSERT_TRUE(WaitUntil([&] { return fixture.Main().TrafficLinesAdded() == 3; }));
  EXPECT_EQ(fixture.Log(), Lines({"127.0.0.1>a", "127.0.0.1>b", "127.0.0.1>c"}));
}

TEST(Listener, NothingIsHandledBeforeTheMainWindowIsShownOrAfterItIsHidden) {
  CommentatorFixture fixture(/*show_main_window=*/false);
  const RaceDataListener& listener = fixture.App().Listener();
  EXPECT_FALSE(listener.IsOpen(0));
  EXPECT_FALSE(listener.IsOpen(1));
  // Nor does a record that reaches the dispatcher by another road.
  fixture.Dispatch("{heartbeat}+");
  fixture.Dispatch("{tt}+");
  EXPECT_TRUE(fixture.Log().empty());
  EXPECT_EQ(fixture.Main().TrafficLinesAdded(), 0u);
  EXPECT_FALSE(fixture.App().TimeTrial().isVisible());

  fixture.App().ShowMainWindow();
  EXPECT_TRUE(listener.IsOpen(0));
  EXPECT_TRUE(listener.IsOpen(1));
  fixture.Main().hide();
  EXPECT_FALSE(listener.IsOpen(0));
  EXPECT_FALSE(listener.IsOpen(1));
}

}  // namespace
