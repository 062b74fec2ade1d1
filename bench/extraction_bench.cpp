// Cost of reading one record's tags, per family, by the plain search of the
// free functions and through a RecordTags index built for the record, against
// one memchr pass over the same record as the floor, and a memchr walk from
// brace to brace for comparison.
#include "records/record_text.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string TimeTrialUpdate() {
  std::string record =
      "{tt}+{tick-hit}1{crs}0{stack}0{name}21 PRZYBYLSKI Anna (POL){time}2:22.035{diff}-0.412"
      "{rank}2{spdk}54.3 km/h{ltg}7 laps{dist}2250 m";
  for (int lap = 1; lap <= 41; ++lap) {
    record += NumberedTag("{ltg", lap) + std::to_string(lap <= 16 ? 16 - lap : 0);
  }
  return record;
}

const std::string kPointsRace =
    "{ptsrace}+{standings}4{rnk}5{bib}39{name}KOWALSKI P{status}{pts}23{laps}+1{vics}2{secs}1"
    "{final}7{sprint}3{sname}Sprint 4 - Lap 40{name1}18 DE VRIES M{pts1}5{name2}11 HOFFMANN K"
    "{pts2}3{name3}46 DUBOIS A{pts3}2{name4}25 O'NEILL S{pts4}1{name5}53 ROSSI G{pts5}0";
const std::string kScratch =
    "{scratch}+{list}6{rank}7{bib}19{name}VIGIER Sebastien{nat}FRA{status}{laps}1";
const std::string kQuickText =
    "{qdtype}+{data},NEXT: WOMEN'S SPRINT,QUARTER FINALS,HEAT 1  12 DOE v 7 ROE,"
    "HEAT 2  31 POE v 4 LOE,,START 14:05,,TRACK OPEN,";

// The tags DispatchRecord and each family read, in their order.
void DispatchFlags(const std::string& text) {
  for (const char* flag :
       {"{heartbeat}", "{scratch}", "{qdtype}", "{sprintf}", "{ptsrace}", "{tt}"}) {
    benchmark::DoNotOptimize(FlagSet(flag, text));
  }
}

void ReadTimeTrialUpdate(const std::string& text) {
  DispatchFlags(text);
  benchmark::DoNotOptimize(FlagSet("{clr}", text));
  benchmark::DoNotOptimize(FlagSet("{clr_racers}", text));
  benchmark::DoNotOptimize(HasValue("{standings}", text));
  benchmark::DoNotOptimize(HasValue("{tick-hit}", text));
  for (const char* tag :
       {"{crs}", "{stack}", "{name}", "{time}", "{diff}", "{rank}", "{spdk}", "{ltg}", "{dist}"}) {
    benchmark::DoNotOptimize(TagValue(tag, text));
  }
  for (int lap = 1; lap <= 41; ++lap) {
    benchmark::DoNotOptimize(TagValue(NumberedTag("{ltg", lap), text));
  }
}

void ReadPointsRace(const std::string& text) {
  DispatchFlags(text);
  benchmark::DoNotOptimize(FlagSet("{clr}", text));
  benchmark::DoNotOptimize(ReadInteger(TagValue("{standings}", text)));
  for (const char* tag : {"{rnk}", "{bib}", "{name}", "{status}", "{pts}", "{laps}", "{vics}",
                          "{secs}", "{final}", "{sname}"}) {
    benchmark::DoNotOptimize(TagValue(tag, text));
  }
  benchmark::DoNotOptimize(ReadInteger(TagValue("{sprint}", text)));
  for (int rider = 1; rider <= 5; ++rider) {
    benchmark::DoNotOptimize(TagValue(NumberedTag("{name", rider), text));
    benchmark::DoNotOptimize(TagValue(NumberedTag("{pts", rider), text));
  }
}

void ReadScratch(const std::string& text) {
  DispatchFlags(text);
  benchmark::DoNotOptimize(FlagSet("{clr}", text));
  benchmark::DoNotOptimize(TagOccurs("{title}", text));
  benchmark::DoNotOptimize(ReadInteger(TagValue("{list}", text)));
  for (const char* tag : {"{rank}", "{bib}", "{name}", "{nat}", "{status}", "{laps}"}) {
    benchmark::DoNotOptimize(TagValue(tag, text));
  }
}

void ReadQuickText(const std::string& text) {
  DispatchFlags(text);
  for (int field = 2; field <= 9; ++field) {
    benchmark::DoNotOptimize(CommaField(field, text));
  }
}

// The same readings through the index, built once per record as
// DispatchRecord does; values stay views, as the handlers write them.
void IndexedDispatchFlags(const RecordTags& record) {
  for (const char* flag :
       {"{heartbeat}", "{scratch}", "{qdtype}", "{sprintf}", "{ptsrace}", "{tt}"}) {
    benchmark::DoNotOptimize(record.Flag(flag));
  }
}

