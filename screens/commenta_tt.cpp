#include "screens/commenta_tt.h"

#include "platform/anchoring.h"
#include "platform/string_grid.h"
#include "platform/windows.h"
#include "screens/artwork.h"
#include "screens/screen_common.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QShowEvent>

namespace {

constexpr QSize kDesignClient(885, 578);
const QColor kNavy(0, 0, 128);
const QColor kGrey(128, 128, 128);
const QColor kTeal(0, 128, 128);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);

constexpr int kStandingsRows = 100;
constexpr int kLapRows = 42;
constexpr int kSummaryRows = 4;
constexpr int kGridRowHeight = 18;
constexpr int kReadoutStretch = 65;  // percent of the face's normal width

QGroupBox* MakeGroupBox(QWidget* parent, const QString& caption, const QColor& colour,
                        const QRect& design) {
  auto* box = new QGroupBox(caption, parent);
  box->setGeometry(design);
  SetBackground(box, colour);
  return box;
}

// The large seven-segment readouts; panel 0 reads toward the standings on
// its right, panel 1 toward them on its left.
QLabel* MakeReadout(QWidget* parent, const QRect& design, Qt::Alignment horizontal) {
  auto* label = new QLabel(parent);
  label->setGeometry(design);
  label->setFixedSize(design.size());
  // Seven-segment digits are far wider than the designed LCD face; narrowed,
  // a time such as "2:22.035" fits the 182 pixels instead of losing its minutes.
  QFont digits = DesignFont(Face::kLcdD, 48, true);
  digits.setStretch(kReadoutStretch);
  label->setFont(digits);
  label->setAlignment(horizontal | Qt::AlignVCenter);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(false);
  SetBackground(label, Qt::black);
  SetTextColour(label, kYellow);
  return label;
}

void SetupSummaryGrid(StringGrid& grid, const QFont& font) {
  grid.SetSize(1, kSummaryRows);
  grid.SetColWidth(0, grid.width());
  grid.setFont(font);
  grid.SetScrollBars(Qt::ScrollBarAlwaysOff, Qt::ScrollBarAlwaysOff);
  grid.SetFixed(0, 0);
}

void SetupLapTable(StringGrid& grid, const QFont& font) {
  grid.SetSize(3, kLapRows);
  grid.SetColWidth(0, 30);
  grid.SetColWidth(1, 85);
  grid.SetColWidth(2, 60);
  grid.setFont(font);
  grid.SetScrollBars(Qt::ScrollBarAlwaysOff, Qt::ScrollBarAsNeeded);
  grid.SetFixed(0, 1);
  grid.SetColumnDragging(true);
}

void ClearLapTable(StringGrid& grid) {
  grid.ClearCells();
  grid.SetCell(0, 0, "ToGo");
  grid.SetCell(1, 0, "Net");
  grid.SetCell(2, 0, "Diff");
}

}  // namespace

