// Start-up and the orderly end: every window created hidden in the fixed
// order, the main window shown by the event loop, and on the way out the
// windows destroyed last-created first with the main window hidden last.
#pragma once

#include "app/feed_status.h"
#include "app/listening_address.h"
#include "app/race_data_listener.h"
#include "records/dispatch.h"
#include "records/screen_data.h"
#include "relay/broker_options.h"

#include <QString>

#include <memory>

class BrokerLink;
class DelayControl;
class FeedNotices;
class HistoryMode;
class IpSettingsDialog;
class MainWindow;
class PointsRaceScreen;
class QuickTextWindow;
class RiderCards;
class ScratchScreen;
class SessionRecorder;
class SprintScreen;
class TimeTrialScreen;

inline constexpr const char* kApplicationTitle = "Orvane Commentator Screen";

class CommentatorApp {
 public:
  // `clock` times the feed status; the system's when none is given.
  explicit CommentatorApp(ListenerPorts ports = {}, const FeedClock* clock = nullptr);
  ~CommentatorApp();
  CommentatorApp(const CommentatorApp&) = delete;
  CommentatorApp& operator=(const CommentatorApp&) = delete;

  // The event loop's first step: the main window, centred on the desktop.
  void ShowMainWindow();

  ListeningAddress& Address() { return address_; }
  ScreenData& Data() { return data_; }
  MainWindow& Main() { return *main_window_; }
  RaceDataListener& Listener() { return *listener_; }
  RecordDispatcher& Dispatcher() { return *dispatcher_; }
  IpSettingsDialog& IpSettings() { return *ip_settings_; }
  ScratchScreen& Scratch() { return *scratch_; }
  QuickTextWindow& QuickText() { return *quick_text_; }
  SprintScreen& Sprint() { return *sprint_; }
  PointsRaceScreen& PointsRace() { return *points_race_; }
  TimeTrialScreen& TimeTrial() { return *time_trial_; }
  FeedStatus& Feed() { return *feed_status_; }
  FeedStatusView& FeedView() { return *feed_view_; }
  FeedNotices& Notices() { return *feed_notices_; }
  SessionRecorder* Recorder() { return recorder_.get(); }
  HistoryMode& History() { return *history_; }
  DelayControl* Delay() { return delay_.get(); }
  RiderCards& Riders() { return *rider_cards_; }

  // A session recording into `path`, which must not exist yet; false, with
  // `error` saying why, when it cannot start.
  bool StartRecording(const QString& path, QString& error);
  void StopRecording();
  // Relays the feed through a broker, as publisher or subscriber.
  void ConnectBroker(relay::Role role, const relay::BrokerOptions& options);

 private:
  ListeningAddress address_;
  ScreenData data_;  // outlives every window that shows it
  std::unique_ptr<MainWindow> main_window_;
  std::unique_ptr<SprintScreen> sprint_;
  std::unique_ptr<TimeTrialScreen> time_trial_;
  std::unique_ptr<PointsRaceScreen> points_race_;
  std::unique_ptr<IpSettingsDialog> ip_settings_;
  std::unique_ptr<ScratchScreen> scratch_;
  std::unique_ptr<QuickTextWindow> quick_text_;
  std::unique_ptr<RecordDispatcher> dispatcher_;
  std::unique_ptr<RaceDataListener> listener_;
  SystemFeedClock system_clock_;
  std::unique_ptr<FeedStatus> feed_status_;
  FeedStatusView* feed_view_;  // owned by the main window
  std::unique_ptr<FeedNotices> feed_notices_;
  std::unique_ptr<SessionRecorder> recorder_;
  std::unique_ptr<BrokerLink> broker_;
  std::unique_ptr<HistoryMode> history_;
  std::unique_ptr<DelayControl> delay_;
  std::unique_ptr<RiderCards> rider_cards_;
};

int RunCommentator(int argc, char** argv);