void IndexedReadTimeTrialUpdate(const std::string& text) {
  const RecordTags record(text);
  IndexedDispatchFlags(record);
  benchmark::DoNotOptimize(record.Flag("{clr}"));
  benchmark::DoNotOptimize(record.Flag("{clr_racers}"));
  benchmark::DoNotOptimize(record.Has("{standings}"));
  benchmark::DoNotOptimize(record.Has("{tick-hit}"));
  for (const char* tag :
       {"{crs}", "{stack}", "{name}", "{time}", "{diff}", "{rank}", "{spdk}", "{ltg}", "{dist}"}) {
    benchmark::DoNotOptimize(record.Value(tag));
  }
  for (int lap = 1; lap <= 41; ++lap) {
    benchmark::DoNotOptimize(record.Value(NumberedTag("{ltg", lap)));
  }
}

void IndexedReadPointsRace(const std::string& text) {
  const RecordTags record(text);
  IndexedDispatchFlags(record);
  benchmark::DoNotOptimize(record.Flag("{clr}"));
  benchmark::DoNotOptimize(ReadInteger(record.Value("{standings}")));
  for (const char* tag : {"{rnk}", "{bib}", "{name}", "{status}", "{pts}", "{laps}", "{vics}",
                          "{secs}", "{final}", "{sname}"}) {
    benchmark::DoNotOptimize(record.Value(tag));
  }
  benchmark::DoNotOptimize(ReadInteger(record.Value("{sprint}")));
  for (int rider = 1; rider <= 5; ++rider) {
    benchmark::DoNotOptimize(record.Value(NumberedTag("{name", rider)));
    benchmark::DoNotOptimize(record.Value(NumberedTag("{pts", rider)));
  }
}

void IndexedReadScratch(const std::string& text) {
  const RecordTags record(text);
  IndexedDispatchFlags(record);
  benchmark::DoNotOptimize(record.Flag("{clr}"));
  benchmark::DoNotOptimize(record.Occurs("{title}"));
  benchmark::DoNotOptimize(ReadInteger(record.Value("{list}")));
  for (const char* tag : {"{rank}", "{bib}", "{name}", "{nat}", "{status}", "{laps}"}) {
    benchmark::DoNotOptimize(record.Value(tag));
  }
}

void IndexedReadQuickText(const std::string& text) {
  const RecordTags record(text);
  IndexedDispatchFlags(record);
  for (int field = 2; field <= 9; ++field) {
    benchmark::DoNotOptimize(CommaField(field, record.Text()));
  }
}

struct Family {
  const char* name;
  std::string record;
  void (*read)(const std::string&);
  void (*indexed_read)(const std::string&);
};

}  // namespace

int main(int argc, char** argv) {
  static const std::vector<Family> families = {
      {"time_trial_tick_hit", TimeTrialUpdate(), ReadTimeTrialUpdate, IndexedReadTimeTrialUpdate},
      {"points_race_line_and_sprint", kPointsRace, ReadPointsRace, IndexedReadPointsRace},
      {"scratch_competitor", kScratch, ReadScratch, IndexedReadScratch},
      {"quick_text", kQuickText, ReadQuickText, IndexedReadQuickText},
  };
  for (const Family& family : families) {
    const auto bytes = static_cast<int64_t>(family.record.size());
    benchmark::RegisterBenchmark((std::string("extract/") + family.name).c_str(),
                                 [&family, bytes](benchmark::State& state) {
                                   for (auto _ : state) {
                                     family.read(family.record);
                                   }
                                   state.SetBytesProcessed(state.iterations() * bytes);
                                 });
    benchmark::RegisterBenchmark((std::string("indexed/") + family.name).c_str(),
                                 [&family, bytes](benchmark::State& state) {
                                   for (auto _ : state) {
                                     family.indexed_read(family.record);
                                   }
                                   state.SetBytesProcessed(state.iterations() * bytes);
                                 });
    // One pass over the record: the least any reading of it can cost.
    benchmark::RegisterBenchmark(
        (std::string("memchr_floor/") + family.name).c_str(),
        [&family, bytes](benchmark::State& state) {
          for (auto _ : state) {
            benchmark::DoNotOptimize(std::memchr(family.record.data(), 0, family.record.size()));
          }
          state.SetBytesProcessed(state.iterations() * bytes);
        });
    // memchr from each "{" to the next: every tag reading has to find them.
    benchmark::RegisterBenchmark(
        (std::string("brace_pass/") + family.name).c_str(),
        [&family, bytes](benchmark::State& state) {
          for (auto _ : state) {
            const char* at = family.record.data();
            const char* const end = at + family.record.size();
            int braces = 0;
            while ((at = static_cast<const char*>(std::memchr(at, '{', end - at))) != nullptr) {
              ++braces;
              ++at;
            }
            benchmark::DoNotOptimize(braces);
          }
          state.SetBytesProcessed(state.iterations() * bytes);
        });
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
