// A fixed-size grid of single-byte text cells, addressed column first, then
// row, both from 0, with an optional heading row 0 and heading column 0.
// QtCore only: the record rules write it without any window, and a GridView
// (or a chooser) shows it. The heading row and column are offered as the
// model's header data, so a view keeps them from scrolling and a screen
// reader reads them as headings.
#pragma once

#include <QAbstractTableModel>

#include <string>
#include <string_view>
#include <vector>

class GridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit GridModel(QObject* parent = nullptr);
  GridModel(int col_count, int row_count, int fixed_cols = 0, int fixed_rows = 0,
            QObject* parent = nullptr);

  // Resizing keeps the cells that still fit and empties the new ones.
  void SetSize(int col_count, int row_count);
  int ColCount() const { return col_count_; }
  int RowCount() const { return row_count_; }

  // Only a heading row 0 and a heading column 0 are supported (0 or 1 each).
  void SetFixed(int fixed_cols, int fixed_rows);
  int FixedCols() const { return fixed_cols_; }
  int FixedRows() const { return fixed_rows_; }

  // A cell outside the grid reads empty and a write to it does nothing.
  const std::string& Cell(int col, int row) const;
  void SetCell(int col, int row, std::string_view text);
  void ClearCells();
  // Empties rows `first_row` to the last, every column.
  void ClearRows(int first_row);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  bool Contains(int col, int row) const;
  void NotifyCellChanged(int col, int row);
  void NotifyRowsChanged(int first_row);

  int col_count_ = 0;
  int row_count_ = 0;
  int fixed_cols_ = 0;
  int fixed_rows_ = 0;
  std::vector<std::string> cells_;  // row-major: row * col_count_ + col
};
