// One IPv4 UDP receiver: bound to 0.0.0.0 and a port with address reuse,
// pending data reported on the event loop's thread, one datagram received at
// a time into the caller's buffer with the sender's dotted address, and the
// datagrams the kernel dropped because the receive buffer was full.
#pragma once

#include <QObject>

#include <cstddef>
#include <cstdint>
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

  // Datagrams the kernel dropped on this receiver's sockets since it was
  // made (a closed socket's count is kept). As told with the latest datagram
  // received: costs nothing, but drops after that datagram are not in it.
  std::uint64_t KernelDropsSeen() const { return drops_closed_ + drops_seen_; }
  // Asked of the socket now, so drops after the latest datagram count too.
  std::uint64_t KernelDrops() const;

 signals:
  void DataAvailable();

 private:
  int fd_ = -1;
  quint16 local_port_ = 0;
  std::uint32_t drops_seen_ = 0;    // the open socket's, as of its latest datagram
  std::uint64_t drops_closed_ = 0;  // sockets closed before
  QSocketNotifier* notifier_ = nullptr;
};
