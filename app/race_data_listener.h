// The race data listener: two UDP receivers (ports 29105 and 29104) that
// hand every accepted record to DispatchRecord and log every datagram.
//
// Records are handled one at a time, in the order they arrived, and no
// event loop runs inside a record's handling (a screen brought forward is
// drawn by a direct repaint).
//
// The receivers are our own (platform/udp_receiver), not QUdpSocket: a
// receive cycle may hand the event loop back with datagrams still queued
// (after its drain budget), and those must be reported again on the next
// loop pass without a new datagram arriving. Our notifier is level-triggered and stays armed;
// QUdpSocket never emits readyRead while its own handler runs and re-arms
// only as it sees fit. The receiver also recognises a datagram longer than
// 1024 bytes in the same call that discards it, and can take a receive
// buffer beyond the system's default cap.
#pragma once

#include <QObject>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ListeningAddress;
class RecordDispatcher;
struct ScreenData;
class TrafficLog;
class UdpReceiver;
class WriteReport;

// Sees every datagram the listener takes in, accepted or turned away, after
// it has been handled and logged.
class DatagramObserver {
 public:
  // `receiver` is 0 for the first port and 1 for the second; `bytes` is the
  // whole datagram, zero bytes included.
  virtual void DatagramTaken(int receiver, std::string_view sender, std::string_view bytes,
                             bool accepted) = 0;

 protected:
  ~DatagramObserver() = default;
};

// Hears what each live record wrote, right after its dispatch, and the data
// it wrote into: the screens' own, or while the screens show an earlier
// moment, the live data kept aside. Records dispatched by any other road
// (a look back in history, the catch-up on return to live) are not told.
class DispatchObserver {
 public:
  virtual void RecordDispatched(const WriteReport& written, const ScreenData& data) = 0;

 protected:
  ~DispatchObserver() = default;
};

struct ListenerPorts {
  quint16 first = 29105;
  quint16 second = 29104;
};

class RaceDataListener : public QObject {
  Q_OBJECT

 public:
  // A fast feed must not starve the event loop: after this long a receive
  // cycle leaves the rest of its queue to the notifier's next report.
  static constexpr std::chrono::nanoseconds kDrainBudget = std::chrono::milliseconds(5);

  RaceDataListener(ListenerPorts ports, const ListeningAddress& address,
                   RecordDispatcher& dispatcher, TrafficLog& log, QObject* parent = nullptr);
  ~RaceDataListener() override;

  // Opens each receiver that is not open yet; one that cannot be opened
  // stays closed without a message (ReceiversChanged tells it has been tried).
  void Open();
  void Close();

  void AddObserver(DatagramObserver* observer) { observers_.push_back(observer); }
  void RemoveObserver(DatagramObserver* observer);
  void AddDispatchObserver(DispatchObserver* observer) { dispatch_observers_.push_back(observer); }
  void RemoveDispatchObserver(DispatchObserver* observer);

  // A datagram that came by another road (a relay), taken as if `receiver`
  // had received it from `sender`.
  void Take(int receiver, const std::string& sender, std::string_view bytes);

  // The listening address each datagram is tested against.
  const ListeningAddress& Address() const { return address_; }
  quint16 Port(int receiver) const { return receiver == 0 ? ports_.first : ports_.second; }
  // The port each receiver is bound to (0 when closed), first then second.
  quint16 LocalPort(int receiver) const;
  int ReceiveBufferSize(int receiver) const;
  bool IsOpen(int receiver) const;
  // The receiver has been asked to open and could not.
  bool OpenFailed(int receiver) const { return opened_ && !IsOpen(receiver); }
  // Datagrams the kernel dropped for want of room, both ports summed: as
  // told with the latest datagrams (cheap), or asked of the sockets now.
  std::uint64_t KernelDropsSeen() const;
  std::uint64_t KernelDrops() const;

  void SetDrainBudget(std::chrono::nanoseconds budget) { drain_budget_ = budget; }
  // While the screens show an earlier moment, accepted records go to
  // `instead` (null: back to the screens' own dispatcher).
  void HoldDispatch(RecordDispatcher* instead) { held_for_ = instead; }

 signals:
  // After Open and Close: which receivers are open may have changed.
  void ReceiversChanged();

 private:
  void RunReceiveCycle(int receiver);
  bool HandleOneDatagram(int receiver);

  ListenerPorts ports_;
  const ListeningAddress& address_;
  RecordDispatcher& dispatcher_;
  TrafficLog& log_;
  UdpReceiver* receivers_[2];
  bool opened_ = false;  // Open has been asked for, and no Close since
  std::chrono::nanoseconds drain_budget_ = kDrainBudget;
  std::vector<DatagramObserver*> observers_;
  RecordDispatcher* held_for_ = nullptr;
  std::vector<DispatchObserver*> dispatch_observers_;
};
