#include "platform/string_grid.h"

#include "platform/repaint_throttle.h"

#include <QAccessible>
#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>

namespace {

const std::string kEmptyCell;

QString ShowBytes(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

StringGridModel::StringGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void StringGridModel::SetSize(int col_count, int row_count) {
  col_count = std::max(col_count, 0);
  row_count = std::max(row_count, 0);
  if (col_count == col_count_ && row_count == row_count_) {
    return;
  }
  std::vector<std::string> cells(static_cast<size_t>(col_count) * row_count);
  for (int row = 0; row < std::min(row_count, row_count_); ++row) {
    for (int col = 0; col < std::min(col_count, col_count_); ++col) {
      cells[static_cast<size_t>(row) * col_count + col] =
          std::move(cells_[static_cast<size_t>(row) * col_count_ + col]);
    }
  }
  beginResetModel();
  cells_ = std::move(cells);
  col_count_ = col_count;
  row_count_ = row_count;
  endResetModel();
}

void StringGridModel::SetFixed(int fixed_cols, int fixed_rows) {
  beginResetModel();
  fixed_cols_ = std::clamp(fixed_cols, 0, 1);
  fixed_rows_ = std::clamp(fixed_rows, 0, 1);
  endResetModel();
}

bool StringGridModel::Contains(int col, int row) const {
  return col >= 0 && col < col_count_ && row >= 0 && row < row_count_;
}

const std::string& StringGridModel::Cell(int col, int row) const {
  if (!Contains(col, row)) {
    return kEmptyCell;
  }
  return cells_[static_cast<size_t>(row) * col_count_ + col];
}

void StringGridModel::SetCell(int col, int row, std::string_view text) {
  if (!Contains(col, row)) {
    return;
  }
  std::string& cell = cells_[static_cast<size_t>(row) * col_count_ + col];
  if (cell == text) {
    return;
  }
  cell.assign(text);
  NotifyCellChanged(col, row);
}

void StringGridModel::ClearCells() {
  bool changed = false;
  for (std::string& cell : cells_) {
    changed = changed || !cell.empty();
    cell.clear();
  }
  if (!changed) {
    return;
  }
  if (rowCount() > 0 && columnCount() > 0) {
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
  }
  if (fixed_rows_ > 0) {
    emit headerDataChanged(Qt::Horizontal, 0, std::max(columnCount() - 1, 0));
  }
  if (fixed_cols_ > 0) {
    emit headerDataChanged(Qt::Vertical, 0, std::max(rowCount() - 1, 0));
  }
}

// Only signals; the view repaints the cell on its next paint, so a burst of
// writes costs one paint.
void StringGridModel::NotifyCellChanged(int col, int row) {
  const bool in_fixed_row = row < fixed_rows_;
  const bool in_fixed_col = col < fixed_cols_;
  if (in_fixed_row && in_fixed_col) {
    return;  // the corner, which the view does not show
  }
  if (in_fixed_row) {
    emit headerDataChanged(Qt::Horizontal, col - fixed_cols_, col - fixed_cols_);
  } else if (in_fixed_col) {
    emit headerDataChanged(Qt::Vertical, row - fixed_rows_, row - fixed_rows_);
  } else {
    const QModelIndex changed = index(row - fixed_rows_, col - fixed_cols_);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
  }
}

int StringGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(row_count_ - fixed_rows_, 0);
}

int StringGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(col_count_ - fixed_cols_, 0);
}

QVariant StringGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) {
    return {};
  }
  return ShowBytes(Cell(index.column() + fixed_cols_, index.row() + fixed_rows_));
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) {
    return {};
  }
  // Only the grid's own heading cells; never row or column numbers.
  if (orientation == Qt::Horizontal && fixed_rows_ > 0) {
    return ShowBytes(Cell(section + fixed_cols_, 0));
  }
  if (orientation == Qt::Vertical && fixed_cols_ > 0) {
    return ShowBytes(Cell(0, section + fixed_rows_));
  }
  return QString();
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) {
    return Qt::NoItemFlags;
  }
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // display only, never editable
}

