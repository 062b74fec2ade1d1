// A fixed-size grid of single-byte text cells, addressed column first, then
// row, both from 0, with an optional fixed heading row and heading column.
//
// The cells live in StringGridModel, a plain table model that can be tested
// without painting. StringGrid is the view: a QTableView that shows the fixed
// row as its horizontal header and the fixed column as its vertical header,
// so they never scroll and a screen reader reads them as headings. The
// repaints of cell writes are throttled.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QTableView>

#include <string>
#include <string_view>
#include <vector>

class RepaintThrottle;

class StringGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit StringGridModel(QObject* parent = nullptr);

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

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  bool Contains(int col, int row) const;
  void NotifyCellChanged(int col, int row);

  int col_count_ = 0;
  int row_count_ = 0;
  int fixed_cols_ = 0;
  int fixed_rows_ = 0;
  std::vector<std::string> cells_;  // row-major: row * col_count_ + col
};

class StringGrid : public QTableView {
  Q_OBJECT

 public:
  explicit StringGrid(QWidget* parent = nullptr);

  StringGridModel& Model() { return model_; }
  const StringGridModel& Model() const { return model_; }

  void SetSize(int col_count, int row_count);
  int ColCount() const { return model_.ColCount(); }
  int RowCount() const { return model_.RowCount(); }
  void SetFixed(int fixed_cols, int fixed_rows);

  const std::string& Cell(int col, int row) const { return model_.Cell(col, row); }
  void SetCell(int col, int row, std::string_view text) { model_.SetCell(col, row, text); }
  void ClearCells() { model_.ClearCells(); }

  // Widths in pixels; 0 hides the column. New columns take the default width.
  int DefaultColWidth() const { return default_col_width_; }
  void SetDefaultColWidth(int width);
  int ColWidth(int col) const;
  void SetColWidth(int col, int width);

  int DefaultRowHeight() const { return default_row_height_; }
  void SetDefaultRowHeight(int height);
  int RowHeight(int row) const;

  void SetColours(const QColor& background, const QColor& text, const QColor& fixed);
  QColor BackgroundColour() const { return background_; }
  QColor TextColour() const { return text_; }
  QColor FixedColour() const { return fixed_; }

  void SetScrollBars(Qt::ScrollBarPolicy horizontal, Qt::ScrollBarPolicy vertical);
  void SetColumnDragging(bool enabled);

  // Sum of the column widths and row heights, as the grid's cells need them.
  int CellsWidth() const;
  int CellsHeight() const;

 protected:
  void changeEvent(QEvent* event) override;
  void dataChanged(const QModelIndex& top_left, const QModelIndex& bottom_right,
                   const QList<int>& roles = QList<int>()) override;

 private:
  void ApplyGeometry();
  void ApplyColours();

  StringGridModel model_;
  int default_col_width_ = 64;
  int default_row_height_ = 24;
  std::vector<int> col_widths_;
  QColor background_{Qt::white};
  QColor text_{Qt::black};
  QColor fixed_{Qt::lightGray};
  bool column_dragging_ = false;
  RepaintThrottle* repaint_throttle_;  // owned by the viewport
};
