#include "app/race_data_listener.h"

#include "app/listening_address.h"
#include "platform/udp_receiver.h"
#include "records/dispatch.h"
#include "records/traffic_lines.h"

#include <QElapsedTimer>

#include <cstring>
#include <string_view>

RaceDataListener::RaceDataListener(ListenerPorts ports, const ListeningAddress& address,
                                   RecordDispatcher& dispatcher, TrafficLog& log, QObject* parent)
    : QObject(parent),
      ports_(ports),
      address_(address),
      dispatcher_(dispatcher),
      log_(log),
      receivers_{new UdpReceiver(this), new UdpReceiver(this)} {
  for (int receiver = 0; receiver < 2; ++receiver) {
    connect(receivers_[receiver], &UdpReceiver::DataAvailable, this,
            [this, receiver] { RunReceiveCycle(receiver); });
  }
}

RaceDataListener::~RaceDataListener() = default;

void RaceDataListener::Open() {
  opened_ = true;
  receivers_[0]->Open(ports_.first);
  receivers_[1]->Open(ports_.second);
  emit ReceiversChanged();
}

void RaceDataListener::Close() {
  opened_ = false;
  for (UdpReceiver* receiver : receivers_) {
    receiver->Close();
  }
  emit ReceiversChanged();
}

quint16 RaceDataListener::LocalPort(int receiver) const {
  return receivers_[receiver]->LocalPort();
}

int RaceDataListener::ReceiveBufferSize(int receiver) const {
  return receivers_[receiver]->ReceiveBufferSize();
}

std::uint64_t RaceDataListener::KernelDropsSeen() const {
  return receivers_[0]->KernelDropsSeen() + receivers_[1]->KernelDropsSeen();
}

std::uint64_t RaceDataListener::KernelDrops() const {
  return receivers_[0]->KernelDrops() + receivers_[1]->KernelDrops();
}

bool RaceDataListener::IsOpen(int receiver) const {
  return receivers_[receiver]->IsOpen();
}

void RaceDataListener::RemoveObserver(DatagramObserver* observer) {
  std::erase(observers_, observer);
}

void RaceDataListener::RemoveDispatchObserver(DispatchObserver* observer) {
  std::erase(dispatch_observers_, observer);
}

void RaceDataListener::RunReceiveCycle(int receiver) {
  QElapsedTimer draining;
  draining.start();
  while (HandleOneDatagram(receiver) && receivers_[receiver]->HasPendingData() &&
         draining.nsecsElapsed() < drain_budget_.count()) {
  }
}

bool RaceDataListener::HandleOneDatagram(int receiver) {
  UdpReceiver::Datagram datagram;  // this handling's own buffer
  if (!receivers_[receiver]->Receive(datagram)) {
    return false;
  }
  Take(receiver, datagram.sender, std::string_view(datagram.bytes, datagram.size));
  return true;
}

void RaceDataListener::Take(int receiver, const std::string& sender, std::string_view bytes) {
  // The record is the datagram's bytes up to its first zero byte. Nothing
  // runs the event loop while it is handled, so the listening address is
  // the same before and after the dispatch: it is asked once.
  const std::string text(bytes.data(), strnlen(bytes.data(), bytes.size()));
  const bool accepted = address_.Accepts(sender);
  if (accepted) {
    RecordDispatcher& dispatcher = held_for_ != nullptr ? *held_for_ : dispatcher_;
    const WriteReport written = dispatcher.DispatchRecord(text);
    for (DispatchObserver* observer : dispatch_observers_) {
      observer->RecordDispatched(written, dispatcher.Data());
    }
    log_.AddLine(sender + ">" + text);
  } else {
    log_.AddLine(IgnoredLine(sender));
  }
  for (DatagramObserver* observer : observers_) {
    observer->DatagramTaken(receiver, sender, bytes, accepted);
  }
}
