// The built-in demo session: a realistic evening of track racing as timed
// records, the same every run so two runs can be compared.
#pragma once

#include <string>
#include <vector>

#include "tools/race_feed/records.h"

namespace race_feed {

// Keirin heat, scratch race, points race, sprint heats and an individual
// pursuit qualifying, with quick-text notices between the races and a
// heartbeat every five seconds; about four minutes at speed 1.
std::vector<TimedRecord> DemoSession();

// The records a flood cycles through: the demo's records of `family` (all of
// them for kMixed), without the clears, so the screens stay full.
std::vector<std::string> FloodPool(Family family);

}  // namespace race_feed
