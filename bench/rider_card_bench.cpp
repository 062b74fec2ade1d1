// Opening a rider card with a long session behind it: the demo session's
// records dispatched through the record rules again and again up to
// 1,000,000 records, each report handed to the rider facts as the live
// listener does; then the time to build one card's "today so far" list
// (every entry under the rider's bib and start-list names, newest first,
// as the text the card shows). Also the facts' own cost per record.
#include "records/dispatch.h"
#include "riders/rider_facts.h"
#include "riders/start_list.h"
#include "session/session_format.h"

#include <QString>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

class NoWindow : public ScreenWindow {
 public:
  void ShowAndRaise() override {}
  void DrawPending() override {}
};

class NoLog : public TrafficLog {
 public:
  bool Shown() const override { return true; }
  void AddLine(std::string_view) override {}
};

constexpr std::uint64_t kRecords = 1000000;

struct Session {
  ScreenData data;
  NoWindow window;
  NoLog log;
  RecordDispatcher dispatcher{data, {&window, &window, &window, &window, &window}, log};
  RiderFacts facts;
  std::optional<StartList> list;
  double dispatch_seconds = 0;
  double facts_seconds = 0;

  Session() {
    std::vector<std::string> records;
    std::ifstream file(DEMO_SESSION);
    std::string line;
    std::getline(file, line);
    while (std::getline(file, line)) {
      session::SessionEntry entry;
      std::string error;
      if (session::ParseSessionLine(line, entry, error)) {
        records.emplace_back(entry.bytes.data(), strnlen(entry.bytes.data(), entry.bytes.size()));
      }
    }
    using Clock = std::chrono::steady_clock;
    for (std::uint64_t n = 0; n < kRecords; ++n) {
      const auto start = Clock::now();
      const WriteReport written = dispatcher.DispatchRecord(records[n % records.size()]);
      const auto dispatched = Clock::now();
      facts.Take(written, data);
      const auto taken = Clock::now();
      dispatch_seconds += std::chrono::duration<double>(dispatched - start).count();
      facts_seconds += std::chrono::duration<double>(taken - dispatched).count();
    }
    StartListError error;
    list = StartList::Load(START_LIST, error);
  }
};

Session& TheSession() {
  static Session session;
  return session;
}

// What a card does when it opens: the keys, the entries, the text of each.
void BM_OpenCard(benchmark::State& state, const char* bib) {
  Session& session = TheSession();
  std::size_t entries = 0;
  for (auto _ : state) {
    std::vector<std::string> keys = {RiderFacts::BibKey(bib)};
    if (const StartListRider* rider = session.list->FindBib(QString::fromLatin1(bib))) {
      keys.push_back(RiderFacts::NameKey(rider->name));
      keys.push_back(RiderFacts::NameKey(rider->name + QLatin1Char(' ') + rider->nation));
    }
    const std::vector<RiderFact> facts = session.facts.Facts(keys);
    QList<QStringList> rows;
    rows.reserve(static_cast<qsizetype>(facts.size()));
    for (const RiderFact& f : facts) {
      rows.append({QString::fromLatin1(f.screen), QString::fromLatin1(f.heat),
                   QString::fromLatin1(f.place), QString::fromLatin1(f.points),
                   QString::fromLatin1(f.time), QString::fromLatin1(f.status)});
    }
    entries = facts.size();
    benchmark::DoNotOptimize(rows);
  }
  state.counters["entries"] = static_cast<double>(entries);
  state.counters["records"] = static_cast<double>(session.facts.Records());
  state.counters["facts_ns_per_record"] = session.facts_seconds * 1e9 / kRecords;
  state.counters["dispatch_ns_per_record"] = session.dispatch_seconds * 1e9 / kRecords;
}

BENCHMARK_CAPTURE(BM_OpenCard, points_rider_21, "21")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenCard, time_trial_rider_47, "47")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenCard, unknown_bib_99, "99")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
