// The scratch / keirin screen: the heat's title, time and speed above the
// list of competitors with rank, bib, name, nation, status and laps.
// Passive: the record dispatcher shows it, clears it and writes its cells.
#pragma once

#include <QSize>
#include <QWidget>

class QGroupBox;
class QLabel;
class StringGrid;

class Tcommentator_scratch : public QWidget {
  Q_OBJECT

 public:
  explicit Tcommentator_scratch(const QWidget* main_window);

  static constexpr QSize kOuterSize{848, 693};
  static constexpr QSize kClientSize{840, 666};

  // Empties both grids and writes the labels and the competitor headings.
  void ClearScreen();

  QGroupBox* GroupBox1;
  QGroupBox* GroupBox2;
  StringGrid* StringGrid1;  // heat information: labels in column 0, values in column 1
  StringGrid* StringGrid2;  // competitors: headings in row 0, list position p in row p + 1
  QLabel* Image1;
  QLabel* Image2;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCloseQuery(QCloseEvent* event);
  void FormCreate();
  void FormShow();

  const QWidget* main_window_;
  bool placed_ = false;
};
