// A subscriber's delay behind the venue, chosen while the feed runs: View >
// "Delay..." and keys on every window (Ctrl+Up and Ctrl+Down a second more
// or less, Ctrl+PgUp and Ctrl+PgDown five), shown in the status corner.
#pragma once

#include <QObject>
#include <QString>

class BrokerLink;
class CommentatorApp;

class DelayControl : public QObject {
  Q_OBJECT

 public:
  DelayControl(CommentatorApp& app, BrokerLink& broker);

  int Seconds() const;
  // Clamped to 0..600.
  void SetSeconds(int seconds);
  void ChangeBy(int seconds) { SetSeconds(Seconds() + seconds); }
  // "delay 30 s"; empty without a delay.
  QString StatusText() const;

 private:
  void Ask();

  CommentatorApp& app_;
  BrokerLink& broker_;
};
