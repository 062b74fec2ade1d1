#include "records/dispatch.h"

#include "records/families.h"
#include "records/record_text.h"

namespace {

struct Family {
  std::string_view flag;
  FamilyResult (*handle)(const RecordTags&, ScreenData&, const ScreenWindows&, WriteReport&);
};

// The fixed order; when several families act, the last one ends in front.
constexpr Family kFamilies[] = {
    {"{scratch}",
     [](const RecordTags& r, ScreenData& d, const ScreenWindows& w, WriteReport& written) {
       return HandleScratchRecord(r, d.scratch, *w.scratch, written);
     }},
    {"{qdtype}",
     [](const RecordTags& r, ScreenData& d, const ScreenWindows& w, WriteReport& written) {
       return HandleQuickTextRecord(r, d.quick_text, *w.quick_text, written);
     }},
    {"{sprintf}",
     [](const RecordTags& r, ScreenData& d, const ScreenWindows& w, WriteReport& written) {
       return HandleSprintRecord(r, d.sprint, *w.sprint, written);
     }},
    {"{ptsrace}",
     [](const RecordTags& r, ScreenData& d, const ScreenWindows& w, WriteReport& written) {
       return HandlePointsRaceRecord(r, d.points_race, *w.points_race, written);
     }},
    {"{tt}",
     [](const RecordTags& r, ScreenData& d, const ScreenWindows& w, WriteReport& written) {
       return HandleTimeTrialRecord(r, d.time_trial, *w.time_trial, written);
     }},
};

}  // namespace

WriteReport RecordDispatcher::DispatchRecord(std::string_view text) {
  WriteReport written;
  try {
    if (!log_.Shown()) {
      return written;
    }
    const RecordTags record(text);
    if (record.Flag("{heartbeat}")) {
      log_.AddLine(kHeartbeatLine);
      return written;
    }
    for (const Family& family : kFamilies) {
      if (record.Flag(family.flag) &&
          family.handle(record, data_, windows_, written) == FamilyResult::kEndRecord) {
        break;
      }
    }
  } catch (...) {
    // A record never disturbs the listener; what it wrote so far stays.
  }
  return written;
}
