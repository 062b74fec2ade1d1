// The record families: what each does with a record whose flag is set.
// Each shows its window, reads its tags from the record (indexed once for
// all families) and writes its screen's data.
#pragma once

#include "records/record_text.h"
#include "records/screen_data.h"

enum class FamilyResult {
  kContinue,   // go on with the next family
  kEndRecord,  // a clearing ended the whole record
};

FamilyResult HandleScratchRecord(const RecordTags& record, ScratchData& data, ScreenWindow& window);
FamilyResult HandleQuickTextRecord(const RecordTags& record, QuickTextData& data,
                                   ScreenWindow& window);
FamilyResult HandleSprintRecord(const RecordTags& record, SprintData& data, ScreenWindow& window);
FamilyResult HandlePointsRaceRecord(const RecordTags& record, PointsRaceData& data,
                                    ScreenWindow& window);
FamilyResult HandleTimeTrialRecord(const RecordTags& record, TimeTrialData& data,
                                   ScreenWindow& window);
