#include "tools/race_feed/demo.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace race_feed {

namespace {

constexpr std::uint64_t kSeed = 0x0badcafe2024ULL;
constexpr std::int64_t kHeartbeatEveryMs = 5000;
constexpr int kTrackMetres = 250;

struct Rider {
  int bib;
  std::string_view name;
  std::string_view nation;
};

constexpr Rider kRiders[] = {
    {11, "T. ANDERSEN", "DEN"},   {12, "M. VAN DIJKHUIS", "NED"}, {14, "L. FERRANTI", "ITA"},
    {15, "J. KOWALCZYK", "POL"},  {17, "R. OKAFOR", "GBR"},       {18, "K. TANAKA", "JPN"},
    {21, "S. MUELLER", "GER"},    {22, "A. DUBREUIL", "FRA"},     {23, "P. NOVAK", "CZE"},
    {25, "D. MCALLISTER", "AUS"}, {26, "E. SANDOVAL", "COL"},     {27, "H. LINDQVIST", "SWE"},
    {31, "C. O'BRIEN", "IRL"},    {32, "N. HOFSTETTER", "SUI"},   {33, "B. RAMIREZ", "ESP"},
    {34, "I. PETRENKO", "UKR"},   {36, "G. VERBRUGGEN", "BEL"},   {37, "F. CARVALHO", "POR"},
    {41, "W. THOMPSON", "NZL"},   {42, "Y. NAKAMURA", "JPN"},     {43, "O. BRANDT", "GER"},
    {45, "V. MORETTI", "ITA"},    {46, "Z. HORVATH", "HUN"},      {47, "L. MARTENS", "BEL"},
    {51, "J. WALSH", "CAN"},      {52, "A. KRISTIANSEN", "NOR"},  {53, "M. GARCIA", "MEX"},
    {55, "T. SCHULZ", "AUT"},     {56, "D. LEBLANC", "CAN"},      {57, "R. SILVA", "BRA"},
    {61, "K. PARK", "KOR"},       {62, "E. FISCHER", "GER"},
};

// splitmix64: tiny, and the same sequence on every platform.
class Prng {
 public:
  explicit Prng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  int Between(int low, int high) { return low + Below(high - low + 1); }
  // Favours the front of a list ordered strongest first.
  int Favoured(int n) { return std::min(Below(n), Below(n)); }

  template <typename T>
  void Shuffle(std::vector<T>& items) {
    for (std::size_t i = items.size(); i > 1; --i) {
      std::swap(items[i - 1], items[static_cast<std::size_t>(Below(static_cast<int>(i)))]);
    }
  }

 private:
  std::uint64_t state_;
};

std::vector<const Rider*> DrawField(Prng& rng, int size) {
  std::vector<const Rider*> all;
  for (const Rider& rider : kRiders) {
    all.push_back(&rider);
  }
  rng.Shuffle(all);
  all.resize(static_cast<std::size_t>(size));
  return all;
}

std::string Label(const Rider& rider) {
  return std::to_string(rider.bib) + " " + std::string(rider.name);
}

// "1:04.512" from a minute on, "12.345" below, with `decimals` (1..3) places.
std::string Clock(std::int64_t ms, int decimals) {
  const int scale = decimals == 1 ? 10 : decimals == 2 ? 100 : 1000;
  const std::int64_t ticks = (ms * scale + 500) / 1000;
  const std::int64_t seconds = ticks / scale;
  const int fraction = static_cast<int>(ticks % scale);
  char text[48];
  if (seconds >= 60) {
    std::snprintf(text, sizeof text, "%lld:%02lld.%0*d", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60), decimals, fraction);
  } else {
    std::snprintf(text, sizeof text, "%lld.%0*d", static_cast<long long>(seconds), decimals,
                  fraction);
  }
  return text;
}

std::string SignedClock(std::int64_t ms, int decimals) {
  std::string text(ms < 0 ? "-" : "+");
  text += Clock(std::llabs(ms), decimals);
  return text;
}

