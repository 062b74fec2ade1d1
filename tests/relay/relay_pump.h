// Drives relay ends with poll() in a test, as race-feed does.
#pragma once

#include <poll.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <vector>

#include "relay/relay.h"

// One round: waits up to `wait_ms` for any socket, then lets each end
// handle what came, keep time and hand on its records.
inline void PumpOnce(const std::vector<relay::Relay*>& ends, int wait_ms = 10) {
  std::vector<pollfd> watched;
  for (relay::Relay* relay : ends) {
    const int fd = relay->Socket();
    watched.push_back(
        {fd, static_cast<short>(fd < 0 ? 0 : POLLIN | (relay->WantsWrite() ? POLLOUT : 0)), 0});
  }
  poll(watched.data(), watched.size(), wait_ms);
  for (std::size_t i = 0; i < ends.size(); ++i) {
    relay::Relay& relay = *ends[i];
    if (watched[i].fd >= 0 && watched[i].fd == relay.Socket()) {
      if ((watched[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
        relay.HandleReadable();
      }
      if ((watched[i].revents & POLLOUT) != 0 && relay.Socket() == watched[i].fd) {
        relay.HandleWritable();
      }
    }
    relay.Tick();
    relay.DeliverPending();
  }
}

// Runs `relays` until `done` holds (true) or `timeout` passes (false).
inline bool PumpUntil(std::initializer_list<relay::Relay*> relays,
                      const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  const std::vector<relay::Relay*> ends(relays);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    PumpOnce(ends);
  }
  return true;
}

// Runs `relays` for `period` whatever happens.
inline void PumpFor(std::initializer_list<relay::Relay*> relays, std::chrono::milliseconds period) {
  const auto end = std::chrono::steady_clock::now() + period;
  PumpUntil(
      relays, [&] { return std::chrono::steady_clock::now() > end; }, period * 2);
}
