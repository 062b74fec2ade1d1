#include "app/commenta0.h"

#include "app/commenta_ip.h"
#include "app/data_files.h"
#include "app/globals.h"
#include "platform/text_list.h"
#include "platform/udp_receiver.h"
#include "platform/windows.h"
#include "records/record_families.h"
#include "records/record_text.h"
#include "screens/artwork.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kTrafficLogLines = 30;
constexpr std::string_view kHeartbeatLine = "Heartbeat received from SERVER!!";
constexpr std::string_view kIgnoredPrefix = "IGNORED packet from ";

QLabel* MakeLabel(QWidget* parent, QPoint at, const QString& text, const QColor& colour,
                  const QFont& font) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setFont(font);
  SetTextColour(label, colour);
  label->move(at);
  label->adjustSize();
  return label;
}

// Keeps the nesting count right whatever leaves the receive cycle.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

}  // namespace

Tcommentator0_form::Tcommentator0_form(ListenerPorts ports) : ports_(ports) {
  setObjectName(QStringLiteral("commentator0_form"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setFont(DesignFont(Face::kMsSansSerif, 11));

  auto* file_menu = menuBar()->addMenu(QStringLiteral("&File"));
  Exit1 = file_menu->addAction(QStringLiteral("E&xit"));
  IPSettings1 = menuBar()->addAction(QStringLiteral("&IP Settings"));
  connect(Exit1, &QAction::triggered, this, &Tcommentator0_form::Exit1Click);
  connect(IPSettings1, &QAction::triggered, this, &Tcommentator0_form::IPSettings1Click);

  auto* client = new QWidget(this);
  SetBackground(client, QColor(0, 0, 128));
  setCentralWidget(client);

  Image1 = new QLabel(client);
  Image1->setGeometry(300, 4, 201, 229);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1->setPixmap(LogoPicture());

  const QColor yellow(255, 255, 0);
  Label1 = MakeLabel(client, {240, 236}, QStringLiteral("Commentator Screen"), yellow,
                     DesignFont(Face::kMsSansSerif, 32, true, true));
  Label3 = MakeLabel(client, {204, 288}, QString(), QColor(192, 192, 192),
                     DesignFont(Face::kMsSansSerif, 19, true));
  Label2 =
      MakeLabel(client, {204, 324}, QStringLiteral("stand by until TCP/IP packets received......."),
                yellow, DesignFont(Face::kMsSansSerif, 19, true, true));

  ListBox1 = new TextList(client);
  ListBox1->setGeometry(8, 360, 785, 241);
  ListBox1->SetLineHeight(13);
  ListBox1->SetHorizontalExtent(2500);
  ListBox1->setAccessibleName(QStringLiteral("Traffic log"));

  WSocket1 = new UdpReceiver(this);
  WSocket2 = new UdpReceiver(this);
  connect(WSocket1, &UdpReceiver::DataAvailable, this, &Tcommentator0_form::WSocket1DataAvailable);
  connect(WSocket2, &UdpReceiver::DataAvailable, this, &Tcommentator0_form::WSocket2DataAvailable);

  SetOuterSize(this, QSize(812, 656));
  FormCreate();
}

Tcommentator0_form::~Tcommentator0_form() = default;

void Tcommentator0_form::FormCreate() {
  setWindowTitle(QStringLiteral("Commentator Screen v2.09"));
  globals::display_colours = {QColor(0, 0, 0), QColor(255, 255, 255), QColor(128, 0, 128)};
}

void Tcommentator0_form::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_once_) {
    shown_once_ = true;
    FormShow();
  }
}

void Tcommentator0_form::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  // Minimising hides a window spontaneously; only the end of the program
  // hides the main window on purpose.
  if (!event->spontaneous() && shown_once_ && !hidden_once_) {
    hidden_once_ = true;
    FormHide();
  }
}

void Tcommentator0_form::closeEvent(QCloseEvent* event) {
  // The end sequence hides and destroys the windows in order.
  event->ignore();
  Exit1Click();
}

void Tcommentator0_form::FormShow() {
  LoadSettings();
  WSocket1->Open(ports_.first);
  WSocket2->Open(ports_.second);
  ListBox1->Clear();
  ListBox1->SetColours(globals::display_colours.background, globals::display_colours.text);
  UpdateAddressLabel();
}

