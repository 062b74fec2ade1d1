#include "cards/rider_card.h"

#include <QDateTime>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QStringList kTodayHeadings = {"Screen", "Heat", "Place", "Points", "Time", "Status"};

QString Shown(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString Version(const NoteVersion& version) {
  return QStringLiteral("%1, %2").arg(
      version.author,
      QDateTime::fromMSecsSinceEpoch(version.time_ms).toString(QStringLiteral("HH:mm:ss")));
}

}  // namespace

RiderCard::RiderCard(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("rider_card"));
  setWindowTitle(QStringLiteral("Rider"));
  resize(640, 640);

  auto* layout = new QVBoxLayout(this);
  auto* box_row = new QHBoxLayout;
  auto* box_label = new QLabel(QStringLiteral("&Rider:"), this);
  rider_box_ = new QLineEdit(this);
  rider_box_->setObjectName(QStringLiteral("rider_box"));
  rider_box_->setAccessibleName(QStringLiteral("Rider"));
  rider_box_->setPlaceholderText(QStringLiteral("bib"));
  rider_box_->setMaxLength(64);
  box_label->setBuddy(rider_box_);
  box_row->addWidget(box_label);
  box_row->addWidget(rider_box_, 1);
  layout->addLayout(box_row);
  connect(rider_box_, &QLineEdit::returnPressed, this,
          [this] { emit RiderAsked(rider_box_->text().trimmed()); });

  title_ = new QLabel(this);
  title_->setObjectName(QStringLiteral("rider_title"));
  title_->setTextFormat(Qt::PlainText);
  QFont big = title_->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  title_->setFont(big);
  layout->addWidget(title_);

  fields_ = new QFormLayout;
  layout->addLayout(fields_);

  auto* today_label = new QLabel(QStringLiteral("Today so far (newest first)"), this);
  layout->addWidget(today_label);
  today_ = new QTableWidget(0, static_cast<int>(kTodayHeadings.size()), this);
  today_->setObjectName(QStringLiteral("today_so_far"));
  today_->setAccessibleName(QStringLiteral("Today so far"));
  today_->setHorizontalHeaderLabels(kTodayHeadings);
  today_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  today_->setSelectionBehavior(QAbstractItemView::SelectRows);
  today_->verticalHeader()->hide();
  today_->verticalHeader()->setDefaultSectionSize(today_->fontMetrics().height() + 6);
  today_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  today_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  today_label->setBuddy(today_);
  layout->addWidget(today_, 3);

  auto* notes_label = new QLabel(QStringLiteral("&Notes"), this);
  layout->addWidget(notes_label);
  notes_ = new QPlainTextEdit(this);
  notes_->setObjectName(QStringLiteral("notes"));
  notes_->setAccessibleName(QStringLiteral("Notes"));
  notes_->setTabChangesFocus(true);
  notes_label->setBuddy(notes_);
  layout->addWidget(notes_, 2);
  connect(notes_, &QPlainTextEdit::textChanged, this, [this] {
    if (!showing_note_ && !bib_.isEmpty()) {
      emit NoteEdited(bib_, notes_->toPlainText());
    }
  });

  auto* note_row = new QHBoxLayout;
  note_author_ = new QLabel(this);
  note_author_->setObjectName(QStringLiteral("note_author"));
  note_status_ = new QLabel(this);
  note_status_->setObjectName(QStringLiteral("note_status"));
  previous_ = new QPushButton(QStringLiteral("Restore &Previous Version"), this);
  previous_->setObjectName(QStringLiteral("previous_version"));
  connect(previous_, &QPushButton::clicked, this, [this] { emit PreviousVersionAsked(bib_); });
  note_row->addWidget(note_author_, 1);
  note_row->addWidget(note_status_, 1);
  note_row->addWidget(previous_);
  layout->addLayout(note_row);
  ShowRider({}, {}, nullptr);
}

void RiderCard::FocusRiderBox() {
  rider_box_->setFocus(Qt::ShortcutFocusReason);
  rider_box_->selectAll();
}

// A screen reader reads the value with its heading: "Team: Nordic Track".
void RiderCard::AddField(const QString& heading, const QString& text) {
  auto* value = new QLabel(text, this);
  value->setTextFormat(Qt::PlainText);
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  value->setWordWrap(true);
  value->setAccessibleName(heading + QStringLiteral(": ") + text);
  fields_->addRow(heading + QLatin1Char(':'), value);
}

void RiderCard::ShowRider(const QString& bib, const QString& name, const StartListRider* entry) {
  bib_ = bib;
  while (fields_->rowCount() > 0) {
    fields_->removeRow(0);
  }
  QString title = bib.isEmpty() ? name : (name.isEmpty() ? bib : bib + QStringLiteral("  ") + name);
  if (bib.isEmpty() && name.isEmpty()) {
    title = QStringLiteral("Type a bib in the Rider box");
  }
  title_->setText(title);
  setWindowTitle(bib.isEmpty() && name.isEmpty() ? QStringLiteral("Rider")
                                                 : QStringLiteral("Rider ") + title);
  if (entry != nullptr) {
    const std::pair<const char*, const QString*> known[] = {
        {"Bib", &entry->bib},       {"Name", &entry->name},     {"Team", &entry->team},
        {"Nation", &entry->nation}, {"UCI ID", &entry->uci_id}, {"Born", &entry->born}};
    for (const auto& [heading, value] : known) {
      AddField(QString::fromLatin1(heading), *value);
    }
    for (const auto& [heading, value] : entry->other) {
      AddField(heading, value);
    }
  } else if (!bib.isEmpty() || !name.isEmpty()) {
    AddField(QStringLiteral("Start list"), QStringLiteral("not on the start list"));
  }
  notes_->setEnabled(!bib.isEmpty());
  notes_->setPlaceholderText(bib.isEmpty() ? QStringLiteral("Notes are kept by bib")
                                           : QStringLiteral("Notes for bib ") + bib);
}

void RiderCard::ShowFacts(const std::vector<RiderFact>& facts) {
  today_->setRowCount(static_cast<int>(facts.size()));
  for (int row = 0; row < static_cast<int>(facts.size()); ++row) {
    const RiderFact& f = facts[static_cast<std::size_t>(row)];
    const std::string* cells[] = {&f.screen, &f.heat, &f.place, &f.points, &f.time, &f.status};
    for (int col = 0; col < 6; ++col) {
      today_->setItem(row, col, new QTableWidgetItem(Shown(*cells[col])));
    }
  }
}

void RiderCard::ShowNote(const std::optional<Note>& note) {
  const QString text = note ? note->current.text : QString();
  if (notes_->toPlainText() != text) {
    showing_note_ = true;
    notes_->setPlainText(text);
    showing_note_ = false;
  }
  note_author_->setText(note && !note->current.author.isEmpty()
                            ? QStringLiteral("Last edit: ") + Version(note->current)
                            : QString());
  previous_->setEnabled(note && note->previous.has_value());
  previous_->setToolTip(note && note->previous
                            ? QStringLiteral("Back to the version of ") + Version(*note->previous)
                            : QString());
}

void RiderCard::ShowNoteStatus(const QString& text) {
  note_status_->setText(text);
}

QString RiderCard::NoteText() const {
  return notes_->toPlainText();
}
