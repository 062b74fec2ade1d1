#include "platform/grid_view.h"

#include "platform/display_style.h"
#include "platform/repaint_throttle.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

const QColor kGridLines(0x80, 0x80, 0x80);

// Text from the cell's left edge in, vertically centred, never elided; a
// text wider than the cell is narrowed as far as GridView::kMinSqueeze
// before its end is cut off.
void DrawCellText(QPainter& painter, const QRect& cell, const QString& text) {
  if (text.isEmpty()) {
    return;
  }
  const QRect room = cell.adjusted(GridView::kCellIndent, 0, -1, 0);
  const int width = painter.fontMetrics().horizontalAdvance(text);
  painter.save();
  painter.setClipRect(room, Qt::IntersectClip);
  if (width > room.width() && room.width() > 0) {
    const qreal squeeze = std::max(qreal(room.width()) / width, GridView::kMinSqueeze);
    painter.translate(room.left(), 0);
    painter.scale(squeeze, 1);
    painter.drawText(QRectF(0, room.top(), width, room.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     text);
  } else {
    painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter, text);
  }
  painter.restore();
}

// Cells drawn plainly: the selection as a flat fill, no focus frame.
class CellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    if (selected) {
      painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
    }
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(option.font);
    DrawCellText(*painter, option.rect, index.data(Qt::DisplayRole).toString());
  }
};

// Heading cells drawn flat in the grid's heading colour, with the grid's
// lines to their right and below, text from the left, never elided.
class HeadingView : public QHeaderView {
 public:
  HeadingView(Qt::Orientation orientation, const GridView& grid)
      : QHeaderView(orientation), grid_(grid) {}

  // The grid fixes the heading row's height and the heading column's
  // width; measuring every heading's text for a size nobody reads costs
  // each grid a font at start-up.
  QSize sizeHint() const override { return minimumSize(); }

  static void PaintCell(QPainter& painter, const QRect& cell, const GridView& grid,
                        const QString& text) {
    painter.fillRect(cell, grid.FixedColour());
    painter.setPen(kGridLines);
    painter.drawLine(cell.topRight(), cell.bottomRight());
    painter.drawLine(cell.bottomLeft(), cell.bottomRight());
    painter.setPen(grid.TextColour());
    DrawCellText(painter, cell.adjusted(0, 0, 0, -1), text);
  }

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logical_index) const override {
    if (!rect.isValid()) {
      return;
    }
    painter->save();
    painter->setFont(font());
    PaintCell(*painter, rect, grid_,
              model()->headerData(logical_index, orientation(), Qt::DisplayRole).toString());
    painter->restore();
  }

 private:
  const GridView& grid_;
};

// The corner where the two headings meet, in the heading colour.
class CornerPainter : public QObject {
 public:
  CornerPainter(QObject* parent, const GridView& grid) : QObject(parent), grid_(grid) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint) {
      return false;
    }
    auto* corner = static_cast<QWidget*>(watched);
    QPainter painter(corner);
    HeadingView::PaintCell(painter, corner->rect(), grid_, QString());
    return true;
  }

 private:
  const GridView& grid_;
};

}  // namespace

GridView::GridView(GridModel& model, QWidget* parent) : QTableView(parent), model_(model) {
  setStyle(DisplayStyle());
  setHorizontalHeader(new HeadingView(Qt::Horizontal, *this));
  setVerticalHeader(new HeadingView(Qt::Vertical, *this));
  setModel(&model_);
  setItemDelegate(new CellDelegate(this));
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  setCornerButtonEnabled(false);
  setTabKeyNavigation(false);  // Tab moves on to the window's next control
  if (auto* corner = findChild<QAbstractButton*>()) {
    corner->installEventFilter(new CornerPainter(this, *this));
  }
  // Focus only from a click: a grid focused whenever its screen comes to
  // the front repaints its frame and its current cell at every switch.
  setFocusPolicy(Qt::ClickFocus);
  setFrameShadow(QFrame::Sunken);
  for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
    header->setMinimumSectionSize(0);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
  }
  horizontalHeader()->setStretchLastSection(false);
  col_widths_.assign(static_cast<size_t>(model_.ColCount()), kDefaultColWidth);
  connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
    col_widths_.resize(static_cast<size_t>(model_.ColCount()), kDefaultColWidth);
    ApplyGeometry();
  });
  ApplyGeometry();
  SetColours(background_, text_, fixed_);
  repaint_throttle_ = new RepaintThrottle(viewport(), viewport());
}

