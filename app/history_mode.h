// History on the screens: every datagram the listener takes in is kept, and
// the event screens can show any earlier moment of the session. Meanwhile
// live records keep coming in, are logged, recorded and relayed, and are
// kept, but do not touch what the screens show; "Live" puts back the
// screens as they were on entering and lets them take the records that came
// meanwhile, in order, through the screens' own rules and windows, so they
// end exactly as if history had never been opened.
#pragma once

#include "app/race_data_listener.h"
#include "history/session_history.h"
#include "records/dispatch.h"
#include "records/screen_data.h"
#include "records/screen_data_snapshot.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <vector>

class CommentatorApp;
class HistoryBar;
class HistoryFrame;
class QAction;

class HistoryMode : public QObject, public DatagramObserver {
  Q_OBJECT

 public:
  // Adds View > "History" to the main window and keeps what the listener
  // takes in from now on.
  explicit HistoryMode(CommentatorApp& app, SessionHistory::Limits limits = {});
  ~HistoryMode() override;

  void DatagramTaken(int receiver, std::string_view sender, std::string_view bytes,
                     bool accepted) override;

  bool Active() const { return active_; }
  // Shows the latest moment; the screens stop taking records.
  void Enter();
  // Back to the live screens.
  void Leave();
  // Up to this many records that came meanwhile are taken one by one on
  // "Live"; beyond, the screens take the history's own (the same rules on
  // the same records) at once and the windows come forward as those
  // records would have brought them.
  void SetCatchUpLimit(std::uint64_t records) { catch_up_limit_ = records; }
  // Shows a recorded session instead of this one's, at its end, until
  // "Live"; false, with `error` saying why, when it cannot be read.
  bool OpenSession(const QString& path, QString& error);
  void ShowMoment(std::uint64_t moment);
  void Step(int records);
  void StepHeat(int heats);
  std::uint64_t ShownMoment() const { return shown_; }
  // "19:42:13.250", the time the shown moment's last datagram came.
  QString ShownTimeText() const;

  SessionHistory& History() { return history_; }
  // What the bar browses: this session's history, or an opened one.
  const SessionHistory& Browsed() const { return *browsed_; }
  HistoryBar& Bar() { return *bar_; }
  // The frames of the five event screens, in the ScreenWindows order.
  std::vector<HistoryFrame*> Frames();

 signals:
  void ActiveChanged(bool active);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Notes which screens the records meanwhile would have brought forward,
  // the last one last.
  class Unseen : public ScreenWindow {
   public:
    Unseen(std::vector<int>& raised, int screen) : raised_(raised), screen_(screen) {}
    void ShowAndRaise() override {
      std::erase(raised_, screen_);
      raised_.push_back(screen_);
    }
    void DrawPending() override {}

   private:
    std::vector<int>& raised_;
    int screen_;
  };
  class QuietLog : public TrafficLog {
   public:
    explicit QuietLog(const TrafficLog& log) : log_(log) {}
    bool Shown() const override { return log_.Shown(); }
    void AddLine(std::string_view) override {}

   private:
    const TrafficLog& log_;
  };

  void ShowOnScreens();
  void ChooseSessionFile();
  void PlaceBar();
  void MakeFrames();

  CommentatorApp& app_;
  SessionHistory history_;
  std::unique_ptr<SessionHistory> opened_;
  SessionHistory* browsed_ = &history_;
  HistoryBar* bar_;  // owned by the main window
  std::vector<HistoryFrame*> frames_;
  QAction* action_;
  bool active_ = false;
  std::uint64_t catch_up_limit_ = 2000;
  std::uint64_t shown_ = 0;
  std::uint64_t entered_at_ = 0;
  ScreenDataSnapshot live_on_entry_;

  // Records that come while history shows: the traffic log still hears of
  // them (a heartbeat's line), the screens do not; they write a copy of the
  // live data instead.
  ScreenData held_data_;
  std::vector<int> raised_meanwhile_;
  Unseen unseen_[5];
  RecordDispatcher held_;
  // The screens taking the records that came meanwhile, on "Live"; each was
  // logged as it came.
  QuietLog quiet_log_;
  RecordDispatcher catch_up_;
};
