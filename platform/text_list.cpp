#include "platform/text_list.h"

#include <QEvent>
#include <QScrollBar>

TextList::TextList(QWidget* parent) : QListWidget(parent) {
  setUniformItemSizes(true);  // one fixed line height, whatever bytes a line holds
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);

  repaint_hold_.setSingleShot(true);
  connect(&repaint_hold_, &QTimer::timeout, this, &TextList::EndRepaintHold);
}

std::string TextList::Line(int index) const {
  const QListWidgetItem* line = item(index);
  if (line == nullptr) {
    return {};
  }
  const QByteArray bytes = line->text().toLatin1();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void TextList::AddLine(std::string_view text) {
  auto* line =
      new QListWidgetItem(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  line->setSizeHint(LineSize());
  LinesChanged();
  addItem(line);
}

void TextList::RemoveFirstLine() {
  LinesChanged();
  delete takeItem(0);
}

int TextList::TopLine() const {
  // Per-item scrolling: the scroll bar's value is the top line's index once
  // the pending layout has run.
  const_cast<TextList*>(this)->executeDelayedItemsLayout();
  return verticalScrollBar()->value();
}

void TextList::SetTopLine(int index) {
  if (count() == 0) {
    return;
  }
  // Scrolling to an item would lay the list out now, once per added line;
  // the scroll bar takes the value again when the pending layout has run.
  const int wanted = qBound(0, index, count() - 1);
  verticalScrollBar()->setValue(wanted);
  wanted_top_line_ = verticalScrollBar()->value() == wanted ? -1 : wanted;
}

void TextList::updateGeometries() {
  QListWidget::updateGeometries();
  if (wanted_top_line_ >= 0) {
    verticalScrollBar()->setValue(wanted_top_line_);
    wanted_top_line_ = -1;
  }
}

bool TextList::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Paint) {
    since_last_paint_.start();
  }
  return QListWidget::viewportEvent(event);
}

void TextList::LinesChanged() {
  if (repaint_hold_.isActive() || !since_last_paint_.isValid()) {
    return;
  }
  const qint64 since = since_last_paint_.elapsed();
  if (since >= kRepaintInterval) {
    return;  // paints with the next pass of the event loop
  }
  viewport()->setUpdatesEnabled(false);
  repaint_hold_.start(static_cast<int>(kRepaintInterval - since));
}

void TextList::EndRepaintHold() {
  viewport()->setUpdatesEnabled(true);  // repaints the whole viewport
}

void TextList::SetLineHeight(int height) {
  line_height_ = height;
  for (int i = 0; i < count(); ++i) {
    item(i)->setSizeHint(LineSize());
  }
}

void TextList::SetHorizontalExtent(int width) {
  horizontal_extent_ = width;
  for (int i = 0; i < count(); ++i) {
    item(i)->setSizeHint(LineSize());
  }
}

void TextList::SetColours(const QColor& background, const QColor& text) {
  QPalette colours = palette();
  colours.setColor(QPalette::Base, background);
  colours.setColor(QPalette::Text, text);
  setPalette(colours);
}
