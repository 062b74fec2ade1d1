#include "records/record_families.h"

#include "records/record_text.h"

#include <string_view>

namespace {

struct RecordFamily {
  std::string_view flag;
  FamilyResult (*handle)(const EventScreens&, const std::string&);
};

constexpr RecordFamily kFamilies[] = {
    {"{scratch}", HandleScratchRecord}, {"{qdtype}", HandleQuickTextRecord},
    {"{sprintf}", HandleSprintRecord},  {"{ptsrace}", HandlePointsRaceRecord},
    {"{tt}", HandleTimeTrialRecord},
};

}  // namespace

void DispatchToFamilies(const EventScreens& screens, const std::string& text) {
  for (const RecordFamily& family : kFamilies) {
    if (FlagSet(family.flag, text) && family.handle(screens, text) == FamilyResult::kEndRecord) {
      return;
    }
  }
}
