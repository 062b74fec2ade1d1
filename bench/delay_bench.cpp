// The delay's accuracy, end to end: a venue relay publishes stamped records
// at a steady rate through a real mosquitto (started here, on loopback) to
// the program's own subscriber (CommentatorApp with --delay, offscreen),
// and the time each record is taken into the screen data is compared with
// the time it was meant for: the venue's receive time plus the delay.
// Prints KEY=value lines.
//
//   QT_QPA_PLATFORM=offscreen delay_bench [DELAY_S [RATE [SECONDS]]]
#include "app/commentator_app.h"
#include "app/main_window.h"
#include "app/race_data_listener.h"
#include "bench/percentile.h"
#include "broker_process.h"
#include "relay/message.h"
#include "relay/relay.h"
#include "relay_pump.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class Stamps : public DatagramObserver {
 public:
  void DatagramTaken(int, std::string_view, std::string_view bytes, bool) override {
    const auto at = bytes.find("{name}#");
    if (at != std::string_view::npos) {
      taken.emplace_back(std::stoul(std::string(bytes.substr(at + 7))), Clock::now());
    }
  }
  std::vector<std::pair<std::size_t, Clock::time_point>> taken;
};

bool Pump(relay::Relay& venue, const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout_ms) {
      return false;
    }
    PumpOnce({&venue}, 0);
    QApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const int delay_s = argc > 1 ? std::atoi(argv[1]) : 2;
  const int rate = argc > 2 ? std::atoi(argv[2]) : 100;
  const int seconds = argc > 3 ? std::atoi(argv[3]) : 20;

  BrokerProcess broker;
  if (!broker.Start()) {
    std::fprintf(stderr, "delay_bench: %s\n", broker.Error().c_str());
    return 1;
  }
  relay::BrokerOptions options;
  std::string error;
  relay::ParseBrokerUrl(broker.Url(), options, error);
  relay::Relay venue(options, relay::Role::kPublish);
  venue.Start();

  CommentatorApp app(ListenerPorts{0, 0});
  app.ShowMainWindow();
  Stamps stamps;
  app.Listener().AddObserver(&stamps);
  options.delay_s = delay_s;
  app.ConnectBroker(relay::Role::kSubscribe, options);
  const auto connected = [&] {
    return venue.Status().connection == relay::RelayStatus::Connection::kConnected;
  };
  if (!Pump(venue, connected, 10'000)) {
    std::fprintf(stderr, "delay_bench: no connection\n");
    return 1;
  }
  // The first record through shows the subscription is in place.
  const std::uint64_t lines = app.Main().TrafficLinesAdded();
  for (int tries = 0; app.Main().TrafficLinesAdded() == lines && tries < 10; ++tries) {
    venue.Publish(0, 0x7f000001, "{heartbeat}+", relay::NowMicroseconds());
    Pump(
        venue, [&] { return app.Main().TrafficLinesAdded() > lines; }, (delay_s + 1) * 1000);
  }

  const int count = rate * seconds;
  std::vector<Clock::time_point> sent(static_cast<std::size_t>(count));
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < count; ++i) {
    const Clock::time_point due = start + std::chrono::microseconds(1'000'000LL * i / rate);
    Pump(
        venue, [&] { return Clock::now() >= due; }, 60'000);
    sent[static_cast<std::size_t>(i)] = Clock::now();
    venue.Publish(0, 0x7f000001, "{tt}+{standings}0{name}#" + std::to_string(i),
                  relay::NowMicroseconds());
  }
  Pump(
      venue, [&] { return stamps.taken.size() >= static_cast<std::size_t>(count); },
      (delay_s + 10) * 1000);

  std::vector<double> late_ms;
  bool in_order = true;
  for (std::size_t k = 0; k < stamps.taken.size(); ++k) {
    const auto& [index, at] = stamps.taken[k];
    in_order = in_order && index == k;
    const Clock::time_point intended = sent[index] + std::chrono::seconds(delay_s);
    late_ms.push_back(std::chrono::duration<double, std::milli>(at - intended).count());
  }
  std::printf("delay_s=%d rate=%d records=%d taken=%zu in_order=%d\n", delay_s, rate, count,
              stamps.taken.size(), in_order ? 1 : 0);
  if (!late_ms.empty()) {
    std::printf("shown_minus_intended_ms_min=%.2f p50=%.2f p99=%.2f max=%.2f\n",
                *std::min_element(late_ms.begin(), late_ms.end()), Percentile(late_ms, 0.5),
                Percentile(late_ms, 0.99), *std::max_element(late_ms.begin(), late_ms.end()));
  }
  app.Listener().RemoveObserver(&stamps);
  return stamps.taken.size() == static_cast<std::size_t>(count) && in_order ? 0 : 1;
}
