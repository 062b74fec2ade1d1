#include "riders/notes_store.h"

#include "riders/bib.h"

#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace {

constexpr const char* kFormat = "orvane-notes";
constexpr int kVersion = 1;

// A write the disk cut short is not an error to QFile; writing on is (and
// says why), and a file not written whole is never committed. Empty: done.
QString WriteAll(QSaveFile& file, const QByteArray& bytes) {
  qint64 done = 0;
  while (done < bytes.size()) {
    errno = 0;
    const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
    if (written <= 0) {
      const int cause = errno;
      QString why = file.errorString();
      if (cause != 0) {
        why = QString::fromLocal8Bit(std::strerror(cause));
      }
      file.cancelWriting();
      return why;
    }
    done += written;
  }
  return file.flush() ? QString() : file.errorString();
}

}  // namespace

NotesStore::NotesStore(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {
  save_timer_.setSingleShot(true);
  connect(&save_timer_, &QTimer::timeout, this, [this] { SaveNow(); });
}

NotesStore::~NotesStore() {
  if (dirty_) {
    SaveNow();
  }
}

bool NotesStore::Load() {
  notes_.clear();
  QFile file(path_);
  if (!file.exists()) {
    return true;
  }
  const auto refuse = [this](const QString& why) {
    writable_ = false;
    SetProblem(QStringLiteral("notes file %1: %2; it is left as it is").arg(path_, why));
    return false;
  };
  if (!file.open(QIODevice::ReadOnly)) {
    return refuse(file.errorString());
  }
  const QByteArray bytes = file.read(kMaxFileBytes + 1);
  if (bytes.size() > kMaxFileBytes) {
    return refuse(QStringLiteral("larger than %1 MB").arg(kMaxFileBytes / (1024 * 1024)));
  }
  QJsonParseError parse{};
  const QJsonDocument document = QJsonDocument::fromJson(bytes, &parse);
  const QJsonObject root = document.object();
  if (parse.error != QJsonParseError::NoError || !document.isObject() ||
      root.value(QLatin1StringView("format")).toString() != QLatin1StringView(kFormat) ||
      root.value(QLatin1StringView("version")).toInt() != kVersion) {
    return refuse(QStringLiteral("not a notes file of version %1").arg(kVersion));
  }
  const QJsonObject notes = root.value(QLatin1StringView("notes")).toObject();
  if (notes.size() > kMaxNotes) {
    return refuse(QStringLiteral("more than %1 notes").arg(kMaxNotes));
  }
  QHash<QString, Note> loaded;
  for (auto it = notes.begin(); it != notes.end(); ++it) {
    QString error;
    const std::optional<Note> note = NoteFromJson(it.value().toObject(), error);
    if (!IsValidBib(it.key()) || !note) {
      return refuse(QStringLiteral("the note of \"%1\": %2")
                        .arg(it.key().left(kMaxBibLength), error.isEmpty() ? "not a bib" : error));
    }
    loaded.insert(it.key(), *note);
  }
  notes_ = std::move(loaded);
  return true;
}

std::optional<Note> NotesStore::Find(const QString& bib) const {
  const auto found = notes_.constFind(bib);
  return found == notes_.constEnd() ? std::nullopt : std::optional<Note>(*found);
}

QString NotesStore::Text(const QString& bib) const {
  const auto found = notes_.constFind(bib);
  return found == notes_.constEnd() ? QString() : found->current.text;
}

void NotesStore::SetText(const QString& bib, const QString& text, const QString& author,
                         qint64 time_ms) {
  if (!IsValidBib(bib)) {
    return;
  }
  Note& note = notes_[bib];
  if (note.current.text == text && note.current.author == author) {
    return;
  }
  if (!note.current.author.isEmpty() && note.current.author != author) {
    note.previous = note.current;
  }
  // Never earlier than the version it replaces, whatever the clock did.
  note.current = {text.left(kMaxNoteChars), author.left(kMaxAuthorChars),
                  std::max(time_ms, note.current.time_ms + 1)};
  MarkDirty();
  emit NoteChanged(bib);
  emit EditedLocally(bib);
}

bool NotesStore::RestorePrevious(const QString& bib, const QString& author, qint64 time_ms) {
  const auto found = notes_.find(bib);
  if (found == notes_.end() || !found->previous) {
    return false;
  }
  const NoteVersion replaced = found->current;
  found->current = {found->previous->text, author.left(kMaxAuthorChars),
                    std::max(time_ms, replaced.time_ms + 1)};
  found->previous = replaced;
  MarkDirty();
  emit NoteChanged(bib);
  emit EditedLocally(bib);
  return true;
}

bool NotesStore::TakeIncoming(const QString& bib, const Note& note) {
  if (!IsValidBib(bib)) {
    return false;
  }
  const std::optional<Note> taken = ::TakeIncoming(Find(bib), note);
  if (!taken) {
    return false;
  }
  notes_.insert(bib, *taken);
  MarkDirty();
  emit NoteChanged(bib);
  return true;
}

void NotesStore::MarkDirty() {
  dirty_ = true;
  // From the first unsaved change: typing on does not put the save off.
  if (!save_timer_.isActive()) {
    save_timer_.start(kSaveDelayMs);
  }
}

bool NotesStore::SaveNow() {
  save_timer_.stop();
  if (!writable_) {
    return false;
  }
  QJsonObject notes;
  for (auto it = notes_.constBegin(); it != notes_.constEnd(); ++it) {
    notes.insert(it.key(), NoteToJson(*it));
  }
  const QJsonObject root{{"format", kFormat}, {"version", kVersion}, {"notes", notes}};
  QSaveFile file(path_);
  QString why;
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    why = file.errorString();
  } else if (why = WriteAll(file, QJsonDocument(root).toJson(QJsonDocument::Indented));
             why.isEmpty() && !file.commit()) {
    why = file.errorString();
  }
  if (!why.isEmpty()) {
    // The old file stays; try again a little later.
    SetProblem(QStringLiteral("notes not saved: %1").arg(why));
    save_timer_.start(kRetryMs);
    return false;
  }
  dirty_ = false;
  SetProblem({});
  return true;
}

void NotesStore::SetProblem(const QString& problem) {
  if (problem_ != problem) {
    problem_ = problem;
    emit ProblemChanged();
  }
}
