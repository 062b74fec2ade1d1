#include "platform/windows.h"
#include "records/record_families.h"
#include "screens/commenta_pts.h"

FamilyResult HandlePointsRaceRecord(const EventScreens& screens, const std::string&) {
  ShowAndRaise(screens.points_race);
  return FamilyResult::kContinue;
}
