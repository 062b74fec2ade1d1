// The subscriber's order keeper against forged messages: whatever one
// message (or a short burst) claims, the venue's real records are shown
// again within seconds. A simulated venue and broker on a fake clock drive
// the real Sequencer: the venue numbers a record every `interval`, and
// 300 ms later retains a snapshot of all it numbered and sends its position;
// the broker hands the retained snapshot over whenever the subscriber starts
// wanting one, and new snapshots while it does.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "relay/message.h"
#include "relay/sequencer.h"

namespace relay {
namespace {

using namespace std::chrono_literals;
using Clock = Sequencer::Clock;
using Ms = std::chrono::milliseconds;

constexpr std::uint64_t kVenue = 1'700'000'000'000'000;  // the venue's session
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

RecordMessage Record(std::uint64_t session, std::uint64_t sequence, std::string bytes) {
  RecordMessage message;
  message.session = session;
  message.sequence = sequence;
  message.bytes = std::move(bytes);
  return message;
}

RecordMessage Real(std::uint64_t sequence) {
  return Record(kVenue, sequence, "{qdtype}+{data},real " + std::to_string(sequence));
}

// One message sent on the broker: a live record, a position, or a snapshot
// (retained, as the venue's are).
struct Sent {
  std::optional<RecordMessage> record;
  std::optional<Position> position;
  std::optional<Snapshot> snapshot;
};

Sent Forged(std::uint64_t session, std::uint64_t sequence) {
  return {Record(session, sequence, "{qdtype}+{data},forged"), {}, {}};
}
Sent ForgedPosition(std::uint64_t session, std::uint64_t last, std::uint64_t lost = 0) {
  return {{}, Position{session, last, lost}, {}};
}
Sent ForgedSnapshot(std::uint64_t session, std::uint64_t valid_up_to) {
  Snapshot snapshot{session, valid_up_to, 0, {}};
  snapshot.records.push_back(Record(session, std::min<std::uint64_t>(valid_up_to, 3), "forged"));
  return {{}, {}, snapshot};
}

class World {
 public:
  explicit World(Ms interval = 500ms) : interval_(interval) {
    for (std::uint64_t sequence = 1; sequence <= 10; ++sequence) {
      NumberRecord(false);
    }
    retained_ = VenueSnapshot();
  }

  // Joins at 0 s; `forged` goes out at 4 s, once the join has settled, or
  // is on the broker before the subscriber joins (`before_join`: a
  // retained snapshot). From `interval` after the forged messages the venue
  // numbers `records` records, one each `interval`; those from `lost_from`
  // to `lost_to` never reach the broker, which is away until the last of
  // them: the venue's queue overflowed. The world runs on for 6 s more.
  void Run(const std::vector<Sent>& forged, bool before_join, int records,
           std::uint64_t lost_from = 0, std::uint64_t lost_to = 0) {
    const Ms at = before_join ? 0ms : 4000ms;
    if (before_join) {
      for (const Sent& sent : forged) {
        retained_ = sent.snapshot ? *sent.snapshot : retained_;
      }
    }
    sequencer_.Connected(false, start_);
    Sync();
    bool forged_sent = before_join;
    Ms next_record = at + interval_;
    const Ms venue_stops = at + interval_ * records;
    Ms venue_snapshot_at = Ms::max();  // none due
    for (Ms t{0}; t <= venue_stops + 6000ms; t += 50ms) {
      now_ = start_ + t;
      if (!forged_sent && t >= at) {
        forged_sent = true;
        for (const Sent& sent : forged) {
          Send(sent);
        }
      }
      if (t >= next_record && t <= venue_stops) {
        next_record += interval_;
        const std::uint64_t sequence = venue_sequence_ + 1;
        const bool lost = sequence >= lost_from && sequence <= lost_to;
        NumberRecord(true);
        if (!lost) {
          Send({Real(sequence), {}, {}});
        }
        venue_snapshot_at = t + 300ms;
      }
      const bool broker_away = venue_sequence_ >= lost_from && venue_sequence_ < lost_to;
      if (t >= venue_snapshot_at && !broker_away) {
        venue_snapshot_at = Ms::max();
        const std::uint64_t venue_lost = lost_from > 0 && venue_sequence_ >= lost_from
                                             ? std::min(venue_sequence_, lost_to) - lost_from + 1
                                             : 0;
        Send({{}, {}, VenueSnapshot()});
        Send({{}, Position{kVenue, venue_sequence_, venue_lost}, {}});
      }
      sequencer_.Tick(now_);
      Sync();
      max_held_bytes_ = std::max(max_held_bytes_, sequencer_.HeldBytes());
    }
  }

