#include "records/grid_model.h"

#include <algorithm>

namespace {

// A cell holds bytes; a view shows each byte as one character.
QString CellText(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

namespace {

const std::string kEmptyCell;

}  // namespace

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

GridModel::GridModel(int col_count, int row_count, int fixed_cols, int fixed_rows, QObject* parent)
    : QAbstractTableModel(parent) {
  SetSize(col_count, row_count);
  SetFixed(fixed_cols, fixed_rows);
}

void GridModel::SetSize(int col_count, int row_count) {
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

void GridModel::SetFixed(int fixed_cols, int fixed_rows) {
  beginResetModel();
  fixed_cols_ = std::clamp(fixed_cols, 0, 1);
  fixed_rows_ = std::clamp(fixed_rows, 0, 1);
  endResetModel();
}

bool GridModel::Contains(int col, int row) const {
  return col >= 0 && col < col_count_ && row >= 0 && row < row_count_;
}

const std::string& GridModel::Cell(int col, int row) const {
  if (!Contains(col, row)) {
    return kEmptyCell;
  }
  return cells_[static_cast<size_t>(row) * col_count_ + col];
}

void GridModel::SetCell(int col, int row, std::string_view text) {
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

void GridModel::ClearCells() {
  ClearRows(0);
}

void GridModel::ClearRows(int first_row) {
  first_row = std::clamp(first_row, 0, row_count_);
  bool changed = false;
  for (size_t i = static_cast<size_t>(first_row) * col_count_; i < cells_.size(); ++i) {
    changed = changed || !cells_[i].empty();
    cells_[i].clear();
  }
  if (changed) {
    NotifyRowsChanged(first_row);
  }
}

// Only signals; a view repaints on its next paint, so a burst of writes
// costs one paint.
void GridModel::NotifyCellChanged(int col, int row) {
  const bool in_fixed_row = row < fixed_rows_;
  const bool in_fixed_col = col < fixed_cols_;
  if (in_fixed_row && in_fixed_col) {
    return;  // the corner, which no view shows
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

void GridModel::NotifyRowsChanged(int first_row) {
  const int first_data_row = std::max(first_row - fixed_rows_, 0);
  if (first_data_row < rowCount() && columnCount() > 0) {
    emit dataChanged(index(first_data_row, 0), index(rowCount() - 1, columnCount() - 1),
                     {Qt::DisplayRole});
  }
  if (fixed_rows_ > 0 && first_row == 0 && columnCount() > 0) {
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
  }
  if (fixed_cols_ > 0 && first_data_row < rowCount()) {
    emit headerDataChanged(Qt::Vertical, first_data_row, rowCount() - 1);
  }
}

int GridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(row_count_ - fixed_rows_, 0);
}

int GridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(col_count_ - fixed_cols_, 0);
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) {
    return {};
  }
  return CellText(Cell(index.column() + fixed_cols_, index.row() + fixed_rows_));
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) {
    return {};
  }
  // Only the grid's own heading cells; never row or column numbers.
  if (orientation == Qt::Horizontal && fixed_rows_ > 0) {
    return CellText(Cell(section + fixed_cols_, 0));
  }
  if (orientation == Qt::Vertical && fixed_cols_ > 0) {
    return CellText(Cell(0, section + fixed_rows_));
  }
  return QString();
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) {
    return Qt::NoItemFlags;
  }
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // display only, never editable
}
