// One end of the relay through an MQTT broker: a publisher that sends each
// record the venue's receivers take in, or a subscriber that hands on each
// record the venue sent, once and in order.
//
// It has no event loop of its own: the caller watches Socket() for reading
// (and for writing while WantsWrite()), calls the handlers when it is
// ready and Tick() when the time it returned has passed. race-feed does
// that with poll(), the screen with socket notifiers and a timer. A broker
// that cannot be reached or goes away is retried with a growing pause
// (1 s, doubling up to 15 s); meanwhile a publisher's records wait in a
// queue of BrokerOptions::queue_limit records, and the ones that find it
// full are counted as lost.
//
// Setting a connection up waits on the network (the host name's lookup,
// the TCP connect): that runs on a thread of its own, and the caller's
// Socket() is meanwhile one that becomes readable when it is done. The
// caller's thread never waits for the network.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "records/shadow_screens.h"
#include "relay/broker_options.h"
#include "relay/late_join_state.h"
#include "relay/message.h"
#include "relay/sequencer.h"
#include "view/rider_view.h"
#include "view/view_publisher.h"

struct mosquitto;
struct mosquitto_message;
struct ssl_st;           // SSL
struct mqtt5__property;  // mosquitto_property

namespace relay {

struct RelayStatus {
  enum class Connection { kStopped, kConnecting, kConnected, kRetrying };
  Connection connection = Connection::kStopped;
  int retry_in_s = 0;         // kRetrying: seconds until the next attempt
  std::size_t queued = 0;     // publisher: not yet taken by the broker; subscriber: waiting
  std::uint64_t lost = 0;     // publisher: found the queue full; subscriber: never handed on
  std::uint64_t relayed = 0;  // publisher: taken by the broker; subscriber: handed on
  std::string error;          // why the last attempt failed or the connection ended
  bool refused = false;       // the broker refused the user or TLS the certificate
  // Subscriber: what the order keeper made of the feed (sequencer.h).
  std::uint64_t restarts = 0;      // the feed was taken up anew
  std::uint64_t out_of_order = 0;  // records dropped, no line of the feed bore them out
  std::uint64_t venue_lost = 0;    // the venue's loss, once it went up, for a while
  std::uint64_t unreadable = 0;    // messages of no known kind or layout, or too big

  bool operator==(const RelayStatus&) const = default;
};

// "connected", "reconnecting in 3 s, queue 120 records, records lost 4:
// connection to 10.0.0.9:1883 lost", "connected, feed restarted, 3 records
// out of order dropped, 10000 records lost at the venue", ...
std::string DescribeStatus(const RelayStatus& status);

class Relay {
 public:
  using Clock = std::chrono::steady_clock;
  using Deliver = std::function<void(const RecordMessage&)>;

  // `deliver` (subscriber only) is called from DeliverPending().
  Relay(BrokerOptions options, Role role, Deliver deliver = {});
  ~Relay();
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;

  // Reads the password file, sets TLS up and starts connecting. False, with
  // the status's error set, when the options cannot work.
  bool Start();
  // Says goodbye to the broker; what is still queued is dropped.
  void Stop();

  // libmosquitto's socket, or while a connection is set up on its thread,
  // one that becomes readable when that is done; -1 while there is none
  // (stopped, or waiting to try again).
  int Socket() const;
  bool WantsWrite() const;
  // Changes whenever the socket may have been replaced, even by one with
  // the same number.
  std::uint64_t SocketGeneration() const { return generation_; }
  void HandleReadable();
  void HandleWritable();
  // Keep-alive, reconnecting, the snapshot and the subscriber's waiting.
  // Returns the milliseconds until it wants to be called again.
  int Tick();

  // Publisher: one datagram the venue took in.
  void Publish(int port_index, std::uint32_t sender, std::string_view bytes,
               std::int64_t received_us);
  // Subscriber: hands on the records that came in, in order.
  void DeliverPending();

  RelayStatus Status() const;
  bool EverConnected() const { return ever_connected_; }
  const BrokerOptions& Options() const { return options_; }

 private:
  struct Setup;

  static void OnConnect(mosquitto* client, void* self, int rc, int flags,
                        const mqtt5__property* properties);
  static void OnDisconnect(mosquitto* client, void* self, int rc);
  static void OnPublish(mosquitto* client, void* self, int mid);
  static void OnMessage(mosquitto* client, void* self, const mosquitto_message* message);
  static void OnLog(mosquitto* client, void* self, int level, const char* text);

  void Attempt();
  // Takes the client back once the set-up thread is done with it.
  void TakeSetUp();
  // Sends a record, or counts it lost when libmosquitto will not take it.
  void SendCounted(const std::string& encoded);
  // Publishes one record message, or holds it while the set-up thread has
  // the client. `mid` identifies it in outstanding_.
  int Send(const std::string& encoded, int& mid);
  // After a libmosquitto call: a code other than success ends the attempt.
  void AfterLoop(int rc);
  void Failed(std::string error);
  std::string ErrorText(int rc, int error_number) const;
  std::string Broker() const;
  // The TLS connection while its handshake is under way, else null.
  const ssl_st* Handshaking() const;
  void PublishSnapshot();
  void SyncStateSubscription(bool force);
  // Sends the browser view's documents that are due, while connected.
  void FlushView();

  BrokerOptions options_;
  Role role_;
  Deliver deliver_;
  std::string state_topic_;
  mosquitto* client_ = nullptr;

  RelayStatus::Connection connection_ = RelayStatus::Connection::kStopped;
  std::string error_;
  bool refused_ = false;
  bool ever_connected_ = false;
  bool stopping_ = false;
  std::string logged_error_;  // libmosquitto's first complaint in this attempt
  bool mqtt5_ = true;         // false once the broker turned MQTT 5 down
  // The set-up under way on its thread; the client is its own meanwhile.
  std::shared_ptr<Setup> setup_;
  // Records published meanwhile, under ids below zero until they go out.
  std::deque<std::pair<int, std::string>> held_;
  int held_id_ = 0;
  std::uint64_t generation_ = 0;
  std::uint64_t packets_handled_ = 0;  // messages and acknowledgements read
  Clock::time_point attempt_started_;
  Clock::time_point retry_at_;
  int backoff_s_ = 1;

  // Publisher.
  std::uint64_t session_ = 0;
  std::uint64_t sequence_ = 0;
  LateJoinState late_join_;
  // The browser view: each screen's state, from the same record rules.
  std::unique_ptr<view::ViewPublisher> view_;
  // The browser's rider cards: each rider's day, from the same reports.
  std::unique_ptr<view::RiderView> riders_;
  // The record rules on screens no window shows: what each datagram writes,
  // for the late-join state.
  std::unique_ptr<ShadowScreens> venue_screens_;
  bool snapshot_due_ = false;
  bool loss_unannounced_ = false;  // records lost since the queue last drained
  Clock::time_point last_snapshot_;
  std::unordered_set<int> outstanding_;  // message ids the broker has not acknowledged
  std::uint64_t lost_ = 0;
  std::uint64_t relayed_ = 0;

  // Subscriber.
  std::unique_ptr<Sequencer> sequencer_;
  std::uint64_t unreadable_ = 0;
  std::deque<RecordMessage> pending_;
  bool state_subscribed_ = false;
  std::uint64_t snapshot_asks_ = 0;
};

}  // namespace relay
