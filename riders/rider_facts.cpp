#include "riders/rider_facts.h"

#include "riders/row_rider.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <utility>

namespace {

template <std::size_t N>
constexpr int ColumnOf(const std::array<Column, N>& columns, std::string_view heading,
                       int nth = 0) {
  for (std::size_t i = 0; i < N; ++i) {
    if (columns[i].heading == heading && nth-- == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

constexpr int kScratchRank = ColumnOf(kCompetitorColumns, "Rank");
constexpr int kScratchBib = ColumnOf(kCompetitorColumns, "Bib");
constexpr int kScratchName = ColumnOf(kCompetitorColumns, "Competitor");
constexpr int kScratchStatus = ColumnOf(kCompetitorColumns, "Status");
constexpr int kPointsRank = ColumnOf(kStandingsColumns, "Rank");
constexpr int kPointsName = ColumnOf(kStandingsColumns, "Name");  // bib, blank, name
constexpr int kPointsStatus = ColumnOf(kStandingsColumns, "Status");
constexpr int kPointsPts = ColumnOf(kStandingsColumns, "Pts");
constexpr int kTimeTrialRank = 0;  // the standings have no headings: rank, name, time, gap
constexpr int kTimeTrialName = 1;
constexpr int kTimeTrialScore = 2;
static_assert(kScratchRank >= 0 && kScratchBib >= 0 && kScratchName >= 0 && kScratchStatus >= 0);
static_assert(kPointsRank >= 0 && kPointsName >= 0 && kPointsStatus >= 0 && kPointsPts >= 0);
static_assert(kStandingsColumns[kPointsName].tag == "{bib}");
static_assert(kTimeTrialStandingsColumns[kTimeTrialName].tag == "{name}");
static_assert(kTimeTrialStandingsColumns[kTimeTrialScore].tag == "{score}");
constexpr int kSprintRacers = 4;  // rows 0 to 3 of the heat: rank in column 1, racer in 2
constexpr int kSprintTimeRow = 4;

// A new heat when the title changes (a clear empties it first).
void FollowTitle(std::string_view title, std::uint32_t& serial, std::string& current) {
  if (title != current) {
    ++serial;
    current.assign(title);
  }
}

}  // namespace

std::string RiderFacts::BibKey(std::string_view bib) {
  return "b:" + std::string(TrimCell(bib));
}

std::string RiderFacts::NameKey(const QString& name) {
  return "n:" + name.simplified().toCaseFolded().toStdString();
}

void RiderFacts::Take(const WriteReport& written, const ScreenData& data) {
  ++records_;
  touched_.clear();
  if (written.None()) {
    return;
  }
  TakeScratch(written, data.scratch);
  TakePointsRace(written, data.points_race);
  TakeSprint(written, data.sprint);
  TakeTimeTrial(written, data.time_trial);
}

void RiderFacts::TakeScratch(const WriteReport& written, const ScratchData& data) {
  if (written.Wrote(part::kScratchHeat)) {
    FollowTitle(data.heat.Cell(1, 0), scratch_.serial, scratch_.title);
  }
  for (int position = 0; position < part::kScratchPositions; ++position) {
    if (!written.Wrote(part::kScratchLines + position)) {
      continue;
    }
    const int row = position + 1;
    TakeRow({.screen = "Scratch",
             .heat_id = "S" + std::to_string(scratch_.serial),
             .heat_title = scratch_.title,
             .rider = data.competitors.Cell(kScratchName, row),
             .bib = data.competitors.Cell(kScratchBib, row),
             .place = data.competitors.Cell(kScratchRank, row),
             .status = data.competitors.Cell(kScratchStatus, row)});
  }
}

void RiderFacts::TakePointsRace(const WriteReport& written, const PointsRaceData& data) {
  if (written.Wrote(part::kPointsHeadings)) {
    ++points_race_.serial;  // only a clear writes the headings: a new race
  }
  const std::string race = "P" + std::to_string(points_race_.serial);
  for (int position = 0; position < part::kPointsPositions; ++position) {
    if (!written.Wrote(part::kPointsLines + position)) {
      continue;
    }
    const int row = position + 1;
    TakeRow({.screen = "Points race",
             .heat_id = race,
             .heat_title = "Points race",
             .rider = data.standings.Cell(kPointsName, row),
             .place = data.standings.Cell(kPointsRank, row),
             .points = data.standings.Cell(kPointsPts, row),
             .status = data.standings.Cell(kPointsStatus, row)});
  }
  // An intermediate sprint: rider i's bib and name in store column 2i - 2,
  // points in 2i - 1.
  static const std::string kPlaces[] = {"1", "2", "3", "4", "5"};
  static_assert(std::size(kPlaces) == kSprintPlaces);
  for (int sprint = 0; sprint < kSprintCount; ++sprint) {
    if (!written.Wrote(part::kSprintStore + sprint)) {
      continue;
    }
    for (int place = 1; place <= kSprintPlaces; ++place) {
      TakeRow({.screen = "Points race",
               .heat_id = race + "/" + std::to_string(sprint),
               .heat_title = data.sprint_names.Cell(0, sprint),
               .rider = data.sprint_store.Cell(2 * place - 2, sprint),
               .place = kPlaces[place - 1],
               .points = data.sprint_store.Cell(2 * place - 1, sprint)});
    }
  }
}

void RiderFacts::TakeSprint(const WriteReport& written, const SprintData& data) {
  if (!written.Wrote(part::kSprint)) {
    return;
  }
  FollowTitle(data.title.Text(), sprint_.serial, sprint_.title);
  for (int racer = 0; racer < kSprintRacers; ++racer) {
    const std::string& rank = data.heat.Cell(1, racer);
    // The heat's time is the winner's.
    TakeRow({.screen = "Sprint",
             .heat_id = "R" + std::to_string(sprint_.serial),
             .heat_title = sprint_.title,
             .rider = data.heat.Cell(2, racer),
             .place = rank,
             .time = rank == "1" ? std::string_view(data.heat.Cell(2, kSprintTimeRow))
                                 : std::string_view()});
  }
}

void RiderFacts::TakeTimeTrial(const WriteReport& written, const TimeTrialData& data) {
  // A clear of the whole screen writes every standings line: a new event.
  if (written.Wrote(part::kTimeTrialLines) &&
      written.Wrote(part::kTimeTrialLines + part::kTimeTrialPositions - 1)) {
    ++time_trial_.serial;
  }
  const std::string event = "T" + std::to_string(time_trial_.serial);
  for (int panel = 0; panel < 2; ++panel) {
    if (!written.Wrote(part::kPanelSummary + panel)) {
      continue;
    }
    const RiderPanelData& rider = data.panels[panel];
    TakeRow({.screen = "Time trial",
             .heat_id = event,
             .heat_title = "Time trial",
             .rider = rider.summary.Cell(0, 0),
             .time = rider.time.Text()});
  }
  for (int position = 0; position < part::kTimeTrialPositions; ++position) {
    if (!written.Wrote(part::kTimeTrialLines + position)) {
      continue;
    }
    const int row = position + 1;
    TakeRow({.screen = "Time trial",
             .heat_id = event,
             .heat_title = "Time trial",
             .rider = data.standings.Cell(kTimeTrialName, row),
             .place = data.standings.Cell(kTimeTrialRank, row),
             .time = data.standings.Cell(kTimeTrialScore, row)});
  }
}

void RiderFacts::TakeRow(const Row& row) {
  std::string_view bib = TrimCell(row.bib);
  std::string_view name = TrimCell(row.rider);
  if (bib.empty()) {
    SplitBibAndName(row.rider, bib, name);
  }
  if (bib.empty() && name.empty()) {
    return;  // an empty line: nobody
  }
  const std::string key =
      bib.empty() ? NameKey(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())))
                  : BibKey(bib);
  if (!name.empty()) {
    last_name_[key].assign(name);
  }
  std::string heat_rider = row.heat_id;
  heat_rider += '\n';
  heat_rider += key;
  const auto [found, added] =
      by_heat_rider_.try_emplace(std::move(heat_rider), static_cast<std::uint32_t>(facts_.size()));
  if (added) {
    facts_.push_back({.screen = std::string(row.screen)});
    by_rider_[key].push_back(found->second);
  }
  RiderFact& fact = facts_[found->second];
  fact.heat = row.heat_title;
  // A field the row leaves empty keeps what the heat said before (a time
  // trial's panel has no place; its standings line brings it).
  for (auto [field, value] : {std::pair{&fact.place, row.place},
                              {&fact.points, row.points},
                              {&fact.time, row.time},
                              {&fact.status, row.status}}) {
    if (!TrimCell(value).empty()) {
      field->assign(TrimCell(value));
    }
  }
  fact.order = records_;
  touched_.push_back(key);
}

std::vector<RiderFact> RiderFacts::Facts(const std::vector<std::string>& keys) const {
  std::vector<std::uint32_t> indexes;
  for (const std::string& key : keys) {
    if (const auto found = by_rider_.find(key); found != by_rider_.end()) {
      indexes.insert(indexes.end(), found->second.begin(), found->second.end());
    }
  }
  std::sort(indexes.begin(), indexes.end(), std::greater<>());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  std::vector<RiderFact> facts;
  facts.reserve(indexes.size());
  for (const std::uint32_t index : indexes) {
    facts.push_back(facts_[index]);
  }
  // Newest first; of two written by one record, the later-made entry first.
  std::stable_sort(facts.begin(), facts.end(),
                   [](const RiderFact& a, const RiderFact& b) { return a.order > b.order; });
  return facts;
}

std::string RiderFacts::LastName(const std::string& key) const {
  const auto found = last_name_.find(key);
  return found == last_name_.end() ? std::string() : found->second;
}
