#include "records/dispatch.h"

#include "records/families.h"
#include "records/record_text.h"

namespace {

struct Family {
  std::string_view flag;
  FamilyResult (*handle)(const RecordTags&, ScreenData&, const ScreenWindows&);
};

// The fixed order; when several families act, the last one ends in front.
constexpr Family kFamilies[] = {
    {"{scratch}",
     [](const RecordTags& r, ScreenData& d, const ScreenWindows& w) {
       return HandleScratchRecord(r, d.scratch, *w.scratch);
     }},
    {"{qdtype}",
     [](const RecordTags& r, ScreenData& d, const ScreenWindows& w) {
       return HandleQuickTextRecord(r, d.quick_text, *w.quick_text);
     }},
    {"{sprintf}",
     [](const RecordTags& r, ScreenData& d, const ScreenWindows& w) {
       return HandleSprintRecord(r, d.sprint, *w.sprint);
     }},
    {"{ptsrace}",
     [](const RecordTags& r, ScreenData& d, const ScreenWindows& w) {
       return HandlePointsRaceRecord(r, d.points_race, *w.points_race);
     }},
    {"{tt}",
     [](const RecordTags& r, ScreenData& d, const ScreenWindows& w) {
       return HandleTimeTrialRecord(r, d.time_trial, *w.time_trial);
     }},
};

}  // namespace

void RecordDispatcher::DispatchRecord(std::string_view text) {
  try {
    if (!log_.Shown()) {
      return;
    }
    const RecordTags record(text);
    if (record.Flag("{heartbeat}")) {
      log_.AddLine(kHeartbeatLine);
      return;
    }
    for (const Family& family : kFamilies) {
      if (record.Flag(family.flag) &&
          family.handle(record, data_, windows_) == FamilyResult::kEndRecord) {
        return;
      }
    }
  } catch (...) {
    // A record never disturbs the listener; what it wrote so far stays.
  }
}
