#include "app/feed_status.h"

#include "screens/shown_text.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 kIgnoredShownMs = FeedStatus::kQuietSeconds * 1000;

}  // namespace

QColor StateColour(FeedStatus::State state) {
  switch (state) {
    case FeedStatus::State::kLive:
      return QColor(0, 170, 0);
    case FeedStatus::State::kQuiet:
      return QColor(230, 160, 0);
    case FeedStatus::State::kNoData:
      return QColor(210, 0, 0);
    case FeedStatus::State::kWaiting:
      break;
  }
  return QColor(128, 128, 128);
}

FeedStatus::FeedStatus(const FeedClock& clock, const RaceDataListener* listener)
    : clock_(clock), listener_(listener) {
  if (listener_ != nullptr) {
    connect(listener_, &RaceDataListener::ReceiversChanged, this, &FeedStatus::Changed);
  }
}

void FeedStatus::DatagramTaken(int, std::string_view sender, std::string_view, bool accepted) {
  const qint64 now = clock_.MonotonicMs();
  bool changed = false;
  if (!drops_told_ && listener_ != nullptr && listener_->KernelDropsSeen() > 0) {
    drops_told_ = true;
    changed = true;
  }
  if (accepted) {
    changed = changed || last_accepted_ms_ < 0 || now - last_accepted_ms_ >= kLiveSeconds * 1000;
    last_accepted_ms_ = now;
    const qint64 second = now / 1000;
    Second& slot = seconds_[static_cast<std::size_t>(second) % seconds_.size()];
    if (slot.second != second) {
      slot = {second, 0};
    }
    ++slot.records;
  } else {
    const bool shown = last_ignored_ms_ >= 0 && now - last_ignored_ms_ < kIgnoredShownMs;
    if (ignored_sender_ != sender || !shown) {
      changed = true;
    }
    if (ignored_sender_ != sender) {
      ignored_sender_.assign(sender);
      ignored_count_ = 0;
    }
    ++ignored_count_;
    last_ignored_ms_ = now;
  }
  if (changed) {
    emit Changed();
  }
}

FeedStatus::Report FeedStatus::Now() const {
  const qint64 now = clock_.MonotonicMs();
  Report report;
  report.time_of_day = clock_.TimeOfDay();
  for (int receiver = 0; listener_ != nullptr && receiver < 2; ++receiver) {
    if (listener_->OpenFailed(receiver)) {
      report.closed_ports.push_back(listener_->Port(receiver));
    }
  }
  if (listener_ != nullptr) {
    report.kernel_drops = listener_->KernelDrops();
  }
  if (last_accepted_ms_ >= 0) {
    report.silent_seconds = static_cast<int>((now - last_accepted_ms_) / 1000);
    report.state = report.silent_seconds < kLiveSeconds     ? State::kLive
                   : report.silent_seconds <= kQuietSeconds ? State::kQuiet
                                                            : State::kNoData;
  }
  if (last_ignored_ms_ >= 0 && now - last_ignored_ms_ < kIgnoredShownMs) {
    report.ignored_sender = ignored_sender_;
    report.ignored_count = ignored_count_;
  }
  // The last whole seconds; the current one is still counting.
  const qint64 second = now / 1000;
  std::uint64_t records = 0;
  for (const Second& slot : seconds_) {
    if (slot.second >= second - kRateSeconds && slot.second < second) {
      records += slot.records;
    }
  }
  report.records_per_second = static_cast<double>(records) / kRateSeconds;
  return report;
}

QString StateWord(const FeedStatus::Report& report) {
  switch (report.state) {
    case FeedStatus::State::kLive:
      return QStringLiteral("live");
    case FeedStatus::State::kQuiet:
      return QStringLiteral("quiet for %1 s").arg(report.silent_seconds);
    case FeedStatus::State::kNoData:
      return QStringLiteral("no data for %1 s").arg(report.silent_seconds);
    case FeedStatus::State::kWaiting:
      break;
  }
  return QStringLiteral("waiting for the first record");
}

std::vector<StatusText> ReportParts(const FeedStatus::Report& report) {
  std::vector<StatusText> parts{{StatusPart::kState, StateWord(report)}};
  if (!report.ignored_sender.empty()) {
    parts.push_back({StatusPart::kIgnoredSender, QStringLiteral("ignoring %1 (%2)")
                                                     .arg(ShownText(report.ignored_sender))
                                                     .arg(report.ignored_count)});
  }
  for (int port : report.closed_ports) {
    parts.push_back({StatusPart::kClosedPorts, QStringLiteral("port %1 closed").arg(port)});
  }
  if (report.kernel_drops > 0) {
    parts.push_back(
        {StatusPart::kLosses, QStringLiteral("%1 lost in the kernel").arg(report.kernel_drops)});
  }
  parts.push_back(
      {StatusPart::kRate, QStringLiteral("%1 rec/s").arg(report.records_per_second, 0, 'f', 1)});
  parts.push_back({StatusPart::kClock, report.time_of_day.toString(QStringLiteral("HH:mm:ss"))});
  return parts;
}

