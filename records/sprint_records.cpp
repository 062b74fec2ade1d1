#include "platform/windows.h"
#include "records/record_families.h"
#include "screens/commenta_sprintr.h"

FamilyResult HandleSprintRecord(const EventScreens& screens, const std::string&) {
  ShowAndRaise(screens.sprint);
  return FamilyResult::kContinue;
}
