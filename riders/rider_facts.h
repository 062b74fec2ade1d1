// What each rider did today, as the record rules wrote it: after every live
// record, the rows its WriteReport names are read back from the screens'
// data, and each row that names a rider (by bib where the row has one, else
// by name) updates that rider's entry for the heat. One entry per heat and
// rider, rewritten in place as the heat goes on. QtCore only.
#pragma once

#include "records/screen_data.h"
#include "records/write_report.h"

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct RiderFact {
  std::string screen = {};  // "Scratch", "Points race", "Sprint", "Time trial"
  std::string heat = {};    // the heat's title, or the sprint's name
  std::string place = {};
  std::string points = {};
  std::string time = {};
  std::string status = {};
  std::uint64_t order = 0;  // the record that last wrote it, counted from 1

  bool operator==(const RiderFact&) const = default;
};

class RiderFacts {
 public:
  // The key of a row that carries a bib, and of one that names the rider
  // only. Names compare with blanks collapsed and case folded.
  static std::string BibKey(std::string_view bib);
  static std::string NameKey(const QString& name);

  // After one dispatch: what it wrote, read from `data`.
  void Take(const WriteReport& written, const ScreenData& data);

  // Every entry under any of `keys`, newest first.
  std::vector<RiderFact> Facts(const std::vector<std::string>& keys) const;
  // The name the rows gave last for `key` (bytes as the record had them).
  std::string LastName(const std::string& key) const;

  // The keys of the riders the last Take() wrote an entry of, in row order
  // (a key may come more than once).
  const std::vector<std::string>& Touched() const { return touched_; }

  std::uint64_t Records() const { return records_; }
  std::size_t EntryCount() const { return facts_.size(); }

 private:
  struct Heat {
    std::string title = {};
    std::uint32_t serial = 0;
  };
  struct Row {
    std::string_view screen = {};
    std::string heat_id = {};
    std::string_view heat_title = {};
    std::string_view rider = {};  // a bib and name cell joined, or a name, or empty
    std::string_view bib = {};    // the row's own bib cell, if it has one
    std::string_view place = {};
    std::string_view points = {};
    std::string_view time = {};
    std::string_view status = {};
  };

  void TakeRow(const Row& row);
  void TakeScratch(const WriteReport& written, const ScratchData& data);
  void TakePointsRace(const WriteReport& written, const PointsRaceData& data);
  void TakeSprint(const WriteReport& written, const SprintData& data);
  void TakeTimeTrial(const WriteReport& written, const TimeTrialData& data);

  std::uint64_t records_ = 0;
  Heat scratch_;
  Heat sprint_;
  Heat points_race_;
  Heat time_trial_;
  std::vector<RiderFact> facts_;
  std::unordered_map<std::string, std::vector<std::uint32_t>> by_rider_;
  std::unordered_map<std::string, std::uint32_t> by_heat_rider_;
  std::unordered_map<std::string, std::string> last_name_;
  std::vector<std::string> touched_;
};
