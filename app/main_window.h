// The main window: logo, title, listening address, standing notice and the
// traffic log, with the File and IP Settings menus. Its first showing loads
// the listening address and opens the listener; its hiding at the end closes
// the listener and saves the address.
#pragma once

#include "records/dispatch.h"

#include <QMainWindow>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class IpSettingsDialog;
class ListeningAddress;
class QAction;
class QLabel;
class QMenu;
class RaceDataListener;
class TextList;
class WindowFrame;

class MainWindow : public QMainWindow, public TrafficLog {
  Q_OBJECT

 public:
  static constexpr int kTrafficLogLines = 30;
  static constexpr QSize kOuterSize{812, 656};

  explicit MainWindow(ListeningAddress& address);
  ~MainWindow() override;

  // The event loop's first step: the window centred on the desktop.
  void ShowCentred();

  void SetListener(RaceDataListener* listener) { listener_ = listener; }
  // The feed status, at the menu bar's right end.
  void SetFeedStatusView(QWidget* view);
  // Which of "Record Session..." and "Stop Recording" the File menu offers.
  void SetRecording(bool recording);
  void SetIpSettingsDialog(IpSettingsDialog* dialog) { ip_settings_ = dialog; }
  // History, delay and the like add their items here.
  QMenu* ViewMenu() const { return view_menu_; }

  // TrafficLog
  bool Shown() const override { return isVisible(); }
  void AddLine(std::string_view line) override;

  std::vector<std::string> TrafficLogLines() const;
  int TrafficLogTopLine() const;
  // Every line ever added to the traffic log, trimmed ones included.
  std::uint64_t TrafficLinesAdded() const { return traffic_lines_added_; }

  // The IP Settings dialog; OK stores, saves and shows the typed address.
  void EditListeningAddress();

 signals:
  // File > "Record Session...": the file chosen; File > "Stop Recording".
  void RecordSessionChosen(const QString& path);
  void StopRecordingChosen();
  // File > "Open Start List...": the file chosen; "Rider Card..." (Ctrl+R).
  void StartListChosen(const QString& path);
  void RiderCardAsked();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void StartListening();
  void StopListening();
  void TrimTrafficLog();
  void LoadSettings();
  void SaveSettings();
  void UpdateAddressLabel();
  void Exit();
  void ChooseSessionFile();
  void ChooseStartList();
  void PlaceFeedStatusView();

  ListeningAddress& address_;
  WindowFrame* frame_;
  RaceDataListener* listener_ = nullptr;
  IpSettingsDialog* ip_settings_ = nullptr;
  QAction* record_session_;
  QAction* stop_recording_;
  QMenu* view_menu_;
  QWidget* feed_status_view_ = nullptr;
  QLabel* logo_;
  QLabel* title_;
  QLabel* address_label_;
  QLabel* notice_;
  TextList* traffic_log_;
  bool shown_once_ = false;
  bool hidden_once_ = false;
  std::uint64_t traffic_lines_added_ = 0;
};
