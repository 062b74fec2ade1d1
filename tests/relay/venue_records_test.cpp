// At the venue, the late-join state takes every datagram, turned away or
// not, while the browser view shows what the desktop shows: a datagram its
// listening address turned away leaves the view's screens as they were and
// puts the desktop's IGNORED line in the view's log.
#include "relay/venue_records.h"

#include "relay/message.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace relay {
namespace {

constexpr std::uint32_t kVenue = 0x0a000005;  // 10.0.0.5
constexpr std::string_view kHeat = "{scratch}+{title}Heat 2{time}1:02.345";
constexpr std::string_view kClear = "{scratch}+{clr}+";

std::string Encoded(std::uint64_t sequence, std::string_view bytes) {
  RecordMessage message;
  message.sequence = sequence;
  message.sender = kVenue;
  message.bytes = std::string(bytes);
  return EncodeRecord(message);
}

TEST(VenueRecordsTest, TheViewShowsOnlyWhatTheDesktopAccepted) {
  struct Case {
    const char* name;
    bool accepted;
    const char* heat_shown;  // in the view after the clearing record
    const char* last_line;
  };
  for (const Case c : {Case{"accepted", true, "", "10.0.0.5>{scratch}+{clr}+"},
                       Case{"turned away", false, "Heat 2", "IGNORED packet from 10.0.0.5"}}) {
    SCOPED_TRACE(c.name);
    VenueRecords venue("venue/t");
    const auto now = view::ViewPublisher::Clock::time_point(std::chrono::seconds(100));
    venue.Take(1, kVenue, kHeat, 1000, true, Encoded(1, kHeat), now);
    ASSERT_EQ(venue.ViewData().scratch.heat.Cell(1, 0), "Heat 2");
    venue.Take(2, kVenue, kClear, 2000, c.accepted, Encoded(2, kClear), now);

    // The late joiner replays the clearing record either way: its own
    // listening address decides.
    EXPECT_EQ(venue.LateJoin().ValidUpTo(), 2u);
    bool replays_clear = false;
    for (const std::string_view record : venue.LateJoin().Records()) {
      const auto decoded = DecodeRecord(record);
      ASSERT_TRUE(decoded);
      replays_clear |= decoded->bytes == kClear;
    }
    EXPECT_TRUE(replays_clear);

    std::map<std::string, QJsonObject> sent;
    venue.View().Flush(
        venue.ViewData(), now, 0, [&](const std::string& topic, const std::string& payload) {
          sent[topic] = QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
          return true;
        });
    EXPECT_EQ(venue.ViewData().scratch.heat.Cell(1, 0), c.heat_shown);
    ASSERT_TRUE(sent.count("venue/t/view/scratch"));
    // Row 0, column 1; trailing empty rows are left off, so read empty.
    const QJsonObject heat = sent["venue/t/view/scratch"]["heat"].toObject();
    EXPECT_EQ(heat["rows"].toArray().at(0).toArray().at(1).toString(),
              QString::fromLatin1(c.heat_shown));
    const QJsonArray lines = sent["venue/t/view/log"]["lines"].toArray();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].toString(), "10.0.0.5>" + QString::fromLatin1(kHeat));
    EXPECT_EQ(lines[1].toString(), c.last_line);
    // The feed's position moves on either way.
    EXPECT_EQ(sent["venue/t/view/log"]["sequence"].toInteger(), 2);
  }
}

}  // namespace
}  // namespace relay
