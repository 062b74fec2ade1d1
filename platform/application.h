// The application object and the one path by which errors reach the user.
#pragma once

#include <QApplication>

#include <functional>

// Where error messages go: a message box in front of every other window
// normally; tests install a recorder so nothing blocks.
using ErrorSink = std::function<void(const QString& message)>;
void SetErrorSink(ErrorSink sink);
void ReportError(const QString& message);
// An I/O error on a file that was open, in the system's words.
void ReportIoError(int error_number);

// An exception that escapes an event handler is shown and the loop goes on.
class CommentatorApplication : public QApplication {
 public:
  CommentatorApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// SIGINT, SIGTERM and SIGHUP end the program: while RunEventLoop runs,
// through the event loop in the same orderly way as the Exit command (a
// message box open then closes too); before or after it, where a message box
// may wait on a start that was refused or an end that failed, at once, by the
// signal. SIGXFSZ is ignored, so a write over a file-size limit fails like
// any other.
void QuitOnTerminationSignals();
int RunEventLoop();
