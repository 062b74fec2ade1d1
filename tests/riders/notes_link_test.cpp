// Notes between two screens through a real mosquitto: an edit on one shows
// on the other, the later edit wins whole with the earlier kept as the
// previous version, a screen that joins late has every note, and hostile
// messages on the notes topics are refused.
#include "cards/notes_link.h"
#include "relay/broker_options.h"
#include "riders/note_message.h"
#include "riders/notes_store.h"
#include "tests/relay/broker_process.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <mosquitto.h>

#include <memory>

namespace {

struct Screen {
  Screen(const QString& path, const relay::BrokerOptions& options)
      : store(path), link(options, store) {}
  NotesStore store;
  NotesLink link;
};

class NotesLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(broker.Start()) << broker.Error();
    std::string error;
    ASSERT_TRUE(relay::ParseBrokerUrl(broker.Url(), options, error)) << error;
  }
  std::unique_ptr<Screen> Join(const char* name) {
    auto screen = std::make_unique<Screen>(dir.filePath(name), options);
    EXPECT_TRUE(QTest::qWaitFor([&] { return screen->link.Connected(); }, 5000));
    return screen;
  }
  // What anyone may send on a notes topic: a bare MQTT client.
  void Publish(const std::string& topic, const QByteArray& payload) {
    mosquitto* client = mosquitto_new(nullptr, true, nullptr);
    ASSERT_NE(client, nullptr);
    ASSERT_EQ(mosquitto_connect(client, "127.0.0.1", broker.Port(), 30), MOSQ_ERR_SUCCESS);
    int mid = 0;
    ASSERT_EQ(mosquitto_publish(client, &mid, topic.c_str(), static_cast<int>(payload.size()),
                                payload.constData(), 1, true),
              MOSQ_ERR_SUCCESS);
    // Until the broker has it (QoS 1: its acknowledgement), a few seconds at most.
    for (int turn = 0; turn < 50 && mosquitto_want_write(client); ++turn) {
      mosquitto_loop(client, 100, 1);
    }
    for (int turn = 0; turn < 5; ++turn) {
      mosquitto_loop(client, 100, 1);
    }
    mosquitto_disconnect(client);
    mosquitto_destroy(client);
  }

  BrokerProcess broker;
  relay::BrokerOptions options;
  QTemporaryDir dir;
};

TEST_F(NotesLinkTest, EditsCrossBetweenScreensAndALateJoinerHasThemAll) {
  auto desk = Join("desk.json");
  auto studio = Join("studio.json");
  desk->store.SetText("21", "Won two sprints", "desk", 1000);
  ASSERT_TRUE(QTest::qWaitFor([&] { return studio->store.Text("21") == "Won two sprints"; }, 5000));
  EXPECT_EQ(studio->store.Find("21")->current.author, "desk");

  // The studio edits later: the desk takes it whole, its own kept as previous.
  studio->store.SetText("21", "Crashed in 2024, back in form", "studio", 2000);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return desk->store.Text("21") == "Crashed in 2024, back in form"; }, 5000));
  EXPECT_EQ(desk->store.Find("21")->previous->text, "Won two sprints");

  // Both at once on another rider: every screen ends with the later, whole.
  desk->store.SetText("47", "desk's story", "desk", 5000);
  studio->store.SetText("47", "studio's story", "studio", 5001);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return desk->store.Text("47") == "studio's story" &&
               studio->store.Text("47") == "studio's story";
      },
      5000));
  EXPECT_EQ(desk->store.Find("47")->previous->text, "desk's story");

  auto late = Join("late.json");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return late->store.Text("21") == "Crashed in 2024, back in form" &&
               late->store.Text("47") == "studio's story";
      },
      5000));
  // What the link took in was saved to the screen's own file, too.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !late->store.Pending(); }, 3000));
}

TEST_F(NotesLinkTest, HostileMessagesAreRefused) {
  auto desk = Join("desk.json");
  desk->store.SetText("21", "The real note", "desk", 1000);
  auto studio = Join("studio.json");
  ASSERT_TRUE(QTest::qWaitFor([&] { return studio->store.Text("21") == "The real note"; }, 5000));
  const std::string topic = options.topic + "/notes/21";
  const Note forged{{"forged", "x", 9000}, std::nullopt};
  const std::pair<std::string, QByteArray> hostile[] = {
      {topic, "not json at all"},
      {topic, EncodeNoteMessage("22", forged)},  // another bib than the topic's
      {options.topic + "/notes/2%2F1", EncodeNoteMessage("21", forged)},  // not a bib
      {topic, QByteArray(kMaxNoteMessageBytes + 1, '{')},                 // too large
      {topic, EncodeNoteMessage("21", forged).replace("\"version\":1", "\"version\":2")},
      {topic, EncodeNoteMessage("21", Note{{QString(kMaxNoteChars + 1, 'a'), "x", 9000}, {}})},
  };
  for (const auto& [where, payload] : hostile) {
    Publish(where, payload);
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return studio->link.Refused() >= std::size(hostile); }, 5000))
      << studio->link.Refused();
  EXPECT_EQ(studio->store.Text("21"), "The real note");
  EXPECT_EQ(desk->store.Text("21"), "The real note");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
