// race-feed publish and subscribe: the two ends of the remote commentary
// relay through an MQTT broker. Both run until SIGINT or SIGTERM.
#pragma once

#include <ostream>

#include "tools/race_feed/options.h"

namespace race_feed {

// Takes records in on UDP `options.ports`, as the screen does (1024 bytes
// at most, a longer datagram dropped whole), and publishes each.
int RunPublish(const Options& options, std::ostream& err);

// Sends each record from the broker to `options.host`: to the first of
// `options.ports` when it came to the venue's first port, else the second.
int RunSubscribe(const Options& options, std::ostream& err);

}  // namespace race_feed
