// The time trial screen: two rider panels, each following one rider on the
// track, with the standings between them. Filled by time trial records.
#pragma once

#include <QSize>
#include <QWidget>

class QCloseEvent;
class QGroupBox;
class QLabel;
class QShowEvent;
class StringGrid;

// The controls of one rider panel, so a record handler can write either
// panel through the same code.
struct RiderPanel {
  StringGrid* summary;  // rows: name, time line, laps to go, distance
  StringGrid* laps;     // "ToGo", "Net", "Diff" for laps 1 to 41
  QLabel* time;         // large time readout
  QLabel* difference;   // large difference readout
};

class Ttt_commentator_form : public QWidget {
  Q_OBJECT

 public:
  explicit Ttt_commentator_form(const QWidget* main_window);

  QGroupBox* standings_groupbox;
  StringGrid* standings_stringgrid;
  QGroupBox* GroupBox1;
  QGroupBox* GroupBox2;
  StringGrid* StringGrid01;
  StringGrid* StringGrid00;
  StringGrid* StringGrid10;
  StringGrid* StringGrid11;
  QLabel* Image1;
  QLabel* TLabel0;
  QLabel* TLabel1;
  QLabel* TLabeld0;
  QLabel* TLabeld1;

  void FormCreate();
  void FormShow();
  void FormCloseQuery(QCloseEvent* event);

  void ClearRiderPanels();
  void ClearAllPanels();

  // Rider panel 0 (left) or 1 (right).
  const RiderPanel& Panel(int index) const { return panels_[index == 0 ? 0 : 1]; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Places the window over a whole screen of `screen` pixels, frame and
  // caption included, at its top-left corner.
  void CoverScreen(QSize screen);

  RiderPanel panels_[2];
};
