#include "records/record_families.h"

#include <string_view>

namespace {

struct RecordFamily {
  std::string_view flag;
  FamilyResult (*handle)(const EventScreens&, const RecordTags&);
};

constexpr RecordFamily kFamilies[] = {
    {"{scratch}", HandleScratchRecord}, {"{qdtype}", HandleQuickTextRecord},
    {"{sprintf}", HandleSprintRecord},  {"{ptsrace}", HandlePointsRaceRecord},
    {"{tt}", HandleTimeTrialRecord},
};

}  // namespace

void DispatchToFamilies(const EventScreens& screens, const RecordTags& record) {
  for (const RecordFamily& family : kFamilies) {
    if (record.Flag(family.flag) && family.handle(screens, record) == FamilyResult::kEndRecord) {
      return;
    }
  }
}