QString ReportText(const FeedStatus::Report& report) {
  return FitStatusParts(ReportParts(report), QFont(), std::numeric_limits<int>::max());
}

QString FitStatusParts(std::vector<StatusText> parts,
                       const std::function<bool(const QString&)>& fits) {
  std::stable_sort(parts.begin(), parts.end(),
                   [](const StatusText& a, const StatusText& b) { return a.part < b.part; });
  const QString separator = QString::fromUtf8(kStatusSeparator);
  QString text;
  for (const StatusText& part : parts) {
    const QString joined = text.isEmpty() ? part.text : text + separator;
    if (text.isEmpty() || fits(joined + part.text)) {
      text = text.isEmpty() ? part.text : joined + part.text;
      continue;
    }
    // The broker's state is what a remote commentator needs most: of a long
    // one, the words that fit, never part of a word.
    if (part.part == StatusPart::kBroker) {
      const QString ellipsis = QStringLiteral("\u2026");
      QString words;
      for (const QString& word : part.text.split(QLatin1Char(' '))) {
        const QString longer = words.isEmpty() ? word : words + QLatin1Char(' ') + word;
        if (!fits(joined + longer + ellipsis)) {
          break;
        }
        words = longer;
      }
      if (!words.isEmpty()) {
        text = joined + words + ellipsis;
      }
    }
    break;
  }
  return text;
}

QString FitStatusParts(std::vector<StatusText> parts, const QFont& font, int width) {
  const QFontMetrics metrics(font);
  return FitStatusParts(std::move(parts), [&metrics, width](const QString& text) {
    return metrics.horizontalAdvance(text) <= width;
  });
}

FeedStatusView::FeedStatusView(const FeedStatus& status, QWidget* parent)
    : QWidget(parent),
      status_(status),
      mark_(new QLabel(this)),
      text_(new QLabel(this)),
      ticks_(new QTimer(this)) {
  setAccessibleName(QStringLiteral("Feed status"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 0, 6, 0);
  layout->setSpacing(4);
  layout->addStretch();
  mark_->setText(QStringLiteral("\u25cf"));
  mark_->setTextFormat(Qt::PlainText);
  text_->setTextFormat(Qt::PlainText);
  // Never squeezed: the mark is the state at a glance.
  mark_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  layout->addWidget(mark_);
  layout->addWidget(text_);
  ticks_->setObjectName(QStringLiteral("ticks"));
  ticks_->setInterval(1000);
  connect(ticks_, &QTimer::timeout, this, &FeedStatusView::Refresh);
  ticks_->start();
  connect(&status_, &FeedStatus::Changed, this, &FeedStatusView::RefreshSoon);
  Refresh();
}

void FeedStatusView::RefreshSoon() {
  // Several changes within one receive cycle make one refresh.
  if (refresh_due_) {
    return;
  }
  refresh_due_ = true;
  QTimer::singleShot(0, this, [this] {
    refresh_due_ = false;
    Refresh();
  });
}

void FeedStatusView::AddLine(StatusPart part, std::function<QString()> line) {
  lines_.emplace_back(part, std::move(line));
  Refresh();
}

void FeedStatusView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Refresh();
}

void FeedStatusView::Refresh() {
  const FeedStatus::Report report = status_.Now();
  std::vector<StatusText> parts = ReportParts(report);
  for (const auto& [part, line] : lines_) {
    if (QString more = line(); !more.isEmpty()) {
      parts.push_back({part, std::move(more)});
    }
  }
  whole_text_ = FitStatusParts(parts, text_->font(), std::numeric_limits<int>::max());
  // What is left of the corner once the mark and the margins have theirs,
  // measured as the label measures itself (a glyph may reach past its
  // advance), with a pixel to spare for rounding at a scale.
  const QMargins margins = layout()->contentsMargins();
  const int room = width() - margins.left() - margins.right() - layout()->spacing() -
                   mark_->sizeHint().width() - 1;
  const QFontMetrics metrics = text_->fontMetrics();
  const QString text = FitStatusParts(std::move(parts), [&](const QString& candidate) {
    return std::max(metrics.horizontalAdvance(candidate), metrics.boundingRect(candidate).width()) +
               2 * text_->margin() <=
           room;
  });
  if (toolTip() != whole_text_) {
    setToolTip(whole_text_);
    setAccessibleDescription(whole_text_);
  }
  // A screen reader reads the mark as the state.
  const QString word = StateWord(report);
  if (mark_->accessibleName() != word) {
    mark_->setAccessibleName(word);
    QPalette colours = mark_->palette();
    colours.setColor(QPalette::WindowText, StateColour(report.state));
    mark_->setPalette(colours);
  }
  if (text_->text() != text) {
    text_->setText(text);
  }
}

qint64 SystemFeedClock::MonotonicMs() const {
  static QElapsedTimer started = [] {
    QElapsedTimer timer;
    timer.start();
    return timer;
  }();
  return started.elapsed();
}

QTime SystemFeedClock::TimeOfDay() const {
  return QTime::currentTime();
}
