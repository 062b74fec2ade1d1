#include "screens/commenta_pts.h"

#include "app/globals.h"
#include "platform/anchoring.h"
#include "platform/string_grid.h"
#include "platform/windows.h"
#include "screens/artwork.h"
#include "screens/screen_common.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QShowEvent>

#include <string>

namespace {

constexpr QSize kDesignClient(792, 573);
constexpr int kRowHeight = 24;
constexpr int kSprintCount = 30;
constexpr int kSprintPlaces = 5;
constexpr int kNarrowScreenWidth = 800;

const QColor kNavy(0, 0, 128);
const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);

QGroupBox* MakeGroupBox(QWidget* parent, const QString& caption, const QRect& geometry) {
  auto* box = new QGroupBox(caption, parent);
  box->setFont(DesignFont(Face::kMsSansSerif, 11));
  box->setGeometry(geometry);
  SetBackground(box, kNavy);
  SetTextColour(box, kYellow);
  return box;
}

StringGrid* MakeGrid(QWidget* parent, const QString& name, const QRect& geometry,
                     const QFont& font) {
  auto* grid = new StringGrid(parent);
  grid->setAccessibleName(name);
  grid->setGeometry(geometry);
  grid->setFont(font);
  grid->SetDefaultRowHeight(kRowHeight);
  grid->SetScrollBars(Qt::ScrollBarAsNeeded, Qt::ScrollBarAsNeeded);
  grid->SetColumnDragging(true);
  return grid;
}

// The open list is a separate popup, so it takes the colours as well.
void SetChooserColours(QComboBox* chooser, const QColor& background, const QColor& text) {
  for (QWidget* part : {static_cast<QWidget*>(chooser), static_cast<QWidget*>(chooser->view())}) {
    QPalette colours = part->palette();
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::Button}) {
      colours.setColor(role, background);
    }
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
      colours.setColor(role, text);
    }
    part->setPalette(colours);
  }
}

void SetRow(StringGrid* grid, int row, std::initializer_list<const char*> cells) {
  int col = 0;
  for (const char* cell : cells) {
    grid->SetCell(col++, row, cell);
  }
}

}  // namespace

// The screen covers the primary screen whenever shown, so the main window
// plays no part in its placement.
Tptsrace_commentator_form::Tptsrace_commentator_form(const QWidget* /*main_window*/)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint) {
  setObjectName(QStringLiteral("ptsrace_commentator_form"));
  setWindowTitle(QStringLiteral("ptsrace_commentator_form"));
  setFont(DesignFont(Face::kMsSansSerif, 11));
  SetBackground(this, kNavy);
  SetTextColour(this, Qt::black);
  setFixedSize(kDesignClient);

  GroupBox1 = MakeGroupBox(this, QStringLiteral("Standings"), QRect(8, 8, 445, 553));
  StringGrid1 = MakeGrid(GroupBox1, QStringLiteral("Standings"), QRect(12, 16, 421, 525),
                         DesignFont(Face::kMsSansSerif, 16, true));
  StringGrid1->SetColours(Qt::white, Qt::black, Qt::lightGray);

  GroupBox2 = MakeGroupBox(this, QStringLiteral("Sprints"), QRect(460, 8, 325, 265));
  ComboBox1 = new QComboBox(GroupBox2);
  ComboBox1->setEditable(false);
  ComboBox1->setGeometry(16, 20, 289, 24);
  ComboBox1->setFont(DesignFont(Face::kMsSansSerif, 13, true));
  ComboBox1->setMaxVisibleItems(8);
  ComboBox1->setAccessibleName(QStringLiteral("Sprint"));
  SetChooserColours(ComboBox1, Qt::white, kRed);
  StringGrid2 = MakeGrid(GroupBox2, QStringLiteral("Sprint result"), QRect(8, 52, 313, 205),
                         DesignFont(Face::kMsSansSerif, 19, true));
  StringGrid2->SetColours(Qt::white, kYellow, Qt::lightGray);

  StringGrid3 = new StringGridModel(this);

  Image1 = new QLabel(this);
  Image1->setGeometry(562, 452, 105, 109);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1->setPixmap(EventPicture());

  new ChildAnchoring(GroupBox1, GroupBox1->size(), {{StringGrid1, kAnchorAllEdges}});
  new ChildAnchoring(GroupBox2, GroupBox2->size(),
                     {{ComboBox1, kAnchorLeft | kAnchorTop | kAnchorRight},
                      {StringGrid2, kAnchorTop | kAnchorRight}});
  new ChildAnchoring(this, kDesignClient,
                     {{GroupBox1, kAnchorAllEdges},
                      {GroupBox2, kAnchorTop | kAnchorRight},
                      {Image1, kAnchorRight | kAnchorBottom}});

  setTabOrder(StringGrid1, ComboBox1);
  setTabOrder(ComboBox1, StringGrid2);
  StringGrid1->setFocus();

  // Only a choice the commentator makes; a choice set from code is silent.
  connect(ComboBox1, &QComboBox::activated, this, &Tptsrace_commentator_form::ComboBox1Change);

  FormCreate();
}

