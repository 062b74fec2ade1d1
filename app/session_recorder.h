// Keeps a session for later: every datagram the listener takes in, accepted
// or turned away, written to a session file that race-feed replays to the
// same ports in the same rhythm. Lines are buffered and written once a
// second and at the end, so the receive path never waits for the disk; a
// failed write ends the recording, never the screen, and leaves only whole
// lines in the file.
#pragma once

#include "app/race_data_listener.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <sys/types.h>

#include <memory>
#include <string>

class SessionRecorder : public QObject, public DatagramObserver {
  Q_OBJECT

 public:
  // A recording into `path`, which must not exist yet: a recording is never
  // overwritten. Null, with `error` saying why, when it cannot be started.
  static std::unique_ptr<SessionRecorder> Start(const QString& path, RaceDataListener& listener,
                                                QString& error);
  // Writes what is left and closes the file.
  ~SessionRecorder() override;

  QString Path() const { return path_; }
  // Empty while recording; why the recording stopped, once it has.
  QString Problem() const { return problem_; }
  // "recording session.txt", or why it stopped.
  QString StatusText() const;

  void DatagramTaken(int receiver, std::string_view sender, std::string_view bytes,
                     bool accepted) override;

 signals:
  void Stopped(const QString& problem);

 private:
  SessionRecorder(const QString& path, int fd, RaceDataListener& listener);
  void Flush();
  void Fail(int error);

  QString path_;
  int fd_;
  off_t size_ = 0;  // what is in the file: whole lines only
  RaceDataListener& listener_;
  std::string pending_;
  std::string address_;  // as last written to the file
  QElapsedTimer since_last_;
  QTimer flush_timer_;
  QString problem_;
};
