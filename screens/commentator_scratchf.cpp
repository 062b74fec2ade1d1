#include "screens/commentator_scratchf.h"

#include "platform/anchoring.h"
#include "platform/string_grid.h"
#include "platform/windows.h"
#include "screens/artwork.h"
#include "screens/screen_common.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QShowEvent>

#include <array>
#include <string_view>

namespace {

const QColor kSkyBlue(166, 202, 240);
constexpr int kRowHeight = 24;

constexpr std::array<std::string_view, 3> kHeatLabels = {"Heat Title:", "Time:", "Speed:"};
constexpr std::array<int, 2> kHeatColWidths = {140, 400};

struct CompetitorColumn {
  std::string_view heading;
  int width;
};
constexpr std::array<CompetitorColumn, 6> kCompetitorColumns = {{
    {"Rank", 60},
    {"Bib", 60},
    {"Competitor", 360},
    {"NAT", 60},
    {"Status", 60},
    {"Laps-", 60},
}};
constexpr int kCompetitorGridRows = 51;  // heading row and 50 competitors

QGroupBox* MakeGroupBox(QWidget* parent, const QString& caption, const QRect& place) {
  auto* box = new QGroupBox(caption, parent);
  box->setGeometry(place);
  SetBackground(box, kSkyBlue);
  return box;
}

StringGrid* MakeGrid(QWidget* parent, const QRect& place, int font_pixels, const QString& name) {
  auto* grid = new StringGrid(parent);
  grid->setGeometry(place);
  grid->setFont(DesignFont(Face::kMsSansSerif, font_pixels, /*bold=*/true));
  grid->setAccessibleName(name);
  grid->SetScrollBars(Qt::ScrollBarAsNeeded, Qt::ScrollBarAsNeeded);
  grid->SetColumnDragging(false);
  return grid;
}

QLabel* MakePicture(QWidget* parent, const QRect& place, const QPixmap& picture, bool stretched) {
  auto* label = new QLabel(parent);
  label->setGeometry(place);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setScaledContents(stretched);
  label->setPixmap(picture);
  return label;
}

}  // namespace

Tcommentator_scratch::Tcommentator_scratch(const QWidget* main_window)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      main_window_(main_window) {
  setObjectName(QStringLiteral("commentator_scratch"));
  setWindowTitle(QStringLiteral("Commentator Screen, Scratch / Keiren"));
  setFont(DesignFont(Face::kMsSansSerif, 11));
  SetBackground(this, kSkyBlue);
  SetOuterSize(this, kOuterSize);

  // Created in the designed order, which is also the focus order of the grids.
  GroupBox1 = MakeGroupBox(this, QStringLiteral("Event Info / Metrics"), {37, 12, 589, 113});
  GroupBox2 = MakeGroupBox(this, QStringLiteral("Competitors"), {24, 140, 810, 517});
  StringGrid1 = MakeGrid(GroupBox1, {12, 16, 561, 89}, 19, QStringLiteral("Heat information"));
  StringGrid2 = MakeGrid(GroupBox2, {12, 16, 790, 493}, 16, QStringLiteral("Competitors"));
  Image1 = MakePicture(this, {685, 4, 89, 81}, ScratchBadgePicture(), /*stretched=*/false);
  Image2 = MakePicture(this, {644, 92, 177, 45}, ScratchBannerPicture(), /*stretched=*/true);
  setTabOrder(StringGrid1, StringGrid2);
  StringGrid1->setFocus();

  // Taken against the designed places above, at the designed client size.
  new ChildAnchoring(this, kClientSize,
                     {{Image1, kAnchorTop | kAnchorRight},
                      {Image2, kAnchorTop | kAnchorRight},
                      {GroupBox1, kAnchorTop | kAnchorCentreX},
                      {GroupBox2, kAnchorAllEdges}});
  new ChildAnchoring(GroupBox1, GroupBox1->size(), {{StringGrid1, kAnchorAllEdges}});
  new ChildAnchoring(GroupBox2, GroupBox2->size(), {{StringGrid2, kAnchorAllEdges}});

  FormCreate();
}

void Tcommentator_scratch::FormCreate() {
  StringGrid& heat = *StringGrid1;
  heat.SetSize(static_cast<int>(kHeatColWidths.size()), static_cast<int>(kHeatLabels.size()));
  for (int col = 0; col < static_cast<int>(kHeatColWidths.size()); ++col) {
    heat.SetColWidth(col, kHeatColWidths[col]);
  }
  heat.SetDefaultRowHeight(kRowHeight);
  ApplyDisplayColours(heat);
  heat.SetFixed(0, 0);

  StringGrid& competitors = *StringGrid2;
  competitors.SetSize(static_cast<int>(kCompetitorColumns.size()), kCompetitorGridRows);
  for (int col = 0; col < static_cast<int>(kCompetitorColumns.size()); ++col) {
    competitors.SetColWidth(col, kCompetitorColumns[col].width);
  }
  competitors.SetDefaultRowHeight(kRowHeight);
  ApplyDisplayColours(competitors);
  competitors.SetFixed(0, 1);

  ClearScreen();
}

void Tcommentator_scratch::ClearScreen() {
  StringGrid1->ClearCells();
  StringGrid2->ClearCells();
  for (int row = 0; row < static_cast<int>(kHeatLabels.size()); ++row) {
    StringGrid1->SetCell(0, row, kHeatLabels[row]);
  }
  for (int col = 0; col < static_cast<int>(kCompetitorColumns.size()); ++col) {
    StringGrid2->SetCell(col, 0, kCompetitorColumns[col].heading);
  }
}

void Tcommentator_scratch::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A spontaneous show is the window manager restoring the window; only a
  // change from hidden to visible made by the program counts.
  if (event->spontaneous()) {
    return;
  }
  if (!placed_) {
    placed_ = true;
    move(CentredOver(OuterGeometry(main_window_), kOuterSize));
  }
  FormShow();
}

void Tcommentator_scratch::FormShow() {
  ClearScreen();
}

void Tcommentator_scratch::closeEvent(QCloseEvent* event) {
  FormCloseQuery(event);
}

void Tcommentator_scratch::FormCloseQuery(QCloseEvent* event) {
  EndProgramOnClose(event);
}