void Tptsrace_commentator_form::FormCreate() {
  StringGrid1->SetDefaultColWidth(40);
  StringGrid1->SetSize(8, 60);
  StringGrid1->SetFixed(0, 1);
  StringGrid1->SetColWidth(1, 3 * StringGrid1->DefaultColWidth());
  SetRow(StringGrid1, 0, {"Rank", "Name", "Status", "Pts", "Laps", "", "", "Final"});
  // Two values the records carry without their being shown.
  StringGrid1->SetColWidth(5, 0);
  StringGrid1->SetColWidth(6, 0);

  StringGrid2->SetDefaultColWidth(60);
  StringGrid2->SetSize(3, kSprintPlaces + 1);
  StringGrid2->SetFixed(0, 1);
  StringGrid2->SetColWidth(1, 3 * StringGrid2->DefaultColWidth());
  SetRow(StringGrid2, 0, {"Rank", "Name", "Points"});

  for (int entry = 1; entry <= kSprintCount; ++entry) {
    ComboBox1->addItem(QString::number(entry));
  }
  ComboBox1->setCurrentIndex(0);

  StringGrid3->SetSize(15, kSprintCount);
}

void Tptsrace_commentator_form::FormShow() {
  ApplyDisplayColours(*StringGrid1);
  ApplyDisplayColours(*StringGrid2);
  SetChooserColours(ComboBox1, globals::display_colours.background, globals::display_colours.text);
  FitToScreen(PrimaryScreenSize());
}

void Tptsrace_commentator_form::FitToScreen(QSize screen) {
  move(0, 0);
  // The frame is fixed for the user, not for the screen's own placement.
  setFixedSize((screen - kDesignFrame).expandedTo(QSize(0, 0)));
  SetOuterSize(this, screen);
  if (screen.width() > kNarrowScreenWidth) {
    StringGrid1->SetColWidth(1, 6 * StringGrid1->DefaultColWidth());
  }
}

void Tptsrace_commentator_form::ComboBox1Change() {
  ShowSelectedSprint();
}

void Tptsrace_commentator_form::ShowSelectedSprint() {
  const int sprint = ComboBox1->currentIndex();
  for (int place = 1; place <= kSprintPlaces; ++place) {
    StringGrid2->SetCell(0, place, std::to_string(place));
    StringGrid2->SetCell(1, place, StringGrid3->Cell(2 * (place - 1), sprint));
    StringGrid2->SetCell(2, place, StringGrid3->Cell(2 * (place - 1) + 1, sprint));
  }
}

void Tptsrace_commentator_form::ClearGrids() {
  StringGrid1->ClearCells();
  StringGrid2->ClearCells();
  StringGrid3->ClearCells();
}

void Tptsrace_commentator_form::FormCloseQuery(QCloseEvent* event) {
  EndProgramOnClose(event);
}

void Tptsrace_commentator_form::showEvent(QShowEvent* event) {
  // A spontaneous show is the platform restoring the window, not a change
  // from hidden to visible.
  if (!event->spontaneous()) {
    FormShow();
  }
  QWidget::showEvent(event);
}

void Tptsrace_commentator_form::closeEvent(QCloseEvent* event) {
  FormCloseQuery(event);
}