  // The longest a real record numbered after the forged messages took to be
  // shown; nullopt when one never was.
  std::optional<Ms> WorstDelay(std::uint64_t first) const {
    Ms worst{0};
    for (std::uint64_t sequence = first; sequence <= venue_sequence_; ++sequence) {
      const auto numbered = numbered_at_.find(sequence);
      const auto shown = shown_at_.find(sequence);
      if (shown == shown_at_.end()) {
        return std::nullopt;
      }
      if (numbered != numbered_at_.end()) {
        worst = std::max(worst, std::chrono::duration_cast<Ms>(shown->second - numbered->second));
      }
    }
    return worst;
  }
  std::uint64_t Numbered() const { return venue_sequence_; }
  Clock::time_point Now() const { return now_; }
  int ShownTwice() const { return shown_twice_; }
  int ForgedShown() const { return forged_shown_; }
  std::uint64_t VenueLostSeen() const { return venue_lost_seen_; }
  std::size_t MaxHeldBytes() const { return max_held_bytes_; }
  Sequencer& sequencer() { return sequencer_; }

 private:
  void NumberRecord(bool live) {
    ++venue_sequence_;
    if (live) {
      numbered_at_[venue_sequence_] = now_;
    }
  }
  Snapshot VenueSnapshot() const {
    Snapshot snapshot{kVenue, venue_sequence_, 0, {}};
    for (std::uint64_t sequence = 1; sequence <= venue_sequence_; ++sequence) {
      snapshot.records.push_back(Real(sequence));
    }
    return snapshot;
  }
  void Send(const Sent& sent) {
    if (sent.record) {
      sequencer_.TakeLive(*sent.record, now_);
    } else if (sent.position) {
      sequencer_.TakePosition(*sent.position, now_);
      // Until the snapshot comes, a round trip later.
      venue_lost_seen_ = std::max(venue_lost_seen_, sequencer_.VenueLost(now_));
    } else if (sent.snapshot) {
      retained_ = *sent.snapshot;
      if (subscribed_) {
        sequencer_.TakeSnapshot(retained_, now_);
      }
    }
    Sync();
  }
  // What the relay does after every message and tick: (un)subscribe the
  // snapshot topic; subscribing brings the retained one.
  void Sync() {
    while (sequencer_.WantsSnapshot(now_) != subscribed_ ||
           (subscribed_ && asks_ != sequencer_.SnapshotAsks())) {
      subscribed_ = sequencer_.WantsSnapshot(now_);
      asks_ = sequencer_.SnapshotAsks();
      if (subscribed_) {
        sequencer_.TakeSnapshot(retained_, now_);
      }
    }
  }
  void Shown(const RecordMessage& message) {
    if (message.session != kVenue || message.bytes.find("real") == std::string::npos) {
      ++forged_shown_;
      return;
    }
    if (!shown_at_.emplace(message.sequence, now_).second) {
      ++shown_twice_;
    }
  }

