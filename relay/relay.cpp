#include "relay/relay.h"

#include <arpa/inet.h>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <netdb.h>
#include <openssl/ssl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>

#include "relay/late_join_state.h"

namespace relay {

namespace {

using Connection = RelayStatus::Connection;

constexpr int kKeepAliveS = 10;
// From the start of an attempt to the broker's answer: the lookup, the TCP
// and TLS handshakes and the MQTT CONNECT.
constexpr auto kConnectTimeout = std::chrono::seconds(10);
// The broker keeps a subscriber's session (and what comes for it) for a
// day after the connection ends.
constexpr std::uint32_t kSessionExpiryS = 24 * 60 * 60;
// The largest message the relay ever sends is a snapshot of the largest
// size (message.h). The broker is told not to send anything larger
// (plus room for the topic and properties), so a huge message on the topic
// never reaches this process.
constexpr std::uint32_t kMaxPacketBytes = kMaxSnapshotBytes + 64 * 1024;
constexpr auto kSnapshotEvery = std::chrono::seconds(1);
constexpr int kMaxBackoffS = 15;
// QoS 1 messages on their way at once; more keeps a fast feed flowing
// without waiting on each acknowledgement.
constexpr int kInflight = 100;
// A fast feed must not keep the caller's event loop from everything else.
constexpr auto kReadBudget = std::chrono::milliseconds(5);

void InitLibrary() {
  static std::once_flag ready;
  std::call_once(ready, [] { mosquitto_lib_init(); });
}

// Unique per run, within MQTT 3.1.1's 23 characters.
std::string ClientId(Role role) {
  std::random_device random;
  const std::uint64_t bits =
      (static_cast<std::uint64_t>(random()) << 32 | random()) & 0xffff'ffff'ffffULL;
  char id[32];
  std::snprintf(id, sizeof id, "orvane-%s-%012llx", role == Role::kPublish ? "pub" : "sub",
                static_cast<unsigned long long>(bits));
  return id;
}

// MQTT 3.1.1 return codes and MQTT 5 reason codes (128 and up).
std::string RefusalText(int rc) {
  switch (rc) {
    case 4:
    case MQTT_RC_BAD_USERNAME_OR_PASSWORD:
      return "the broker refused the user name or password";
    case 5:
    case MQTT_RC_NOT_AUTHORIZED:
      // Mosquitto answers a wrong password with this one.
      return "the broker refused the user name or password (not authorised)";
    default:
      return std::string("the broker refused the connection: ") +
             (rc >= 128 ? mosquitto_reason_string(rc) : mosquitto_connack_string(rc));
  }
}

bool IsNumericAddress(const std::string& host) {
  unsigned char address[16];
  return inet_pton(AF_INET, host.c_str(), address) == 1 ||
         inet_pton(AF_INET6, host.c_str(), address) == 1;
}

// "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify
// failed" or "Error: host name verification failed." as its reason alone.
std::string LoggedReason(std::string_view text) {
  if (text.starts_with("OpenSSL Error")) {
    text.remove_prefix(text.rfind(':') + 1);
  } else if (text.starts_with("Error: ")) {
    text.remove_prefix(7);
  }
  if (text.ends_with('.')) {
    text.remove_suffix(1);
  }
  return std::string(text);
}

}  // namespace

std::string DescribeStatus(const RelayStatus& status) {
  std::string text;
  switch (status.connection) {
    case Connection::kStopped:
      text = "stopped";
      break;
    case Connection::kConnecting:
      text = "connecting";
      break;
    case Connection::kConnected:
      text = "connected";
      break;
    case Connection::kRetrying:
      text = "reconnecting in " + std::to_string(status.retry_in_s) + " s";
      break;
  }
  if (status.queued > 0) {
    text += ", queue " + std::to_string(status.queued) + " records";
  }
  if (status.restarts == 1) {
    text += ", feed restarted";
  } else if (status.restarts > 1) {
    text += ", feed restarted " + std::to_string(status.restarts) + " times";
  }
  if (status.out_of_order > 0) {
    text += ", " + std::to_string(status.out_of_order) + " records out of order dropped";
  }
  if (status.lost > 0) {
    text += ", records lost " + std::to_string(status.lost);
  }
  if (status.venue_lost > 0) {
    text += ", " + std::to_string(status.venue_lost) + " records lost at the venue";
  }
  if (status.unreadable > 0) {
    text += ", " + std::to_string(status.unreadable) + " unreadable messages ignored";
  }
  if (!status.error.empty() && status.connection != Connection::kConnected) {
    text += ": " + status.error;
  }
  return text;
}

// One connection set-up, on a thread of its own: the lookup of the broker's
// host and libmosquitto's connect, which resolves the name again (the TLS
// host-name check and SNI need the name) and connects TCP blocking. The
// client is the set-up's until `done`; a relay that ends meanwhile leaves
// it to the set-up to destroy.
struct Relay::Setup {
  mosquitto* client = nullptr;
  std::string host;
  int port = 0;
  mosquitto_property* properties = nullptr;
  int wake = -1;  // an eventfd, readable once done