std::string Fixed2(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

double Kmh(int metres, std::int64_t ms) {
  return metres * 3600.0 / static_cast<double>(ms);
}

constexpr double kKmPerMile = 1.609344;

// One record: the family flag, then tags in the order they are added.
class RecordText {
 public:
  explicit RecordText(std::string_view family) : text_("{" + std::string(family) + "}+") {}
  RecordText& Tag(std::string_view tag, std::string_view value) {
    text_ += '{';
    text_ += tag;
    text_ += '}';
    text_ += value;
    return *this;
  }
  RecordText& Tag(std::string_view tag, int value) { return Tag(tag, std::to_string(value)); }
  RecordText& Tag(std::string_view tag, int index, std::string_view value) {
    return Tag(std::string(tag) + std::to_string(index), value);
  }
  std::string Text() const { return text_; }

 private:
  std::string text_;
};

std::string QuickText(std::initializer_list<std::string_view> lines) {
  std::string text = "{qdtype}+{data},";
  for (std::string_view line : lines) {
    text += line;
    text += ',';
  }
  return text;
}

// Records on a clock of their own; heartbeats are woven in at the end.
class Timeline {
 public:
  void Wait(std::int64_t ms) { now_ += ms; }
  std::int64_t Now() const { return now_; }
  void Send(std::string record) { SendAt(now_, std::move(record)); }
  void SendAt(std::int64_t at, std::string record) {
    events_.emplace_back(at, std::move(record));
    now_ = std::max(now_, at);
  }

  std::vector<TimedRecord> WithHeartbeats() {
    std::vector<std::pair<std::int64_t, std::string>> all;
    for (std::int64_t at = 0; at <= now_; at += kHeartbeatEveryMs) {
      all.emplace_back(at, "{heartbeat}+");
    }
    all.insert(all.end(), events_.begin(), events_.end());
    std::stable_sort(all.begin(), all.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TimedRecord> records;
    std::int64_t previous = 0;
    for (auto& [at, record] : all) {
      records.push_back({at - previous, std::move(record)});
      previous = at;
    }
    return records;
  }

 private:
  std::int64_t now_ = 0;
  std::vector<std::pair<std::int64_t, std::string>> events_;
};

// ---- Scratch and keirin: a bunch on the road, sent whole each update ----

struct Racer {
  const Rider* rider = nullptr;
  int lap_balance = 0;  // laps gained (+) or lost (-) on the bunch
  bool out = false;     // abandoned
  bool relegated = false;
  int laps_at_exit = 0;
  std::string status;
};

// Standings: riders in the race first, a lap up ahead of the bunch, the
// relegated behind it; road order otherwise.
std::vector<Racer> Standings(std::vector<Racer> road) {
  std::stable_sort(road.begin(), road.end(), [](const Racer& a, const Racer& b) {
    if (a.out != b.out)
      return !a.out;
    if (a.relegated != b.relegated)
      return !a.relegated;
    return a.lap_balance > b.lap_balance;
  });
  return road;
}

// The first racer from `index` on, wrapping round, still in the race on
// the bunch's lap: the one an event happens to.
Racer& InTheBunch(std::vector<Racer>& road, int index) {
  for (std::size_t i = 0; i < road.size(); ++i) {
    Racer& racer = road[(static_cast<std::size_t>(index) + i) % road.size()];
    if (!racer.out && !racer.relegated && racer.lap_balance == 0) {
      return racer;
    }
  }
  return road[static_cast<std::size_t>(index)];
}

void ShuffleBunch(std::vector<Racer>& road, Prng& rng, int swaps) {
  for (int i = 0; i < swaps; ++i) {
    const std::size_t at = static_cast<std::size_t>(rng.Below(static_cast<int>(road.size()) - 1));
    std::swap(road[at], road[at + 1]);
  }
}

std::string Heading(std::string_view title, std::string_view time, std::string_view speed) {
  return RecordText("scratch").Tag("title", title).Tag("time", time).Tag("spd", speed).Text();
}

// A heading clears the competitor list, so the whole list follows it.
void SendBunch(Timeline& timeline, const std::vector<Racer>& road, int laps_done, bool ranked) {
  const std::vector<Racer> standings = Standings(road);
  for (std::size_t i = 0; i < standings.size(); ++i) {
    const Racer& racer = standings[i];
    const int laps = racer.out ? racer.laps_at_exit : laps_done + racer.lap_balance;
    timeline.Wait(40);
    timeline.Send(RecordText("scratch")
                      .Tag("list", static_cast<int>(i))
                      .Tag("rank", ranked && !racer.out ? std::to_string(i + 1) : "")
                      .Tag("bib", racer.rider->bib)
                      .Tag("name", racer.rider->name)
                      .Tag("nat", racer.rider->nation)
                      .Tag("status", racer.status)
                      .Tag("laps", std::to_string(laps))
                      .Text());
  }
}

std::vector<Racer> Bunch(const std::vector<const Rider*>& field) {
  std::vector<Racer> road;
  for (const Rider* rider : field) {
    Racer racer;
    racer.rider = rider;
    road.push_back(racer);
  }
  return road;
}

std::string Winner(const std::vector<Racer>& road) {
  return "WINNER: " + Label(*Standings(road).front().rider);
}

std::string KeirinHeat(Timeline& timeline, Prng& rng) {
  constexpr std::string_view kTitle = "MEN'S KEIRIN ROUND 1 - HEAT 2";
  constexpr int kLaps = 6;
  std::vector<Racer> road = Bunch(DrawField(rng, 7));
  timeline.Send(RecordText("scratch").Tag("clr", "+").Text());
  timeline.Wait(500);
  timeline.Send(Heading(kTitle, "", ""));
  SendBunch(timeline, road, 0, false);
  for (int lap = 1; lap <= kLaps; ++lap) {
    timeline.Wait(3000);
    // Behind the derny the order holds; it breaks up once it pulls off.
    ShuffleBunch(road, rng, lap <= 3 ? 1 : 4);
    if (lap == 5) {
      Racer& crashed = InTheBunch(road, rng.Between(3, 6));
      crashed.out = true;
      crashed.laps_at_exit = 4;
      crashed.status = "DNF";
    }
    if (lap < kLaps) {
      timeline.Send(Heading(kTitle, "", ""));
      SendBunch(timeline, road, lap, false);
    }
  }
  Racer& blocker = InTheBunch(road, 1);
  blocker.relegated = true;
  blocker.status = "REL";
  const std::int64_t last_200 = rng.Between(10050, 10600);
  timeline.Send(Heading(kTitle, Clock(last_200, 3), Fixed2(Kmh(200, last_200))));
  SendBunch(timeline, road, kLaps, true);
  return Winner(road);
}

std::string ScratchRace(Timeline& timeline, Prng& rng) {
  constexpr std::string_view kTitle = "MEN'S SCRATCH 15 KM - 60 LAPS";
  constexpr int kLaps = 60;
  constexpr int kLapsPerUpdate = 5;
  std::vector<Racer> road = Bunch(DrawField(rng, 24));
  auto gains_lap = [&](int index) {
    Racer& racer = InTheBunch(road, index);
    racer.lap_balance = 1;
    racer.status = "+1 LAP";
  };
  auto abandons = [](Racer& racer, int lap) {
    racer.out = true;
    racer.laps_at_exit = lap + racer.lap_balance;
    racer.status = "DNF";
  };
  timeline.Send(RecordText("scratch").Tag("clr", "+").Text());
  timeline.Wait(500);
  timeline.Send(Heading(kTitle, "0:00.0", ""));
  SendBunch(timeline, road, 0, false);

  std::int64_t elapsed = 0;
  for (int lap = kLapsPerUpdate; lap <= kLaps; lap += kLapsPerUpdate) {
    for (int i = 0; i < kLapsPerUpdate; ++i) {
      elapsed += rng.Between(16800, 17900);
    }
    ShuffleBunch(road, rng, 8);
    switch (lap) {
      case 20:  // an early attacker takes a lap
        gains_lap(3);
        break;
      case 30:
        for (int index : {18, 21}) {
          Racer& dropped = InTheBunch(road, index);
          dropped.lap_balance = -1;
          dropped.status = "-1 LAP";
        }
        break;
      case 35:
        abandons(InTheBunch(road, 22), lap);
        break;
      case 45:  // two more bridge across
        gains_lap(0);
        gains_lap(6);
        break;
      case 50:  // one of the lapped riders gives up
        for (Racer& racer : road) {
          if (racer.lap_balance < 0 && !racer.out) {
            abandons(racer, lap);
            break;
          }
        }
        break;
      default:
        break;
    }
    timeline.Wait(2500);
    const bool finished = lap == kLaps;
    timeline.Send(Heading(kTitle, Clock(elapsed, finished ? 3 : 1),
                          Fixed2(Kmh(lap * kTrackMetres, elapsed))));
    SendBunch(timeline, road, lap, true);
  }
  return Winner(road);
}

// ---- Points race ----

struct PointsRider {
  const Rider* rider = nullptr;
  int points = 0;
  int laps = 0;
  int wins = 0;
  int seconds = 0;
  int final_place = 0;
  bool out = false;
};

std::vector<PointsRider> PointsStandings(std::vector<PointsRider> field) {
  std::stable_sort(field.begin(), field.end(), [](const PointsRider& a, const PointsRider& b) {
    if (a.out != b.out)
      return !a.out;
    if (a.points != b.points)
      return a.points > b.points;
    const int a_final = a.final_place == 0 ? 999 : a.final_place;
    const int b_final = b.final_place == 0 ? 999 : b.final_place;
    return a_final < b_final;
  });
  return field;
}

std::string CountText(int count) {
  return count == 0 ? "" : std::to_string(count);
}

void AddStandingsLine(RecordText& record, int position, const PointsRider& rider, bool ranked) {
  record.Tag("standings", position)
      .Tag("rnk", ranked && !rider.out ? std::to_string(position + 1) : "")
      .Tag("bib", rider.rider->bib)
      .Tag("name", rider.rider->name)
      .Tag("status", rider.out ? "DNF" : "")
      .Tag("pts", rider.points)
      .Tag("laps", rider.laps > 0 ? "+" + std::to_string(rider.laps) : CountText(rider.laps))
      .Tag("vics", CountText(rider.wins))
      .Tag("secs", CountText(rider.seconds))
      .Tag("final", CountText(rider.final_place));
}

// The whole table, position 0 first; `first` may already carry a sprint.
void SendPointsStandings(Timeline& timeline, const std::vector<PointsRider>& field,
                         RecordText first, bool ranked) {
  const std::vector<PointsRider> standings = PointsStandings(field);
  for (std::size_t i = 0; i < standings.size(); ++i) {
    RecordText record = i == 0 ? first : RecordText("ptsrace");
    AddStandingsLine(record, static_cast<int>(i), standings[i], ranked);
    timeline.Send(record.Text());
    timeline.Wait(40);
  }
}

std::string PointsRace(Timeline& timeline, Prng& rng) {
  constexpr int kSprints = 8;
  constexpr int kLapsBetween = 10;
  constexpr int kNormal[] = {5, 3, 2, 1};
  constexpr int kFinal[] = {10, 6, 4, 2};
  std::vector<PointsRider> field;
  for (const Rider* rider : DrawField(rng, 20)) {
    PointsRider entry;
    entry.rider = rider;  // drawn order doubles as form: strongest first
    field.push_back(entry);
  }
  auto rider_at = [&](int index) -> PointsRider& { return field[static_cast<std::size_t>(index)]; };
  timeline.Send(RecordText("ptsrace").Tag("clr", "+").Text());
  timeline.Wait(500);
  SendPointsStandings(timeline, field, RecordText("ptsrace"), false);

  for (int sprint = 1; sprint <= kSprints; ++sprint) {
    timeline.Wait(3500);
    const bool last = sprint == kSprints;
    std::vector<int> placed;
    while (placed.size() < 4) {
      const int pick = rng.Favoured(static_cast<int>(field.size()));
      if (!rider_at(pick).out && std::find(placed.begin(), placed.end(), pick) == placed.end()) {
        placed.push_back(pick);
      }
    }
    const int laps_to_go = (kSprints - sprint) * kLapsBetween;
    RecordText record("ptsrace");
    record.Tag("sprint", sprint - 1)
        .Tag("sname", "Sprint " + std::to_string(sprint) +
                          (last ? " - Finish" : " - Lap " + std::to_string(laps_to_go)));
    for (int place = 0; place < 4; ++place) {
      PointsRider& rider = rider_at(placed[static_cast<std::size_t>(place)]);
      const int points = last ? kFinal[place] : kNormal[place];
      rider.points += points;
      rider.wins += place == 0 ? 1 : 0;
      rider.seconds += place == 1 ? 1 : 0;
      record.Tag("name", place + 1, Label(*rider.rider))
          .Tag("pts", place + 1, std::to_string(points));
    }
    if (last) {
      // Everyone else crosses the line in some order behind the four.
      std::vector<int> rest;
      for (int i = 0; i < static_cast<int>(field.size()); ++i) {
        if (!rider_at(i).out && std::find(placed.begin(), placed.end(), i) == placed.end()) {
          rest.push_back(i);
        }
      }
      rng.Shuffle(rest);
      placed.insert(placed.end(), rest.begin(), rest.end());
      for (std::size_t place = 0; place < placed.size(); ++place) {
        rider_at(placed[place]).final_place = static_cast<int>(place) + 1;
      }
    }
    SendPointsStandings(timeline, field, record, true);

    if (sprint == 3 || sprint == 5 || sprint == 6) {
      timeline.Wait(2500);
      if (sprint == 3) {  // a pair laps the field
        for (int index : {2, 9}) {
          rider_at(index).laps += 1;
          rider_at(index).points += 20;
        }
      } else if (sprint == 5) {
        rider_at(17).out = true;
      } else {
        rider_at(15).laps -= 1;
        rider_at(15).points -= 20;
      }
      SendPointsStandings(timeline, field, RecordText("ptsrace"), true);
    }
  }
  return "WINNER: " + Label(*PointsStandings(field).front().rider);
}

// ---- Sprint ----

std::string SprintRecord(std::string_view title, const std::vector<const Rider*>& riders,
                         bool finished, std::int64_t last_200) {
  RecordText record("sprintf");
  record.Tag("title", title);
  for (int line = 1; line <= 4; ++line) {
    const bool present = line <= static_cast<int>(riders.size());
    const Rider* rider = present ? riders[static_cast<std::size_t>(line - 1)] : nullptr;
    record.Tag("rnk", line, present && finished ? std::to_string(line) : "")
        .Tag("r", line, present ? Label(*rider) + " " + std::string(rider->nation) : "");
  }
  const double kmh = Kmh(200, last_200);
  record.Tag("et", finished ? Clock(last_200, 3) : "")
      .Tag("spdk", finished ? Fixed2(kmh) : "")
      .Tag("spdm", finished ? Fixed2(kmh / kKmPerMile) : "");
  return record.Text();
}

std::string SprintRace(Timeline& timeline, Prng& rng, std::string_view title,
                       std::vector<const Rider*> riders) {
  timeline.Send(SprintRecord(title, riders, false, 0));
  timeline.Wait(7000);
  // The favourite, listed first, usually wins.
  if (rng.Below(10) >= 7) {
    std::swap(riders[0],
              riders[1 + static_cast<std::size_t>(rng.Below(static_cast<int>(riders.size()) - 1))]);
  }
  timeline.Send(SprintRecord(title, riders, true, rng.Between(10080, 10900)));
  timeline.Wait(3000);
  return Label(*riders[0]);
}

std::string SprintHeats(Timeline& timeline, Prng& rng) {
  const std::vector<const Rider*> pair = DrawField(rng, 2);
  SprintRace(timeline, rng, "MEN'S SPRINT 1/4 FINAL - HEAT 1 - RACE 1", pair);
  const std::string winner =
      SprintRace(timeline, rng, "MEN'S SPRINT 1/4 FINAL - HEAT 1 - RACE 2", pair);
  SprintRace(timeline, rng, "MEN'S SPRINT 1/8 FINAL REPECHAGE - HEAT 2", DrawField(rng, 3));
  return "HEAT 1 RACE 2: " + winner;
}

// ---- Individual pursuit qualifying: two riders on track at once ----

constexpr int kPursuitLaps = 16;

struct Pursuer {
  const Rider* rider;
  std::vector<std::int64_t> splits;  // time at the end of each lap
};

std::string PursuitName(const Rider& rider) {
  return std::string(rider.name) + " " + std::string(rider.nation);
}

// Splits of a rider going at `lap_ms` a lap, the standing start slower.
std::vector<std::int64_t> RideSplits(Prng& rng, int lap_ms) {
  std::vector<std::int64_t> splits;
  std::int64_t at = 0;
  for (int lap = 1; lap <= kPursuitLaps; ++lap) {
    at += (lap == 1 ? lap_ms + 6800 : lap_ms) + rng.Between(-220, 260) + (lap > 12 ? 180 : 0);
    splits.push_back(at);
  }
  return splits;
}

// Where the best finished ride stood at each lap; a 4:15 schedule until there is one.
std::vector<std::int64_t> Reference(const std::vector<Pursuer>& finished) {
  if (!finished.empty()) {
    return std::min_element(
               finished.begin(), finished.end(),
               [](const Pursuer& a, const Pursuer& b) { return a.splits.back() < b.splits.back(); })
        ->splits;
  }
  std::vector<std::int64_t> schedule;
  for (int lap = 1; lap <= kPursuitLaps; ++lap) {
    schedule.push_back(22000 + (lap - 1) * 15533LL);
  }
  return schedule;
}

std::int64_t LapTime(const std::vector<std::int64_t>& splits, int lap) {
  const auto index = static_cast<std::size_t>(lap - 1);
  return splits[index] - (lap == 1 ? 0 : splits[index - 1]);
}

RecordText PanelRecord(std::string_view kind, int panel) {
  RecordText record("tt");
  record.Tag(kind, "1").Tag("crs", "0").Tag("stack", panel == 0 ? "0" : "1");
  return record;
}

std::string TickHit(const Pursuer& pursuer, int panel, int lap,
                    const std::vector<Pursuer>& finished,
                    const std::vector<std::int64_t>& reference) {
  const auto index = static_cast<std::size_t>(lap - 1);
  const std::int64_t at = pursuer.splits[index];
  int rank = 1;
  for (const Pursuer& other : finished) {
    rank += other.splits[index] < at ? 1 : 0;
  }
  RecordText record = PanelRecord("tick-hit", panel);
  record.Tag("name", PursuitName(*pursuer.rider))
      .Tag("time", Clock(at, 2))
      .Tag("diff", SignedClock(at - reference[index], 2))
      .Tag("rank", rank)
      .Tag("spdk", Fixed2(Kmh(lap * kTrackMetres, at)))
      .Tag("ltg", kPursuitLaps - lap)
      .Tag("dist", std::to_string(lap * kTrackMetres) + " m");
  // The ToGo column: laps to go after each lap, beside that lap's times.
  for (int row = 1; row <= kPursuitLaps; ++row) {
    record.Tag("ltg", row, std::to_string(kPursuitLaps - row));
  }
  return record.Text();
}

std::string Audit(const Pursuer& pursuer, int panel, int laps_done,
                  const std::vector<std::int64_t>& reference) {
  RecordText record = PanelRecord("audit", panel);
  for (int lap = 1; lap <= laps_done; ++lap) {
    const std::int64_t net = LapTime(pursuer.splits, lap);
    record.Tag("n", lap, Clock(net, 3))
        .Tag("d", lap, SignedClock(net - LapTime(reference, lap), 3));
  }
  return record.Text();
}

void SendPursuitStandings(Timeline& timeline, std::vector<Pursuer> finished) {
  std::stable_sort(finished.begin(), finished.end(), [](const Pursuer& a, const Pursuer& b) {
    return a.splits.back() < b.splits.back();
  });
  const std::int64_t best = finished.front().splits.back();
  for (std::size_t i = 0; i < finished.size(); ++i) {
    const std::int64_t time = finished[i].splits.back();
    timeline.Send(RecordText("tt")
                      .Tag("standings", static_cast<int>(i))
                      .Tag("rnk", static_cast<int>(i) + 1)
                      .Tag("name", PursuitName(*finished[i].rider))
                      .Tag("score", Clock(time, 3))
                      .Tag("dif", i == 0 ? "" : SignedClock(time - best, 3))
                      .Text());
    timeline.Wait(40);
  }
}

std::string PursuitQualifying(Timeline& timeline, Prng& rng) {
  // Track time runs this many times faster than the riders' clock.
  constexpr int kCompression = 40;
  const std::vector<const Rider*> field = DrawField(rng, 16);
  std::vector<Pursuer> finished;
  timeline.Send(RecordText("tt").Tag("clr", "+").Text());
  timeline.Wait(1000);
  for (std::size_t heat = 0; heat < field.size(); heat += 2) {
    timeline.Send(RecordText("tt").Tag("clr_racers", "+").Text());
    timeline.Wait(1000);
    const std::vector<std::int64_t> reference = Reference(finished);
    Pursuer riders[2] = {{field[heat], RideSplits(rng, rng.Between(14900, 15700))},
                         {field[heat + 1], RideSplits(rng, rng.Between(14900, 15700))}};
    struct Crossing {
      std::int64_t at;
      int panel;
      int lap;
    };
    std::vector<Crossing> crossings;
    for (int panel = 0; panel < 2; ++panel) {
      for (int lap = 1; lap <= kPursuitLaps; ++lap) {
        crossings.push_back({riders[panel].splits[static_cast<std::size_t>(lap - 1)], panel, lap});
      }
    }
    std::stable_sort(crossings.begin(), crossings.end(),
                     [](const Crossing& a, const Crossing& b) { return a.at < b.at; });
    const std::int64_t start = timeline.Now();
    for (const Crossing& crossing : crossings) {
      const Pursuer& rider = riders[crossing.panel];
      const std::int64_t at = start + crossing.at / kCompression;
      timeline.SendAt(at, TickHit(rider, crossing.panel, crossing.lap, finished, reference));
      timeline.SendAt(at + 60, Audit(rider, crossing.panel, crossing.lap, reference));
    }
    finished.push_back(riders[0]);
    finished.push_back(riders[1]);
    timeline.Wait(1000);
    SendPursuitStandings(timeline, finished);
    timeline.Wait(1500);
  }
  std::stable_sort(finished.begin(), finished.end(), [](const Pursuer& a, const Pursuer& b) {
    return a.splits.back() < b.splits.back();
  });
  return "FASTEST: " + PursuitName(*finished.front().rider) + " " +
         Clock(finished.front().splits.back(), 3);
}

}  // namespace

std::vector<TimedRecord> DemoSession() {
  Prng rng(kSeed);
  Timeline timeline;
  timeline.Send(
      QuickText({"ORVANE TRACK CUP - DAY 2", "EVENING SESSION", "", "NEXT: MEN'S KEIRIN ROUND 1",
                 "HEAT 2 - 7 RIDERS", "", "19:40  SCRATCH 15 KM", "20:05  POINTS RACE 20 KM"}));
  timeline.Wait(5000);
  const std::string keirin = KeirinHeat(timeline, rng);

  timeline.Wait(3000);
  timeline.Send(QuickText({"KEIRIN ROUND 1 - HEAT 2", keirin, "", "NEXT: MEN'S SCRATCH 15 KM",
                           "24 RIDERS - 60 LAPS", "", "THEN: MEN'S POINTS RACE 20 KM",
                           "SPRINTS EVERY 10 LAPS"}));
  timeline.Wait(5000);
  const std::string scratch = ScratchRace(timeline, rng);

  timeline.Wait(3000);
  timeline.Send(
      QuickText({"SCRATCH 15 KM", scratch, "", "NEXT: MEN'S POINTS RACE 20 KM",
                 "20 RIDERS - 80 LAPS", "8 SPRINTS - FINAL DOUBLE", "", "LAP GAIN 20 POINTS"}));
  timeline.Wait(5000);
  const std::string points = PointsRace(timeline, rng);

  timeline.Wait(3000);
  timeline.Send(QuickText({"POINTS RACE 20 KM", points, "", "NEXT: MEN'S SPRINT",
                           "1/4 FINALS - BEST OF THREE", "1/8 FINAL REPECHAGES", "",
                           "THEN: 4 KM IND. PURSUIT"}));
  timeline.Wait(5000);
  const std::string sprint = SprintHeats(timeline, rng);

  timeline.Wait(2000);
  timeline.Send(QuickText({"SPRINT", sprint, "", "NEXT: MEN'S 4 KM", "INDIVIDUAL PURSUIT",
                           "QUALIFYING - 16 RIDERS", "TWO RIDERS PER HEAT", "TOP 4 TO FINALS"}));
  timeline.Wait(5000);
  const std::string pursuit = PursuitQualifying(timeline, rng);

  timeline.Wait(2000);
  timeline.Send(QuickText({"END OF SESSION", "", "IND. PURSUIT QUALIFYING", pursuit, "",
                           "FINALS TOMORROW 18:30", "", "THANK YOU"}));
  timeline.Wait(3000);
  return timeline.WithHeartbeats();
}

std::vector<std::string> FloodPool(Family family) {
  std::vector<std::string> pool;
  for (TimedRecord& entry : DemoSession()) {
    const bool clear = entry.record.find("{clr") != std::string::npos;
    if (!clear && (family == Family::kMixed || FamilyOf(entry.record) == family)) {
      pool.push_back(std::move(entry.record));
    }
  }
  return pool;
}

}  // namespace race_feed
