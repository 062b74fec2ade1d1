#include "app/history_frame.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>

namespace {

constexpr int kBorder = 6;

}  // namespace

HistoryFrame::HistoryFrame(QWidget* screen) : QWidget(screen), label_(new QLabel(this)) {
  setObjectName(QStringLiteral("HistoryFrame"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  label_->setObjectName(QStringLiteral("HistoryTime"));
  label_->setTextFormat(Qt::PlainText);
  label_->setAutoFillBackground(true);
  QPalette colours = label_->palette();
  colours.setColor(QPalette::Window, kColour);
  colours.setColor(QPalette::WindowText, Qt::black);
  label_->setPalette(colours);
  QFont bold = label_->font();
  bold.setBold(true);
  bold.setPixelSize(16);
  label_->setFont(bold);
  label_->setContentsMargins(8, 2, 8, 2);
  screen->installEventFilter(this);
  hide();
}

void HistoryFrame::Show(const QString& time_text) {
  label_->setText(QStringLiteral("HISTORY  ") + time_text);
  label_->setAccessibleName(label_->text());
  label_->adjustSize();
  Place();
  show();
  raise();
}

QString HistoryFrame::Text() const {
  return isHidden() ? QString() : label_->text();
}

void HistoryFrame::Place() {
  setGeometry(parentWidget()->rect());
  label_->move((width() - label_->width()) / 2, kBorder);
}

void HistoryFrame::hideEvent(QHideEvent* event) {
  // A screen reader reads a hidden label too: nothing to say once live.
  label_->clear();
  label_->setAccessibleName(QString());
  QWidget::hideEvent(event);
}

bool HistoryFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) {
    Place();
  }
  return QWidget::eventFilter(watched, event);
}

void HistoryFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QPen pen(kColour, kBorder);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.drawRect(rect().adjusted(kBorder / 2, kBorder / 2, -kBorder / 2 - 1, -kBorder / 2 - 1));
}
