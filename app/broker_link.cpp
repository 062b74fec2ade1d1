#include "app/broker_link.h"

#include "relay/message.h"

#include <QSocketNotifier>

BrokerLink::BrokerLink(relay::BrokerOptions options, relay::Role role, RaceDataListener& listener,
                       QObject* parent)
    : QObject(parent),
      role_(role),
      listener_(listener),
      relay_(options, role,
             [this](const relay::RecordMessage& message) {
               delay_line_.Push(message, relay::DelayLine::Clock::now());
             }),
      delay_line_(std::chrono::seconds(options.delay_s)) {
  delay_timer_.setSingleShot(true);
  delay_timer_.setTimerType(Qt::PreciseTimer);
  connect(&delay_timer_, &QTimer::timeout, this, &BrokerLink::HandOnDue);
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &BrokerLink::TimerFired);
  if (relay_.Start()) {
    if (role_ == relay::Role::kPublish) {
      listener_.AddObserver(this);
    }
    timer_.start(0);
  }
  SyncNotifiers();
  last_state_ = relay_.Status();
}

BrokerLink::~BrokerLink() {
  listener_.RemoveObserver(this);
  delete read_notifier_;
  delete write_notifier_;
  relay_.Stop();
}

QString BrokerLink::StatusText() const {
  return QString::fromLatin1(relay::DescribeStatus(relay_.Status()));
}

void BrokerLink::DatagramTaken(int receiver, std::string_view sender, std::string_view bytes,
                               bool accepted) {
  // Every datagram goes, turned away or not: the remote screen applies its
  // own listening address to the venue's sender. The browser view shows
  // what this desktop does.
  relay_.Publish(receiver, relay::SenderAddress(sender), bytes, relay::NowMicroseconds(), accepted);
  SyncNotifiers();
  CheckState();
}

void BrokerLink::Readable() {
  relay_.HandleReadable();
  SyncNotifiers();
  Deliver();
}

void BrokerLink::Writable() {
  relay_.HandleWritable();
  SyncNotifiers();
  CheckState();
}

void BrokerLink::TimerFired() {
  const int next_ms = relay_.Tick();
  SyncNotifiers();
  timer_.start(next_ms);
  Deliver();
}

void BrokerLink::Deliver() {
  relay_.DeliverPending();
  HandOnDue();
  SyncNotifiers();
  CheckState();
}

void BrokerLink::SyncNotifiers() {
  const int socket = relay_.Socket();
  if (socket != watched_socket_ || relay_.SocketGeneration() != watched_generation_) {
    // A notifier may be the one whose signal runs now: disabled at once,
    // deleted once its signal has returned.
    for (QSocketNotifier* notifier : {read_notifier_, write_notifier_}) {
      if (notifier != nullptr) {
        notifier->setEnabled(false);
        notifier->deleteLater();
      }
    }
    read_notifier_ = nullptr;
    write_notifier_ = nullptr;
    watched_socket_ = socket;
    watched_generation_ = relay_.SocketGeneration();
    if (socket >= 0) {
      read_notifier_ = new QSocketNotifier(socket, QSocketNotifier::Read, this);
      connect(read_notifier_, &QSocketNotifier::activated, this, &BrokerLink::Readable);
      write_notifier_ = new QSocketNotifier(socket, QSocketNotifier::Write, this);
      connect(write_notifier_, &QSocketNotifier::activated, this, &BrokerLink::Writable);
    }
  }
  if (write_notifier_ != nullptr) {
    write_notifier_->setEnabled(relay_.WantsWrite());
  }
}

void BrokerLink::CheckState() {
  const relay::RelayStatus state = relay_.Status();
  if (state != last_state_) {
    last_state_ = state;
    emit StateChanged();
  }
}

void BrokerLink::SetDelay(std::chrono::milliseconds delay) {
  delay_line_.SetDelay(delay);
  HandOnDue();
}

// Without a delay every record is due as it comes, and goes on at once.
void BrokerLink::HandOnDue() {
  delay_line_.HandOnDue(
      relay::DelayLine::Clock::now(), [this](const relay::RecordMessage& message) {
        listener_.Take(message.port_index, relay::SenderText(message.sender), message.bytes);
      });
  if (const auto due = delay_line_.NextDue()) {
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(*due - relay::DelayLine::Clock::now());
    delay_timer_.start(std::max<int>(static_cast<int>(wait.count()), 0));
  } else {
    delay_timer_.stop();
  }
}
