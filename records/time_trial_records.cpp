#include "platform/windows.h"
#include "records/record_families.h"
#include "screens/commenta_tt.h"

FamilyResult HandleTimeTrialRecord(const EventScreens& screens, const std::string&) {
  ShowAndRaise(screens.time_trial);
  return FamilyResult::kContinue;
}
