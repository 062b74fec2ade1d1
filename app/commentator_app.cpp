#include "app/commentator_app.h"

#include "app/ip_settings_dialog.h"
#include "app/main_window.h"
#include "app/qdtype_file.h"
#include "app/single_instance.h"
#include "platform/application.h"
#include "screens/points_race_screen.h"
#include "screens/quick_text_window.h"
#include "screens/scratch_screen.h"
#include "screens/sprint_screen.h"
#include "screens/time_trial_screen.h"

#include <cstdio>
#include <cstdlib>

CommentatorApp::CommentatorApp(ListenerPorts ports) {
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
}

CommentatorApp::~CommentatorApp() {
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

bool HasDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && *platform != '\0') {
    return true;  // the user chose a platform; let it speak for itself
  }
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

}  // namespace

int RunCommentator(int argc, char** argv) {
  if (!HasDisplay()) {
    std::fprintf(stderr,
                 "orvane-commentator: no display found (DISPLAY is not set); run it on a desktop, "
                 "or headless with: xvfb-run -s '-screen 0 1024x768x24' %s\n",
                 argc > 0 ? argv[0] : "orvane-commentator");
    return 1;
  }
  CommentatorApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  QApplication::setDesktopFileName(QStringLiteral("orvane-commentator"));
  QApplication::setQuitOnLastWindowClosed(false);
  QuitOnTerminationSignals();

  const InstanceLock lock(RuntimeDirectory());
  if (!lock.Held()) {
    ReportError(QString::fromLatin1(kAlreadyListeningMessage));
    return 1;
  }
  CommentatorApp commentator;
  commentator.ShowMainWindow();
  return app.exec();
}
