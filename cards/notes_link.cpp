#include "cards/notes_link.h"

#include "riders/note_message.h"
#include "riders/notes_store.h"

#include <QMetaObject>
#include <QRandomGenerator>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr int kKeepAliveS = 30;
constexpr int kQos = 1;

}  // namespace

// What the link and its thread share: the link, until it ends.
struct NotesLink::Shared {
  std::mutex mutex;
  std::condition_variable wake;
  NotesLink* link = nullptr;  // null once the link has ended
  bool stopping = false;
  mosquitto* client = nullptr;
  relay::BrokerOptions options;

  // Runs `call` on the link's thread, if the link still lives.
  template <typename Call>
  void Post(Call call) {
    std::lock_guard lock(mutex);
    if (link != nullptr) {
      QMetaObject::invokeMethod(link, [link = link, call] { call(*link); });
    }
  }
};

NotesLink::NotesLink(relay::BrokerOptions options, NotesStore& store, QObject* parent)
    : QObject(parent), options_(std::move(options)), store_(store) {
  mosquitto_lib_init();
  shared_ = std::make_shared<Shared>();
  shared_->link = this;
  shared_->options = options_;
  const std::string id = "orvane-notes-" + std::to_string(QRandomGenerator::system()->generate64());
  client_ = mosquitto_new(id.c_str(), true, shared_.get());
  shared_->client = client_;
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
  std::thread(&NotesLink::Run, shared_).detach();
  started_ = true;
}

NotesLink::~NotesLink() {
  PublishPending();
  if (!started_) {
    if (client_ != nullptr) {
      mosquitto_destroy(client_);
    }
    return;
  }
  {
    // Ends a running loop; a connect under way ends by itself, and the
    // thread then sees it must stop and destroys the client.
    std::lock_guard lock(shared_->mutex);
    shared_->link = nullptr;
    shared_->stopping = true;
    mosquitto_disconnect(client_);
  }
  shared_->wake.notify_all();
}

// The loop thread: connect (the name lookup and the TCP connect wait here,
// never on the GUI thread), run until the link ends, try again later.
void NotesLink::Run(std::shared_ptr<Shared> shared) {
  int pause_s = 1;
  const relay::BrokerOptions& options = shared->options;
  while (true) {
    {
      std::lock_guard lock(shared->mutex);
      if (shared->stopping) {
        break;
      }
    }
    const int rc =
        mosquitto_connect(shared->client, options.host.c_str(), options.port, kKeepAliveS);
    if (rc == MOSQ_ERR_SUCCESS) {
      pause_s = 1;
      bool stopping = false;
      {
        std::lock_guard lock(shared->mutex);
        stopping = shared->stopping;
      }
      if (!stopping) {
        mosquitto_loop_forever(shared->client, 1000, 1);  // reconnects by itself
      }
    } else {
      const QString why = QString::fromLocal8Bit(rc == MOSQ_ERR_ERRNO ? std::strerror(errno)
                                                                      : mosquitto_strerror(rc));
      shared->Post([why](NotesLink& link) {
        link.SetState(false, QStringLiteral("notes not shared: ") + why);
      });
    }
    std::unique_lock lock(shared->mutex);
    shared->wake.wait_for(lock, std::chrono::seconds(pause_s), [&] { return shared->stopping; });
    pause_s = std::min(pause_s * 2, 15);
  }
  std::lock_guard lock(shared->mutex);  // the link's own disconnect is done
  mosquitto_disconnect(shared->client);
  mosquitto_destroy(shared->client);
}

void NotesLink::OnConnect(mosquitto* client, void* data, int rc) {
  auto* shared = static_cast<Shared*>(data);
  if (rc != 0) {
    const QString why = QString::fromLatin1(mosquitto_connack_string(rc));
    shared->Post([why](NotesLink& link) {
      link.SetState(false, QStringLiteral("notes not shared: ") + why);
    });
    return;
  }
  const std::string topic = shared->options.topic + "/notes/+";
  mosquitto_subscribe(client, nullptr, topic.c_str(), kQos);
  shared->Post([](NotesLink& link) {
    link.SetState(true, {});
    link.PublishPending();  // what was typed while away
  });
}

void NotesLink::OnDisconnect(mosquitto*, void* data, int rc) {
  const QString why =
      rc == 0 ? QStringLiteral("disconnected") : QStringLiteral("connection lost, reconnecting");
  static_cast<Shared*>(data)->Post(
      [why](NotesLink& link) { link.SetState(false, QStringLiteral("notes not shared: ") + why); });
}

void NotesLink::OnMessage(mosquitto*, void* data, const mosquitto_message* message) {
  auto* shared = static_cast<Shared*>(data);
  if (message->payloadlen > kMaxNoteMessageBytes || message->payloadlen < 0) {
    shared->Post([](NotesLink& link) { ++link.refused_; });
    return;
  }
  std::string topic(message->topic);
  QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
  shared->Post([topic, payload](NotesLink& link) { link.Take(topic, payload); });
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
