// The record families that DispatchRecord hands a record to, in their fixed
// order. Each handling reads its tags from the record, indexed once for all
// families, and writes into its own event screen.
#pragma once

#include "records/event_screens.h"
#include "records/record_text.h"

enum class FamilyResult {
  kContinue,   // go on with the next family
  kEndRecord,  // a clearing ended the whole record
};

FamilyResult HandleScratchRecord(const EventScreens& screens, const RecordTags& record);
FamilyResult HandleQuickTextRecord(const EventScreens& screens, const RecordTags& record);
FamilyResult HandleSprintRecord(const EventScreens& screens, const RecordTags& record);
FamilyResult HandlePointsRaceRecord(const EventScreens& screens, const RecordTags& record);
FamilyResult HandleTimeTrialRecord(const EventScreens& screens, const RecordTags& record);

// Hands the record to every family whose flag it sets, in the order scratch,
// quick text, sprint, points race, time trial, until one ends the record.
void DispatchToFamilies(const EventScreens& screens, const RecordTags& record);
