// The view of a GridModel: a QTableView that shows the model's heading row
// as its horizontal header and its heading column as its vertical header,
// in flat heading cells of their own colour, with per-column widths (0
// hides a column) and one row height. Cell texts start 2 pixels in and are
// narrowed, up to a point, rather than cut off. Display only; the repaints
// of cell writes are throttled.
#pragma once

#include "records/grid_model.h"

#include <QColor>
#include <QTableView>

#include <vector>

class RepaintThrottle;

class GridView : public QTableView {
  Q_OBJECT

 public:
  static constexpr int kCellIndent = 2;       // pixels from a cell's left edge to its text
  static constexpr double kMinSqueeze = 0.8;  // how narrow a long text may be drawn

  explicit GridView(GridModel& model, QWidget* parent = nullptr);

  GridModel& Model() const { return model_; }
  int ColCount() const { return model_.ColCount(); }
  int RowCount() const { return model_.RowCount(); }

  // Widths in pixels; 0 hides the column. Columns not set take the default.
  int ColWidth(int col) const;
  void SetColWidth(int col, int width);

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
  void keyPressEvent(QKeyEvent* event) override;
  void dataChanged(const QModelIndex& top_left, const QModelIndex& bottom_right,
                   const QList<int>& roles = QList<int>()) override;

 private:
  void ApplyGeometry();

  GridModel& model_;
  static constexpr int kDefaultColWidth = 64;
  int default_row_height_ = 24;
  std::vector<int> col_widths_;
  QColor background_{Qt::white};
  QColor text_{Qt::black};
  QColor fixed_{Qt::lightGray};
  bool column_dragging_ = false;
  RepaintThrottle* repaint_throttle_;  // owned by the viewport
};
