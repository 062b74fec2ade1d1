#include "riders/note.h"

namespace {

QJsonObject VersionToJson(const NoteVersion& version) {
  return {{"text", version.text},
          {"author", version.author},
          {"time", static_cast<double>(version.time_ms)}};
}

std::optional<NoteVersion> VersionFromJson(const QJsonValue& value, QString& error) {
  if (!value.isObject()) {
    error = QStringLiteral("a note that is not an object");
    return std::nullopt;
  }
  const QJsonObject json = value.toObject();
  const QJsonValue text = json.value(QLatin1StringView("text"));
  const QJsonValue author = json.value(QLatin1StringView("author"));
  const QJsonValue time = json.value(QLatin1StringView("time"));
  if (!text.isString() || !author.isString() || !time.isDouble()) {
    error = QStringLiteral("a note without text, author and time");
    return std::nullopt;
  }
  NoteVersion version{text.toString(), author.toString(), static_cast<qint64>(time.toDouble())};
  // Whole milliseconds within year 0 to 9999 ms, so the double held it exactly.
  if (version.time_ms < 0 || version.time_ms > 253402300799999 ||
      static_cast<double>(version.time_ms) != time.toDouble()) {
    error = QStringLiteral("a note with a bad time");
    return std::nullopt;
  }
  if (version.text.size() > kMaxNoteChars || version.author.size() > kMaxAuthorChars) {
    error = QStringLiteral("a note longer than %1 characters").arg(kMaxNoteChars);
    return std::nullopt;
  }
  return version;
}

}  // namespace

QJsonObject NoteToJson(const Note& note) {
  QJsonObject json = VersionToJson(note.current);
  if (note.previous) {
    json.insert(QLatin1StringView("previous"), VersionToJson(*note.previous));
  }
  return json;
}

std::optional<Note> NoteFromJson(const QJsonObject& json, QString& error) {
  std::optional<NoteVersion> current = VersionFromJson(json, error);
  if (!current) {
    return std::nullopt;
  }
  Note note{*current, std::nullopt};
  if (const QJsonValue previous = json.value(QLatin1StringView("previous"));
      !previous.isUndefined()) {
    note.previous = VersionFromJson(previous, error);
    if (!note.previous) {
      return std::nullopt;
    }
  }
  return note;
}

bool IsLater(const NoteVersion& a, const NoteVersion& b) {
  if (a.time_ms != b.time_ms) {
    return a.time_ms > b.time_ms;
  }
  if (a.author != b.author) {
    return a.author > b.author;
  }
  return a.text > b.text;
}

std::optional<Note> TakeIncoming(const std::optional<Note>& ours, const Note& incoming) {
  if (!ours) {
    return incoming;
  }
  if (ours->current == incoming.current || !IsLater(incoming.current, ours->current)) {
    return std::nullopt;
  }
  Note taken = incoming;
  if (!incoming.previous || incoming.previous->text != ours->current.text) {
    taken.previous = ours->current;
  }
  return taken;
}
