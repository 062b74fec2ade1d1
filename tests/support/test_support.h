// Shared helpers for the widget tests.
#pragma once

#include "app/orvane_commentator.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class StringGrid;
class TextList;

// Sends one datagram to 127.0.0.1:port. `source` binds the sender to another
// loopback address (127.0.0.x) to play a different server.
void SendDatagram(quint16 port, std::string_view bytes, const char* source = "127.0.0.1");

// Runs the event loop until `done` holds or `timeout_ms` passes.
bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 3000);

// Lets the event loop handle what is pending, a few passes.
void Settle(int passes = 5);

// Rows of a grid as text, cells joined by "|", for compact comparisons.
std::vector<std::string> GridRows(const StringGrid& grid);
std::string GridRow(const StringGrid& grid, int row);
std::vector<std::string> ListLines(const TextList& list);

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
  explicit CommentatorFixture(bool show_main_window = true);
  ~CommentatorFixture();

  Tcommentator0_form& Main() { return *windows->commentator0_form; }
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
  std::unique_ptr<CommentatorWindows> windows;

 private:
  QTemporaryDir dir_;
  QString previous_dir_;
};
