// Records are handled and logged strictly in the order they arrived, even
// when one's handling lets the event loop run (the scratch screen is drawn
// as it comes forward): bursts sent back to back from one socket show every
// line, and nothing is handled inside another record's handling.
#include "app/listening_address.h"
#include "app/race_data_listener.h"
#include "support/record_fakes.h"
#include "support/test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

// Sends the records back to back from one socket, so the kernel keeps them
// in order on the receiving socket.
void SendBurst(quint16 port, const Lines& records) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  for (const std::string& record : records) {
    ASSERT_EQ(sendto(fd, record.data(), record.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to),
              static_cast<ssize_t>(record.size()));
  }
  ::close(fd);
}

std::string Line(int position, const std::string& name) {
  return "{scratch}+{list}" + std::to_string(position) + "{bib}" + std::to_string(position + 1) +
         "{name}" + name;
}

Lines Logged(const Lines& records) {
  Lines lines;
  for (const std::string& record : records) {
    lines.push_back("127.0.0.1>" + record);
  }
  return lines;
}

// Sends the burst while the scratch screen is hidden (so the first record
// brings it forward and lets the event loop draw it), and waits for all of it.
void Burst(CommentatorFixture& fixture, const Lines& records) {
  const std::uint64_t before = fixture.Main().TrafficLinesAdded();
  SendBurst(fixture.Port1(), records);
  ASSERT_TRUE(
      WaitUntil([&] { return fixture.Main().TrafficLinesAdded() >= before + records.size(); }));
  Settle();
}

TEST(ArrivalOrder, AHeadingFollowedAtOnceByItsLinesKeepsEveryLine) {
  CommentatorFixture fixture;
  Lines records = {"{scratch}+{title}Heat 1{time}1:02{spd}55"};
  for (int position = 0; position < 10; ++position) {
    records.push_back(Line(position, "Rider " + std::to_string(position)));
  }
  Burst(fixture, records);

  EXPECT_EQ(fixture.Log(), Logged(records));
  const ScratchData& scratch = fixture.Data().scratch;
  EXPECT_EQ(GridRow(scratch.heat, 0), "Heat Title:|Heat 1");
  for (int position = 0; position < 10; ++position) {
    EXPECT_EQ(scratch.competitors.Cell(2, position + 1), "Rider " + std::to_string(position));
  }
}

TEST(ArrivalOrder, LinesAfterAClearAndANewHeadingBelongToTheNewHeat) {
  CommentatorFixture fixture;
  const Lines records = {Line(0, "Old A"),          Line(1, "Old B"), "{scratch}+{clr}+",
                         "{scratch}+{title}Heat 2", Line(0, "New A"), Line(1, "New B"),
                         Line(2, "New C")};
  Burst(fixture, records);

  EXPECT_EQ(fixture.Log(), Logged(records));
  const GridModel& competitors = fixture.Data().scratch.competitors;
  EXPECT_EQ(competitors.Cell(2, 1), "New A");
  EXPECT_EQ(competitors.Cell(2, 2), "New B");
  EXPECT_EQ(competitors.Cell(2, 3), "New C");
  EXPECT_EQ(fixture.Data().scratch.heat.Cell(1, 0), "Heat 2");
}

TEST(ArrivalOrder, MixedFamiliesAreAllShownAndLoggedInOrder) {
  CommentatorFixture fixture;
  const Lines records = {"{scratch}+{title}Keirin",
                         "{tt}+{standings}0{rnk}1{name}TT One",
                         Line(0, "Scratch One"),
                         "{ptsrace}+{standings}0{rnk}1{bib}7{name}Points One",
                         "{heartbeat}+",
                         "{qdtype}+{data},LINE ONE,",
                         Line(1, "Scratch Two"),
                         "{sprintf}+{title}Sprint{r1}Racer",
                         "{tt}+{standings}1{rnk}2{name}TT Two"};
  Burst(fixture, records);

  Lines expected;
  for (const std::string& record : records) {
    if (record == "{heartbeat}+") {
      expected.push_back("Heartbeat received from SERVER!!");
    }
    expected.push_back("127.0.0.1>" + record);
  }
  EXPECT_EQ(fixture.Log(), expected);
  const ScreenData& data = fixture.Data();
  EXPECT_EQ(data.scratch.competitors.Cell(2, 1), "Scratch One");
  EXPECT_EQ(data.scratch.competitors.Cell(2, 2), "Scratch Two");
  EXPECT_EQ(data.time_trial.standings.Cell(1, 2), "TT Two");
  EXPECT_EQ(data.points_race.standings.Cell(1, 1), "7 Points One");
  EXPECT_EQ(data.quick_text.lines.Cell(0, 0), "LINE ONE");
  EXPECT_EQ(data.sprint.heat.Cell(2, 0), "Racer");
}

// A window that takes a record by another road (as the relay does) while
// it is being drawn.
class TakingWindow : public ScreenWindow {
 public:
  void ShowAndRaise() override {}
  void DrawPending() override {
    if (listener != nullptr && !taken) {
      taken = true;
      listener->Take(1, "10.0.0.2", Line(0, "Taken meanwhile"));
    }
  }
  RaceDataListener* listener = nullptr;
  bool taken = false;
};

TEST(ArrivalOrder, ARecordTakenDuringAnotherHandlingWaitsItsTurn) {
  ScreenData data;
  TakingWindow scratch;
  std::vector<std::string> journal;
  FakeWindow quick_text("quick_text", journal), sprint("sprint", journal),
      points_race("points_race", journal), time_trial("time_trial", journal);
  FakeLog log;
  RecordDispatcher dispatcher(data, {&scratch, &quick_text, &sprint, &points_race, &time_trial},
                              log);
  const ListeningAddress every_sender;
  RaceDataListener listener({0, 0}, every_sender, dispatcher, log);
  scratch.listener = &listener;

  listener.Take(0, "10.0.0.1", "{scratch}+{title}Heat 3");

  EXPECT_EQ(log.lines,
            (Lines{"10.0.0.1>{scratch}+{title}Heat 3", "10.0.0.2>" + Line(0, "Taken meanwhile")}));
  EXPECT_EQ(data.scratch.heat.Cell(1, 0), "Heat 3") << "the heading was written first";
  EXPECT_EQ(data.scratch.competitors.Cell(2, 1), "Taken meanwhile") << "and did not wipe the line";
}

}  // namespace
