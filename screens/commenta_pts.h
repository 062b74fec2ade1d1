// The points race screen: the standings on the left, and on the right the
// result of one intermediate sprint that the commentator picks from a list.
// The points race records fill it; the screen only builds its grids, takes
// the display colours and the whole screen when shown, and ends the program
// when closed.
#pragma once

#include <QSize>
#include <QWidget>

class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QShowEvent;
class StringGrid;
class StringGridModel;

class Tptsrace_commentator_form : public QWidget {
  Q_OBJECT

 public:
  explicit Tptsrace_commentator_form(const QWidget* main_window);

  QGroupBox* GroupBox1;
  StringGrid* StringGrid1;  // standings: 8 columns, 60 rows, heading row 0
  QGroupBox* GroupBox2;
  QComboBox* ComboBox1;          // sprint chooser: entry k names sprint k
  StringGrid* StringGrid2;       // the chosen sprint: 3 columns, 6 rows, heading row 0
  StringGridModel* StringGrid3;  // sprint store, never drawn: row k is sprint k
  QLabel* Image1;

  void FormCreate();
  void FormShow();
  void ComboBox1Change();
  void FormCloseQuery(QCloseEvent* event);

  // Copies the sprint chosen in ComboBox1 from the store into StringGrid2.
  void ShowSelectedSprint();
  // Empties every cell of the three grids, headings included; the chooser
  // keeps its entries and its choice.
  void ClearGrids();

  // The steps of FormShow that depend on the primary screen: cover it from
  // its top-left corner and widen the name column on screens wider than 800.
  void FitToScreen(QSize screen);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
};
