#include "tools/race_feed/records.h"

namespace race_feed {

namespace {

struct FamilyFlag {
  Family family;
  std::string_view flag;
};

constexpr FamilyFlag kFlags[] = {
    {Family::kHeartbeat, "{heartbeat}+"}, {Family::kScratch, "{scratch}+"},
    {Family::kQuickText, "{qdtype}+"},    {Family::kSprint, "{sprintf}+"},
    {Family::kPointsRace, "{ptsrace}+"},  {Family::kTimeTrial, "{tt}+"},
};

}  // namespace

std::optional<Family> FamilyOf(std::string_view record) {
  for (const FamilyFlag& entry : kFlags) {
    if (!record.starts_with(entry.flag)) {
      continue;
    }
    // The flag is set only when "+" is its whole value.
    const std::string_view rest = record.substr(entry.flag.size());
    if (rest.empty() || rest.front() == '{') {
      return entry.family;
    }
  }
  return std::nullopt;
}

std::optional<Family> FamilyNamed(std::string_view name) {
  if (name == "scratch")
    return Family::kScratch;
  if (name == "tt")
    return Family::kTimeTrial;
  if (name == "pts")
    return Family::kPointsRace;
  if (name == "sprint")
    return Family::kSprint;
  if (name == "qdtype")
    return Family::kQuickText;
  if (name == "mixed")
    return Family::kMixed;
  return std::nullopt;
}

std::string RecordProblem(std::string_view record) {
  if (record.size() > kMaxRecordBytes) {
    return "record of " + std::to_string(record.size()) + " bytes is longer than " +
           std::to_string(kMaxRecordBytes);
  }
  return {};
}

}  // namespace race_feed
