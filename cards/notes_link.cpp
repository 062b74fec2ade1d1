#include "cards/notes_link.h"

#include "riders/note_message.h"
#include "riders/notes_store.h"

#include <QMetaObject>
#include <QRandomGenerator>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

constexpr int kKeepAliveS = 30;
constexpr int kQos = 1;

}  // namespace

NotesLink::NotesLink(relay::BrokerOptions options, NotesStore& store, QObject* parent)
    : QObject(parent), options_(std::move(options)), store_(store) {
  mosquitto_lib_init();
  const std::string id = "orvane-notes-" + std::to_string(QRandomGenerator::system()->generate64());
  client_ = mosquitto_new(id.c_str(), true, this);
  publish_timer_.setSingleShot(true);
  connect(&publish_timer_, &QTimer::timeout, this, &NotesLink::PublishPending);
  connect(&store_, &NotesStore::EditedLocally, this, [this](const QString& bib) {
    pending_.insert(bib);
    if (pending_.size() == 1) {
      emit StateChanged();
    }
    if (!publish_timer_.isActive()) {
      publish_timer_.start(kPublishDelayMs);
    }
  });
  if (client_ == nullptr) {
    problem_ = QStringLiteral("notes not shared: no MQTT client");
    return;
  }
  mosquitto_threaded_set(client_, true);
  mosquitto_connect_callback_set(client_, &NotesLink::OnConnect);
  mosquitto_disconnect_callback_set(client_, &NotesLink::OnDisconnect);
  mosquitto_message_callback_set(client_, &NotesLink::OnMessage);
  mosquitto_reconnect_delay_set(client_, 1, 15, true);
  std::string password;
  std::string error;
  if (!options_.password_file.empty() &&
      !relay::ReadPasswordFile(options_.password_file, password, error)) {
    problem_ = QStringLiteral("notes not shared: ") + QString::fromStdString(error);
    return;
  }
  if (!options_.user.empty()) {
    mosquitto_username_pw_set(client_, options_.user.c_str(),
                              password.empty() ? nullptr : password.c_str());
  }
  if (options_.tls) {
    mosquitto_tls_set(client_, options_.cafile.empty() ? nullptr : options_.cafile.c_str(),
                      options_.cafile.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr,
                      nullptr);
  }
  problem_ = QStringLiteral("notes not shared yet: connecting");
  thread_ = std::thread([this] { Run(); });
}

NotesLink::~NotesLink() {
  PublishPending();
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (client_ != nullptr) {
    mosquitto_disconnect(client_);
  }
  if (thread_.joinable()) {
    thread_.join();
  }
  if (client_ != nullptr) {
    mosquitto_destroy(client_);
  }
}

// The loop thread: connect (the name lookup and the TCP connect wait here,
// never on the GUI thread), run until the link ends, try again later.
void NotesLink::Run() {
  int pause_s = 1;
  while (true) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) {
        return;
      }
    }
    const int rc = mosquitto_connect(client_, options_.host.c_str(), options_.port, kKeepAliveS);
    if (rc == MOSQ_ERR_SUCCESS) {
      pause_s = 1;
      mosquitto_loop_forever(client_, 1000, 1);  // reconnects by itself
    } else {
      const QString why = QString::fromLocal8Bit(rc == MOSQ_ERR_ERRNO ? std::strerror(errno)
                                                                      : mosquitto_strerror(rc));
      QMetaObject::invokeMethod(
          this, [this, why] { SetState(false, QStringLiteral("notes not shared: ") + why); });
    }
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::seconds(pause_s), [this] { return stopping_; });
    pause_s = std::min(pause_s * 2, 15);
  }
}

void NotesLink::OnConnect(mosquitto* client, void* self, int rc) {
  auto* link = static_cast<NotesLink*>(self);
  if (rc != 0) {
    const QString why = QString::fromLatin1(mosquitto_connack_string(rc));
    QMetaObject::invokeMethod(
        link, [link, why] { link->SetState(false, QStringLiteral("notes not shared: ") + why); });
    return;
  }
  const std::string topic = link->options_.topic + "/notes/+";
  mosquitto_subscribe(client, nullptr, topic.c_str(), kQos);
  QMetaObject::invokeMethod(link, [link] {
    link->SetState(true, {});
    link->PublishPending();  // what was typed while away
  });
}

void NotesLink::OnDisconnect(mosquitto*, void* self, int rc) {
  auto* link = static_cast<NotesLink*>(self);
  const QString why =
      rc == 0 ? QStringLiteral("disconnected") : QStringLiteral("connection lost, reconnecting");
  QMetaObject::invokeMethod(
      link, [link, why] { link->SetState(false, QStringLiteral("notes not shared: ") + why); });
}

void NotesLink::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
  auto* link = static_cast<NotesLink*>(self);
  if (message->payloadlen > kMaxNoteMessageBytes || message->payloadlen < 0) {
    ++link->refused_;
    return;
  }
  std::string topic(message->topic);
  QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
  QMetaObject::invokeMethod(link, [link, topic = std::move(topic), payload = std::move(payload)] {
    link->Take(topic, payload);
  });
}

void NotesLink::Take(const std::string& topic, const QByteArray& payload) {
  if (payload.isEmpty()) {
    return;  // a retained message taken away
  }
  const std::optional<QString> bib = BibOfNoteTopic(options_.topic, topic);
  QString error;
  const std::optional<Note> note =
      bib ? DecodeNoteMessage(*bib, payload, error) : std::optional<Note>();
  if (!note) {
    ++refused_;
    return;
  }
  store_.TakeIncoming(*bib, *note);
}

void NotesLink::PublishPending() {
  publish_timer_.stop();
  if (!connected_) {
    return;  // kept until the link is up
  }
  for (const QString& bib : std::as_const(pending_)) {
    const std::optional<Note> note = store_.Find(bib);
    if (!note) {
      continue;
    }
    const QByteArray payload = EncodeNoteMessage(bib, *note);
    const std::string topic = NoteTopic(options_.topic, bib);
    mosquitto_publish(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                      payload.constData(), kQos, true);
  }
  if (!pending_.isEmpty()) {
    pending_.clear();
    emit StateChanged();
  }
}

// Said only while an edit waits to go out: unused notes change nothing.
QString NotesLink::Problem() const {
  return pending_.isEmpty() ? QString() : problem_;
}

void NotesLink::SetState(bool connected, const QString& problem) {
  if (connected_ == connected && problem_ == problem) {
    return;
  }
  connected_ = connected;
  problem_ = problem;
  emit StateChanged();
}
