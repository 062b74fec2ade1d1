// Shared helpers for the tests that run real windows (on the offscreen
// platform) and real UDP over loopback.
#pragma once

#include "app/commentator_app.h"
#include "app/main_window.h"
#include "support/record_fakes.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Qt values as a failed expectation shows them.
void PrintTo(const QRect& rect, std::ostream* out);
void PrintTo(const QPoint& point, std::ostream* out);
void PrintTo(const QSize& size, std::ostream* out);
void PrintTo(const QColor& colour, std::ostream* out);
void PrintTo(const QString& text, std::ostream* out);

// Sends one datagram to 127.0.0.1:port. `source` binds the sender to another
// loopback address (127.0.0.x) to play a different server.
void SendDatagram(quint16 port, std::string_view bytes, const char* source = "127.0.0.1");

// A UDP port held by a socket without address reuse, as another program
// would hold it: nothing else can bind it while this lives.
class PortHolder {
 public:
  PortHolder();
  ~PortHolder();
  PortHolder(const PortHolder&) = delete;
  PortHolder& operator=(const PortHolder&) = delete;
  quint16 Port() const { return port_; }

 private:
  int fd_;
  quint16 port_ = 0;
};

// Runs the event loop until `done` holds or `timeout_ms` passes.
bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 3000);

// Lets the event loop handle what is pending, a few passes.
void Settle(int passes = 5);

// A key pressed and released on `target`, as the keyboard delivers it.
void PressKey(QWidget* target, int key);

// A control of a window, found by its object name; fails the test when missing.
template <typename Control>
Control& Find(const QWidget& window, const char* object_name) {
  auto* control = window.findChild<Control*>(QString::fromLatin1(object_name));
  if (control == nullptr) {
    throw std::runtime_error(std::string("no control named ") + object_name);
  }
  return *control;
}

// Collects reported errors instead of showing message boxes.
class ErrorRecorder {
 public:
  ErrorRecorder();
  ~ErrorRecorder();
  QStringList messages;
};

// Every window created as at start-up, with the listener on ephemeral ports,
// in a fresh working directory. Shows the main window unless told not to.
class CommentatorFixture {
 public:
  // `clock` times the feed status; the system's when none is given.
  explicit CommentatorFixture(bool show_main_window = true, ListenerPorts ports = {0, 0},
                              const FeedClock* clock = nullptr);
  ~CommentatorFixture();

  CommentatorApp& App() { return *app; }
  MainWindow& Main() { return app->Main(); }
  ScreenData& Data() { return app->Data(); }
  quint16 Port1() const;
  quint16 Port2() const;
  // Sends and waits until the traffic log has grown by `lines`.
  bool SendAndWait(std::string_view bytes, int lines = 1, quint16 port = 0);
  // Dispatches a record directly, as the listener would for an accepted one.
  void Dispatch(std::string_view record);
  std::vector<std::string> Log() const;
  // Ends the windows as the program does on its way out.
  void End();

  QString WorkDir() const { return dir_.path(); }
  // Closes `window` inside a running event loop and tells whether the loop
  // ended and the program's end wrote the settings file.
  bool ClosingEndsProgram(QWidget* window);

  std::unique_ptr<CommentatorApp> app;

 private:
  QTemporaryDir dir_;
  QString previous_dir_;
};