void GridView::dataChanged(const QModelIndex& top_left, const QModelIndex& bottom_right,
                           const QList<int>& roles) {
  if (!isVisible() ||
      !repaint_throttle_->HoldRepaint(visualRect(top_left).united(visualRect(bottom_right)))) {
    QTableView::dataChanged(top_left, bottom_right, roles);
    return;
  }
  // What the view would do besides repainting: tell a screen reader.
  if (QAccessible::isActive()) {
    QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::DataChanged);
    event.setFirstRow(top_left.row());
    event.setFirstColumn(top_left.column());
    event.setLastRow(bottom_right.row());
    event.setLastColumn(bottom_right.column());
    QAccessible::updateAccessibility(&event);
  }
}

int GridView::ColWidth(int col) const {
  if (col < 0 || col >= static_cast<int>(col_widths_.size())) {
    return 0;
  }
  return col_widths_[static_cast<size_t>(col)];
}

void GridView::SetColWidth(int col, int width) {
  if (col < 0 || col >= static_cast<int>(col_widths_.size())) {
    return;
  }
  col_widths_[static_cast<size_t>(col)] = std::max(width, 0);
  ApplyGeometry();
}

void GridView::SetDefaultRowHeight(int height) {
  default_row_height_ = std::max(height, 0);
  ApplyGeometry();
}

int GridView::RowHeight(int row) const {
  return row >= 0 && row < RowCount() ? default_row_height_ : 0;
}

int GridView::CellsWidth() const {
  int width = 0;
  for (int col_width : col_widths_) {
    width += col_width;
  }
  return width;
}

int GridView::CellsHeight() const {
  return RowCount() * default_row_height_;
}

void GridView::SetColours(const QColor& background, const QColor& text, const QColor& fixed) {
  background_ = background;
  text_ = text;
  fixed_ = fixed;
  QPalette colours = palette();
  colours.setColor(QPalette::Base, background_);
  colours.setColor(QPalette::Window, background_);
  colours.setColor(QPalette::Text, text_);
  setPalette(colours);
  for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
    header->viewport()->update();
  }
}

void GridView::SetScrollBars(Qt::ScrollBarPolicy horizontal, Qt::ScrollBarPolicy vertical) {
  setHorizontalScrollBarPolicy(horizontal);
  setVerticalScrollBarPolicy(vertical);
}

void GridView::SetColumnDragging(bool enabled) {
  column_dragging_ = enabled;
  ApplyGeometry();
}

void GridView::ApplyGeometry() {
  const int fixed_cols = model_.FixedCols();
  const int fixed_rows = model_.FixedRows();
  QHeaderView* columns = horizontalHeader();
  QHeaderView* rows = verticalHeader();

  columns->setVisible(fixed_rows > 0);
  columns->setFixedHeight(fixed_rows > 0 ? default_row_height_ : 0);
  rows->setVisible(fixed_cols > 0);
  rows->setFixedWidth(fixed_cols > 0 ? ColWidth(0) : 0);

  rows->setDefaultSectionSize(default_row_height_);
  columns->setSectionResizeMode(column_dragging_ ? QHeaderView::Interactive : QHeaderView::Fixed);
  for (int col = fixed_cols; col < ColCount(); ++col) {
    const int width = ColWidth(col);
    setColumnHidden(col - fixed_cols, width == 0);
    if (width > 0) {
      setColumnWidth(col - fixed_cols, width);
    }
  }
}

void GridView::keyPressEvent(QKeyEvent* event) {
  // The grid is for reading: keys scroll it, no cell cursor moves.
  QScrollBar* rows = verticalScrollBar();
  QScrollBar* columns = horizontalScrollBar();
  switch (event->key()) {
    case Qt::Key_Up:
      rows->triggerAction(QAbstractSlider::SliderSingleStepSub);
      break;
    case Qt::Key_Down:
      rows->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      break;
    case Qt::Key_PageUp:
      rows->triggerAction(QAbstractSlider::SliderPageStepSub);
      break;
    case Qt::Key_PageDown:
      rows->triggerAction(QAbstractSlider::SliderPageStepAdd);
      break;
    case Qt::Key_Home:
      rows->triggerAction(QAbstractSlider::SliderToMinimum);
      break;
    case Qt::Key_End:
      rows->triggerAction(QAbstractSlider::SliderToMaximum);
      break;
    case Qt::Key_Left:
      columns->triggerAction(QAbstractSlider::SliderSingleStepSub);
      break;
    case Qt::Key_Right:
      columns->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      break;
    default:
      QTableView::keyPressEvent(event);
      return;
  }
  event->accept();
}

void GridView::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    // Heading cells are drawn by the header views, which keep their own font.
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
      header->setFont(font());
      header->viewport()->setFont(font());
    }
  }
}
