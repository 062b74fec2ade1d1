// The history's cost: a 1,000,000-datagram session of every family taken
// in (time per datagram, memory held), then jumps to random moments, each
// the nearest checkpoint plus the records after it and a copy into screen
// data (what the screens get). Prints KEY=value lines.
//
//   history_bench [DATAGRAMS [JUMPS]]
#include "bench/percentile.h"
#include "history/session_history.h"
#include "records/screen_data_snapshot.h"
#include "session_generator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long RssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      return std::strtol(line.c_str() + 6, nullptr, 10);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const long datagrams = argc > 1 ? std::atol(argv[1]) : 1'000'000;
  const int jumps = argc > 2 ? std::atoi(argv[2]) : 1000;

  SessionGenerator generator(11);
  std::vector<GeneratedDatagram> session;
  session.reserve(static_cast<std::size_t>(datagrams));
  std::size_t bytes = 0;
  for (long i = 0; i < datagrams; ++i) {
    session.push_back(generator.Next());
    bytes += session.back().bytes.size();
  }

  const long rss_before = RssKb();
  SessionHistory history;
  const Clock::time_point start = Clock::now();
  for (const GeneratedDatagram& d : session) {
    history.Add(d.time_ms, d.receiver, d.sender, d.bytes, d.accepted);
  }
  const double add_ms = Ms(Clock::now() - start);
  const long rss_after = RssKb();

  std::mt19937 random(3);
  std::uniform_int_distribution<std::uint64_t> pick(history.Begin(), history.End());
  ScreenData shown;
  std::vector<double> jump_ms;
  for (int i = 0; i < jumps; ++i) {
    const std::uint64_t moment = pick(random);
    const Clock::time_point jump_start = Clock::now();
    history.ScreensAt(moment).cells.RestoreInto(shown);
    jump_ms.push_back(Ms(Clock::now() - jump_start));
  }

  std::printf("datagrams=%ld kept=%llu datagram_bytes_mean=%.1f\n", datagrams,
              static_cast<unsigned long long>(history.End() - history.Begin()),
              static_cast<double>(bytes) / static_cast<double>(datagrams));
  std::printf("add_us_per_datagram=%.2f\n", add_ms * 1000 / static_cast<double>(datagrams));
  std::printf("memory_counted_mb=%.1f rss_growth_mb=%.1f\n",
              static_cast<double>(history.MemoryBytes()) / 1e6,
              static_cast<double>(rss_after - rss_before) / 1e3);
  std::printf("jumps=%d jump_ms_p50=%.2f jump_ms_p99=%.2f jump_ms_max=%.2f\n", jumps,
              Percentile(jump_ms, 0.5), Percentile(jump_ms, 0.99),
              *std::max_element(jump_ms.begin(), jump_ms.end()));
  return 0;
}
