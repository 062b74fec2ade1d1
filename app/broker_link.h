// The screen's link to an MQTT broker, for remote commentary: as publisher
// it sends every datagram the listener takes in; as subscriber it hands
// every record from the broker to the listener as a third receiver, with
// the venue's sender address, so the listening-address test, the log line
// and the dispatch are those of a datagram.
//
// libmosquitto's socket is watched by socket notifiers and its timing kept
// by one timer, with no polling loop; the relay looks the broker up and
// connects on a thread of its own, so nothing here waits for the network.
// Records from the broker are handed to the listener once libmosquitto has
// returned: the library is not called again from inside its own callback.
#pragma once

#include "app/race_data_listener.h"
#include "relay/broker_options.h"
#include "relay/delay_line.h"
#include "relay/relay.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

class QSocketNotifier;

class BrokerLink : public QObject, public DatagramObserver {
  Q_OBJECT

 public:
  // Starts connecting at once. Options that cannot work (an unreadable
  // password or CA file) leave it stopped, with State().error saying why.
  BrokerLink(relay::BrokerOptions options, relay::Role role, RaceDataListener& listener,
             QObject* parent = nullptr);
  ~BrokerLink() override;

  relay::Role Role() const { return role_; }
  relay::RelayStatus State() const { return relay_.Status(); }
  // "connected", "reconnecting in 3 s, queue 120 records: connection to
  // ... lost", for the feed status corner.
  QString StatusText() const;
  // Subscriber: how far behind the venue records are handed on; a change
  // moves the records held already.
  void SetDelay(std::chrono::milliseconds delay);
  std::chrono::milliseconds Delay() const { return delay_line_.Delay(); }

 signals:
  // The state changed: connection, error, queue or loss, or the seconds
  // left before the next attempt.
  void StateChanged();

 private:
  void DatagramTaken(int receiver, std::string_view sender, std::string_view bytes,
                     bool accepted) override;
  void Readable();
  void Writable();
  void TimerFired();
  // Follows libmosquitto's socket: new notifiers for a new socket, the
  // write notifier only while it has something to write.
  void SyncNotifiers();
  void Deliver();
  void CheckState();
  void HandOnDue();

  relay::Role role_;
  RaceDataListener& listener_;
  relay::Relay relay_;
  QSocketNotifier* read_notifier_ = nullptr;
  QSocketNotifier* write_notifier_ = nullptr;
  int watched_socket_ = -1;
  std::uint64_t watched_generation_ = 0;
  QTimer timer_;
  relay::RelayStatus last_state_;
  relay::DelayLine delay_line_;
  QTimer delay_timer_;
};
