// Where the relay's broker is and how to reach it: the BROKER URL and the
// options that go with it, shared by race-feed and the screen.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace relay {

enum class Role { kPublish, kSubscribe };

inline constexpr std::string_view kDefaultTopic = "orvane/feed";
// A minute of a 1,000 records a second feed. libmosquitto numbers the
// messages it holds with 16 bits, so the queue stays below 65,535.
inline constexpr std::size_t kDefaultQueueLimit = 60'000;

struct BrokerOptions {
  bool tls = false;  // mqtts://
  std::string user;  // empty: none
  std::string host;
  int port = 1883;
  std::string topic{kDefaultTopic};
  std::string cafile;         // mqtts: the CA of the broker's certificate; empty: the system's
  std::string password_file;  // its first line is the password
  std::size_t queue_limit = kDefaultQueueLimit;

  // "mqtts://alice@broker.example:8883", never with a password.
  std::string Url() const;
};

// "mqtt://[USER@]HOST[:PORT]" (port 1883) or "mqtts://[USER@]HOST[:PORT]"
// (8883, TLS). False, with `error` set, when `url` is neither.
bool ParseBrokerUrl(std::string_view url, BrokerOptions& options, std::string& error);

// The options that follow BROKER on a command line.
bool IsBrokerOption(std::string_view name);  // --topic, --cafile, --password-file
// Stores one of them; an error message when its value cannot be used.
std::string SetBrokerOption(BrokerOptions& options, std::string_view name,
                            const std::string& value);

// What makes options that parsed one by one unusable together: a CA file
// without TLS, a password without a user name. Empty when nothing does.
std::string BrokerOptionsProblem(const BrokerOptions& options);

// The first line of `path`, without its line end.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error);

}  // namespace relay
