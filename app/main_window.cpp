#include "app/main_window.h"

#include "app/ip_settings_dialog.h"
#include "app/listening_address.h"
#include "app/race_data_listener.h"
#include "platform/fonts.h"
#include "platform/text_list.h"
#include "platform/window_frame.h"
#include "platform/windows.h"
#include "screens/artwork.h"
#include "screens/event_screen.h"
#include "screens/shown_text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QResizeEvent>

namespace {

const QColor kNavy(0, 0, 128);
const QColor kYellow(255, 255, 0);
const QColor kSilver(192, 192, 192);

QLabel* MakeLabel(QWidget* parent, const char* name, QPoint at, const QString& text,
                  const QColor& colour, const QFont& font) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  label->setFont(font);
  SetTextColour(label, colour);
  label->move(at);
  label->adjustSize();
  return label;
}

}  // namespace

MainWindow::MainWindow(ListeningAddress& address)
    : address_(address), frame_(new WindowFrame(this)) {
  setObjectName(QStringLiteral("commentator0_form"));
  setWindowTitle(QStringLiteral("Commentator Screen v2.09"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setFont(DesignFont(Face::kMsSansSerif, 11));

  QMenu* file_menu = menuBar()->addMenu(QStringLiteral("&File"));
  record_session_ = file_menu->addAction(QStringLiteral("Record Session..."));
  connect(record_session_, &QAction::triggered, this, &MainWindow::ChooseSessionFile);
  stop_recording_ = file_menu->addAction(QStringLiteral("Stop Recording"));
  connect(stop_recording_, &QAction::triggered, this, &MainWindow::StopRecordingChosen);
  SetRecording(false);
  file_menu->addSeparator();
  QAction* open_start_list = file_menu->addAction(QStringLiteral("Open Start List..."));
  connect(open_start_list, &QAction::triggered, this, &MainWindow::ChooseStartList);
  QAction* rider_card = file_menu->addAction(QStringLiteral("Rider Card..."));
  rider_card->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  rider_card->setShortcutContext(Qt::ApplicationShortcut);  // from the event screens too
  connect(rider_card, &QAction::triggered, this, &MainWindow::RiderCardAsked);
  file_menu->addSeparator();
  QAction* exit = file_menu->addAction(QStringLiteral("E&xit"));
  exit->setObjectName(QStringLiteral("Exit1"));
  connect(exit, &QAction::triggered, this, &MainWindow::Exit);
  view_menu_ = menuBar()->addMenu(QStringLiteral("&View"));
  QAction* ip_settings = menuBar()->addAction(QStringLiteral("&IP Settings"));
  ip_settings->setObjectName(QStringLiteral("IPSettings1"));
  connect(ip_settings, &QAction::triggered, this, &MainWindow::EditListeningAddress);

  auto* client = new QWidget(this);
  SetBackground(client, kNavy);
  setCentralWidget(client);

  logo_ = new QLabel(client);
  logo_->setObjectName(QStringLiteral("Image1"));
  logo_->setGeometry(300, 4, 201, 229);
  logo_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  logo_->setPixmap(LogoPicture());

  title_ = MakeLabel(client, "Label1", {240, 236}, QStringLiteral("Commentator Screen"), kYellow,
                     DesignFont(Face::kMsSansSerif, 32, true, true));
  address_label_ = MakeLabel(client, "Label3", {204, 288}, QString(), kSilver,
                             DesignFont(Face::kMsSansSerif, 19, true));
  notice_ = MakeLabel(client, "Label2", {204, 324},
                      QStringLiteral("stand by until TCP/IP packets received......."), kYellow,
                      DesignFont(Face::kMsSansSerif, 19, true, true));

  traffic_log_ = new TextList(client);
  traffic_log_->setObjectName(QStringLiteral("ListBox1"));
  traffic_log_->setGeometry(8, 360, 785, 241);
  traffic_log_->SetLineHeight(13);
  traffic_log_->SetHorizontalExtent(2500);
  traffic_log_->setAccessibleName(QStringLiteral("Traffic log"));

  frame_->SetOuterSize(kOuterSize);
}

void MainWindow::ShowCentred() {
  // On the monitor the event screens use: those that do not cover it open
  // centred over this window.
  const QRect desktop = PrimaryScreenAvailableGeometry();
  frame_->SetOuterGeometry(QRect(CentredOver(desktop, kOuterSize), kOuterSize));
  show();
}

MainWindow::~MainWindow() = default;

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_once_) {
    shown_once_ = true;
    StartListening();
  }
}

