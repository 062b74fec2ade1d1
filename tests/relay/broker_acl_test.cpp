// The broker configuration shipped in docs/ (mosquitto-venue.conf and its
// ACL file), run by a real mosquitto: the venue's user publishes and the
// readers receive; whatever a reader publishes on the relay's topics never
// reaches anyone. The files are used as shipped, with only the port, the
// paths and the commented anonymous choice put in, and included from a main
// file like Debian's.
#include <arpa/inet.h>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "broker_process.h"

namespace {

using std::chrono::seconds;

constexpr const char* kTopic = "orvane/feed";  // the files' topic, the relay's default

// One MQTT client on its own network thread, over TLS; each call waits for
// the broker's answer, a few seconds at most.
class Client {
 public:
  Client(const BrokerProcess& broker, const std::string& user, const std::string& password,
         int protocol = MQTT_PROTOCOL_V311) {
    mosquitto_lib_init();
    client_ = mosquitto_new(nullptr, true, this);
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, protocol);
    mosquitto_connect_v5_callback_set(client_, &Client::OnConnect);
    mosquitto_publish_v5_callback_set(client_, &Client::OnPublish);
    mosquitto_subscribe_v5_callback_set(client_, &Client::OnSubscribe);
    mosquitto_message_v5_callback_set(client_, &Client::OnMessage);
    if (!user.empty()) {
      mosquitto_username_pw_set(client_, user.c_str(), password.c_str());
    }
    mosquitto_tls_set(client_, broker.CaFile().c_str(), nullptr, nullptr, nullptr, nullptr);
    mosquitto_connect(client_, "127.0.0.1", broker.Port(), 30);
    mosquitto_loop_start(client_);
  }
  ~Client() {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, true);
    mosquitto_destroy(client_);
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // The CONNACK's code, -1 when none came.
  int Connected() {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, seconds(5), [this] { return connack_ >= 0; });
    return connack_;
  }

  bool Subscribe(const std::vector<std::string>& topics) {
    for (const std::string& topic : topics) {
      int mid = 0;
      if (mosquitto_subscribe(client_, &mid, topic.c_str(), 1) != MOSQ_ERR_SUCCESS) {
        return false;
      }
      std::unique_lock lock(mutex_);
      if (!changed_.wait_for(lock, seconds(5), [&] { return subscribed_.contains(mid); })) {
        return false;
      }
    }
    return true;
  }

  // QoS 1; the PUBACK's reason code (MQTT 5; 3.1.1 has none: 0), -1 when
  // none came.
  int Publish(const std::string& topic, const std::string& payload, bool retain = false) {
    int mid = 0;
    if (mosquitto_publish(client_, &mid, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), 1, retain) != MOSQ_ERR_SUCCESS) {
      return -1;
    }
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, seconds(5), [&] { return published_.contains(mid); });
    return published_.contains(mid) ? published_[mid] : -1;
  }

  bool WaitFor(const std::string& payload) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, seconds(5), [&] { return Has(payload); });
  }

  // "topic payload" for each message taken, in order.
  std::vector<std::string> Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  bool Has(const std::string& payload) const {
    for (const std::string& message : received_) {
      if (message.ends_with(" " + payload)) {
        return true;
      }
    }
    return false;
  }

  static Client& Self(void* self) { return *static_cast<Client*>(self); }
  static void OnConnect(mosquitto*, void* self, int code, int, const mosquitto_property*) {
    std::lock_guard lock(Self(self).mutex_);
    Self(self).connack_ = code;
    Self(self).changed_.notify_all();
  }
  static void OnPublish(mosquitto*, void* self, int mid, int reason, const mosquitto_property*) {
    std::lock_guard lock(Self(self).mutex_);
    Self(self).published_[mid] = reason;
    Self(self).changed_.notify_all();
  }
  static void OnSubscribe(mosquitto*, void* self, int mid, int, const int*,
                          const mosquitto_property*) {
    std::lock_guard lock(Self(self).mutex_);
    Self(self).subscribed_[mid] = true;
    Self(self).changed_.notify_all();
  }
  static void OnMessage(mosquitto*, void* self, const mosquitto_message* message,
                        const mosquitto_property*) {
    std::lock_guard lock(Self(self).mutex_);
    Self(self).received_.push_back(std::string(message->topic) + " " +
                                   std::string(static_cast<const char*>(message->payload),
                                               static_cast<std::size_t>(message->payloadlen)));
    Self(self).changed_.notify_all();
  }

  mosquitto* client_ = nullptr;
  std::mutex mutex_;
  std::condition_variable changed_;
  int connack_ = -1;
  std::map<int, int> published_;
  std::map<int, bool> subscribed_;
  std::vector<std::string> received_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Puts `to` where `from` stands in `text`; false when it stands nowhere, so
