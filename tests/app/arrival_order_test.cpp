// Records are handled and logged strictly in the order they arrived: bursts
// sent back to back from one socket show every line, and no event loop runs
// inside a record's handling, not even while the scratch screen is drawn as
// it comes forward, so nothing can be handled inside another record.
#include "app/listening_address.h"
#include "app/race_data_listener.h"
#include "platform/grid_view.h"
#include "screens/scratch_screen.h"
#include "support/record_fakes.h"
#include "support/test_support.h"

#include <QEvent>
#include <QTimer>

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

// The scratch screen is painted as it comes forward, before the record
// changes a cell, and yet nothing else runs meanwhile: neither a timer that
// is due nor a datagram that is waiting.
TEST(ArrivalOrder, NoEventLoopRunsInsideARecordYetTheScreenIsSeenBeforeItsCellsChange) {
  CommentatorFixture fixture;
  ScratchScreen& scratch = fixture.App().Scratch();
  fixture.Dispatch(Line(0, "Old rider"));
  fixture.Dispatch("{sprintf}+{title}In front");  // the scratch screen goes behind
  Settle();
  ASSERT_FALSE(scratch.isActiveWindow());

  // What the competitors' grid showed each time it was painted.
  auto& competitors = Find<GridView>(scratch, "StringGrid2");
  struct PaintLog : QObject {
    explicit PaintLog(const GridModel& grid) : cells(grid) {}
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) {
        painted.push_back(cells.Cell(2, 1));
      }
      return false;
    }
    const GridModel& cells;
    Lines painted;
  } paints(fixture.Data().scratch.competitors);
  competitors.viewport()->installEventFilter(&paints);

  bool timer_ran = false;
  QTimer::singleShot(0, [&timer_ran] { timer_ran = true; });
  SendDatagram(fixture.Port1(), "{heartbeat}+");
  const std::size_t logged = fixture.Log().size();
  usleep(20'000);  // the datagram is in the socket's queue now

  fixture.Dispatch(Line(0, "New rider"));
  EXPECT_FALSE(timer_ran) << "no event loop ran inside the record";
  EXPECT_EQ(fixture.Log().size(), logged) << "the waiting datagram waits its turn";
  ASSERT_FALSE(paints.painted.empty()) << "painted as it came forward";
  EXPECT_EQ(paints.painted.front(), "Old rider") << "before its cells changed";

  ASSERT_TRUE(WaitUntil([&] { return fixture.Log().size() > logged; }));
  EXPECT_TRUE(timer_ran);
  ASSERT_TRUE(WaitUntil([&] { return paints.painted.back() == "New rider"; }));
  competitors.viewport()->removeEventFilter(&paints);
}

}  // namespace
