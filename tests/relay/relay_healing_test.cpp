// A remote end puts itself right, through a real mosquitto: forged messages
// (mosquitto_pub sends what anyone may on a broker left open) keep the
// venue's records off it for seconds at most, and records the venue lost
// while the broker was away are made good as soon as its queue drained.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>

#include "broker_process.h"
#include "relay/relay.h"
#include "relay_pump.h"
#include "support/record_fakes.h"
#include "tools/race_feed/demo.h"

namespace relay {
namespace {

using namespace std::chrono_literals;
using Connection = RelayStatus::Connection;

constexpr std::uint32_t kVenue = 0x0a000005;  // 10.0.0.5
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

struct Subscriber {
  explicit Subscriber(BrokerOptions options)
      : relay(std::move(options), Role::kSubscribe, [this](const RecordMessage& message) {
          got.push_back(message.bytes);
          session = message.session;
          last_sequence = message.sequence;
        }) {}
  bool Got(const std::string& bytes) const {
    return std::find(got.begin(), got.end(), bytes) != got.end();
  }
  std::vector<std::string> got;
  std::uint64_t session = 0;  // of the last record handed on
  std::uint64_t last_sequence = 0;
  Relay relay;
};

bool Connected(const Relay& relay) {
  return relay.Status().connection == Connection::kConnected;
}

class RelayHealingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(broker_.Start()) << broker_.Error();
    std::string error;
    ASSERT_TRUE(ParseBrokerUrl(broker_.Url(), options_, error)) << error;
    options_.topic = "venue/forged";
  }