  Ms interval_;
  Clock::time_point start_ = Clock::time_point() + 1000h;
  Clock::time_point now_ = start_;
  std::uint64_t venue_sequence_ = 0;
  Snapshot retained_;
  bool subscribed_ = false;
  std::uint64_t asks_ = 0;
  std::map<std::uint64_t, Clock::time_point> numbered_at_;
  std::map<std::uint64_t, Clock::time_point> shown_at_;
  int shown_twice_ = 0;
  int forged_shown_ = 0;
  std::uint64_t venue_lost_seen_ = 0;
  std::size_t max_held_bytes_ = 0;
  Sequencer sequencer_{1000, [this](const RecordMessage& message) { Shown(message); }};
};

TEST(SequencerHealing, NoForgedMessageKeepsTheVenuesRecordsOffTheScreenForLong) {
  struct Case {
    const char* name;
    std::vector<Sent> forged;
    bool restarts = false;     // the feed is taken up anew (a full snapshot again)
    std::uint64_t first = 11;  // the first real record that must show
    Ms interval = 500ms;       // between the venue's records
    bool before_join = false;  // a retained snapshot the joiner finds
  };
  std::vector<Sent> flood;
  for (std::uint64_t i = 0; i < 100'000; ++i) {
    flood.push_back(Forged(kVenue, 1'000'000 + 2 * i));
  }
  const Case cases[] = {
      {"a record of a session far above", {Forged(kMax, 1)}},
      {"a record of the next session", {Forged(kVenue + 1, 1)}},
      {"a record of session 0", {Forged(0, 1)}},
      {"a record of an earlier session", {Forged(kVenue - 1, 99)}},
      {"the last sequence number", {Forged(kVenue, kMax)}},
      {"a jump of a hundred", {Forged(kVenue, 111)}},
      {"the next record, forged", {Forged(kVenue, 11)}, false, 12},
      {"a record below", {Forged(kVenue, 5)}},
      {"a position far ahead", {ForgedPosition(kVenue, kMax, 7)}},
      {"a position of another session", {ForgedPosition(kMax, kMax)}},
      {"a position far behind", {ForgedPosition(kVenue, 1)}},
      {"a snapshot far ahead, live", {ForgedSnapshot(kVenue, kMax)}},
      {"a snapshot of a session far above, live", {ForgedSnapshot(kMax, kMax)}},
      {"a retained snapshot of a session far above",
       {ForgedSnapshot(kMax, kMax)},
       true,
       11,
       500ms,
       true},
      {"a retained snapshot far ahead", {ForgedSnapshot(kVenue, kMax)}, true, 11, 500ms, true},
      {"a retained snapshot far ahead, a record each 4 s",
       {ForgedSnapshot(kVenue, kMax)},
       true,
       11,
       4000ms,
       true},
      {"a gap that fetches a snapshot far ahead",
       {ForgedSnapshot(kVenue, kMax), Forged(kVenue, 50)},
       true},
      {"two records of a new session in a row", {Forged(kMax, 1), Forged(kMax, 2)}, true},
      {"two records in a row far ahead", {Forged(kVenue, kMax - 1), Forged(kVenue, kMax)}, true},
      {"100,000 records with gaps far ahead", flood},
  };
  for (const Case& c : cases) {
    World world(c.interval);
    world.Run(c.forged, c.before_join, 12);
    const auto worst = world.WorstDelay(c.first);
    ASSERT_TRUE(worst) << c.name << ": a real record was never shown";
    // Within a few seconds, and well within for most.
    EXPECT_LE(*worst, c.restarts ? 2000ms : 500ms) << c.name;
    EXPECT_EQ(world.sequencer().Restarts() > 0, c.restarts) << c.name;
    if (!c.restarts) {
      EXPECT_EQ(world.ShownTwice(), 0) << c.name;
    }
    EXPECT_LE(world.MaxHeldBytes(), Sequencer::kHeldBytes + (1u << 20)) << c.name;
    std::printf("%-50s worst %5lld ms, forged shown %d, restarts %llu, out of order %llu\n", c.name,
                static_cast<long long>(worst->count()), world.ForgedShown(),
                static_cast<unsigned long long>(world.sequencer().Restarts()),
                static_cast<unsigned long long>(world.sequencer().OutOfOrder()));
  }
}

// The venue's queue overflowed while the broker was away: the last records
// before the broker came back never left it, and no record follows.
TEST(SequencerHealing, TheVenuesPositionAloneFetchesTheSnapshotOverItsLoss) {
  World world;
  world.Run({}, false, 10, 15, 20);
  ASSERT_TRUE(world.WorstDelay(11)) << "the lost records came with the snapshot";
  EXPECT_LE(*world.WorstDelay(20), 500ms) << "at once, not at the next record";
  EXPECT_EQ(world.VenueLostSeen(), 6u) << "said while the snapshot was awaited";
  EXPECT_EQ(world.sequencer().VenueLost(world.Now()), 0u) << "and no longer once it came";
  EXPECT_EQ(world.sequencer().Restarts(), 0u);
}

// What the rule must not cost: a restarted venue (a new session, numbered
// from 1 again) is followed within a second, and the copies a broker sends
// again after a reconnection are not shown twice.
TEST(SequencerHealing, ARestartedVenueIsFollowedAtItsFirstPositionAndCopiesShowOnce) {
  constexpr std::uint64_t kRestarted = kVenue + 60'000'000;
  Clock::time_point now = Clock::time_point() + 1000h;
  std::vector<std::string> shown;
  Sequencer sequencer(1000, [&](const RecordMessage& message) {
    shown.push_back(std::to_string(message.session == kVenue ? 1 : 2) + ":" +
                    std::to_string(message.sequence));
  });
  auto restarted = [](std::uint64_t sequence) {
    return Record(kRestarted, sequence, "{tt}+{standings}" + std::to_string(sequence));
  };
  Snapshot retained{kVenue, 2, 0, {Real(1), Real(2)}};
  std::uint64_t asks = 0;
  // The relay's part: a new wait subscribes to the snapshot topic again.
  auto sync = [&] {
    if (sequencer.SnapshotAsks() != asks) {
      asks = sequencer.SnapshotAsks();
      sequencer.TakeSnapshot(retained, now);
    }
  };
  sequencer.Connected(false, now);
  sync();
  sequencer.TakeLive(Real(3), now);
  now += 5s;
  // The venue restarted: its first snapshot and position, then its records.
  retained = Snapshot{kRestarted, 0, 0, {}};
  sequencer.TakePosition({kRestarted, 0, 0}, now);
  sync();
  now += 1s;
  sequencer.TakeLive(restarted(1), now);
  EXPECT_EQ(shown.size(), 3u) << "one record proves nothing";
  now += 300ms;
  retained = Snapshot{kRestarted, 1, 0, {restarted(1)}};
  sequencer.TakePosition({kRestarted, 1, 0}, now);
  sync();
  EXPECT_EQ(shown.back(), "2:1") << "followed at its first position";
  EXPECT_EQ(sequencer.Restarts(), 1u);
  // A reconnection: the broker sends again what it had not seen acknowledged.
  sequencer.Connected(true, now);
  sequencer.TakeLive(Real(3), now);
  sequencer.TakeLive(restarted(1), now);
  sequencer.TakeLive(restarted(2), now);
  sequencer.TakeLive(restarted(2), now);
  sequencer.TakeLive(Real(4), now);  // the old run, late
  EXPECT_EQ(shown, (std::vector<std::string>{"1:1", "1:2", "1:3", "2:1", "2:2"}));
  EXPECT_EQ(sequencer.Restarts(), 1u);
}

}  // namespace
}  // namespace relay
