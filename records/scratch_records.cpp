#include "platform/windows.h"
#include "records/record_families.h"
#include "screens/commentator_scratchf.h"

FamilyResult HandleScratchRecord(const EventScreens& screens, const std::string&) {
  ShowAndRaise(screens.scratch);
  return FamilyResult::kContinue;
}
