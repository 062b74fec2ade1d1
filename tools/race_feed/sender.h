// A UDP socket that sends records to one IPv4 address and port.
#pragma once

#include <netinet/in.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace race_feed {

// A dotted IPv4 address, or a name looked up for IPv4 only. Text made of
// digits and dots is read as an address and never looked up, so a mistyped
// address fails here and goes nowhere.
std::optional<in_addr> ResolveIPv4(const std::string& host, std::string& error);

// The IPv4 addresses of this machine's interfaces, dotted.
std::vector<std::string> OwnIPv4Addresses();

// Whether a datagram can go from `sender`: an address in 127.0.0.0/8 (which
// the loopback interface has whole; only towards a loopback `host`) or one
// of `own`.
bool CanSendFrom(const std::string& sender, const std::string& host,
                 const std::vector<std::string>& own);

struct Destination {
  std::string host = "127.0.0.1";
  int port = 29105;
  bool broadcast = false;
  std::string source;  // bound before sending when not empty
};

class Sender {
 public:
  // Null, with `error` set, when the socket cannot be set up.
  static std::unique_ptr<Sender> Open(const Destination& destination, std::string& error);
  ~Sender();
  Sender(const Sender&) = delete;
  Sender& operator=(const Sender&) = delete;

  // One datagram; false, with `error` set, when it was not sent whole.
  bool Send(std::string_view record, std::string& error);

  const std::string& Describe() const { return description_; }  // "host:port"

 private:
  Sender(int socket, const sockaddr_in& to, std::string description);

  int socket_;
  sockaddr_in to_;
  std::string description_;
};

}  // namespace race_feed