  std::atomic<bool> looking_up{true};
  std::mutex mutex;
  bool done = false;       // guarded by mutex
  bool abandoned = false;  // guarded by mutex
  // Once done:
  int rc = MOSQ_ERR_SUCCESS;
  int error_number = 0;
  std::string lookup_error;
  std::string logged_error;  // libmosquitto's first complaint

  Setup() = default;
  Setup(const Setup&) = delete;
  Setup& operator=(const Setup&) = delete;
  ~Setup() {
    mosquitto_property_free_all(&properties);
    if (wake >= 0) {
      close(wake);
    }
  }

  static void Log(mosquitto*, void* self, int level, const char* text) {
    auto& setup = *static_cast<Setup*>(self);
    if (level == MOSQ_LOG_ERR && setup.logged_error.empty()) {
      setup.logged_error = text;
    }
  }

  void Run() {
    // Looked up here first, so that a name nobody knows is named as such
    // and a lookup that takes long is told from a broker that does.
    if (!IsNumericAddress(host)) {
      addrinfo hints{};
      hints.ai_family = AF_UNSPEC;
      hints.ai_socktype = SOCK_STREAM;
      addrinfo* found = nullptr;
      const int failed = getaddrinfo(host.c_str(), nullptr, &hints, &found);
      if (failed != 0) {
        lookup_error = gai_strerror(failed);
        rc = MOSQ_ERR_EAI;
      } else {
        freeaddrinfo(found);
      }
    }
    looking_up = false;
    if (rc == MOSQ_ERR_SUCCESS) {
      errno = 0;
      rc = mosquitto_connect_bind_v5(client, host.c_str(), port, kKeepAliveS, nullptr, properties);
      error_number = errno;
    }
    std::lock_guard lock(mutex);
    done = true;
    if (abandoned) {
      mosquitto_destroy(client);
    }
    const std::uint64_t one = 1;
    if (write(wake, &one, sizeof one) < 0) {
      // The relay looks at `done` on its next tick as well.
    }
  }
};

Relay::Relay(BrokerOptions options, Role role, Deliver deliver)
    : options_(std::move(options)),
      role_(role),
      deliver_(std::move(deliver)),
      state_topic_(options_.topic + "/state"),
      session_(static_cast<std::uint64_t>(NowMicroseconds())) {
  if (role_ == Role::kSubscribe) {
    sequencer_ = std::make_unique<Sequencer>(
        options_.queue_limit,
        [this](const RecordMessage& message) { pending_.push_back(message); });
  } else {
    venue_ = std::make_unique<VenueRecords>(options_.topic);
  }
}

Relay::~Relay() {
  if (setup_) {
    std::lock_guard lock(setup_->mutex);
    if (!setup_->done) {
      setup_->abandoned = true;
      client_ = nullptr;
    }
  }
  if (client_ != nullptr) {
    mosquitto_destroy(client_);
  }
}

bool Relay::Start() {
  InitLibrary();
  if (const std::string problem = BrokerOptionsProblem(options_); !problem.empty()) {
    error_ = problem;
    return false;
  }
  if (venue_ && !options_.start_list.empty()) {
    StartListError list_error;
    std::optional<StartList> list =
        StartList::Load(QString::fromLocal8Bit(options_.start_list.c_str()), list_error);
    if (!list) {
      error_ = "start list " + options_.start_list + ": " + list_error.Text().toStdString();
      return false;
    }
    venue_->Riders().SetStartList(std::move(list));
  }
  std::string password;
  if (!options_.password_file.empty() &&
      !ReadPasswordFile(options_.password_file, password, error_)) {
    return false;
  }
  // The publisher's queue is its own; the subscriber's session keeps what
  // the broker takes for it while the connection is down.
  client_ = mosquitto_new(ClientId(role_).c_str(), role_ == Role::kPublish, this);
  if (client_ == nullptr) {
    error_ = std::string("cannot set up the MQTT client: ") + std::strerror(errno);
    return false;
  }
  mosquitto_connect_v5_callback_set(client_, &Relay::OnConnect);
  mosquitto_disconnect_callback_set(client_, &Relay::OnDisconnect);
  mosquitto_publish_callback_set(client_, &Relay::OnPublish);
  mosquitto_message_callback_set(client_, &Relay::OnMessage);
  mosquitto_int_option(client_, MOSQ_OPT_TCP_NODELAY, 1);
  mosquitto_max_inflight_messages_set(client_, kInflight);
  if (!options_.user.empty()) {
    mosquitto_username_pw_set(client_, options_.user.c_str(),
                              options_.password_file.empty() ? nullptr : password.c_str());
  }
  if (options_.tls) {
    // libmosquitto makes its TLS context on the first attempt and, with
    // the defaults on, refuses every later one that has no CA file ("Invalid
    // function arguments"): the system's CAs would never reconnect. With the
    // defaults off it reuses the context it made, checks and all.
    mosquitto_int_option(client_, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
    if (options_.cafile.empty()) {
      mosquitto_int_option(client_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    } else if (access(options_.cafile.c_str(), R_OK) != 0) {
      error_ = "cannot use --cafile " + options_.cafile + ": " + std::strerror(errno);
      return false;
    } else if (mosquitto_tls_set(client_, options_.cafile.c_str(), nullptr, nullptr, nullptr,
                                 nullptr) != MOSQ_ERR_SUCCESS) {
      error_ = "cannot use --cafile " + options_.cafile + " as a CA certificate";
      return false;
    }
  }
  Attempt();
  return true;
}

void Relay::Stop() {
  stopping_ = true;
  if (!setup_ && client_ != nullptr && connection_ == Connection::kConnected) {
    mosquitto_disconnect(client_);
  }
  connection_ = Connection::kStopped;
  ++generation_;
}

int Relay::Socket() const {
  if (client_ == nullptr ||
      (connection_ != Connection::kConnecting && connection_ != Connection::kConnected)) {
    return -1;
  }
  return setup_ ? setup_->wake : mosquitto_socket(client_);
}

bool Relay::WantsWrite() const {
  if (setup_ || Socket() < 0) {
    return false;
  }
  // During the TLS handshake libmosquitto's own wish to write (its CONNECT
  // is queued) is no reason to watch for writing: writing waits for the
  // handshake, and a writable socket would only spin. The handshake's own
  // wish is.
  if (const SSL* ssl = Handshaking()) {
    return SSL_want_write(ssl);
  }
  return mosquitto_want_write(client_);
}

const SSL* Relay::Handshaking() const {
  const auto* ssl = static_cast<const SSL*>(mosquitto_ssl_get(client_));
  return ssl != nullptr && !SSL_is_init_finished(ssl) ? ssl : nullptr;
}

void Relay::HandleReadable() {
  if (setup_) {
    std::uint64_t count = 0;
    if (read(setup_->wake, &count, sizeof count) < 0) {
      // Nothing to read yet: TakeSetUp() finds it not done.
    }
    TakeSetUp();
    return;
  }
  const Clock::time_point start = Clock::now();
  // libmosquitto may read just one packet a call: a busy socket is drained
  // here, for as long as each call brings a message or an acknowledgement.
  while (Socket() >= 0) {
    const std::uint64_t before = packets_handled_;
    const int rc = mosquitto_loop_read(client_, 1);
    if (rc != MOSQ_ERR_SUCCESS) {
      AfterLoop(rc);
      break;
    }
    if (packets_handled_ == before || Clock::now() - start > kReadBudget) {
      break;
    }
  }
}

void Relay::HandleWritable() {
  if (setup_ || Socket() < 0) {
    return;
  }
  // libmosquitto moves the TLS handshake on in its read call only.
  AfterLoop(Handshaking() != nullptr ? mosquitto_loop_read(client_, 1)
                                     : mosquitto_loop_write(client_, 1));
}

void Relay::AfterLoop(int rc) {
  // Most ends come through the disconnect callback, which has then moved
  // on to retrying; a TLS handshake that fails midway only returns its code.
  if (rc == MOSQ_ERR_SUCCESS || stopping_ ||
      (connection_ != Connection::kConnecting && connection_ != Connection::kConnected)) {
    return;
  }
  if (!refused_) {
    refused_ = rc == MOSQ_ERR_TLS;
    error_ = ErrorText(rc, errno);
  }
  Failed(error_);
}

int Relay::Tick() {
  TakeSetUp();
  const Clock::time_point now = Clock::now();
  if (connection_ == Connection::kRetrying && now >= retry_at_) {
    Attempt();
  } else if (connection_ == Connection::kConnecting && now - attempt_started_ > kConnectTimeout) {
    Failed(setup_ && setup_->looking_up ? "no answer from the name server for " + options_.host
                                        : "no answer from " + Broker());
  }
  // Keep-alive once the broker let us in; before, the connect timeout.
  if (!setup_ && connection_ == Connection::kConnected) {
    AfterLoop(mosquitto_loop_misc(client_));
  }
  if (role_ == Role::kPublish && snapshot_due_ && connection_ == Connection::kConnected &&
      now - last_snapshot_ >= kSnapshotEvery) {
    PublishSnapshot();
  }
  if (venue_) {
    FlushView();
  }
  if (sequencer_) {
    sequencer_->Tick(now);
    SyncStateSubscription(false);
  }
  auto next = std::chrono::milliseconds(1000);
  if (connection_ == Connection::kRetrying) {
    next = std::min(next, std::chrono::ceil<std::chrono::milliseconds>(retry_at_ - now));
  }
  if (snapshot_due_ && connection_ == Connection::kConnected) {
    next = std::min(
        next, std::chrono::ceil<std::chrono::milliseconds>(last_snapshot_ + kSnapshotEvery - now));
  }
  if (venue_ && connection_ == Connection::kConnected) {
    if (const auto due = venue_->View().NextDue(now)) {
      next = std::min(next, std::chrono::ceil<std::chrono::milliseconds>(*due - now));
    }
    if (const auto due = venue_->Riders().NextDue(now)) {
      next = std::min(next, std::chrono::ceil<std::chrono::milliseconds>(*due - now));
    }
  }
  return static_cast<int>(std::max<std::int64_t>(next.count(), 10));
}

void Relay::Publish(int port_index, std::uint32_t sender, std::string_view bytes,
                    std::int64_t received_us, bool accepted) {
  if (role_ != Role::kPublish) {
    return;
  }
  RecordMessage message;
  message.session = session_;
  message.sequence = ++sequence_;
  message.port_index = port_index;
  message.sender = sender;
  message.received_us = received_us;
  message.bytes = std::string(bytes);
  std::string encoded = EncodeRecord(message);
  // The late joiner's state takes every record, the lost ones included, so
  // a snapshot puts right what the queue could not carry.
  snapshot_due_ = true;
  if (client_ == nullptr || outstanding_.size() >= options_.queue_limit) {
    ++lost_;
    loss_unannounced_ = true;
  } else {
    SendCounted(encoded);
  }
  venue_->Take(message.sequence, sender, bytes, received_us, accepted, std::move(encoded),
               Clock::now());
  FlushView();
}

void Relay::DeliverPending() {
  while (!pending_.empty()) {
    const RecordMessage message = std::move(pending_.front());
    pending_.pop_front();
    if (deliver_) {
      deliver_(message);
    }
  }
}

RelayStatus Relay::Status() const {
  RelayStatus status;
  status.connection = connection_;
  if (connection_ == Connection::kRetrying) {
    const auto left = std::chrono::ceil<std::chrono::seconds>(retry_at_ - Clock::now());
    status.retry_in_s = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
  }
  if (sequencer_) {
    status.queued = sequencer_->Held() + pending_.size();
    status.lost = sequencer_->Missed();
    status.relayed = sequencer_->Delivered();
    status.restarts = sequencer_->Restarts();
    status.out_of_order = sequencer_->OutOfOrder();
    status.venue_lost = sequencer_->VenueLost(Clock::now());
    status.unreadable = unreadable_;
  } else {
    status.queued = outstanding_.size();
    status.lost = lost_;
    status.relayed = relayed_;
  }
  status.error = error_;
  status.refused = refused_;
  return status;
}

void Relay::Attempt() {
  connection_ = Connection::kConnecting;
  attempt_started_ = Clock::now();
  ++generation_;
  if (setup_) {
    return;  // the last set-up still has the client: its end is this attempt's
  }
  logged_error_.clear();
  refused_ = false;
  auto setup = std::make_shared<Setup>();
  setup->client = client_;
  setup->host = options_.host;
  setup->port = options_.port;
  setup->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (setup->wake < 0) {
    Failed(std::string("cannot set up a connection: ") + std::strerror(errno));
    return;
  }
  mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION,
                       mqtt5_ ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
  if (mqtt5_) {
    mosquitto_property_add_int32(&setup->properties, MQTT_PROP_MAXIMUM_PACKET_SIZE,
                                 kMaxPacketBytes);
    if (role_ == Role::kSubscribe) {
      mosquitto_property_add_int32(&setup->properties, MQTT_PROP_SESSION_EXPIRY_INTERVAL,
                                   kSessionExpiryS);
    }
  }
  // Until the set-up is done, libmosquitto's callbacks (only its log runs
  // then) go to the set-up. The relay's log callback takes over after, and
  // is dropped once the broker has let us in: libmosquitto formats a line
  // per packet for it.
  mosquitto_user_data_set(client_, setup.get());
  mosquitto_log_callback_set(client_, &Setup::Log);
  try {
    std::thread([setup] { setup->Run(); }).detach();
  } catch (const std::system_error& error) {
    mosquitto_user_data_set(client_, this);
    Failed(std::string("cannot set up a connection: ") + error.what());
    return;
  }
  setup_ = std::move(setup);
}

void Relay::TakeSetUp() {
  if (!setup_) {
    return;
  }
  {
    std::lock_guard lock(setup_->mutex);
    if (!setup_->done) {
      return;
    }
  }
  const std::shared_ptr<Setup> setup = std::move(setup_);
  setup_.reset();
  mosquitto_user_data_set(client_, this);
  mosquitto_log_callback_set(client_, &Relay::OnLog);
  logged_error_ = LoggedReason(setup->logged_error);
  ++generation_;
  // What was published meanwhile goes to libmosquitto now, in order.
  while (!held_.empty()) {
    auto [held_id, encoded] = std::move(held_.front());
    held_.pop_front();
    outstanding_.erase(held_id);
    SendCounted(encoded);
  }
  held_id_ = 0;
  if (stopping_ || connection_ == Connection::kStopped) {
    return;
  }
  if (setup->rc == MOSQ_ERR_SUCCESS) {
    // Also after the attempt timed out: the broker answered after all.
    if (connection_ != Connection::kConnecting) {
      connection_ = Connection::kConnecting;
      attempt_started_ = Clock::now();
    }
    return;
  }
  if (connection_ == Connection::kConnecting) {
    refused_ = setup->rc == MOSQ_ERR_TLS;
    Failed(setup->rc == MOSQ_ERR_EAI && !setup->lookup_error.empty()
               ? "cannot find the broker's host " + options_.host + ": " + setup->lookup_error
               : ErrorText(setup->rc, setup->error_number));
  }
}

void Relay::SendCounted(const std::string& encoded) {
  int mid = 0;
  const int rc = Send(encoded, mid);
  // Without a connection libmosquitto keeps the message and says so; it
  // goes out after the next connection.
  if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN) {
    outstanding_.insert(mid);
  } else {
    ++lost_;
    loss_unannounced_ = true;
  }
}

int Relay::Send(const std::string& encoded, int& mid) {
  if (setup_) {
    mid = --held_id_;
    held_.emplace_back(mid, encoded);
    return MOSQ_ERR_NO_CONN;
  }
  return mosquitto_publish(client_, &mid, options_.topic.c_str(), static_cast<int>(encoded.size()),
                           encoded.data(), 1, false);
}

void Relay::Failed(std::string error) {
  error_ = std::move(error);
  connection_ = Connection::kRetrying;
  retry_at_ = Clock::now() + std::chrono::seconds(backoff_s_);
  backoff_s_ = std::min(backoff_s_ * 2, kMaxBackoffS);
  ++generation_;
}

std::string Relay::Broker() const {
  const bool v6 = options_.host.find(':') != std::string::npos;
  return (v6 ? "[" + options_.host + "]" : options_.host) + ":" + std::to_string(options_.port);
}

std::string Relay::ErrorText(int rc, int error_number) const {
  const std::string broker = Broker();
  switch (rc) {
    case MOSQ_ERR_ERRNO:
      return "cannot connect to " + broker + ": " + std::strerror(error_number);
    case MOSQ_ERR_EAI:
      return "cannot find the broker's host " + options_.host;
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_NO_CONN:
      return "connection to " + broker + " lost";
    case MOSQ_ERR_KEEPALIVE:
      return "the broker at " + broker + " stopped answering";
    case MOSQ_ERR_TLS: {
      std::string text = "TLS with " + broker + " failed";
      if (!logged_error_.empty()) {
        text += ": " + logged_error_;
      }
      if (logged_error_.find("certificate verify") != std::string::npos) {
        text += " (is --cafile the CA that signed the broker's certificate?)";
      } else if (logged_error_.find("host name") != std::string::npos) {
        text += " (the broker's certificate does not name " + options_.host + ")";
      }
      return text;
    }
    default:
      return std::string(mosquitto_strerror(rc)) + " (" + broker + ")";
  }
}

void Relay::OnConnect(mosquitto*, void* self, int rc, int flags, const mosquitto_property*) {
  auto& relay = *static_cast<Relay*>(self);
  if (rc != 0 && relay.mqtt5_ &&
      (rc == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION || rc == CONNACK_REFUSED_PROTOCOL_VERSION)) {
    // A broker of MQTT 3.1.1 only: the next attempt speaks that. Such a
    // broker cannot be told the largest message this end takes.
    relay.mqtt5_ = false;
    relay.error_ = "the broker speaks MQTT 3.1.1 only";
    return;
  }
  if (rc != 0) {
    // libmosquitto closes the connection next; the disconnect keeps this text.
    relay.error_ = RefusalText(rc);
    relay.refused_ = true;
    return;
  }
  relay.connection_ = Connection::kConnected;
  relay.ever_connected_ = true;
  mosquitto_log_callback_set(relay.client_, nullptr);
  relay.backoff_s_ = 1;
  relay.error_.clear();
  relay.refused_ = false;
  if (relay.role_ == Role::kPublish) {
    // A broker that lost the retained snapshot gets it back at once.
    relay.PublishSnapshot();
    relay.venue_->View().MarkAllDue();
    relay.venue_->Riders().MarkAllDue();
    relay.FlushView();
  } else {
    mosquitto_subscribe(relay.client_, nullptr, relay.options_.topic.c_str(), 1);
    const bool session_kept = (flags & 1) != 0;
    relay.sequencer_->Connected(session_kept, Clock::now());
    relay.SyncStateSubscription(true);
  }
}

void Relay::OnDisconnect(mosquitto*, void* self, int rc) {
  auto& relay = *static_cast<Relay*>(self);
  if (relay.stopping_) {
    return;
  }
  relay.AfterLoop(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc);
}

void Relay::OnPublish(mosquitto*, void* self, int mid) {
  auto& relay = *static_cast<Relay*>(self);
  ++relay.packets_handled_;
  if (relay.outstanding_.erase(mid) > 0) {
    ++relay.relayed_;
    if (relay.outstanding_.empty() && relay.loss_unannounced_ &&
        relay.connection_ == Connection::kConnected) {
      // The queue drained after a loss: the remote ends learn at once that
      // they missed records, and the snapshot that puts them right is there.
      relay.PublishSnapshot();
    }
  }
}

void Relay::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
  auto& relay = *static_cast<Relay*>(self);
  ++relay.packets_handled_;
  if (!relay.sequencer_ || message->payloadlen < 0) {
    return;
  }
  const std::string_view payload(static_cast<const char*>(message->payload),
                                 static_cast<std::size_t>(message->payloadlen));
  const Clock::time_point now = Clock::now();
  if (relay.options_.topic == message->topic) {
    if (auto record = DecodeRecord(payload)) {
      relay.sequencer_->TakeLive(std::move(*record), now);
    } else if (const auto position = DecodePosition(payload)) {
      relay.sequencer_->TakePosition(*position, now);
    } else {
      ++relay.unreadable_;
    }
  } else if (relay.state_topic_ == message->topic) {
    // One bigger than the late-join state can ever be is refused unread.
    if (const auto snapshot = DecodeSnapshot(payload)) {
      relay.sequencer_->TakeSnapshot(*snapshot, now);
    } else {
      ++relay.unreadable_;
    }
  }
  relay.SyncStateSubscription(false);
}

void Relay::OnLog(mosquitto*, void* self, int level, const char* text) {
  auto& relay = *static_cast<Relay*>(self);
  if (level == MOSQ_LOG_ERR && relay.logged_error_.empty()) {
    relay.logged_error_ = LoggedReason(text);
  }
}

void Relay::FlushView() {
  if (setup_ || connection_ != Connection::kConnected) {
    return;
  }
  const auto send = [this](const std::string& topic, const std::string& payload) {
    return mosquitto_publish(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                             payload.data(), 1, true) == MOSQ_ERR_SUCCESS;
  };
  venue_->View().Flush(venue_->ViewData(), Clock::now(), NowMicroseconds(), send);
  venue_->Riders().Flush(Clock::now(), NowMicroseconds(), send);
}

void Relay::PublishSnapshot() {
  const auto records = venue_->LateJoin().Records();
  const std::string payload =
      EncodeSnapshot(session_, venue_->LateJoin().ValidUpTo(), NowMicroseconds(), records);
  mosquitto_publish(client_, nullptr, state_topic_.c_str(), static_cast<int>(payload.size()),
                    payload.data(), 1, true);
  // After the snapshot, so a subscriber that finds itself behind fetches
  // one that covers the position.
  const std::string position = EncodePosition({session_, sequence_, lost_});
  mosquitto_publish(client_, nullptr, options_.topic.c_str(), static_cast<int>(position.size()),
                    position.data(), 1, false);
  if (outstanding_.empty()) {
    loss_unannounced_ = false;
  }
  snapshot_due_ = false;
  last_snapshot_ = Clock::now();
}

void Relay::SyncStateSubscription(bool force) {
  if (connection_ != Connection::kConnected) {
    return;
  }
  const bool wanted = sequencer_->WantsSnapshot(Clock::now());
  const std::uint64_t asks = sequencer_->SnapshotAsks();
  if (!force && wanted == state_subscribed_ && asks == snapshot_asks_) {
    return;
  }
  snapshot_asks_ = asks;
  // Subscribing again has the broker send the retained snapshot again.
  if (wanted) {
    mosquitto_subscribe(client_, nullptr, state_topic_.c_str(), 1);
  } else {
    mosquitto_unsubscribe(client_, nullptr, state_topic_.c_str());
  }
  state_subscribed_ = wanted;
}

}  // namespace relay