StringGrid::StringGrid(QWidget* parent) : QTableView(parent), model_(this) {
  setModel(&model_);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  setCornerButtonEnabled(false);
  // Focus only from a click: a grid focused whenever its screen comes to
  // the front repaints its frame and its current cell at every switch.
  setFocusPolicy(Qt::ClickFocus);
  setFrameShadow(QFrame::Sunken);
  for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
    header->setMinimumSectionSize(0);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }
  horizontalHeader()->setStretchLastSection(false);
  ApplyGeometry();
  ApplyColours();
  repaint_throttle_ = new RepaintThrottle(viewport(), viewport());
}

void StringGrid::dataChanged(const QModelIndex& top_left, const QModelIndex& bottom_right,
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

void StringGrid::SetSize(int col_count, int row_count) {
  model_.SetSize(col_count, row_count);
  col_widths_.resize(static_cast<size_t>(model_.ColCount()), default_col_width_);
  ApplyGeometry();
}

void StringGrid::SetFixed(int fixed_cols, int fixed_rows) {
  model_.SetFixed(fixed_cols, fixed_rows);
  ApplyGeometry();
}

void StringGrid::SetDefaultColWidth(int width) {
  default_col_width_ = std::max(width, 0);
}

int StringGrid::ColWidth(int col) const {
  if (col < 0 || col >= static_cast<int>(col_widths_.size())) {
    return 0;
  }
  return col_widths_[static_cast<size_t>(col)];
}

void StringGrid::SetColWidth(int col, int width) {
  if (col < 0 || col >= static_cast<int>(col_widths_.size())) {
    return;
  }
  col_widths_[static_cast<size_t>(col)] = std::max(width, 0);
  ApplyGeometry();
}

void StringGrid::SetDefaultRowHeight(int height) {
  default_row_height_ = std::max(height, 0);
  ApplyGeometry();
}

int StringGrid::RowHeight(int row) const {
  return row >= 0 && row < RowCount() ? default_row_height_ : 0;
}

int StringGrid::CellsWidth() const {
  int width = 0;
  for (int col_width : col_widths_) {
    width += col_width;
  }
  return width;
}

int StringGrid::CellsHeight() const {
  return RowCount() * default_row_height_;
}

void StringGrid::SetColours(const QColor& background, const QColor& text, const QColor& fixed) {
  background_ = background;
  text_ = text;
  fixed_ = fixed;
  ApplyColours();
}

void StringGrid::SetScrollBars(Qt::ScrollBarPolicy horizontal, Qt::ScrollBarPolicy vertical) {
  setHorizontalScrollBarPolicy(horizontal);
  setVerticalScrollBarPolicy(vertical);
}

void StringGrid::SetColumnDragging(bool enabled) {
  column_dragging_ = enabled;
  ApplyGeometry();
}

void StringGrid::ApplyGeometry() {
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

void StringGrid::ApplyColours() {
  // The colours live in the style sheet: a palette set after the first
  // polish would be replaced by the one the style sheet captured then.
  setStyleSheet(QStringLiteral("QTableView { background-color: %1; color: %2;"
                               " gridline-color: #808080; }"
                               "QHeaderView::section { background-color: %3; color: %2;"
                               " border: none; border-right: 1px solid #808080;"
                               " border-bottom: 1px solid #808080; padding-left: 2px; }"
                               "QHeaderView { background-color: %1; }"
                               "QTableCornerButton::section { background-color: %3;"
                               " border: none; border-right: 1px solid #808080;"
                               " border-bottom: 1px solid #808080; }")
                    .arg(background_.name(), text_.name(), fixed_.name()));
}

void StringGrid::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    // Heading cells are drawn by the header views, which keep their own font.
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
      header->setFont(font());
      header->viewport()->setFont(font());
    }
  }
}