Ttt_commentator_form::Ttt_commentator_form(const QWidget* main_window)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  // The screen covers the whole primary screen, so it is never centred over
  // the main window.
  (void)main_window;
  setObjectName(QStringLiteral("tt_commentator_form"));
  setWindowTitle(QStringLiteral("TT Commentator Screen"));
  setFont(DesignFont(Face::kMsSansSerif, 11));
  SetBackground(this, kNavy);
  SetTextColour(this, Qt::black);
  setFixedSize(kDesignClient);

  Image1 = new QLabel(this);
  Image1->setGeometry(399, 8, 105, 113);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1->setPixmap(EventPicture());

  GroupBox1 = MakeGroupBox(this, QString(), kGrey, QRect(8, 4, 441, 570));
  GroupBox2 = MakeGroupBox(this, QString(), kTeal, QRect(452, 4, 427, 570));
  standings_groupbox =
      MakeGroupBox(this, QStringLiteral("Standings"), kBlue, QRect(247, 136, 401, 438));
  standings_groupbox->setFont(DesignFont(Face::kMsSansSerif, 16));

  // Labels first, so the grids of the same panel lie above them.
  TLabel0 = MakeReadout(GroupBox1, QRect(255, 16, 182, 48), Qt::AlignRight);
  TLabeld0 = MakeReadout(GroupBox1, QRect(255, 68, 182, 48), Qt::AlignRight);
  TLabel1 = MakeReadout(GroupBox2, QRect(4, 16, 182, 48), Qt::AlignLeft);
  TLabeld1 = MakeReadout(GroupBox2, QRect(4, 68, 182, 48), Qt::AlignLeft);

  StringGrid00 = new StringGrid(GroupBox1);
  StringGrid00->setGeometry(8, 12, 249, 105);
  StringGrid00->setAccessibleName(QStringLiteral("Rider 1 summary"));
  StringGrid01 = new StringGrid(GroupBox1);
  StringGrid01->setGeometry(8, 132, 260, 430);
  StringGrid01->setAccessibleName(QStringLiteral("Rider 1 laps"));
  StringGrid10 = new StringGrid(GroupBox2);
  StringGrid10->setGeometry(176, 16, 245, 105);
  StringGrid10->setAccessibleName(QStringLiteral("Rider 2 summary"));
  StringGrid11 = new StringGrid(GroupBox2);
  StringGrid11->setGeometry(176, 132, 246, 430);
  StringGrid11->setAccessibleName(QStringLiteral("Rider 2 laps"));
  standings_stringgrid = new StringGrid(standings_groupbox);
  standings_stringgrid->setGeometry(12, 20, 381, 414);
  standings_stringgrid->setAccessibleName(QStringLiteral("Standings"));

  Image1->raise();
  GroupBox1->raise();
  GroupBox2->raise();
  standings_groupbox->raise();

  panels_[0] = {StringGrid00, StringGrid01, TLabel0, TLabeld0};
  panels_[1] = {StringGrid10, StringGrid11, TLabel1, TLabeld1};

  new ChildAnchoring(this, kDesignClient,
                     {{Image1, kAnchorCentreX | kAnchorTop},
                      {GroupBox1, kAnchorLeft | kAnchorTop | kAnchorBottom},
                      {GroupBox2, kAnchorRight | kAnchorTop | kAnchorBottom},
                      {standings_groupbox, kAnchorCentreX | kAnchorTop | kAnchorBottom}});
  new ChildAnchoring(GroupBox1, GroupBox1->size(),
                     {{StringGrid01, kAnchorLeft | kAnchorTop | kAnchorBottom}});
  new ChildAnchoring(GroupBox2, GroupBox2->size(),
                     {{StringGrid11, kAnchorLeft | kAnchorTop | kAnchorBottom}});
  new ChildAnchoring(standings_groupbox, standings_groupbox->size(),
                     {{standings_stringgrid, kAnchorLeft | kAnchorTop | kAnchorBottom}});

  FormCreate();
}

void Ttt_commentator_form::FormCreate() {
  StringGrid& standings = *standings_stringgrid;
  standings.SetSize(4, kStandingsRows);
  standings.SetFixed(1, 1);
  standings.SetColWidth(0, 40);
  standings.SetColWidth(1, 150);
  standings.SetColWidth(2, 85);
  standings.SetColWidth(3, 70);
  standings.setFont(DesignFont(Face::kMsSansSerif, 13, true));
  standings.SetColumnDragging(true);
  standings.SetScrollBars(Qt::ScrollBarAsNeeded, Qt::ScrollBarAsNeeded);

  const QFont grid_font = standings.font();
  SetupSummaryGrid(*StringGrid00, grid_font);
  SetupSummaryGrid(*StringGrid10, grid_font);
  SetupLapTable(*StringGrid11, grid_font);
  SetupLapTable(*StringGrid01, grid_font);
}

void Ttt_commentator_form::CoverScreen(QSize screen) {
  // The frame the window manager actually drew, once there is one.
  const QSize frame = OuterGeometry(this).size() - size();
  const QSize client = (screen - frame).expandedTo(QSize(0, 0));
  setFixedSize(client);
  move(0, 0);
}

void Ttt_commentator_form::FormShow() {
  CoverScreen(PrimaryScreenSize());
  for (StringGrid* grid : {standings_stringgrid, StringGrid01, StringGrid11}) {
    grid->SetDefaultRowHeight(kGridRowHeight);
  }
  ClearAllPanels();
  for (StringGrid* grid :
       {standings_stringgrid, StringGrid00, StringGrid01, StringGrid10, StringGrid11}) {
    ApplyDisplayColours(*grid);
  }
}

void Ttt_commentator_form::FormCloseQuery(QCloseEvent* event) {
  EndProgramOnClose(event);
}

void Ttt_commentator_form::ClearRiderPanels() {
  StringGrid00->ClearCells();
  ClearLapTable(*StringGrid01);
  StringGrid10->ClearCells();
  ClearLapTable(*StringGrid11);
  for (QLabel* label : {TLabel0, TLabel1, TLabeld0, TLabeld1}) {
    label->clear();
  }
}

void Ttt_commentator_form::ClearAllPanels() {
  StringGrid& standings = *standings_stringgrid;
  // Row 0 is the heading row and is left alone.
  for (int row = 1; row < standings.RowCount(); ++row) {
    for (int col = 0; col < standings.ColCount(); ++col) {
      standings.SetCell(col, row, {});
    }
  }
  ClearRiderPanels();
}

void Ttt_commentator_form::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    FormShow();
  }
  QWidget::showEvent(event);
}

void Ttt_commentator_form::closeEvent(QCloseEvent* event) {
  FormCloseQuery(event);
}
