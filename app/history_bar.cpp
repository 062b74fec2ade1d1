#include "app/history_bar.h"

#include "app/history_frame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <limits>

namespace {

QPushButton* MakeButton(QWidget* parent, const QString& text, const QString& name) {
  auto* button = new QPushButton(text, parent);
  button->setAccessibleName(name);
  button->setToolTip(name);
  // The keys belong to the window; a button taking the focus would eat them.
  button->setFocusPolicy(Qt::NoFocus);
  // The slider gets the room: the buttons only as wide as their text.
  button->setMaximumWidth(button->fontMetrics().horizontalAdvance(text) + 24);
  return button;
}

}  // namespace

HistoryBar::HistoryBar(QWidget* parent)
    : QWidget(parent), time_(new QLabel(this)), slider_(new QSlider(Qt::Horizontal, this)) {
  setObjectName(QStringLiteral("HistoryBar"));
  setAccessibleName(QStringLiteral("History"));
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, HistoryFrame::kColour);
  colours.setColor(QPalette::WindowText, Qt::black);
  setPalette(colours);

  time_->setObjectName(QStringLiteral("HistoryBarTime"));
  time_->setTextFormat(Qt::PlainText);
  QFont bold = time_->font();
  bold.setBold(true);
  time_->setFont(bold);
  slider_->setObjectName(QStringLiteral("HistorySlider"));
  slider_->setAccessibleName(QStringLiteral("Moment"));
  slider_->setFocusPolicy(Qt::NoFocus);
  connect(slider_, &QSlider::valueChanged, this,
          [this](int value) { emit MomentChosen(begin_ + static_cast<std::uint64_t>(value)); });

  auto* heat_back = MakeButton(this, QStringLiteral("|<<"), QStringLiteral("One heat back"));
  auto* back = MakeButton(this, QStringLiteral("<"), QStringLiteral("One record back"));
  auto* forward = MakeButton(this, QStringLiteral(">"), QStringLiteral("One record forward"));
  auto* heat_forward = MakeButton(this, QStringLiteral(">>|"), QStringLiteral("One heat forward"));
  auto* live = MakeButton(this, QStringLiteral("Live"), QStringLiteral("Live"));
  connect(heat_back, &QPushButton::clicked, this, [this] { emit HeatChosen(-1); });
  connect(back, &QPushButton::clicked, this, [this] { emit StepChosen(-1); });
  connect(forward, &QPushButton::clicked, this, [this] { emit StepChosen(1); });
  connect(heat_forward, &QPushButton::clicked, this, [this] { emit HeatChosen(1); });
  connect(live, &QPushButton::clicked, this, &HistoryBar::LiveChosen);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 4, 8, 4);
  layout->addWidget(time_);
  layout->addWidget(heat_back);
  layout->addWidget(back);
  layout->addWidget(slider_, 1);
  layout->addWidget(forward);
  layout->addWidget(heat_forward);
  layout->addWidget(live);
  hide();
}

void HistoryBar::Show(std::uint64_t begin, std::uint64_t end, std::uint64_t shown,
                      const QString& time_text) {
  // A slider counts in int; a bound history keeps far fewer moments.
  constexpr auto kMost = static_cast<std::uint64_t>(std::numeric_limits<int>::max());
  begin_ = begin;
  const QSignalBlocker quiet(slider_);
  slider_->setRange(0, static_cast<int>(std::min(end - begin, kMost)));
  slider_->setValue(static_cast<int>(std::min(shown - begin, kMost)));
  time_->setText(time_text);
  time_->setAccessibleName(QStringLiteral("Shown time ") + time_text);
  show();
  raise();
}

QString HistoryBar::TimeText() const {
  return isVisible() ? time_->text() : QString();
}
