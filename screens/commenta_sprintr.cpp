#include "screens/commenta_sprintr.h"

#include "platform/string_grid.h"
#include "platform/windows.h"
#include "screens/artwork.h"
#include "screens/screen_common.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QShowEvent>

namespace {

constexpr QSize kOuterSize(778, 574);
const QColor kBlue(0, 0, 255);
const QColor kGrey(128, 128, 128);
const QColor kYellow(255, 255, 0);
const QColor kBlack(0, 0, 0);

constexpr int kGridTop = 56;
constexpr int kRowHeight = 30;
constexpr int kGridMargin = 10;
constexpr int kGridFontPixels = 24;  // 18 points at 96 dpi

}  // namespace

Tsprintr_commentator_form::Tsprintr_commentator_form(const QWidget* main_window)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint |
                           Qt::CustomizeWindowHint),
      main_window_(main_window) {
  setObjectName(QStringLiteral("sprintr_commentator_form"));
  setWindowTitle(QStringLiteral("Sprint Race Commentator"));
  setFont(DesignFont(Face::kMsSansSerif, 11));
  SetBackground(this, kBlue);
  SetOuterSize(this, kOuterSize);

  GroupBox1 = new QGroupBox(this);
  GroupBox1->setGeometry(36, 8, 697, 325);
  SetBackground(GroupBox1, kGrey);

  StringGrid1 = new StringGrid(GroupBox1);
  StringGrid1->move(0, kGridTop);
  StringGrid1->setAccessibleName(QStringLiteral("Sprint heat"));
  StringGrid1->SetScrollBars(Qt::ScrollBarAlwaysOff, Qt::ScrollBarAlwaysOff);
  StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
  StringGrid1->setFocusPolicy(Qt::NoFocus);

  Image1 = new QLabel(this);
  Image1->setGeometry(318, 414, 105, 109);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1->setPixmap(EventPicture());

  Label1 = new QLabel(GroupBox1);
  Label1->setGeometry(8, 12, 681, 37);
  Label1->setTextFormat(Qt::PlainText);  // titles are shown as sent, never as markup
  Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label1->setFont(DesignFont(Face::kMsSansSerif, 24, true));
  SetBackground(Label1, kBlack);
  SetTextColour(Label1, kYellow);

  FormCreate();
}

void Tsprintr_commentator_form::FormCreate() {
  StringGrid& grid = *StringGrid1;
  grid.SetSize(3, 7);
  grid.SetFixed(1, 0);
  grid.SetColWidth(0, 2 * grid.DefaultColWidth());
  grid.SetColWidth(2, 5 * grid.DefaultColWidth());
  grid.SetCell(0, 0, "Racers");
  grid.SetCell(0, 4, "Time");
  grid.SetCell(0, 5, "KMH");
  grid.SetCell(0, 6, "MPH");
  grid.SetDefaultRowHeight(kRowHeight);
  grid.resize(grid.CellsWidth() + kGridMargin, grid.CellsHeight() + kGridMargin);
  // Centred in the group box, the half truncated toward zero.
  const int left = static_cast<int>((GroupBox1->width() - grid.width()) / 2.0);
  grid.move(left, grid.y());
  // Colours set on a grid that is already polished are undone by its style
  // sheet, so it takes them once before its first showing as well.
  ApplyDisplayColours(grid);
}

void Tsprintr_commentator_form::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    if (!placed_ && main_window_ != nullptr) {
      placed_ = true;
      move(CentredOver(OuterGeometry(main_window_), kOuterSize));
    }
    FormShow();
  }
  QWidget::showEvent(event);
}

void Tsprintr_commentator_form::FormShow() {
  ApplyDisplayColours(*StringGrid1);
  StringGrid1->setFont(DesignFont(Face::kMsSansSerif, kGridFontPixels, true));
}

void Tsprintr_commentator_form::closeEvent(QCloseEvent* event) {
  FormCloseQuery(event);
}

void Tsprintr_commentator_form::FormCloseQuery(QCloseEvent* event) {
  EndProgramOnClose(event);
}