// a change in the shipped file that the test no longer matches fails it.
bool Put(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) {
    return false;
  }
  text.replace(at, from.size(), to);
  return true;
}

const std::vector<std::string> kReadTopics = {kTopic, std::string(kTopic) + "/state",
                                              std::string(kTopic) + "/view/#",
                                              std::string(kTopic) + "/notes/#"};

class BrokerAclTest : public ::testing::Test {
 protected:
  // The shipped configuration on a free loopback port, with the test's
  // certificates and password file; `anonymous` takes the commented choice.
  void StartBroker(bool anonymous) {
    broker_ = std::make_unique<BrokerProcess>(
        BrokerProcess::Setup{.tls = true, .user = "venue", .password = "venue-pw"});
    const std::string dir = broker_->Dir();
    web_port_ = FreePort(SOCK_STREAM);
    ASSERT_EQ(mkdir((dir + "/web").c_str(), 0700), 0);
    std::ofstream(dir + "/web/index.html") << "<title>the page</title>\n";
    for (const char* user : {"studio1", "studio2", "viewer"}) {
      ASSERT_EQ(std::system(("mosquitto_passwd -b '" + dir + "/passwords' " + user + " " + user +
                             "-pw >/dev/null 2>&1")
                                .c_str()),
                0);
    }
    std::string config = ReadFile(ORVANE_SOURCE_DIR "/docs/mosquitto-venue.conf");
    const std::vector<std::pair<std::string, std::string>> puts = {
        {"\nlistener 8883\n", "\nlistener " + std::to_string(broker_->Port()) + " 127.0.0.1\n"},
        {"\nlistener 9001\n", "\nlistener " + std::to_string(web_port_) + " 127.0.0.1\n"},
        {"\nhttp_dir /usr/share/orvane-commentator/web\n", "\nhttp_dir " + dir + "/web\n"},
        {"/etc/mosquitto/certs/broker.crt", dir + "/server.crt"},
        {"/etc/mosquitto/certs/broker.key", dir + "/server.key"},
        {"\npassword_file /etc/mosquitto/orvane.passwd\n",
         "\npassword_file " + dir + "/passwords\n"},
        {"\nacl_file /etc/mosquitto/orvane.acl\n",
         "\nacl_file " ORVANE_SOURCE_DIR "/docs/mosquitto-venue.acl\n"},
        {"\nallow_anonymous false\n",
         anonymous ? "\nallow_anonymous true\n" : "\nallow_anonymous false\n"},
    };
    for (const auto& [from, to] : puts) {
      ASSERT_TRUE(Put(config, from, to)) << "docs/mosquitto-venue.conf has no \"" << from << "\"";
    }
    // Installed as Debian installs it: in conf.d, beside the main file's
    // own lines. Run as whoever runs the test: a broker started by root
    // would change to the user "mosquitto", who cannot read the test's
    // directory.
    ASSERT_EQ(mkdir((dir + "/conf.d").c_str(), 0700), 0);
    std::ofstream(dir + "/conf.d/orvane.conf") << config;
    const passwd* user = getpwuid(geteuid());
    // BrokerProcess::Start runs the configuration in this file.
    std::ofstream(dir + "/mosquitto.conf")
        << "user " << (user != nullptr ? user->pw_name : "root") << "\n"
        << "persistence true\n"
        << "persistence_location " << dir << "/\n"
        << "include_dir " << dir << "/conf.d\n";
    ASSERT_TRUE(broker_->Start()) << broker_->Error();
  }

