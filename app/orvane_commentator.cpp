#include "app/orvane_commentator.h"

#include "app/commenta_ip.h"
#include "app/data_files.h"
#include "app/single_instance.h"
#include "platform/application.h"
#include "platform/windows.h"
#include "screens/commenta_pts.h"
#include "screens/commenta_sprintr.h"
#include "screens/commenta_tt.h"
#include "screens/commentator_scratchf.h"
#include "screens/qdtype_commentator.h"

#include <QFontDatabase>
#include <QScreen>

#include <initializer_list>

#include <cstdio>
#include <cstdlib>

CommentatorWindows::CommentatorWindows(ListenerPorts ports) {
  // The main window first: its creation sets the display colours the event
  // screens read. The windows of the typewriter, Seiko, RTD, queue and debug
  // subsystems are not part of this program; of them only the QD Type frame
  // file check remains, at its place in the order.
  commentator0_form = std::make_unique<Tcommentator0_form>(ports);
  const QWidget* main_window = commentator0_form.get();
  sprintr_commentator_form = std::make_unique<Tsprintr_commentator_form>(main_window);
  tt_commentator_form = std::make_unique<Ttt_commentator_form>(main_window);
  ptsrace_commentator_form = std::make_unique<Tptsrace_commentator_form>(main_window);
  EnsureQdtypeFile(kQdtypeFileName);
  ip_listening_address_form = std::make_unique<Tip_listening_address_form>(commentator0_form.get());
  commentator_scratch = std::make_unique<Tcommentator_scratch>(main_window);
  qdtype_commentator_form = std::make_unique<Tqdtype_commentator_form>(main_window);

  for (QWidget* screen : std::initializer_list<QWidget*>{
           commentator_scratch.get(), qdtype_commentator_form.get(), sprintr_commentator_form.get(),
           ptsrace_commentator_form.get(), tt_commentator_form.get()}) {
    IgnoreActivationChanges(screen);
  }
  commentator0_form->SetIpSettingsDialog(ip_listening_address_form.get());
  commentator0_form->SetEventScreens({commentator_scratch.get(), qdtype_commentator_form.get(),
                                      sprintr_commentator_form.get(),
                                      ptsrace_commentator_form.get(), tt_commentator_form.get()});
}

CommentatorWindows::~CommentatorWindows() {
  qdtype_commentator_form.reset();
  commentator_scratch.reset();
  ip_listening_address_form.reset();
  ptsrace_commentator_form.reset();
  tt_commentator_form.reset();
  sprintr_commentator_form.reset();
  commentator0_form->SetEventScreens({});
  // Hiding the main window closes the receivers and saves the listening address.
  commentator0_form->hide();
  commentator0_form.reset();
}

void CommentatorWindows::ShowMainWindow() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect desktop = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  commentator0_form->move(CentredOver(desktop, OuterGeometry(commentator0_form.get()).size()));
  commentator0_form->show();
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
  CommentatorWindows windows;
  windows.ShowMainWindow();
  const int result = app.exec();
  return result;
}
