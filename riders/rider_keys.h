// Which of RiderFacts' keys are one rider's, and whose bib a key or a row
// names, with the start list where there is one: the desktop's card and the
// venue's rider documents ask the same. QtCore only.
#pragma once

#include "riders/row_rider.h"
#include "riders/start_list.h"

#include <QString>

#include <string>
#include <vector>

// The rider with `bib`: the bib's key, and when the start list has the
// rider (`entry`), the keys of the name rows give ("name", "name nation").
std::vector<std::string> KeysOfBib(const QString& bib, const StartListRider* entry);

// The bib a key of RiderFacts belongs to: a bib key's own, a name key's
// from the start list. Empty when there is none or it is no valid bib.
QString BibOfKey(const std::string& key, const StartList* list);

// The same for a row of a screen.
QString BibOfRow(const RowRider& rider, const StartList* list);