  std::unique_ptr<BrokerProcess> broker_;
  int web_port_ = 0;
};

// An HTTP GET of `path` on the loopback port; the whole answer.
std::string HttpGet(int port, const std::string& path) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const timeval timeout{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  std::string answer;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    const std::string request = "GET " + path + " HTTP/1.0\r\nHost: localhost\r\n\r\n";
    if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
      char buffer[4096];
      for (ssize_t got; answer.size() < 65536 && (got = read(fd, buffer, sizeof buffer)) > 0;) {
        answer.append(buffer, static_cast<std::size_t>(got));
      }
    }
  }
  close(fd);
  return answer;
}

// A forged message: who sends it, how, and where.
struct Forgery {
  std::string user;  // empty: anonymous
  int protocol;
  std::string topic;
  bool retain;
};

// Each forgery in turn; then the venue's next record, which a reader must
// take with none of the forgeries before it. Under MQTT 5 the broker says
// why (not authorised); under 3.1.1 it drops the message without a word.
void ForgeriesNeverReachReaders(const BrokerProcess& broker, Client& venue, Client& reader,
                                const std::vector<Forgery>& forgeries,
                                const std::string& after_topic = kTopic) {
  int count = 0;
  for (const Forgery& forgery : forgeries) {
    const std::string payload = "forged-" + std::to_string(++count);
    const std::string what = (forgery.user.empty() ? "anonymous" : forgery.user) + " MQTT " +
                             (forgery.protocol == MQTT_PROTOCOL_V5 ? "5" : "3.1.1") + " " +
                             forgery.topic;
    Client forger(broker, forgery.user, forgery.user + "-pw", forgery.protocol);
    ASSERT_EQ(forger.Connected(), 0) << what;
    EXPECT_EQ(forger.Publish(forgery.topic, payload, forgery.retain),
              forgery.protocol == MQTT_PROTOCOL_V5 ? MQTT_RC_NOT_AUTHORIZED : 0)
        << what;
  }
  // The broker has handled every forgery (each was acknowledged) before
  // the venue publishes.
  ASSERT_EQ(venue.Publish(after_topic, "after the forgeries"), 0);
  ASSERT_TRUE(reader.WaitFor("after the forgeries"));
  for (const std::string& message : reader.Received()) {
    EXPECT_EQ(message.find("forged"), std::string::npos) << message;
  }
}

TEST_F(BrokerAclTest, OnlyTheVenuePublishesAndReadersOnlyRead) {
  StartBroker(false);
  Client venue(*broker_, "venue", "venue-pw");
  ASSERT_EQ(venue.Connected(), 0);
  Client reader(*broker_, "studio2", "studio2-pw");
  ASSERT_EQ(reader.Connected(), 0);
  ASSERT_TRUE(reader.Subscribe(kReadTopics));

  const std::string topic = kTopic;
  for (const std::string& where :
       {topic, topic + "/state", topic + "/view/heat", topic + "/notes/1"}) {
    ASSERT_EQ(venue.Publish(where, "real " + where, where.ends_with("/state")), 0) << where;
    EXPECT_TRUE(reader.WaitFor("real " + where)) << where;
  }

  ForgeriesNeverReachReaders(*broker_, venue, reader,
                             {
                                 {"studio1", MQTT_PROTOCOL_V311, topic, false},
                                 {"studio1", MQTT_PROTOCOL_V311, topic + "/state", true},
                                 {"studio1", MQTT_PROTOCOL_V5, topic, false},
                                 {"studio1", MQTT_PROTOCOL_V5, topic + "/state", true},
                                 {"studio1", MQTT_PROTOCOL_V5, topic + "/view/heat", false},
                                 {"studio1", MQTT_PROTOCOL_V5, topic + "/notes/1", true},
                                 {"studio2", MQTT_PROTOCOL_V5, topic, false},
                             });

  // A new joiner takes the venue's snapshot, not a forged one.
  Client joiner(*broker_, "studio1", "studio1-pw");
  ASSERT_EQ(joiner.Connected(), 0);
  ASSERT_TRUE(joiner.Subscribe({topic + "/state"}));
  ASSERT_TRUE(joiner.WaitFor("real " + topic + "/state"));
  EXPECT_EQ(joiner.Received(), std::vector<std::string>{topic + "/state real " + topic + "/state"});

  // No password, no way in; nor with a wrong one.
  Client anonymous(*broker_, "", "");
  EXPECT_EQ(anonymous.Connected(), CONNACK_REFUSED_NOT_AUTHORIZED);
  Client wrong(*broker_, "venue", "studio1-pw");
  EXPECT_EQ(wrong.Connected(), CONNACK_REFUSED_NOT_AUTHORIZED);
}

