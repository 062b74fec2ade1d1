#include "app/commentator_app.h"

#include "app/broker_link.h"
#include "app/command_line.h"
#include "app/delay_control.h"
#include "app/feed_notices.h"
#include "app/history_mode.h"
#include "app/ip_settings_dialog.h"
#include "app/main_window.h"
#include "app/qdtype_file.h"
#include "app/scale_fit.h"
#include "app/session_recorder.h"
#include "app/single_instance.h"
#include "cards/rider_cards.h"
#include "platform/application.h"
#include "platform/windows.h"
#include "riders/start_list.h"
#include "screens/points_race_screen.h"
#include "screens/quick_text_window.h"
#include "screens/scratch_screen.h"
#include "screens/sprint_screen.h"
#include "screens/time_trial_screen.h"

#include <fontconfig/fontconfig.h>

#include <QFileInfo>
#include <QPointer>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

CommentatorApp::CommentatorApp(ListenerPorts ports, const FeedClock* clock) {
  // The main window first. The windows of the typewriter, Seiko, RTD, queue
  // and debug subsystems are not part of this program; of them only the QD
  // Type frame file check remains, at its place in the order.
  main_window_ = std::make_unique<MainWindow>(address_);
  const QWidget* main_window = main_window_.get();
  sprint_ = std::make_unique<SprintScreen>(data_.sprint, main_window);
  time_trial_ = std::make_unique<TimeTrialScreen>(data_.time_trial, main_window);
  points_race_ = std::make_unique<PointsRaceScreen>(data_.points_race, main_window);
  EnsureQdtypeFile();
  ip_settings_ = std::make_unique<IpSettingsDialog>(main_window_.get());
  scratch_ = std::make_unique<ScratchScreen>(data_.scratch, main_window);
  quick_text_ = std::make_unique<QuickTextWindow>(data_.quick_text, main_window);

  dispatcher_ = std::make_unique<RecordDispatcher>(
      data_,
      ScreenWindows{scratch_.get(), quick_text_.get(), sprint_.get(), points_race_.get(),
                    time_trial_.get()},
      *main_window_);
  listener_ = std::make_unique<RaceDataListener>(ports, address_, *dispatcher_, *main_window_);
  main_window_->SetListener(listener_.get());
  main_window_->SetIpSettingsDialog(ip_settings_.get());

  feed_status_ =
      std::make_unique<FeedStatus>(clock != nullptr ? *clock : system_clock_, listener_.get());
  listener_->AddObserver(feed_status_.get());
  feed_view_ = new FeedStatusView(*feed_status_);
  feed_view_->AddLine(StatusPart::kRecording,
                      [this] { return recorder_ ? recorder_->StatusText() : QString(); });
  feed_view_->AddLine(StatusPart::kBroker,
                      [this] { return broker_ ? broker_->StatusText() : QString(); });
  main_window_->SetFeedStatusView(feed_view_);
  const FeedClock& feed_clock = clock != nullptr ? *clock : system_clock_;
  feed_notices_ = std::make_unique<FeedNotices>(
      *feed_status_, feed_clock,
      std::vector<EventScreen*>{scratch_.get(), quick_text_.get(), sprint_.get(),
                                points_race_.get(), time_trial_.get()});
  listener_->AddObserver(feed_notices_.get());
  QObject::connect(main_window_.get(), &MainWindow::RecordSessionChosen,
                   [this](const QString& path) {
                     QString error;
                     if (!StartRecording(path, error)) {
                       ReportError(error);
                     }
                   });
  QObject::connect(main_window_.get(), &MainWindow::StopRecordingChosen,
                   [this] { StopRecording(); });
  history_ = std::make_unique<HistoryMode>(*this);

  // Rider cards: what each live record wrote, the start list, the notes.
  rider_cards_ = std::make_unique<RiderCards>(data_, QString::fromLatin1(kNotesFileName));
  listener_->AddDispatchObserver(rider_cards_.get());
  for (QWidget* screen : std::initializer_list<QWidget*>{scratch_.get(), sprint_.get(),
                                                         points_race_.get(), time_trial_.get()}) {
    rider_cards_->WatchScreen(screen);
  }
  // The corner outlives the cards at the end (an error box there still
  // draws it), so its lines ask only while the cards are there.
  const QPointer<RiderCards> cards(rider_cards_.get());
  feed_view_->AddLine(StatusPart::kStartList,
                      [cards] { return cards ? cards->StartListText() : QString(); });
  feed_view_->AddLine(StatusPart::kNotesProblem,
                      [cards] { return cards ? cards->NotesText() : QString(); });
  QObject::connect(rider_cards_.get(), &RiderCards::StatusChanged, feed_view_,
                   &FeedStatusView::Refresh);
  QObject::connect(main_window_.get(), &MainWindow::StartListChosen, rider_cards_.get(),
                   [this](const QString& path) {
                     QString error;
                     if (!rider_cards_->OpenStartList(path, error)) {
                       ReportError(error);
                     }
                   });
  QObject::connect(main_window_.get(), &MainWindow::RiderCardAsked, rider_cards_.get(),
                   [this] { rider_cards_->ShowRiderBox(); });
}

