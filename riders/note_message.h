// A note as it goes through the broker: a retained message on
// "TOPIC/notes/BIB" whose payload is one JSON object (format, version, bib,
// and the note with its previous version). Anything else is refused: a
// payload too large, not JSON, of another version, a bib that is not one or
// that differs from the topic's, a note out of bounds. QtCore only.
#pragma once

#include "riders/note.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>

inline constexpr qsizetype kMaxNoteMessageBytes = 256 * 1024;

std::string NoteTopic(const std::string& feed_topic, const QString& bib);
// The bib of a topic under "FEED/notes/", or nothing.
std::optional<QString> BibOfNoteTopic(const std::string& feed_topic, const std::string& topic);

QByteArray EncodeNoteMessage(const QString& bib, const Note& note);
std::optional<Note> DecodeNoteMessage(const QString& bib, const QByteArray& payload,
                                      QString& error);
