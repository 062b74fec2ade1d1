// The sprint screen: a sprint heat's title, up to four racers with their
// ranks, and the ride's time and speeds, in large bold type on a dark grid.
// Passive: the record dispatcher shows it and writes its title and cells.
#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class StringGrid;

class Tsprintr_commentator_form : public QWidget {
  Q_OBJECT

 public:
  explicit Tsprintr_commentator_form(const QWidget* main_window);

  QGroupBox* GroupBox1;
  StringGrid* StringGrid1;
  QLabel* Image1;
  QLabel* Label1;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormCloseQuery(QCloseEvent* event);

  const QWidget* main_window_;
  bool placed_ = false;
};