bool CommentatorApp::StartRecording(const QString& path, QString& error) {
  std::unique_ptr<SessionRecorder> recorder = SessionRecorder::Start(path, *listener_, error);
  if (!recorder) {
    return false;
  }
  recorder_ = std::move(recorder);
  QObject::connect(recorder_.get(), &SessionRecorder::Stopped, main_window_.get(), [this] {
    main_window_->SetRecording(false);
    feed_view_->Refresh();
  });
  main_window_->SetRecording(true);
  feed_view_->Refresh();
  return true;
}

void CommentatorApp::StopRecording() {
  recorder_.reset();
  main_window_->SetRecording(false);
  feed_view_->Refresh();
}

void CommentatorApp::ConnectBroker(relay::Role role, const relay::BrokerOptions& options) {
  broker_ = std::make_unique<BrokerLink>(options, role, *listener_);
  QObject::connect(broker_.get(), &BrokerLink::StateChanged, feed_view_, &FeedStatusView::Refresh);
  feed_notices_->SetBroker(broker_.get());
  rider_cards_->ShareNotes(options);
  QObject::connect(broker_.get(), &BrokerLink::StateChanged, feed_notices_.get(),
                   &FeedNotices::Refresh);
  feed_view_->Refresh();
  if (role == relay::Role::kSubscribe) {
    delay_ = std::make_unique<DelayControl>(*this, *broker_);
  }
}

CommentatorApp::~CommentatorApp() {
  history_.reset();
  delay_.reset();
  // What the recording and the relay hold is written and sent first.
  feed_notices_->SetBroker(nullptr);
  broker_.reset();
  recorder_.reset();
  listener_->RemoveDispatchObserver(rider_cards_.get());
  rider_cards_.reset();
  listener_->RemoveObserver(feed_status_.get());
  listener_->RemoveObserver(feed_notices_.get());
  feed_notices_.reset();
  quick_text_.reset();
  scratch_.reset();
  ip_settings_.reset();
  main_window_->SetIpSettingsDialog(nullptr);
  points_race_.reset();
  time_trial_.reset();
  sprint_.reset();
  // Hiding the main window closes the receivers and saves the listening address.
  main_window_->hide();
  main_window_.reset();
}

void CommentatorApp::ShowMainWindow() {
  main_window_->ShowCentred();
}

namespace {

// Set for a start again with a scale that fits the monitor.
constexpr const char* kFittedScaleVariable = "ORVANE_FITTED_SCALE";

// A start-up step that ends the program gives its exit status.
using Stop = std::optional<int>;

int Complain(const std::string& text, int status) {
  std::fprintf(stderr, "orvane-commentator: %s\n", text.c_str());
  return status;
}

int Complain(const QString& text, int status) {
  return Complain(text.toLocal8Bit().toStdString(), status);
}

bool HasDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && *platform != '\0') {
    return true;  // the user chose a platform; let it speak for itself
  }
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// Said before anything is opened or written: a recording never overwrites
// a file.
Stop CheckRecordingFile(const CommandLine& options) {
  if (!options.record) {
    return {};
  }
  const QFileInfo record(QString::fromLocal8Bit(options.record->c_str()));
  const QFileInfo folder(record.absolutePath());
  if (record.exists() || record.isSymLink()) {
    return Complain(
        std::string("--record: the file exists already; a recording never overwrites a file"), 2);
  }
  if (!folder.isDir() || !folder.isWritable()) {
    return Complain(std::string("--record: its folder does not exist or takes no new file"), 2);
  }
  return {};
}

// A start list that cannot be used ends the start before any window opens,
// with its line and column.
Stop CheckStartList(const CommandLine& options) {
  if (!options.start_list) {
    return {};
  }
  StartListError error;
  const QString path = QString::fromLocal8Bit(options.start_list->c_str());
  if (!StartList::Load(path, error)) {
    return Complain(QStringLiteral("--start-list: %1: %2").arg(path, error.Text()), 2);
  }
  return {};
}

// The scale asked for, and the smaller one a start again chose because it
// did not fit the monitor; Qt reads it as the application starts.
struct ScaleChoice {
  std::optional<double> requested;
  std::optional<double> refitted;
};

ScaleChoice TakeScale(const CommandLine& options) {
  ScaleChoice scale{options.scale, {}};
  if (const QByteArray fitted = qgetenv(kFittedScaleVariable); !fitted.isEmpty()) {
    qunsetenv(kFittedScaleVariable);
    bool ok = false;
    const double value = fitted.toDouble(&ok);
    if (scale.requested && ok && value >= kMinScale && value < *scale.requested) {
      scale.refitted = value;
    }
  }
  if (scale.requested) {
    qputenv("QT_SCALE_FACTOR", QByteArray::number(scale.refitted.value_or(*scale.requested)));
  }
  return scale;
}

std::unique_ptr<CommentatorApplication> StartApplication(int& argc, char** argv) {
  // Reading the font configuration takes about as long as connecting to
  // the display, and the first window needs both: side by side.
  std::thread font_configuration([] { FcInit(); });
  auto app = std::make_unique<CommentatorApplication>(argc, argv);
  font_configuration.join();
  QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  QApplication::setDesktopFileName(QStringLiteral("orvane-commentator"));
  QApplication::setQuitOnLastWindowClosed(false);
  QuitOnTerminationSignals();
  return app;
}

