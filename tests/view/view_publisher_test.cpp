// When the view's documents go out: at most ten a second per screen, only
// the screens a record touched, the latest state once a pause ends, and
// nothing lost while the client takes nothing.
#include "view/view_publisher.h"
#include "records/shadow_screens.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using view::ViewPublisher;

struct Sent {
  std::string topic;
  QJsonObject doc;
};

struct PublisherFixture {
  PublisherFixture() : screens(&publisher.Log()) {}

  void Take(const std::string& record) {
    ++sequence;
    const WriteReport written = screens.Take(record);
    publisher.LogDatagram("10.0.0.7", record);
    publisher.Took(written, sequence, 1000 + static_cast<std::int64_t>(sequence), now);
    Flush();
  }
  void Flush() {
    publisher.Flush(screens.Data(), now, 0, [this](const std::string& topic, const std::string& p) {
      if (!accepting) {
        return false;
      }
      sent.push_back({topic, QJsonDocument::fromJson(QByteArray::fromStdString(p)).object()});
      return true;
    });
  }
  std::vector<std::string> Topics() const {
    std::vector<std::string> topics;
    for (const Sent& s : sent) {
      topics.push_back(s.topic);
    }
    return topics;
  }

  ViewPublisher publisher{"orvane/feed"};
  ShadowScreens screens;
  ViewPublisher::Clock::time_point now{};
  std::uint64_t sequence = 0;
  bool accepting = true;
  std::vector<Sent> sent;
};

TEST(ViewPublisher, FirstFlushSendsEveryScreenThenOnlyTheTouchedOnes) {
  PublisherFixture f;
  f.Flush();
  EXPECT_EQ(f.sent.size(), 7u);
  EXPECT_EQ(f.sent.front().topic, "orvane/feed/view/scratch");
  f.sent.clear();
  f.now += 1s;
  f.Take("{scratch}+{list}0{name}A");
  // The log has the datagram's line; the first record makes the feed live.
  EXPECT_EQ(f.Topics(),
            (std::vector<std::string>{"orvane/feed/view/scratch", "orvane/feed/view/log",
                                      "orvane/feed/view/status"}));
  EXPECT_EQ(f.sent[0].doc["forward"].toInteger(), 1);
  f.sent.clear();
  f.now += 1s;
  f.Take("{heartbeat}+");
  ASSERT_EQ(f.Topics(), (std::vector<std::string>{"orvane/feed/view/log"}));
  // The rules' line for the record, then the datagram's own, as the main
  // window has them.
  const QJsonArray lines = f.sent[0].doc["lines"].toArray();
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0].toString(), "10.0.0.7>{scratch}+{list}0{name}A");
  EXPECT_EQ(lines[1].toString(), "Heartbeat received from SERVER!!");
  EXPECT_EQ(lines[2].toString(), "10.0.0.7>{heartbeat}+");
}

TEST(ViewPublisher, AtMostTenASecondAndTheLatestStateAfterThePause) {
  PublisherFixture f;
  f.Flush();
  f.sent.clear();
  f.now += 1s;
  // 100 records a second for two seconds into one screen.
  std::vector<ViewPublisher::Clock::time_point> times;
  for (int i = 0; i < 200; ++i) {
    const std::size_t before = f.sent.size();
    f.Take("{scratch}+{list}0{name}N" + std::to_string(i));
    for (std::size_t k = before; k < f.sent.size(); ++k) {
      if (f.sent[k].topic == "orvane/feed/view/scratch") {
        times.push_back(f.now);
      }
    }
    f.now += 10ms;
  }
  f.now += 100ms;
  f.Flush();
  std::erase_if(f.sent, [](const Sent& s) { return s.topic != "orvane/feed/view/scratch"; });
  // Every 100 ms, no more and no fewer.
  EXPECT_EQ(times.size(), 20u);
  for (std::size_t k = 1; k < times.size(); ++k) {
    EXPECT_EQ(times[k] - times[k - 1], 100ms);
  }
  // The one after the pause reflects the last record.
  EXPECT_EQ(f.sent.back().doc["sequence"].toInteger(), 200);
  EXPECT_EQ(f.sent.back().doc["received_us"].toInteger(), 1200);
  EXPECT_EQ(f.sent.back().doc["competitors"].toObject()["rows"].toArray().at(1).toArray().at(2),
            "N199");
}

TEST(ViewPublisher, WithinTheIntervalNothingGoesAndNextDueSaysWhen) {
  PublisherFixture f;
  f.Flush();
  f.sent.clear();
  f.now += 1s;
  f.Take("{qdtype}+{data},ONE,");
  ASSERT_EQ(f.sent.size(), 3u);  // quick text, log, status
  f.sent.clear();
  f.now += 30ms;
  f.Take("{qdtype}+{data},TWO,");
  EXPECT_TRUE(f.sent.empty());
  EXPECT_EQ(f.publisher.NextDue(f.now), f.now + 70ms);
  f.now += 70ms;
  f.Flush();
  ASSERT_EQ(f.sent.size(), 2u);  // quick text, log
  EXPECT_EQ(f.sent[0].doc["lines"].toArray().at(0).toString(), "TWO");
}

TEST(ViewPublisher, WhatTheClientRefusesStaysDueAndGoesOnceAsItThenStands) {
  PublisherFixture f;
  f.accepting = false;
  f.Take("{sprintf}+{title}ONE");
  f.now += 1s;
  f.Take("{sprintf}+{title}TWO");
  EXPECT_TRUE(f.sent.empty());
  f.accepting = true;
  f.now += 1s;
  f.Flush();
  EXPECT_EQ(f.sent.size(), 7u);
  for (const Sent& s : f.sent) {
    if (s.topic == "orvane/feed/view/sprint") {
      EXPECT_EQ(s.doc["title"].toString(), "TWO");
      EXPECT_EQ(s.doc["forward"].toInteger(), 2);
    }
  }
  f.sent.clear();
  f.publisher.MarkAllDue();  // a new connection
  f.now += 1s;
  f.Flush();
  EXPECT_EQ(f.sent.size(), 7u);
}

TEST(ViewPublisher, StatusWordsFollowTheSilence) {
  struct Case {
    std::chrono::seconds silent;
    const char* state;
    const char* text;
  };
  for (const Case c :
       {Case{0s, "live", "live"}, Case{15s, "live", "live"}, Case{16s, "quiet", "quiet for 16 s"},
        Case{60s, "quiet", "quiet for 60 s"}, Case{61s, "no data", "no data for over 60 s"}}) {
    PublisherFixture f;
    f.Take("{heartbeat}+");
    f.sent.clear();
    f.now += c.silent;
    f.Flush();
    const view::FeedState feed = f.publisher.Feed(f.now);
    EXPECT_EQ(feed.state, c.state);
    EXPECT_EQ(feed.text, c.text);
    const bool changed = std::string(c.state) != "live";
    ASSERT_EQ(f.sent.size(), changed ? 1u : 0u) << c.silent.count();
    if (changed) {
      EXPECT_EQ(f.sent[0].doc["text"].toString(), c.text);
    }
  }
  EXPECT_EQ(ViewPublisher("t").Feed({}).state, "waiting");
}

}  // namespace
