#include "riders/note_message.h"

#include "riders/bib.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr const char* kFormat = "orvane-note";
constexpr int kVersion = 1;

}  // namespace

std::string NoteTopic(const std::string& feed_topic, const QString& bib) {
  return feed_topic + "/notes/" + bib.toStdString();
}

std::optional<QString> BibOfNoteTopic(const std::string& feed_topic, const std::string& topic) {
  const std::string prefix = feed_topic + "/notes/";
  if (!topic.starts_with(prefix)) {
    return std::nullopt;
  }
  const QString bib = QString::fromStdString(topic.substr(prefix.size()));
  return IsValidBib(bib) ? std::optional<QString>(bib) : std::nullopt;
}

QByteArray EncodeNoteMessage(const QString& bib, const Note& note) {
  QJsonObject json{{"format", kFormat}, {"version", kVersion}, {"bib", bib}};
  json.insert(QLatin1StringView("note"), NoteToJson(note));
  return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

std::optional<Note> DecodeNoteMessage(const QString& bib, const QByteArray& payload,
                                      QString& error) {
  if (payload.size() > kMaxNoteMessageBytes) {
    error = QStringLiteral("a note message larger than %1 bytes").arg(kMaxNoteMessageBytes);
    return std::nullopt;
  }
  QJsonParseError parse{};
  const QJsonDocument document = QJsonDocument::fromJson(payload, &parse);
  const QJsonObject json = document.object();
  if (parse.error != QJsonParseError::NoError || !document.isObject() ||
      json.value(QLatin1StringView("format")).toString() != QLatin1StringView(kFormat) ||
      json.value(QLatin1StringView("version")) != QJsonValue(kVersion)) {
    error = QStringLiteral("not a note message of version %1").arg(kVersion);
    return std::nullopt;
  }
  if (json.value(QLatin1StringView("bib")).toString() != bib || !IsValidBib(bib)) {
    error = QStringLiteral("a note message for another bib than its topic's");
    return std::nullopt;
  }
  return NoteFromJson(json.value(QLatin1StringView("note")).toObject(), error);
}
