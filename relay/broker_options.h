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
// The longest first line a password file may have.
inline constexpr std::size_t kMaxPasswordBytes = 4096;
inline constexpr int kMaxDelaySeconds = 600;

struct BrokerOptions {
  bool tls = false;  // mqtts://
  std::string user;  // empty: none
  std::string host;
  int port = 1883;
  std::string topic{kDefaultTopic};
  std::string cafile;         // mqtts: the CA of the broker's certificate; empty: the system's
  std::string password_file;  // its first line is the password
  // A password may cross the network in clear (mqtt://); without it a
  // password file goes only with mqtts://.
  bool allow_plain_password = false;
  std::size_t queue_limit = kDefaultQueueLimit;
  // Subscriber: how far behind the venue's receive time records are handed
  // on, 0 to kMaxDelaySeconds.
  int delay_s = 0;
  // Publisher: the venue's start list (CSV), for the browser's rider cards;
  // empty: none.
  std::string start_list;

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
// without TLS, a password without a user name, a password over mqtt://
// without allow_plain_password. Empty when nothing does.
std::string BrokerOptionsProblem(const BrokerOptions& options);

// The first line of `path`, without its line end. Refused, with `error`
// set in one line: a file that is missing or unreadable, that is not a
// regular file (a FIFO or a device is never waited on), that its owner's
// group or others may read or write (as ssh does with keys), whose first
// line is empty, holds a zero byte or is longer than kMaxPasswordBytes.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error);

// Why the options' password file cannot be used (see ReadPasswordFile);
// empty when there is none or it can. Command lines ask it before anything
// starts, so a bad file ends the start like any other bad value.
std::string PasswordFileProblem(const BrokerOptions& options);

}  // namespace relay