Stop ChooseMonitor(const CommandLine& options) {
  QString unknown;
  if (options.screen &&
      !ChooseEventScreen(QString::fromLocal8Bit(options.screen->c_str()), unknown)) {
    return Complain(unknown, 2);
  }
  return {};
}

// A scale too large for the chosen monitor starts the program again with
// the largest that fits: Qt's scale is fixed once the application runs, and
// nothing is claimed or opened yet. After such a start, `note` says so.
Stop FitScaleToMonitor(const ScaleChoice& scale, const QApplication& app, char** arguments,
                       QString& note) {
  if (!scale.requested) {
    return {};
  }
  if (scale.refitted) {
    note = ScaleNote(*scale.requested, *scale.refitted);
    return {};
  }
  // In device pixels: what Qt shows at this scale, times the scale. The
  // main window opens on the chosen monitor, and every window with it.
  const qreal ratio = app.devicePixelRatio();
  const auto device = [ratio](QSize size) {
    return QSize(static_cast<int>(size.width() * ratio), static_cast<int>(size.height() * ratio));
  };
  const QSize main_monitor = device(PrimaryScreenAvailableGeometry().size());
  const QSize event_monitor = device(PrimaryScreenGeometry().size());
  const double fits = FittingScale(*scale.requested, main_monitor, event_monitor);
  if (fits >= *scale.requested) {
    return {};
  }
  Complain(ScaleReducedText(*scale.requested, fits, main_monitor), 0);
  qputenv(kFittedScaleVariable, QByteArray::number(fits));
  execv("/proc/self/exe", arguments);
  return Complain(QStringLiteral("cannot start again: %1").arg(std::strerror(errno)), 1);
}

// The screen itself: the ports claimed, every window, the recording and
// the broker asked for, and the event loop until the end.
int RunScreen(const CommandLine& options, const QString& scale_note) {
  // Claimed before the receivers bind: a second copy must end without ever
  // taking a datagram from the first. The signals already end it while its
  // message waits.
  const ListenerPorts ports;
  PortClaim claim(ports);
  if (!claim.Held()) {
    ReportError(PortInUseMessage(claim.Holder()));
    return 1;
  }
  CommentatorApp commentator(ports);
  if (!scale_note.isEmpty()) {
    commentator.FeedView().AddLine(StatusPart::kNote, [scale_note] { return scale_note; });
  }
  if (options.notes) {
    commentator.Riders().UseNotesFile(QString::fromLocal8Bit(options.notes->c_str()));
  }
  if (options.start_list) {
    QString error;
    if (!commentator.Riders().OpenStartList(QString::fromLocal8Bit(options.start_list->c_str()),
                                            error)) {
      return Complain(QStringLiteral("--start-list: ") + error, 2);
    }
  }
  if (options.record) {
    QString error;
    if (!commentator.StartRecording(QString::fromLocal8Bit(options.record->c_str()), error)) {
      return Complain(error, 2);
    }
  }
  commentator.ShowMainWindow();
  claim.Release();  // showing the main window bound the receivers
  if (options.open_session) {
    QString error;
    if (!commentator.History().OpenSession(QString::fromLocal8Bit(options.open_session->c_str()),
                                           error)) {
      return Complain(QStringLiteral("--open-session: ") + error, 2);
    }
  }
  // Records from a broker are handled only once the main window shows.
  if (options.broker_role) {
    commentator.ConnectBroker(*options.broker_role, options.broker);
  }
  return RunEventLoop();
}

}  // namespace

int RunCommentator(int argc, char** argv) {
  // As given, for a start again with a scale that fits: QApplication takes
  // its own options out of argv.
  std::vector<char*> arguments(argv, argv + argc);
  arguments.push_back(nullptr);
  std::string problem;
  const std::optional<CommandLine> options =
      ParseCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc), problem);
  if (!options) {
    return Complain(problem, 2);
  }
  if (options->help || options->version) {
    std::fputs((options->help ? UsageText() : VersionText()).c_str(), stdout);
    return 0;
  }
  if (const Stop stop = CheckRecordingFile(*options)) {
    return *stop;
  }
  if (const Stop stop = CheckStartList(*options)) {
    return *stop;
  }
  const ScaleChoice scale = TakeScale(*options);
  if (!HasDisplay()) {
    return Complain(std::string("no display found (DISPLAY is not set); run it on a desktop, "
                                "or headless with: xvfb-run -s '-screen 0 1024x768x24' ") +
                        (argc > 0 ? argv[0] : "orvane-commentator"),
                    1);
  }
  const std::unique_ptr<CommentatorApplication> app = StartApplication(argc, argv);
  if (const Stop stop = ChooseMonitor(*options)) {
    return *stop;
  }
  QString scale_note;
  if (const Stop stop = FitScaleToMonitor(scale, *app, arguments.data(), scale_note)) {
    return *stop;
  }
  return RunScreen(*options, scale_note);
}
