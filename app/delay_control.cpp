#include "app/delay_control.h"

#include "app/broker_link.h"
#include "app/commentator_app.h"
#include "app/main_window.h"
#include "screens/points_race_screen.h"
#include "screens/quick_text_window.h"
#include "screens/scratch_screen.h"
#include "screens/sprint_screen.h"
#include "screens/time_trial_screen.h"

#include <QAction>
#include <QInputDialog>
#include <QMenu>
#include <QPointer>
#include <QShortcut>

#include <algorithm>

DelayControl::DelayControl(CommentatorApp& app, BrokerLink& broker) : app_(app), broker_(broker) {
  QAction* ask = app_.Main().ViewMenu()->addAction(QStringLiteral("Delay..."));
  ask->setObjectName(QStringLiteral("ViewDelay"));
  connect(ask, &QAction::triggered, this, &DelayControl::Ask);
  const std::pair<QKeySequence, int> keys[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_Up), 1},
      {QKeySequence(Qt::CTRL | Qt::Key_Down), -1},
      {QKeySequence(Qt::CTRL | Qt::Key_PageUp), 5},
      {QKeySequence(Qt::CTRL | Qt::Key_PageDown), -5},
  };
  for (QWidget* window :
       std::initializer_list<QWidget*>{&app_.Main(), &app_.Scratch(), &app_.QuickText(),
                                       &app_.Sprint(), &app_.PointsRace(), &app_.TimeTrial()}) {
    for (const auto& [sequence, by] : keys) {
      auto* key = new QShortcut(sequence, window);
      connect(key, &QShortcut::activated, this, [this, by = by] { ChangeBy(by); });
    }
  }
  // The corner outlives this; it asks only while this lives.
  app_.FeedView().AddLine(StatusPart::kDelay, [self = QPointer<DelayControl>(this)] {
    return self ? self->StatusText() : QString();
  });
}

int DelayControl::Seconds() const {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::seconds>(broker_.Delay()).count());
}

void DelayControl::SetSeconds(int seconds) {
  seconds = std::clamp(seconds, 0, relay::kMaxDelaySeconds);
  broker_.SetDelay(std::chrono::seconds(seconds));
  app_.FeedView().Refresh();
}

QString DelayControl::StatusText() const {
  const int seconds = Seconds();
  return seconds > 0 ? QStringLiteral("delay %1 s").arg(seconds) : QString();
}

void DelayControl::Ask() {
  bool ok = false;
  const int seconds = QInputDialog::getInt(
      &app_.Main(), QStringLiteral("Delay"),
      QStringLiteral("Seconds behind the venue (0 to %1):").arg(relay::kMaxDelaySeconds), Seconds(),
      0, relay::kMaxDelaySeconds, 1, &ok);
  if (ok) {
    SetSeconds(seconds);
  }
}
