#include "cards/rider_cards.h"

#include "cards/rider_card.h"
#include "riders/bib.h"
#include "riders/rider_keys.h"
#include "riders/row_rider.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QEvent>
#include <QFileInfo>
#include <QSysInfo>

namespace {

constexpr int kRefreshMs = 250;

QString FromBytes(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString LocalAuthor() {
  QString user = qEnvironmentVariable("USER");
  if (user.isEmpty()) {
    user = QStringLiteral("commentator");
  }
  return (user + QLatin1Char('@') + QSysInfo::machineHostName()).left(kMaxAuthorChars);
}

}  // namespace

RiderCards::RiderCards(const ScreenData& data, const QString& notes_path, QObject* parent)
    : QObject(parent), data_(data), author_(LocalAuthor()) {
  UseNotesFile(notes_path);
  refresh_.setSingleShot(true);
  connect(&refresh_, &QTimer::timeout, this, &RiderCards::Refresh);
}

RiderCards::~RiderCards() {
  delete card_.data();
  link_.reset();   // sends what is pending
  notes_.reset();  // saves what is pending
}

QString RiderCards::NotesText() const {
  QStringList problems;
  for (const QString& problem : {notes_->Problem(), link_ ? link_->Problem() : QString()}) {
    if (!problem.isEmpty()) {
      problems << problem;
    }
  }
  return problems.join(QStringLiteral("; "));
}

void RiderCards::ShareNotes(const relay::BrokerOptions& options) {
  link_ = std::make_unique<NotesLink>(options, *notes_);
  connect(link_.get(), &NotesLink::StateChanged, this, &RiderCards::StatusChanged);
  emit StatusChanged();
}

void RiderCards::UseNotesFile(const QString& path) {
  link_.reset();  // it shares the store it was given
  notes_ = std::make_unique<NotesStore>(path);
  notes_->Load();
  connect(notes_.get(), &NotesStore::ProblemChanged, this, &RiderCards::StatusChanged);
  connect(notes_.get(), &NotesStore::ProblemChanged, this, &RiderCards::RefreshNote);
  connect(notes_.get(), &NotesStore::NoteChanged, this, [this](const QString& bib) {
    if (card_ != nullptr && bib == bib_) {
      RefreshNote();
    }
  });
  emit StatusChanged();
  RefreshNote();
}

void RiderCards::RecordDispatched(const WriteReport& written, const ScreenData& data) {
  facts_.Take(written, data);
  if (card_ != nullptr && card_->isVisible() && !refresh_.isActive()) {
    refresh_.start(kRefreshMs);
  }
}

bool RiderCards::OpenStartList(const QString& path, QString& error) {
  StartListError problem;
  std::optional<StartList> list = StartList::Load(path, problem);
  if (!list) {
    error = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), problem.Text());
    return false;
  }
  list_ = std::move(list);
  list_path_ = path;
  emit StatusChanged();
  if (card_ != nullptr) {
    Refresh();
  }
  return true;
}

QString RiderCards::StartListText() const {
  if (!list_) {
    return {};
  }
  return QStringLiteral("%1 riders from %2")
      .arg(list_->Riders().size())
      .arg(QFileInfo(list_path_).fileName());
}

RiderCard& RiderCards::EnsureCard() {
  if (card_ == nullptr) {
    card_ = new RiderCard;
    connect(card_, &RiderCard::RiderAsked, this, &RiderCards::ShowRider);
    connect(card_, &RiderCard::NoteEdited, this, [this](const QString& bib, const QString& text) {
      notes_->SetText(bib, text, author_, QDateTime::currentMSecsSinceEpoch());
    });
    connect(card_, &RiderCard::PreviousVersionAsked, this, [this](const QString& bib) {
      notes_->RestorePrevious(bib, author_, QDateTime::currentMSecsSinceEpoch());
    });
  }
  return *card_;
}

void RiderCards::WatchScreen(QWidget* screen) {
  screen->installEventFilter(this);
  WatchGrids(screen);
}

bool RiderCards::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show) {
    WatchGrids(static_cast<QWidget*>(watched));
  }
  return QObject::eventFilter(watched, event);
}

// The grids are item views over the screens' grid models; the model tells
// which screen data the row is of.
void RiderCards::WatchGrids(QWidget* screen) {
  for (QAbstractItemView* grid : screen->findChildren<QAbstractItemView*>()) {
    const auto* model = qobject_cast<const GridModel*>(grid->model());
    if (model == nullptr || watched_.contains(grid)) {
      continue;
    }
    watched_.insert(grid);
    connect(grid, &QObject::destroyed, this, [this, grid] { watched_.remove(grid); });
    connect(grid, &QAbstractItemView::doubleClicked, this, [this, model](const QModelIndex& index) {
      if (const std::optional<RowRider> rider =
              RiderOnRow(data_, *model, index.row() + model->FixedRows())) {
        ShowRowRider(rider->bib, rider->name);
      }
    });
  }
}

void RiderCards::ShowRiderBox() {
  RiderCard& card = EnsureCard();
  if (bib_.isEmpty() && name_.isEmpty()) {
    Refresh();
  }
  card.show();
  card.raise();
  card.activateWindow();
  card.FocusRiderBox();
}

void RiderCards::ShowRider(const QString& bib_or_name) {
  const QString text = bib_or_name.trimmed();
  if (text.isEmpty()) {
    return;
  }
  if (IsValidBib(text)) {
    bib_ = text;
    name_.clear();
  } else if (const StartListRider* rider = list_ ? list_->FindName(text) : nullptr) {
    bib_ = rider->bib;
    name_.clear();
  } else {
    bib_.clear();
    name_ = text;
  }
  Refresh();
  RiderCard& card = EnsureCard();
  card.show();
  card.raise();
  card.activateWindow();
}

void RiderCards::ShowRowRider(const std::string& bib, const std::string& name) {
  ShowRider(bib.empty() ? FromBytes(name) : FromBytes(bib));
}

void RiderCards::Refresh() {
  RiderCard& card = EnsureCard();
  const StartListRider* entry = nullptr;
  std::vector<std::string> keys;
  QString name = name_;
  if (!bib_.isEmpty()) {
    entry = list_ ? list_->FindBib(bib_) : nullptr;
    keys = KeysOfBib(bib_, entry);
    if (entry != nullptr) {
      name = entry->name;
    } else {
      name = FromBytes(facts_.LastName(keys.front()));
    }
  } else if (!name_.isEmpty()) {
    keys.push_back(RiderFacts::NameKey(name_));
  }
  card.ShowRider(bib_, name, entry);
  card.ShowFacts(facts_.Facts(keys));
  RefreshNote();
}

void RiderCards::RefreshNote() {
  if (card_ == nullptr) {
    return;
  }
  card_->ShowNote(bib_.isEmpty() ? std::nullopt : notes_->Find(bib_));
  card_->ShowNoteStatus(notes_->Problem().isEmpty() ? QString() : notes_->Problem());
}
