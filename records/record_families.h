// The record families that DispatchRecord hands a record to, in their fixed
// order. Each handling reads its tags from the record text and writes into
// its own event screen.
#pragma once

#include "records/event_screens.h"

#include <string>

enum class FamilyResult {
  kContinue,   // go on with the next family
  kEndRecord,  // a clearing ended the whole record
};

FamilyResult HandleScratchRecord(const EventScreens& screens, const std::string& text);
FamilyResult HandleQuickTextRecord(const EventScreens& screens, const std::string& text);
FamilyResult HandleSprintRecord(const EventScreens& screens, const std::string& text);
FamilyResult HandlePointsRaceRecord(const EventScreens& screens, const std::string& text);
FamilyResult HandleTimeTrialRecord(const EventScreens& screens, const std::string& text);

// Hands the record to every family whose flag it sets, in the order scratch,
// quick text, sprint, points race, time trial, until one ends the record.
void DispatchToFamilies(const EventScreens& screens, const std::string& text);
