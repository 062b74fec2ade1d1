// One rider's note: plain text, who wrote it and when, and the version it
// replaced (one level of undo). The same JSON object in the notes file and
// in a broker message. QtCore only.
#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

struct NoteVersion {
  QString text;
  QString author;
  qint64 time_ms = 0;  // milliseconds since 1970 UTC

  bool operator==(const NoteVersion&) const = default;
};

struct Note {
  NoteVersion current;
  std::optional<NoteVersion> previous;

  bool operator==(const Note&) const = default;
};

inline constexpr int kMaxNoteChars = 16 * 1024;
inline constexpr int kMaxAuthorChars = 64;

QJsonObject NoteToJson(const Note& note);
// Nothing, with `error` set, for anything but a note within the bounds.
std::optional<Note> NoteFromJson(const QJsonObject& json, QString& error);

// Which of two versions of a note wins: the later edit, whole; on equal
// times, the larger author name, so every screen picks the same.
bool IsLater(const NoteVersion& a, const NoteVersion& b);

// `incoming` (from another screen) over `ours`: nothing when ours stands;
// else the incoming note, whose previous version becomes ours when ours was
// an edit the incoming one did not know (two people at once: the earlier
// edit is kept as the previous version, never merged).
std::optional<Note> TakeIncoming(const std::optional<Note>& ours, const Note& incoming);
