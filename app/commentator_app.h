// Start-up and the orderly end: every window created hidden in the fixed
// order, the main window shown by the event loop, and on the way out the
// windows destroyed last-created first with the main window hidden last.
#pragma once

#include "app/listening_address.h"
#include "app/race_data_listener.h"
#include "records/dispatch.h"
#include "records/screen_data.h"

#include <memory>

class IpSettingsDialog;
class MainWindow;
class PointsRaceScreen;
class QuickTextWindow;
class ScratchScreen;
class SprintScreen;
class TimeTrialScreen;

inline constexpr const char* kApplicationTitle = "Orvane Commentator Screen";

class CommentatorApp {
 public:
  explicit CommentatorApp(ListenerPorts ports = {});
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
};

int RunCommentator(int argc, char** argv);
