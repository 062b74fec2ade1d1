#include "riders/rider_keys.h"

#include "riders/bib.h"
#include "riders/rider_facts.h"

namespace {

QString ListedBib(const QString& name, const StartList* list) {
  const StartListRider* rider = list != nullptr ? list->FindName(name) : nullptr;
  return rider != nullptr && IsValidBib(rider->bib) ? rider->bib : QString();
}

}  // namespace

std::vector<std::string> KeysOfBib(const QString& bib, const StartListRider* entry) {
  std::vector<std::string> keys{RiderFacts::BibKey(bib.toStdString())};
  if (entry != nullptr) {
    keys.push_back(RiderFacts::NameKey(entry->name));
    keys.push_back(RiderFacts::NameKey(entry->name + QLatin1Char(' ') + entry->nation));
  }
  return keys;
}

QString BibOfKey(const std::string& key, const StartList* list) {
  if (key.starts_with("b:")) {
    const QString bib = QString::fromLatin1(key.data() + 2, static_cast<qsizetype>(key.size() - 2));
    return IsValidBib(bib) ? bib : QString();
  }
  if (key.starts_with("n:")) {
    // NameKey() made it of UTF-8.
    return ListedBib(QString::fromUtf8(key.data() + 2, static_cast<qsizetype>(key.size() - 2)),
                     list);
  }
  return {};
}

QString BibOfRow(const RowRider& rider, const StartList* list) {
  if (!rider.bib.empty()) {
    const QString bib =
        QString::fromLatin1(rider.bib.data(), static_cast<qsizetype>(rider.bib.size()));
    return IsValidBib(bib) ? bib : QString();
  }
  return ListedBib(
      QString::fromLatin1(rider.name.data(), static_cast<qsizetype>(rider.name.size())), list);
}
