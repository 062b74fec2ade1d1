#include "relay/delay_line.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using namespace std::chrono_literals;
using relay::DelayLine;
using relay::RecordMessage;
using Clock = DelayLine::Clock;

// The venue's clock runs 1000 s ahead of ours.
constexpr std::int64_t kVenueAhead_us = 1'000'000'000;

struct Arrival {
  Clock::time_point at;  // ours
  RecordMessage message;
};

// Records the venue took in at random gaps, each arriving after a base
// transit of 20 ms plus up to 30 ms of jitter; the first with none.
std::vector<Arrival> Feed(int count, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<Arrival> feed;
  Clock::time_point venue_ours = Clock::time_point(100s);
  for (int i = 0; i < count; ++i) {
    venue_ours += std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 400)(random));
    const auto jitter =
        i == 0 ? 0us
               : std::chrono::microseconds(std::uniform_int_distribution<int>(0, 30'000)(random));
    RecordMessage message;
    message.sequence = static_cast<std::uint64_t>(i + 1);
    message.received_us =
        std::chrono::duration_cast<std::chrono::microseconds>(venue_ours.time_since_epoch())
            .count() +
        kVenueAhead_us;
    // The relay hands records on in order: none before an earlier one.
    const Clock::time_point at =
        std::max(venue_ours + 20ms + jitter, feed.empty() ? Clock::time_point{} : feed.back().at);
    feed.push_back({at, message});
  }
  return feed;
}

struct HandedOn {
  Clock::time_point at;
  RecordMessage message;
};

// An event loop on a fake clock: it wakes at each arrival and at the line's
// next due time, and runs `at_time` once the clock passes `when`.
std::vector<HandedOn> RunLoop(DelayLine& line, const std::vector<Arrival>& feed,
                              Clock::time_point when = Clock::time_point::max(),
                              const std::function<void()>& at_time = {}) {
  std::vector<HandedOn> handed;
  std::size_t next = 0;
  Clock::time_point now{};
  bool done = false;
  while (next < feed.size() || line.Held() > 0) {
    Clock::time_point wake = Clock::time_point::max();
    if (next < feed.size()) {
      wake = feed[next].at;
    }
    if (const auto due = line.NextDue()) {
      wake = std::min(wake, std::max(*due, now));
    }
    if (!done && when <= wake) {
      now = std::max(now, when);
      at_time();
      done = true;
      continue;
    }
    now = wake;
    while (next < feed.size() && feed[next].at <= now) {
      line.Push(feed[next++].message, now);
    }
    line.HandOnDue(now, [&](const RecordMessage& m) { handed.push_back({now, m}); });
  }
  return handed;
}

void ExpectInOrder(const std::vector<HandedOn>& handed, std::size_t count) {
  ASSERT_EQ(handed.size(), count);
  for (std::size_t i = 0; i < handed.size(); ++i) {
    ASSERT_EQ(handed[i].message.sequence, i + 1);
  }
}

// Handed-on time minus the venue's receive time on our clock.
std::chrono::microseconds Behind(const HandedOn& h) {
  return std::chrono::duration_cast<std::chrono::microseconds>(h.at.time_since_epoch()) -
         std::chrono::microseconds(h.message.received_us - kVenueAhead_us);
}

}  // namespace

// The first record came fastest, so every record is handed on exactly the
// delay plus that transit after the venue took it: the venue's rhythm.
TEST(DelayLineTest, HandsOnAtTheVenueTimePlusTheDelayInOrder) {
  for (const auto delay : {0ms, 1000ms, 30'000ms, 600'000ms}) {
    SCOPED_TRACE(delay.count());
    const std::vector<Arrival> feed = Feed(2000, 1);
    DelayLine line(delay);
    const std::vector<HandedOn> handed = RunLoop(line, feed);
    ExpectInOrder(handed, feed.size());
    for (const HandedOn& h : handed) {
      if (delay == 0ms) {
        // Nothing waits; a record is handed on as it comes.
        ASSERT_EQ(h.at, feed[h.message.sequence - 1].at);
      } else {
        ASSERT_EQ(Behind(h), delay + 20ms) << h.message.sequence;
      }
    }
  }
}

TEST(DelayLineTest, AChangedDelayMovesWhatIsHeld) {
  struct Case {
    std::chrono::milliseconds from, to;
  };
  for (const Case c : {Case{10'000ms, 5000ms}, Case{5000ms, 20'000ms}, Case{10'000ms, 0ms}}) {
    SCOPED_TRACE(std::to_string(c.from.count()) + " to " + std::to_string(c.to.count()));
    const std::vector<Arrival> feed = Feed(3000, 2);
    DelayLine line(c.from);
    const Clock::time_point change = feed[1500].at;
    const std::vector<HandedOn> handed = RunLoop(line, feed, change, [&] { line.SetDelay(c.to); });
    ExpectInOrder(handed, feed.size());
    for (const HandedOn& h : handed) {
      const auto behind = Behind(h);
      if (h.at < change) {
        ASSERT_EQ(behind, c.from + 20ms);
      } else if (c.to < c.from) {
        // Overdue at the change: handed on at once, never before its time.
        ASSERT_GE(behind, c.to + 20ms);
        ASSERT_LE(behind, c.from + 20ms);
        if (h.at > change) {
          const Clock::time_point arrived = feed[h.message.sequence - 1].at;
          ASSERT_EQ(h.at, std::max(arrived, h.at - behind + c.to + 20ms));
        }
      } else {
        ASSERT_EQ(behind, c.to + 20ms);
      }
    }
  }
}

// A late joiner's first records are the venue's old snapshot; live records
// after them still run the delay behind, not the snapshot's age more.
TEST(DelayLineTest, OldRecordsFirstDoNotDelayTheLiveOnes) {
  std::vector<Arrival> feed = Feed(200, 3);
  for (Arrival& a : feed) {
    a.at += 1ms;  // no record is as fast as the first
  }
  RecordMessage old_record;
  old_record.received_us = feed[0].message.received_us - 90'000'000;
  feed.insert(feed.begin(), {feed[0].at - 1ms, old_record});
  for (std::size_t i = 0; i < feed.size(); ++i) {
    feed[i].message.sequence = i + 1;
  }
  DelayLine line(10s);
  const std::vector<HandedOn> handed = RunLoop(line, feed);
  ExpectInOrder(handed, feed.size());
  EXPECT_EQ(handed[0].at, feed[1].at) << "due long ago; handed on with the first live one";
  for (std::size_t i = 2; i < handed.size(); ++i) {
    ASSERT_EQ(Behind(handed[i]), 10'000ms + 21ms) << i;
  }
}

TEST(DelayLineTest, TooManyHeldGoOnEarlyAndNoneIsLost) {
  DelayLine line(600s, 100);
  RecordMessage message;
  std::vector<std::uint64_t> handed;
  for (std::uint64_t i = 1; i <= 150; ++i) {
    message.sequence = i;
    line.Push(message, Clock::time_point(1s));
    line.HandOnDue(Clock::time_point(1s),
                   [&](const RecordMessage& m) { handed.push_back(m.sequence); });
  }
  ASSERT_EQ(handed.size(), 50u);
  EXPECT_EQ(handed.front(), 1u);
  EXPECT_EQ(handed.back(), 50u);
  EXPECT_EQ(line.Held(), 100u);
  line.SetDelay(601s);
  EXPECT_EQ(line.Delay(), 600s) << "clamped";
}
