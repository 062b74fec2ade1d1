// The record families: what each does with a record whose flag is set.
// Each shows its window, reads its tags from the record (indexed once for
// all families), writes its screen's data and reports what it wrote.
#pragma once

#include "records/record_text.h"
#include "records/screen_data.h"
#include "records/write_report.h"

enum class FamilyResult {
  kContinue,   // go on with the next family
  kEndRecord,  // a clearing ended the whole record
};

FamilyResult HandleScratchRecord(const RecordTags& record, ScratchData& data, ScreenWindow& window,
                                 WriteReport& written);
FamilyResult HandleQuickTextRecord(const RecordTags& record, QuickTextData& data,
                                   ScreenWindow& window, WriteReport& written);
FamilyResult HandleSprintRecord(const RecordTags& record, SprintData& data, ScreenWindow& window,
                                WriteReport& written);
FamilyResult HandlePointsRaceRecord(const RecordTags& record, PointsRaceData& data,
                                    ScreenWindow& window, WriteReport& written);
FamilyResult HandleTimeTrialRecord(const RecordTags& record, TimeTrialData& data,
                                   ScreenWindow& window, WriteReport& written);
