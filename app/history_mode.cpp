#include "app/history_mode.h"

#include "app/commentator_app.h"
#include "app/history_bar.h"
#include "app/history_frame.h"
#include "app/listening_address.h"
#include "app/main_window.h"
#include "history/session_file.h"
#include "platform/application.h"
#include "screens/points_race_screen.h"
#include "screens/quick_text_window.h"
#include "screens/scratch_screen.h"
#include "screens/sprint_screen.h"
#include "screens/time_trial_screen.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

#include <algorithm>
#include <cstring>

namespace {

ScreenWindows WindowsOf(CommentatorApp& app) {
  return {&app.Scratch(), &app.QuickText(), &app.Sprint(), &app.PointsRace(), &app.TimeTrial()};
}

std::vector<QWidget*> EventScreens(CommentatorApp& app) {
  return {&app.Scratch(), &app.QuickText(), &app.Sprint(), &app.PointsRace(), &app.TimeTrial()};
}

}  // namespace

HistoryMode::HistoryMode(CommentatorApp& app, SessionHistory::Limits limits)
    : app_(app),
      history_(limits),
      bar_(new HistoryBar(&app.Main())),
      unseen_{{raised_meanwhile_, 0},
              {raised_meanwhile_, 1},
              {raised_meanwhile_, 2},
              {raised_meanwhile_, 3},
              {raised_meanwhile_, 4}},
      held_(held_data_, {&unseen_[0], &unseen_[1], &unseen_[2], &unseen_[3], &unseen_[4]},
            app.Main()),
      quiet_log_(app.Main()),
      catch_up_(app.Data(), WindowsOf(app), quiet_log_) {
  app_.Listener().AddObserver(this);
  MainWindow& main = app_.Main();
  action_ = main.ViewMenu()->addAction(QStringLiteral("History"));
  action_->setObjectName(QStringLiteral("ViewHistory"));
  action_->setCheckable(true);
  action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  connect(action_, &QAction::triggered, this, [this](bool on) { on ? Enter() : Leave(); });

  connect(bar_, &HistoryBar::MomentChosen, this, &HistoryMode::ShowMoment);
  connect(bar_, &HistoryBar::StepChosen, this, &HistoryMode::Step);
  connect(bar_, &HistoryBar::HeatChosen, this, &HistoryMode::StepHeat);
  connect(bar_, &HistoryBar::LiveChosen, this, &HistoryMode::Leave);
  main.installEventFilter(this);

  // File > "Open Session...", above the separator before "Exit".
  QAction* open_session = new QAction(QStringLiteral("Open Session..."), this);
  open_session->setObjectName(QStringLiteral("OpenSession"));
  connect(open_session, &QAction::triggered, this, &HistoryMode::ChooseSessionFile);
  QMenu* file_menu = main.menuBar()->actions().constFirst()->menu();
  const QList<QAction*> items = file_menu->actions();
  const qsizetype exit = items.indexOf(main.findChild<QAction*>(QStringLiteral("Exit1")));
  file_menu->insertAction(exit > 0 ? items[exit - 1] : nullptr, open_session);

  // The keys work on the main window and on every event screen, and only
  // while history shows, so they take nothing away from the screens.
  struct Key {
    QKeySequence keys;
    void (HistoryMode::*act)(int);
    int by;
  };
  const Key keys[] = {
      {QKeySequence(Qt::Key_Left), &HistoryMode::Step, -1},
      {QKeySequence(Qt::Key_Right), &HistoryMode::Step, 1},
      {QKeySequence(Qt::CTRL | Qt::Key_Left), &HistoryMode::StepHeat, -1},
      {QKeySequence(Qt::CTRL | Qt::Key_Right), &HistoryMode::StepHeat, 1},
  };
  std::vector<QWidget*> windows = EventScreens(app_);
  windows.push_back(&main);
  for (QWidget* window : windows) {
    for (const Key& key : keys) {
      auto* shortcut = new QShortcut(key.keys, window);
      shortcut->setEnabled(false);
      connect(shortcut, &QShortcut::activated, this, [this, key] { (this->*key.act)(key.by); });
      connect(this, &HistoryMode::ActiveChanged, shortcut, &QShortcut::setEnabled);
    }
    auto* live = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    live->setEnabled(false);
    connect(live, &QShortcut::activated, this, &HistoryMode::Leave);
    connect(this, &HistoryMode::ActiveChanged, live, &QShortcut::setEnabled);
    if (window != &main) {
      // Ctrl+H from a screen too.
      auto* open = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), window);
      connect(open, &QShortcut::activated, this, [this] { active_ ? Leave() : Enter(); });
    }
  }
}

HistoryMode::~HistoryMode() {
  app_.Listener().HoldDispatch(nullptr);
  app_.Listener().RemoveObserver(this);
}

void HistoryMode::DatagramTaken(int receiver, std::string_view sender, std::string_view bytes,
                                bool accepted) {
  history_.Add(QDateTime::currentMSecsSinceEpoch(), receiver, sender, bytes, accepted);
  if (active_ && browsed_ == &history_) {
    // The bar's end moves on; what shows stays. A shown moment the bound
    // dropped moves to the oldest kept.
    if (shown_ < history_.Begin()) {
      ShowMoment(history_.Begin());
    } else {
      bar_->Show(history_.Begin(), history_.End(), shown_, ShownTimeText());
    }
  }
}

