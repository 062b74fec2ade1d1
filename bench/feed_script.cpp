// Writes a race-feed replay script: the demo's records in their flood order,
// only those of the families named by --only (all when none is named) and
// without those named by --without, at --rate records a second
// (whole-millisecond delays, so several records share a millisecond at high
// rates), --count records in all. With --heading-every N, record 0, N, 2N
// ... is one of the demo's scratch heat headings ("{scratch}+{title}...")
// and the records between are the rest of the pool, without headings. This
// is how one race-feed sends a feed that no single flood family gives.
//
//   feed_script --without scratch --rate 20000 --count 60000 > feed.txt
//   feed_script --only scratch --heading-every 25 --rate 2000 --count 6000 > feed.txt
//   race-feed replay feed.txt --port P
#include "tools/race_feed/demo.h"
#include "tools/race_feed/records.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool IsHeading(const std::string& record) {
  return race_feed::FamilyOf(record) == race_feed::Family::kScratch &&
         record.find("{title}") != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<race_feed::Family> only;
  std::vector<race_feed::Family> without;
  double rate = 1000;
  std::int64_t count = 1000;
  std::int64_t heading_every = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const std::string value = argv[i + 1];
    if (key == "--without" || key == "--only") {
      const auto family = race_feed::FamilyNamed(value);
      if (!family) {
        std::fprintf(stderr, "feed_script: unknown family %s\n", value.c_str());
        return 2;
      }
      (key == "--only" ? only : without).push_back(*family);
    } else if (key == "--rate") {
      rate = std::strtod(value.c_str(), nullptr);
    } else if (key == "--count") {
      count = std::strtoll(value.c_str(), nullptr, 10);
    } else if (key == "--heading-every") {
      heading_every = std::strtoll(value.c_str(), nullptr, 10);
    } else {
      std::fprintf(stderr,
                   "usage: feed_script [--only FAMILY]... [--without FAMILY]... [--rate N] "
                   "[--count M] [--heading-every N]\n");
      return 2;
    }
  }
  if (rate <= 0 || count <= 0 || heading_every < 0) {
    std::fprintf(stderr, "feed_script: --rate and --count must be positive\n");
    return 2;
  }
  std::vector<std::string> headings;
  std::vector<std::string> pool;
  for (std::string& record : race_feed::FloodPool(race_feed::Family::kMixed)) {
    const auto family = race_feed::FamilyOf(record);
    const auto named = [&](const std::vector<race_feed::Family>& families) {
      return family && std::find(families.begin(), families.end(), *family) != families.end();
    };
    if ((!only.empty() && !named(only)) || named(without)) {
      continue;
    }
    if (heading_every > 0 && IsHeading(record)) {
      headings.push_back(std::move(record));
    } else {
      pool.push_back(std::move(record));
    }
  }
  if (pool.empty() || (heading_every > 0 && headings.empty())) {
    std::fprintf(stderr, "feed_script: no records left\n");
    return 1;
  }
  std::int64_t due_ms = 0;
  std::size_t next_heading = 0;
  std::size_t next_record = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const auto next_due = static_cast<std::int64_t>(static_cast<double>(i) * 1000.0 / rate);
    const std::string* record = nullptr;
    if (heading_every > 0 && i % heading_every == 0) {
      record = &headings[next_heading++ % headings.size()];
    } else {
      record = &pool[next_record++ % pool.size()];
    }
    std::printf("%lld\t%s\n", static_cast<long long>(next_due - due_ms), record->c_str());
    due_ms = next_due;
  }
  return 0;
}
