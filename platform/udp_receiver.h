// One IPv4 UDP receiver: bound to 0.0.0.0 and a port with address reuse,
// pending data reported on the event loop's thread, one datagram received at
// a time into the caller's buffer with the sender's dotted address.
#pragma once

#include <QObject>

#include <cstddef>
#include <string>

class QSocketNotifier;

class UdpReceiver : public QObject {
  Q_OBJECT

 public:
  static constexpr std::size_t kDatagramCapacity = 1024;

  // What one receive delivers; each handling owns its own.
  struct Datagram {
    char bytes[kDatagramCapacity];
    std::size_t size = 0;
    std::string sender;  // dotted decimal, e.g. "10.0.0.5"
  };

  explicit UdpReceiver(QObject* parent = nullptr);
  ~UdpReceiver() override;

  // Port 0 binds an ephemeral port (tests). Returns false and stays closed
  // when any step fails.
  bool Open(quint16 port);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // The port bound, 0 while closed.
  quint16 LocalPort() const { return local_port_; }

  // Receives one datagram. False when nothing was pending, the receive failed,
  // or the datagram was longer than kDatagramCapacity (then it is discarded).
  bool Receive(Datagram& out);
  bool HasPendingData() const;

  // The kernel's receive buffer for this socket, in bytes as the kernel
  // reports it (it doubles the request for bookkeeping).
  int ReceiveBufferSize() const;

 signals:
  void DataAvailable();

 private:
  int fd_ = -1;
  quint16 local_port_ = 0;
  QSocketNotifier* notifier_ = nullptr;
};