void HistoryMode::MakeFrames() {
  if (!frames_.empty()) {
    return;
  }
  for (QWidget* screen : EventScreens(app_)) {
    frames_.push_back(new HistoryFrame(screen));
  }
}

std::vector<HistoryFrame*> HistoryMode::Frames() {
  MakeFrames();
  return frames_;
}

void HistoryMode::Enter() {
  if (active_) {
    return;
  }
  MakeFrames();
  live_on_entry_ = ScreenDataSnapshot::Take(app_.Data());
  // The held records write the live data aside, so what reads the rows a
  // record wrote (rider facts) reads them as live.
  live_on_entry_.RestoreInto(held_data_);
  entered_at_ = history_.End();
  raised_meanwhile_.clear();
  app_.Listener().HoldDispatch(&held_);
  active_ = true;
  action_->setChecked(true);
  emit ActiveChanged(true);
  PlaceBar();
  ShowMoment(history_.End());
}

void HistoryMode::Leave() {
  if (!active_) {
    return;
  }
  app_.Listener().HoldDispatch(nullptr);
  const std::uint64_t meanwhile = history_.End() - entered_at_;
  if (entered_at_ >= history_.Begin() && meanwhile <= catch_up_limit_) {
    live_on_entry_.RestoreInto(app_.Data());
    for (std::uint64_t index = entered_at_; index < history_.End(); ++index) {
      const KeptDatagram datagram = history_.At(index);
      if (datagram.accepted) {
        catch_up_.DispatchRecord(
            datagram.bytes.substr(0, strnlen(datagram.bytes.data(), datagram.bytes.size())));
      }
    }
  } else {
    // Windows first: a screen coming into view empties itself.
    const ScreenWindows windows = WindowsOf(app_);
    ScreenWindow* const in_order[] = {windows.scratch, windows.quick_text, windows.sprint,
                                      windows.points_race, windows.time_trial};
    for (const int screen : raised_meanwhile_) {
      in_order[screen]->ShowAndRaise();
    }
    history_.ScreensNow().cells.RestoreInto(app_.Data());
  }
  live_on_entry_ = {};
  browsed_ = &history_;
  opened_.reset();
  active_ = false;
  action_->setChecked(false);
  bar_->hide();
  for (HistoryFrame* frame : frames_) {
    frame->hide();
  }
  emit ActiveChanged(false);
}

void HistoryMode::ShowMoment(std::uint64_t moment) {
  if (!active_) {
    return;
  }
  shown_ = std::clamp(moment, browsed_->Begin(), browsed_->End());
  ShowOnScreens();
}

void HistoryMode::Step(int records) {
  if (records < 0 && shown_ > browsed_->Begin()) {
    ShowMoment(shown_ - 1);
  } else if (records > 0) {
    ShowMoment(shown_ + 1);
  }
}

void HistoryMode::StepHeat(int heats) {
  ShowMoment(heats < 0 ? browsed_->HeatBefore(shown_) : browsed_->HeatAfter(shown_));
}

QString HistoryMode::ShownTimeText() const {
  if (browsed_->End() == browsed_->Begin()) {
    return QStringLiteral("no records yet");
  }
  const std::uint64_t last = std::max(shown_, browsed_->Begin() + 1) - 1;
  return QDateTime::fromMSecsSinceEpoch(browsed_->At(last).time_ms)
      .toString(QStringLiteral("HH:mm:ss.zzz"));
}

void HistoryMode::ShowOnScreens() {
  browsed_->ScreensAt(shown_).cells.RestoreInto(app_.Data());
  const QString time = ShownTimeText();
  bar_->Show(browsed_->Begin(), browsed_->End(), shown_, time);
  for (HistoryFrame* frame : frames_) {
    frame->Show(time);
  }
}

void HistoryMode::PlaceBar() {
  MainWindow& main = app_.Main();
  const int top = main.menuBar()->geometry().bottom() + 1;
  bar_->setGeometry(0, top, main.width(), bar_->sizeHint().height());
  bar_->raise();
}

bool HistoryMode::eventFilter(QObject* watched, QEvent* event) {
  if (active_ && watched == &app_.Main() && event->type() == QEvent::Resize) {
    PlaceBar();
  }
  return QObject::eventFilter(watched, event);
}

bool HistoryMode::OpenSession(const QString& path, QString& error) {
  auto opened = std::make_unique<SessionHistory>();
  const ListeningAddress& address = app_.Listener().Address();
  const SessionFileRead read = ReadSessionFile(
      QFile::encodeName(path).toStdString(), address.Text(), app_.Listener().Port(1),
      QFileInfo(path).lastModified().toMSecsSinceEpoch(),
      [](std::string_view text, std::string_view sender) {
        ListeningAddress in_force;
        in_force.SetText(text);
        return in_force.Accepts(sender);
      },
      *opened);
  if (!read.error.empty()) {
    error = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(),
                                         QString::fromLocal8Bit(read.error.c_str()));
    return false;
  }
  Enter();
  opened_ = std::move(opened);
  browsed_ = opened_.get();
  ShowMoment(browsed_->End());
  return true;
}

void HistoryMode::ChooseSessionFile() {
  const QString path = QFileDialog::getOpenFileName(
      &app_.Main(), QStringLiteral("Open Session"), QDir::currentPath(),
      QStringLiteral("Session files (*.txt);;All files (*)"), nullptr,
      QFileDialog::DontUseNativeDialog);
  if (path.isEmpty()) {
    return;
  }
  QString error;
  if (!OpenSession(path, error)) {
    ReportError(error);
  }
}
