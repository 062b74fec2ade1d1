#include "view/rider_view.h"

#include "riders/rider_keys.h"
#include "riders/row_rider.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <functional>
#include <utility>

namespace view {

namespace {

QString Bytes(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QJsonArray Field(const QString& heading, const QString& value) {
  return {heading, value};
}

}  // namespace

std::string RiderDocument(const QString& bib, const QString& name, const StartListRider* entry,
                          const std::vector<RiderFact>& facts, std::int64_t published_us) {
  QJsonObject doc{{"format", "orvane-rider"},
                  {"version", kRiderFormatVersion},
                  {"bib", bib},
                  {"name", name},
                  {"on_start_list", entry != nullptr},
                  {"published_us", static_cast<double>(published_us)}};
  if (entry != nullptr) {
    // The card's fields, in the desktop card's order.
    QJsonArray fields{Field("Bib", entry->bib),       Field("Name", entry->name),
                      Field("Team", entry->team),     Field("Nation", entry->nation),
                      Field("UCI ID", entry->uci_id), Field("Born", entry->born)};
    for (const auto& [heading, value] : entry->other) {
      fields.append(Field(heading, value));
    }
    doc.insert("fields", fields);
  }
  QJsonArray today;
  const std::size_t shown = std::min(facts.size(), static_cast<std::size_t>(kMaxRiderEntries));
  for (std::size_t i = 0; i < shown; ++i) {
    const RiderFact& f = facts[i];
    today.append(QJsonArray{Bytes(f.screen), Bytes(f.heat), Bytes(f.place), Bytes(f.points),
                            Bytes(f.time), Bytes(f.status)});
  }
  doc.insert("today", today);
  doc.insert("more", static_cast<double>(facts.size() - shown));
  return QJsonDocument(doc).toJson(QJsonDocument::Compact).toStdString();
}

RiderView::RiderView(std::string topic) : topic_(std::move(topic)) {}

std::string RiderView::Topic(const QString& bib) const {
  return topic_ + "/view/riders/" + bib.toStdString();
}

void RiderView::Took(const WriteReport& written, const ScreenData& data) {
  facts_.Take(written, data);
  for (const std::string& key : facts_.Touched()) {
    const QString bib = BibOfKey(key, List());
    if (bib.isEmpty()) {
      continue;
    }
    if (slots_.contains(bib) || slots_.size() < kMaxRiderDocuments) {
      slots_.try_emplace(bib);
      due_.insert(bib);
    }
  }
}

void RiderView::MarkAllDue() {
  for (auto& [bib, slot] : slots_) {
    slot.sent_hash = 0;
    due_.insert(bib);
  }
}

void RiderView::Flush(Clock::time_point now, std::int64_t now_us, const Send& send) {
  for (auto next = due_.begin(); next != due_.end();) {
    const QString& bib = *next;
    Slot& slot = slots_[bib];
    if (slot.ever_sent && now - slot.last_sent < kMinInterval) {
      ++next;
      continue;
    }
    const StartListRider* entry = list_ ? list_->FindBib(bib) : nullptr;
    const std::vector<std::string> keys = KeysOfBib(bib, entry);
    const QString name = entry != nullptr ? entry->name : Bytes(facts_.LastName(keys.front()));
    const std::vector<RiderFact> facts = facts_.Facts(keys);
    const std::size_t hash = std::hash<std::string>()(RiderDocument(bib, name, entry, facts, 0));
    if (hash == slot.sent_hash) {
      next = due_.erase(next);
      continue;
    }
    if (!send(Topic(bib), RiderDocument(bib, name, entry, facts, now_us))) {
      return;  // all stays due
    }
    slot.sent_hash = hash;
    slot.ever_sent = true;
    slot.last_sent = now;
    next = due_.erase(next);
  }
}

std::optional<RiderView::Clock::time_point> RiderView::NextDue(Clock::time_point now) const {
  std::optional<Clock::time_point> next;
  for (const QString& bib : due_) {
    const Slot& slot = slots_.at(bib);
    const Clock::time_point at =
        slot.ever_sent ? std::max(now, slot.last_sent + kMinInterval) : now;
    if (!next || at < *next) {
      next = at;
    }
  }
  return next;
}

RowBib RiderView::Bibs(const ScreenData& data) const {
  return [this, &data](const GridModel& grid, int row) {
    const std::optional<RowRider> rider = RiderOnRow(data, grid, row);
    return rider ? BibOfRow(*rider, List()).toStdString() : std::string();
  };
}

}  // namespace view
