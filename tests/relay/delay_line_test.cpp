#include "relay/delay_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

namespace {

using namespace std::chrono_literals;
using relay::DelayLine;
using relay::RecordMessage;
using Clock = DelayLine::Clock;

// The venue's clock runs a day ahead of ours.
constexpr std::int64_t kVenueAhead_us = 86'400'000'000;

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

// Receive times are hostile: one forged record, or a venue clock that
// steps, must not cancel the delay for the rest of the run. Records that
// arrive outside the disturbed span keep the venue's rhythm (the delay plus
// the transit and its jitter); none is ever held past the delay after it
// came, none is lost, and the order is kept.
TEST(DelayLineTest, ForgedTimesAndClockStepsDoNotCancelTheDelay) {
  constexpr auto kDelay = 10s;
  constexpr std::int64_t kHour_us = 3'600'000'000;
  constexpr std::int64_t kFar_us = 1'000'000'000'000;  // eleven days
  enum class Kind { kForged, kStep };
  struct Case {
    const char* name;
    Kind kind;
    std::size_t at;         // where in the feed
    std::int64_t shift_us;  // the forged record's time, or the step
  };
  for (const Case c : {
           Case{"forged far future", Kind::kForged, 1000, kFar_us},
           Case{"forged far past", Kind::kForged, 1000, -kFar_us},
           Case{"forged far future first", Kind::kForged, 0, kFar_us},
           Case{"venue clock one hour on", Kind::kStep, 1000, kHour_us},
           Case{"venue clock one hour back", Kind::kStep, 1000, -kHour_us},
       }) {
    SCOPED_TRACE(c.name);
    std::vector<Arrival> feed = Feed(2000, 4);
    std::vector<std::int64_t> shift(feed.size(), 0);  // of the venue's clock, per record
    std::optional<std::size_t> forged;
    const Clock::time_point disturbed = feed[c.at].at;
    if (c.kind == Kind::kForged) {
      Arrival fake = feed[c.at];
      fake.message.received_us = std::max<std::int64_t>(0, fake.message.received_us + c.shift_us);
      feed.insert(feed.begin() + static_cast<std::ptrdiff_t>(c.at), fake);
      shift.insert(shift.begin() + static_cast<std::ptrdiff_t>(c.at), 0);
      forged = c.at;
    } else {
      for (std::size_t i = c.at; i < feed.size(); ++i) {
        feed[i].message.received_us += c.shift_us;
        shift[i] = c.shift_us;
      }
    }
    for (std::size_t i = 0; i < feed.size(); ++i) {
      feed[i].message.sequence = i + 1;
    }
    // A forged record in the middle disturbs nothing; a forged first one or
    // a step may send records on early until the window bears out the new
    // basis.
    const bool quiet = c.kind == Kind::kForged && c.at > 0;
    const Clock::time_point healed = disturbed + DelayLine::kWindow + 1s;

    DelayLine line(kDelay);
    const std::vector<HandedOn> handed = RunLoop(line, feed);
    ExpectInOrder(handed, feed.size());
    for (const HandedOn& h : handed) {
      const std::size_t i = h.message.sequence - 1;
      ASSERT_LE(h.at, feed[i].at + kDelay) << i;
      if (i == forged) {
        continue;
      }
      const Clock::time_point came = feed[i].at;
      if (quiet || came < disturbed - kDelay || came >= healed) {
        const auto behind = Behind(h) + std::chrono::microseconds(shift[i]);
        ASSERT_GE(behind, kDelay + 20ms) << i;
        ASSERT_LE(behind, kDelay + 50ms) << i;
      }
    }
  }
}
