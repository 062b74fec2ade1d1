#include "platform/text_list.h"

#include "platform/repaint_throttle.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <memory>

namespace {

// Draws each line as one glyph per byte, straight from a table of the font's
// glyphs and advances, and only as far as the viewport reaches. The toolkit's
// own text layout shapes every character of every line at each repaint, and
// a record line runs to 1,024 characters: at a fast feed that was most of
// what the log cost. Single bytes need no shaping; a byte the font has no
// glyph for shows the font's missing-glyph box.
class SingleByteLineDelegate : public QStyledItemDelegate {
 public:
  explicit SingleByteLineDelegate(QListWidget* list) : QStyledItemDelegate(list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();  // the style draws the background, selection and focus
    QStyle* style = list_->style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, list_);

    const Glyphs& glyphs = GlyphsFor(item.font);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 1;
    const qreal left = item.rect.left() + margin;
    const qreal right = list_->viewport()->width();
    QList<quint32> indexes;
    QList<QPointF> positions;
    qreal x = 0;
    for (const QChar character : text) {
      if (left + x > right) {
        break;
      }
      const auto byte = static_cast<unsigned char>(character.unicode() & 0xff);
      indexes.append(glyphs.index[byte]);
      positions.append(QPointF(x, 0));
      x += glyphs.advance[byte];
    }
    if (indexes.isEmpty()) {
      return;
    }
    QGlyphRun run;
    run.setRawFont(glyphs.font);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    const qreal baseline =
        item.rect.top() + (item.rect.height() - glyphs.height) / 2 + glyphs.ascent;
    const bool selected = (item.state & QStyle::State_Selected) != 0;
    painter->save();
    painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawGlyphRun(QPointF(left, baseline), run);
    painter->restore();
  }

 private:
  struct Glyphs {
    QFont for_font;
    QRawFont font;
    quint32 index[256] = {};
    qreal advance[256] = {};
    qreal ascent = 0;
    qreal height = 0;
  };

  const Glyphs& GlyphsFor(const QFont& font) const {
    if (!glyphs_ || glyphs_->for_font != font) {
      auto glyphs = std::make_unique<Glyphs>();
      glyphs->for_font = font;
      glyphs->font = QRawFont::fromFont(font);
      const QFontMetricsF metrics(font);
      glyphs->ascent = metrics.ascent();
      glyphs->height = metrics.height();
      QChar characters[256];
      for (int byte = 0; byte < 256; ++byte) {
        characters[byte] = QChar(byte);
      }
      int count = 256;
      glyphs->font.glyphIndexesForChars(characters, 256, glyphs->index, &count);
      QPointF advances[256];
      glyphs->font.advancesForGlyphIndexes(glyphs->index, advances, 256);
      for (int byte = 0; byte < 256; ++byte) {
        glyphs->advance[byte] = advances[byte].x();
      }
      glyphs_ = std::move(glyphs);
    }
    return *glyphs_;
  }

  QListWidget* list_;
  mutable std::unique_ptr<Glyphs> glyphs_;
};

}  // namespace

TextList::TextList(QWidget* parent) : QListWidget(parent) {
  setUniformItemSizes(true);  // one fixed line height, whatever bytes a line holds
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  setItemDelegate(new SingleByteLineDelegate(this));
  // The whole list: a change of lines repaints its scroll bars and frame too.
  repaint_throttle_ = new RepaintThrottle(this, viewport());
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
  repaint_throttle_->ContentChanged();
  addItem(line);
}

void TextList::SetLine(int index, std::string_view text) {
  QListWidgetItem* line = item(index);
  if (line == nullptr) {
    return;
  }
  repaint_throttle_->ContentChanged();
  line->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void TextList::RemoveFirstLine() {
  repaint_throttle_->ContentChanged();
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