void MainWindow::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  // Minimising hides a window spontaneously; only the end of the program
  // hides the main window on purpose.
  if (!event->spontaneous() && shown_once_ && !hidden_once_) {
    hidden_once_ = true;
    StopListening();
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The end sequence hides and destroys the windows in order.
  event->ignore();
  Exit();
}

// The first showing: the listening address, both receivers, an empty log.
void MainWindow::StartListening() {
  LoadSettings();
  if (listener_ != nullptr) {
    listener_->Open();
  }
  traffic_log_->Clear();
  traffic_log_->SetColours(kDisplayColours.background, kDisplayColours.text);
  UpdateAddressLabel();
}

// The end of the program: the receivers closed, the address kept.
void MainWindow::StopListening() {
  if (listener_ != nullptr) {
    listener_->Close();
  }
  SaveSettings();
}

void MainWindow::Exit() {
  QApplication::quit();
}

void MainWindow::SetFeedStatusView(QWidget* view) {
  // Over the menu bar's right end rather than its corner widget: a screen
  // reader sees only the menus among the menu bar's children.
  feed_status_view_ = view;
  view->setParent(this);
  PlaceFeedStatusView();
  view->show();
}

void MainWindow::PlaceFeedStatusView() {
  if (feed_status_view_ == nullptr) {
    return;
  }
  // From past the last menu to the bar's right end; the text keeps right.
  const QRect bar = menuBar()->geometry();
  const QList<QAction*> menus = menuBar()->actions();
  const int left = menus.isEmpty() ? 0 : menuBar()->actionGeometry(menus.last()).right() + 16;
  feed_status_view_->setGeometry(bar.left() + left, bar.top(), bar.width() - left, bar.height());
  feed_status_view_->raise();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  PlaceFeedStatusView();
}

void MainWindow::SetRecording(bool recording) {
  record_session_->setEnabled(!recording);
  stop_recording_->setEnabled(recording);
}

void MainWindow::ChooseSessionFile() {
  QFileDialog dialog(this, QStringLiteral("Record Session"), QDir::currentPath(),
                     QStringLiteral("Session files (*.txt);;All files (*)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
  // A name typed without an extension gets ".txt", as save dialogs do.
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    emit RecordSessionChosen(dialog.selectedFiles().constFirst());
  }
}

void MainWindow::ChooseStartList() {
  QFileDialog dialog(this, QStringLiteral("Open Start List"), QDir::currentPath(),
                     QStringLiteral("Start lists (*.csv);;All files (*)"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOptions(QFileDialog::DontUseNativeDialog);
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    emit StartListChosen(dialog.selectedFiles().constFirst());
  }
}

void MainWindow::AddLine(std::string_view line) {
  traffic_log_->AddLine(line);
  ++traffic_lines_added_;
  TrimTrafficLog();
}

void MainWindow::TrimTrafficLog() {
  if (traffic_log_->LineCount() <= kTrafficLogLines) {
    return;
  }
  while (traffic_log_->LineCount() > kTrafficLogLines) {
    traffic_log_->RemoveFirstLine();
  }
  traffic_log_->SetTopLine(traffic_log_->LineCount() - 1);
}

std::vector<std::string> MainWindow::TrafficLogLines() const {
  std::vector<std::string> lines;
  for (int i = 0; i < traffic_log_->LineCount(); ++i) {
    lines.push_back(traffic_log_->Line(i));
  }
  return lines;
}

int MainWindow::TrafficLogTopLine() const {
  return traffic_log_->TopLine();
}

void MainWindow::LoadSettings() {
  address_.Load();
}

void MainWindow::SaveSettings() {
  address_.Save();
}

void MainWindow::UpdateAddressLabel() {
  std::string shown = address_.Text();
  if (shown == ListeningAddress::kAllSenders) {
    shown += " (ALL)";
  }
  address_label_->setText(QStringLiteral("IP Listening Address = ") + ShownText(shown));
  address_label_->adjustSize();
}

void MainWindow::EditListeningAddress() {
  if (ip_settings_ == nullptr) {
    return;
  }
  ip_settings_->SetAddressText(address_.Text());
  if (ip_settings_->exec() != QDialog::Accepted) {
    return;
  }
  address_.SetText(ip_settings_->AddressText());
  SaveSettings();
  UpdateAddressLabel();
}