  // What anyone allowed to publish on the broker can send.
  void Forge(const std::string& topic, const std::string& payload, bool retain) {
    const std::string file = broker_.Dir() + "/forged";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << payload;
    const std::string command = "mosquitto_pub -h 127.0.0.1 -p " + std::to_string(broker_.Port()) +
                                " -q 1 -t " + topic + " -f " + file + (retain ? " -r" : "");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  static std::string ForgedRecord(std::uint64_t session, std::uint64_t sequence) {
    RecordMessage message;
    message.session = session;
    message.sequence = sequence;
    message.bytes = "{qdtype}+{data},forged";
    return EncodeRecord(message);
  }

  BrokerProcess broker_;
  BrokerOptions options_;
};

TEST_F(RelayHealingTest, TheVenuesRecordsShowAgainWithinSecondsWhateverAStrangerSent) {
  Relay venue(options_, Role::kPublish);
  Subscriber remote(options_);
  ASSERT_TRUE(venue.Start());
  ASSERT_TRUE(remote.relay.Start());
  ASSERT_TRUE(PumpUntil({&venue, &remote.relay},
                        [&] { return Connected(venue) && Connected(remote.relay); }));
  venue.Publish(0, kVenue, "{qdtype}+{data},first", 0);
  ASSERT_TRUE(
      PumpUntil({&venue, &remote.relay}, [&] { return remote.Got("{qdtype}+{data},first"); }));

  // Each of these alone kept the real records off a remote screen for good.
  const std::uint64_t session = remote.session;
  Forge(options_.topic, ForgedRecord(kMax, 1), false);
  Forge(options_.topic, ForgedRecord(session, kMax), false);
  Forge(options_.topic + "/state", EncodeSnapshot(session, kMax, 0, {ForgedRecord(session, 9)}),
        true);
  PumpFor({&venue, &remote.relay}, 300ms);

  int shown = 0;
  for (const char* text : {"{qdtype}+{data},second", "{qdtype}+{data},third"}) {
    venue.Publish(0, kVenue, text, 0);
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(PumpUntil(
        {&venue, &remote.relay}, [&] { return remote.Got(text); }, 5s))
        << text << ": " << DescribeStatus(remote.relay.Status());
    // At worst the venue's next snapshot and position, a second apart, and a round trip.
    const auto took = std::chrono::steady_clock::now() - sent;
    EXPECT_LT(took, 2500ms) << text;
    std::printf("%s shown after %lld ms\n", text,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    ++shown;
  }
  EXPECT_EQ(shown, 2);
  EXPECT_NE(DescribeStatus(remote.relay.Status()).find("connected"), std::string::npos);
}

TEST_F(RelayHealingTest, AJoinerTrappedByAForgedRetainedSnapshotFollowsTheVenuesNextRecord) {
  Relay venue(options_, Role::kPublish);
  ASSERT_TRUE(venue.Start());
  ASSERT_TRUE(PumpUntil({&venue}, [&] { return Connected(venue); }));
  venue.Publish(0, kVenue, "{sprintf}+{title}before", 0);
  ASSERT_TRUE(PumpUntil({&venue}, [&] { return venue.Status().queued == 0; }));
  PumpFor({&venue}, 1200ms);  // its snapshot is retained

  // The venue is idle; a stranger's snapshot of a session far above, valid
  // up to the last sequence number, replaces the venue's.
  const std::string record = ForgedRecord(kMax, 3);
  Forge(options_.topic + "/state", EncodeSnapshot(kMax, kMax, 0, {record}), true);

  Subscriber joiner(options_);
  ASSERT_TRUE(joiner.relay.Start());
  ASSERT_TRUE(PumpUntil(
      {&venue, &joiner.relay}, [&] { return !joiner.got.empty(); }, 5s));
  EXPECT_EQ(joiner.got.front(), "{qdtype}+{data},forged") << "the stranger's snapshot came first";

  venue.Publish(0, kVenue, "{qdtype}+{data},after", 0);
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_TRUE(PumpUntil(
      {&venue, &joiner.relay}, [&] { return joiner.Got("{qdtype}+{data},after"); }, 10s))
      << DescribeStatus(joiner.relay.Status());
  const auto took = std::chrono::steady_clock::now() - sent;
  EXPECT_LT(took, 3s);
  std::printf(
      "the venue's record shown after %lld ms\n",
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  EXPECT_TRUE(joiner.Got("{sprintf}+{title}before")) << "the venue's screens came back whole";
  EXPECT_NE(DescribeStatus(joiner.relay.Status()).find("connected, feed restarted"),
            std::string::npos)
      << DescribeStatus(joiner.relay.Status());

  // A remote end that joins now finds the venue's snapshot again.
  Subscriber later(options_);
  ASSERT_TRUE(later.relay.Start());
  ASSERT_TRUE(PumpUntil(
      {&venue, &later.relay}, [&] { return later.Got("{qdtype}+{data},after"); }, 5s));
}

std::vector<std::string> ScreensAfter(const std::vector<std::string>& records) {
  RecordsFixture screens;
  for (const std::string& record : records) {
    screens.Dispatch(std::string_view(record.c_str()));
  }
  return ::Snapshot(screens.data);
}

TEST_F(RelayHealingTest, RecordsTheVenueLostAreMadeGoodOnceItsQueueDrained) {
  BrokerOptions venue_options = options_;
  venue_options.queue_limit = 100;
  Relay venue(venue_options, Role::kPublish);
  Subscriber remote(options_);
  ASSERT_TRUE(venue.Start());
  ASSERT_TRUE(remote.relay.Start());
  ASSERT_TRUE(PumpUntil({&venue, &remote.relay},
                        [&] { return Connected(venue) && Connected(remote.relay); }));
  std::vector<std::string> records;
  for (const auto& entry : race_feed::DemoSession()) {
    records.push_back(entry.record);
  }
  ASSERT_GT(records.size(), 500u);
  records.resize(500);
  for (std::size_t i = 0; i < 200; ++i) {
    ASSERT_TRUE(PumpUntil({&venue}, [&] { return venue.Status().queued < 50; }));
    venue.Publish(0, kVenue, records[i], 0);
  }
  ASSERT_TRUE(PumpUntil({&venue, &remote.relay}, [&] { return remote.last_sequence == 200; }))
      << DescribeStatus(remote.relay.Status()) << " got " << remote.got.size() << " last "
      << remote.last_sequence << " venue " << DescribeStatus(venue.Status()) << " relayed "
      << venue.Status().relayed;

  broker_.Stop();
  PumpFor({&venue, &remote.relay}, 300ms);
  for (std::size_t i = 200; i < records.size(); ++i) {
    venue.Publish(0, kVenue, records[i], 0);
  }
  ASSERT_EQ(venue.Status().lost, 200u) << "the last 200 never left the venue";

  ASSERT_TRUE(broker_.Start()) << broker_.Error();
  // No record follows: the venue's position alone shows the remote the loss.
  std::string said;
  ASSERT_TRUE(PumpUntil(
      {&venue, &remote.relay},
      [&] {
        const std::string status = DescribeStatus(remote.relay.Status());
        if (status.find("at the venue") != std::string::npos) {
          said = status;
        }
        return ScreensAfter(remote.got) == ScreensAfter(records);
      },
      30s))
      << DescribeStatus(remote.relay.Status());
  EXPECT_EQ(remote.last_sequence, records.size());
  EXPECT_NE(said.find("200 records lost at the venue"), std::string::npos) << said;
  PumpFor({&venue, &remote.relay}, Sequencer::kVenueLossShown);
  EXPECT_EQ(DescribeStatus(remote.relay.Status()).find("at the venue"), std::string::npos)
      << "said until it was right again, and long enough to be seen";
}

}  // namespace
}  // namespace relay
