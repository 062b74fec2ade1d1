#include "platform/text_list.h"

#include <QScrollBar>

TextList::TextList(QWidget* parent) : QListWidget(parent) {
  setUniformItemSizes(true);  // one fixed line height, whatever bytes a line holds
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
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
  addItem(line);
}

void TextList::RemoveFirstLine() {
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
  scrollToItem(item(qBound(0, index, count() - 1)), QAbstractItemView::PositionAtTop);
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
