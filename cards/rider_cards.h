// Rider cards for the whole program: the start list, what each rider did
// today (heard from each live record's report), the notes, and the card
// window, opened from a double click on an event screen's row, from the
// "Rider" box (Ctrl+R), or for a bib. Until a start list is opened or a card
// asked for, it shows nothing and writes nothing.
#pragma once

#include "app/race_data_listener.h"
#include "cards/notes_link.h"
#include "cards/rider_card.h"
#include "riders/notes_store.h"
#include "riders/rider_facts.h"
#include "riders/start_list.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <memory>
#include <optional>

class QWidget;

class RiderCards : public QObject, public DispatchObserver {
  Q_OBJECT

 public:
  RiderCards(const ScreenData& data, const QString& notes_path, QObject* parent = nullptr);
  ~RiderCards() override;

  // DispatchObserver
  void RecordDispatched(const WriteReport& written, const ScreenData& data) override;

  // Reads the file whole or not at all; on an error the list in use stays.
  bool OpenStartList(const QString& path, QString& error);
  const std::optional<StartList>& List() const { return list_; }
  // For the status corner: the start list's file name; a notes problem.
  QString StartListText() const;
  QString NotesText() const;
  // Shares the notes through the broker the relay uses.
  void ShareNotes(const relay::BrokerOptions& options);
  NotesLink* Link() const { return link_.get(); }
  // Keeps the notes in `path` from now on (what is pending is saved first).
  void UseNotesFile(const QString& path);

  // Double clicks on the rows of this screen's grids open the rider's card;
  // a screen builds its grids when first shown, so they are looked for then.
  void WatchScreen(QWidget* screen);
  // The card with the "Rider" box ready to type in.
  void ShowRiderBox();
  // The card of the rider with this bib, or, when no rider has it, of the
  // one the start list (or the rows) name so.
  void ShowRider(const QString& bib_or_name);
  void ShowRowRider(const std::string& bib, const std::string& name);

  RiderCard* Card() const { return card_; }
  RiderFacts& Facts() { return facts_; }
  NotesStore& Notes() { return *notes_; }
  // Who edits notes on this screen.
  const QString& Author() const { return author_; }

 signals:
  void StatusChanged();

 private:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void WatchGrids(QWidget* screen);
  RiderCard& EnsureCard();
  void Refresh();
  void RefreshNote();

  const ScreenData& data_;
  std::optional<StartList> list_;
  QString list_path_;
  RiderFacts facts_;
  std::unique_ptr<NotesStore> notes_;
  std::unique_ptr<NotesLink> link_;
  QString author_;
  QPointer<RiderCard> card_;
  QString bib_;   // the rider shown: a bib, or
  QString name_;  // a name only
  QSet<const QObject*> watched_;
  QTimer refresh_;  // live records refresh an open card at most this often
};