void Tcommentator0_form::FormHide() {
  WSocket1->Close();
  WSocket2->Close();
  SaveSettings();
}

void Tcommentator0_form::Exit1Click() {
  QApplication::quit();
}

// --- Listener ---------------------------------------------------------------

void Tcommentator0_form::WSocket1DataAvailable() {
  RunReceiveCycle(*WSocket1);
}

void Tcommentator0_form::WSocket2DataAvailable() {
  RunReceiveCycle(*WSocket2);
}

void Tcommentator0_form::RunReceiveCycle(UdpReceiver& receiver) {
  // At the bound, pending datagrams wait: the outer cycle drains its own
  // socket, and the notifier reports the other again on the next loop pass.
  if (receive_depth_ >= kMaxReceiveDepth) {
    return;
  }
  DepthGuard depth(receive_depth_);
  max_receive_depth_seen_ = std::max(max_receive_depth_seen_, receive_depth_);
  QElapsedTimer draining;
  draining.start();
  while (HandleOneDatagram(receiver) && receiver.HasPendingData() &&
         draining.nsecsElapsed() < drain_budget_.count()) {
  }
}

bool Tcommentator0_form::HandleOneDatagram(UdpReceiver& receiver) {
  UdpReceiver::Datagram datagram;  // this handling's own buffer
  if (!receiver.Receive(datagram)) {
    return false;
  }
  const std::string sender = std::move(datagram.sender);
  const std::string text(datagram.bytes, strnlen(datagram.bytes, datagram.size));

  if (PassesListeningAddress(sender)) {
    DispatchRecord(text);
  }
  // Asked again: the address may have changed while the record was handled.
  if (PassesListeningAddress(sender)) {
    AddLogLine(sender + ">" + text);
  } else {
    AddLogLine(std::string(kIgnoredPrefix) + sender);
  }
  TrimTrafficLog();
  return true;
}

bool Tcommentator0_form::PassesListeningAddress(const std::string& sender) const {
  return globals::listening_address == globals::kAllSenders || globals::listening_address == sender;
}

void Tcommentator0_form::AddLogLine(std::string_view line) {
  ListBox1->AddLine(line);
  ++traffic_lines_added_;
}

void Tcommentator0_form::TrimTrafficLog() {
  if (ListBox1->LineCount() <= kTrafficLogLines) {
    return;
  }
  while (ListBox1->LineCount() > kTrafficLogLines) {
    ListBox1->RemoveFirstLine();
  }
  ListBox1->SetTopLine(ListBox1->LineCount() - 1);
}

// --- Records ----------------------------------------------------------------

void Tcommentator0_form::DispatchRecord(std::string text) {
  try {
    if (!isVisible()) {
      return;
    }
    // Indexed once for every family; nested records get their own.
    const RecordTags record(text);
    if (record.Flag("{heartbeat}")) {
      AddLogLine(kHeartbeatLine);
      TrimTrafficLog();
      return;
    }
    DispatchToFamilies(screens_, record);
  } catch (...) {
    // A record never disturbs the listener; what it wrote so far stays.
  }
}

// --- Listening address ----------------------------------------------------

void Tcommentator0_form::LoadSettings() {
  globals::listening_address = ReadListeningAddress(kSettingsFileName);
}

void Tcommentator0_form::SaveSettings() {
  WriteListeningAddress(kSettingsFileName, globals::listening_address);
}

void Tcommentator0_form::UpdateAddressLabel() {
  std::string shown = globals::listening_address;
  if (shown == globals::kAllSenders) {
    shown += " (ALL)";
  }
  Label3->setText(QStringLiteral("IP Listening Address = ") +
                  QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size())));
  Label3->adjustSize();
}

void Tcommentator0_form::IPSettings1Click() {
  if (ip_settings_ == nullptr) {
    return;
  }
  ip_settings_->SetAddressText(globals::listening_address);
  if (ip_settings_->exec() != QDialog::Accepted) {
    return;
  }
  std::string address = ip_settings_->AddressText();
  if (address.size() > globals::kListeningAddressLimit) {
    address.resize(globals::kListeningAddressLimit);
  }
  globals::listening_address = std::move(address);
  SaveSettings();
  UpdateAddressLabel();
}
