// The notes shared through the broker the relay uses (--publish or
// --subscribe): each of this screen's edits goes out as a retained message
// on "TOPIC/notes/BIB" (half a second after the first change, as the file is
// saved), and every note message on "TOPIC/notes/+" is offered to the notes
// store, where the later edit wins whole. A connection of its own, on a
// thread of its own (libmosquitto's loop): the GUI thread never waits for
// the network; messages come to it queued. The thread owns the client and
// is let go at the end, so a connect that hangs (a broker that does not
// answer) never holds the program's end.
#pragma once

#include "relay/broker_options.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>

class NotesStore;
struct mosquitto;
struct mosquitto_message;

class NotesLink : public QObject {
  Q_OBJECT

 public:
  static constexpr int kPublishDelayMs = 500;

  NotesLink(relay::BrokerOptions options, NotesStore& store, QObject* parent = nullptr);
  ~NotesLink() override;

  bool Connected() const { return connected_; }
  // Empty while the notes are shared or none waits; else why an edit waits.
  QString Problem() const;
  std::uint64_t Refused() const { return refused_; }

 signals:
  void StateChanged();

 private:
  struct Shared;
  static void OnConnect(mosquitto* client, void* shared, int rc);
  static void OnDisconnect(mosquitto* client, void* shared, int rc);
  static void OnMessage(mosquitto* client, void* shared, const mosquitto_message* message);
  static void Run(std::shared_ptr<Shared> shared);
  void Take(const std::string& topic, const QByteArray& payload);
  void PublishPending();
  void SetState(bool connected, const QString& problem);

  relay::BrokerOptions options_;
  NotesStore& store_;
  std::shared_ptr<Shared> shared_;
  mosquitto* client_ = nullptr;  // the thread's; used here while this lives
  bool connected_ = false;
  QString problem_;
  bool started_ = false;
  std::uint64_t refused_ = 0;
  QSet<QString> pending_;
  QTimer publish_timer_;
};
