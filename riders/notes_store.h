// The commentator's notes, one per bib, kept in a file (JSON) that is
// replaced whole through QSaveFile, so it is never half written: a note is
// saved at most half a second after the first change that is not saved yet
// (typing on does not put it off), and a failed write keeps the old file,
// retries, and says why. QtCore only.
#pragma once

#include "riders/note.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

inline constexpr const char* kNotesFileName = "commentator-notes.json";

class NotesStore : public QObject {
  Q_OBJECT

 public:
  static constexpr int kSaveDelayMs = 500;
  static constexpr int kRetryMs = 2000;
  static constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
  static constexpr int kMaxNotes = 10000;

  explicit NotesStore(QString path, QObject* parent = nullptr);
  ~NotesStore() override;  // saves what is pending

  // Reads the file: a missing file is no notes. A file that cannot be read
  // is left alone (never overwritten) and Problem() says why.
  bool Load();

  const QString& Path() const { return path_; }
  std::optional<Note> Find(const QString& bib) const;
  QString Text(const QString& bib) const;
  const QHash<QString, Note>& All() const { return notes_; }

  // The commentator's own edit. A new author's edit keeps the note it
  // replaces as the previous version; one's own typing does not.
  void SetText(const QString& bib, const QString& text, const QString& author, qint64 time_ms);
  // Back to the previous version, as the commentator's own edit; the
  // version it replaces becomes the previous one. False when there is none.
  bool RestorePrevious(const QString& bib, const QString& author, qint64 time_ms);
  // A note from another screen; true when it was taken (see TakeIncoming).
  bool TakeIncoming(const QString& bib, const Note& note);

  // Writes now what is not saved yet; false when the write failed.
  bool SaveNow();
  bool Pending() const { return dirty_; }
  // Empty, or why the notes are not in the file: for the status corner.
  const QString& Problem() const { return problem_; }

 signals:
  // A note changed, by this screen or another.
  void NoteChanged(const QString& bib);
  // Problem() changed.
  void ProblemChanged();
  // The commentator's own edit, to be shared.
  void EditedLocally(const QString& bib);

 private:
  void MarkDirty();
  void SetProblem(const QString& problem);

  QString path_;
  QHash<QString, Note> notes_;
  bool dirty_ = false;
  bool writable_ = true;  // false after a file that could not be read
  QString problem_;
  QTimer save_timer_;
};
