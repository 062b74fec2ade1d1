// Writes a race-feed replay script: the demo's records in their flood order,
// without the families named by --without, at --rate records a second
// (whole-millisecond delays, so several records share a millisecond at high
// rates), --count records in all. This is how race-feed sends a mixed feed
// without scratch records from one process.
//
//   feed_script --without scratch --rate 20000 --count 60000 > feed.txt
//   race-feed replay feed.txt --port P
#include "tools/race_feed/demo.h"
#include "tools/race_feed/records.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::vector<race_feed::Family> without;
  double rate = 1000;
  std::int64_t count = 1000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const std::string value = argv[i + 1];
    if (key == "--without") {
      const auto family = race_feed::FamilyNamed(value);
      if (!family) {
        std::fprintf(stderr, "feed_script: unknown family %s\n", value.c_str());
        return 2;
      }
      without.push_back(*family);
    } else if (key == "--rate") {
      rate = std::strtod(value.c_str(), nullptr);
    } else if (key == "--count") {
      count = std::strtoll(value.c_str(), nullptr, 10);
    } else {
      std::fprintf(stderr, "usage: feed_script [--without FAMILY]... [--rate N] [--count M]\n");
      return 2;
    }
  }
  if (rate <= 0 || count <= 0) {
    std::fprintf(stderr, "feed_script: --rate and --count must be positive\n");
    return 2;
  }
  std::vector<std::string> pool;
  for (std::string& record : race_feed::FloodPool(race_feed::Family::kMixed)) {
    const auto family = race_feed::FamilyOf(record);
    bool keep = true;
    for (const race_feed::Family excluded : without) {
      keep = keep && family != excluded;
    }
    if (keep) {
      pool.push_back(std::move(record));
    }
  }
  if (pool.empty()) {
    std::fprintf(stderr, "feed_script: no records left\n");
    return 1;
  }
  std::int64_t due_ms = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const auto next_due = static_cast<std::int64_t>(static_cast<double>(i) * 1000.0 / rate);
    std::printf("%lld\t%s\n", static_cast<long long>(next_due - due_ms),
                pool[static_cast<std::size_t>(i) % pool.size()].c_str());
    due_ms = next_due;
  }
  return 0;
}
