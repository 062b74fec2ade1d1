// The rider card: a window with a "Rider" box to type a bib in, the rider's
// start-list fields, what the rider did today (newest first), and the
// commentator's note, saved as it is typed. It shows what it is given; the
// rider cards decide what that is.
#pragma once

#include "riders/note.h"
#include "riders/rider_facts.h"
#include "riders/start_list.h"

#include <QWidget>

#include <optional>
#include <vector>

class QFormLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

class RiderCard : public QWidget {
  Q_OBJECT

 public:
  explicit RiderCard(QWidget* parent = nullptr);

  // The "Rider" box has the keyboard, its text chosen to type over.
  void FocusRiderBox();

  // Who the card is about: a bib (notes possible) or a name only.
  void ShowRider(const QString& bib, const QString& name, const StartListRider* entry);
  void ShowFacts(const std::vector<RiderFact>& facts);
  // The note of the rider shown; the editor keeps its cursor when the text
  // is the one it has.
  void ShowNote(const std::optional<Note>& note);
  // A line under the note: saved or why not.
  void ShowNoteStatus(const QString& text);

  const QString& Bib() const { return bib_; }
  QString NoteText() const;

 signals:
  // Enter in the "Rider" box.
  void RiderAsked(const QString& text);
  void NoteEdited(const QString& bib, const QString& text);
  void PreviousVersionAsked(const QString& bib);

 private:
  void AddField(const QString& heading, const QString& text);

  QString bib_;
  QLineEdit* rider_box_;
  QLabel* title_;
  QFormLayout* fields_;
  std::vector<QLabel*> field_labels_;
  QTableWidget* today_;
  QPlainTextEdit* notes_;
  QLabel* note_author_;
  QLabel* note_status_;
  QPushButton* previous_;
  bool showing_note_ = false;  // the editor is being filled, not typed in
};