// The browsers' user reads the screens' view and the notes its rider cards
// show, nothing else, and publishes nowhere (no note either); the
// WebSockets listener serves the page beside it.
TEST_F(BrokerAclTest, TheViewerReadsTheViewOnly) {
  StartBroker(false);
  Client venue(*broker_, "venue", "venue-pw");
  ASSERT_EQ(venue.Connected(), 0);
  Client viewer(*broker_, "viewer", "viewer-pw");
  ASSERT_EQ(viewer.Connected(), 0);
  ASSERT_TRUE(viewer.Subscribe(kReadTopics));

  const std::string topic = kTopic;
  for (const std::string& where : {topic, topic + "/state"}) {
    ASSERT_EQ(venue.Publish(where, "hidden " + where, where.ends_with("/state")), 0) << where;
  }
  ASSERT_EQ(venue.Publish(topic + "/notes/1", "note", true), 0);
  ASSERT_EQ(venue.Publish(topic + "/view/scratch", "shown", true), 0);
  ASSERT_TRUE(viewer.WaitFor("shown"));
  EXPECT_EQ(viewer.Received(),
            (std::vector<std::string>{topic + "/notes/1 note", topic + "/view/scratch shown"}));

  ForgeriesNeverReachReaders(*broker_, venue, viewer,
                             {
                                 {"viewer", MQTT_PROTOCOL_V311, topic, false},
                                 {"viewer", MQTT_PROTOCOL_V5, topic, false},
                                 {"viewer", MQTT_PROTOCOL_V5, topic + "/view/scratch", true},
                                 {"viewer", MQTT_PROTOCOL_V311, topic + "/view/status", true},
                                 {"viewer", MQTT_PROTOCOL_V5, topic + "/notes/1", true},
                                 {"viewer", MQTT_PROTOCOL_V311, topic + "/notes/2", true},
                             },
                             topic + "/view/log");

  const std::string page = HttpGet(web_port_, "/index.html");
  EXPECT_NE(page.find("<title>the page</title>"), std::string::npos) << page;
}

// The commented choice: anyone may read without a password, and an
// anonymous client may publish nothing.
TEST_F(BrokerAclTest, AnonymousReadersOnlyRead) {
  StartBroker(true);
  Client venue(*broker_, "venue", "venue-pw");
  ASSERT_EQ(venue.Connected(), 0);
  Client reader(*broker_, "", "");
  ASSERT_EQ(reader.Connected(), 0);
  ASSERT_TRUE(reader.Subscribe(kReadTopics));
  ASSERT_EQ(venue.Publish(kTopic, "real"), 0);
  EXPECT_TRUE(reader.WaitFor("real"));

  const std::string topic = kTopic;
  ForgeriesNeverReachReaders(*broker_, venue, reader,
                             {
                                 {"", MQTT_PROTOCOL_V311, topic, false},
                                 {"", MQTT_PROTOCOL_V5, topic, false},
                                 {"", MQTT_PROTOCOL_V5, topic + "/state", true},
                                 {"studio1", MQTT_PROTOCOL_V5, topic, false},
                             });
}

}  // namespace
