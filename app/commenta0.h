// The main window: logo, title, listening address, standing notice and the
// traffic log. It owns the race data listener (two UDP receivers), the
// listening-address operations and the record dispatcher.
#pragma once

#include "records/event_screens.h"

#include <QMainWindow>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

class QAction;
class QLabel;
class TextList;
class Tip_listening_address_form;
class UdpReceiver;

struct ListenerPorts {
  quint16 first = 29105;   // WSocket1
  quint16 second = 29104;  // WSocket2
};

class Tcommentator0_form : public QMainWindow {
  Q_OBJECT

 public:
  explicit Tcommentator0_form(ListenerPorts ports = {});
  ~Tcommentator0_form() override;

  void SetEventScreens(const EventScreens& screens) { screens_ = screens; }
  void SetIpSettingsDialog(Tip_listening_address_form* dialog) { ip_settings_ = dialog; }

  // Hands one accepted record to its families; never fails, whatever the text.
  void DispatchRecord(std::string text);

  // Listener.
  void WSocket1DataAvailable();
  void WSocket2DataAvailable();
  void TrimTrafficLog();
  // A fast feed must not starve the event loop: after this long a receive
  // cycle leaves the rest of its queue to the notifier's next report.
  static constexpr std::chrono::nanoseconds kDrainBudget = std::chrono::milliseconds(5);
  void SetDrainBudget(std::chrono::nanoseconds budget) { drain_budget_ = budget; }
  // How deep receive cycles have nested inside one another so far; a record
  // family that lets the event loop run allows nesting up to the bound.
  static constexpr int kMaxReceiveDepth = 2;
  int MaxReceiveDepthSeen() const { return max_receive_depth_seen_; }
  // Every line ever added to the traffic log, trimmed ones included.
  std::uint64_t TrafficLinesAdded() const { return traffic_lines_added_; }

  // Listening address.
  void LoadSettings();
  void SaveSettings();
  void UpdateAddressLabel();
  void IPSettings1Click();

  void Exit1Click();

  QLabel* Image1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  TextList* ListBox1;
  UdpReceiver* WSocket1;
  UdpReceiver* WSocket2;
  QAction* Exit1;
  QAction* IPSettings1;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormHide();

  void RunReceiveCycle(UdpReceiver& receiver);
  bool HandleOneDatagram(UdpReceiver& receiver);
  bool PassesListeningAddress(const std::string& sender) const;
  void AddLogLine(std::string_view line);

  ListenerPorts ports_;
  EventScreens screens_;
  Tip_listening_address_form* ip_settings_ = nullptr;
  bool shown_once_ = false;
  bool hidden_once_ = false;
  int receive_depth_ = 0;
  int max_receive_depth_seen_ = 0;
  std::chrono::nanoseconds drain_budget_ = kDrainBudget;
  std::uint64_t traffic_lines_added_ = 0;
};
