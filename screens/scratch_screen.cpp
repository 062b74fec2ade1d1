#include "screens/scratch_screen.h"

#include "platform/anchoring.h"
#include "platform/fonts.h"
#include "platform/grid_view.h"
#include "screens/artwork.h"

#include <QGroupBox>
#include <QLabel>

namespace {

const QColor kSkyBlue(166, 202, 240);
constexpr int kRowHeight = 24;

GridView* SetUpGrid(GridView* grid) {
  grid->SetDefaultRowHeight(kRowHeight);
  grid->SetScrollBars(Qt::ScrollBarAsNeeded, Qt::ScrollBarAsNeeded);
  grid->SetColumnDragging(false);
  return grid;
}

}  // namespace

ScratchScreen::ScratchScreen(ScratchData& screen_data, const QWidget* main_window)
    : EventScreen({.object_name = "commentator_scratch",
                   .caption = "Commentator Screen, Scratch / Keiren",
                   .background = kSkyBlue,
                   .frame = Frame::kSizeableWithoutButtons,
                   .placement = Placement::kCentredOverMainWindow,
                   .outer_size = kOuterSize,
                   .design_client = kClientSize},
                  main_window),
      data_(screen_data) {}

void ScratchScreen::Build() {
  // Created in the designed order, which is also the focus order of the grids.
  heat_box_ =
      MakeGroupBox(this, QStringLiteral("Event Info / Metrics"), {37, 12, 589, 113}, kSkyBlue);
  competitors_box_ =
      MakeGroupBox(this, QStringLiteral("Competitors"), {24, 140, 810, 517}, kSkyBlue);
  heat_box_->setObjectName(QStringLiteral("GroupBox1"));
  competitors_box_->setObjectName(QStringLiteral("GroupBox2"));
  heat_grid_ = SetUpGrid(MakeGrid(heat_box_, data_.heat, {12, 16, 561, 89},
                                  QStringLiteral("Heat information"),
                                  DesignFont(Face::kMsSansSerif, 19, true), kHeatColumns));
  heat_grid_->setObjectName(QStringLiteral("StringGrid1"));
  competitors_ = SetUpGrid(MakeGrid(competitors_box_, data_.competitors, {12, 16, 790, 493},
                                    QStringLiteral("Competitors"),
                                    DesignFont(Face::kMsSansSerif, 16, true), kCompetitorColumns));
  competitors_->setObjectName(QStringLiteral("StringGrid2"));
  badge_ = MakePicture(this, {685, 4, 89, 81}, ScratchBadgePicture());
  banner_ = MakePicture(this, {644, 92, 177, 45}, ScratchBannerPicture(), /*stretched=*/true);
  badge_->setObjectName(QStringLiteral("Image1"));
  banner_->setObjectName(QStringLiteral("Image2"));
  SetFocusOrder({heat_grid_, competitors_});
  heat_grid_->setFocus();

  // Taken against the designed places above, at the designed client size.
  new ChildAnchoring(this, kClientSize,
                     {{badge_, kAnchorTop | kAnchorRight},
                      {banner_, kAnchorTop | kAnchorRight},
                      {heat_box_, kAnchorTop | kAnchorCentreX},
                      {competitors_box_, kAnchorAllEdges}});
  new ChildAnchoring(heat_box_, heat_box_->size(), {{heat_grid_, kAnchorAllEdges}});
  new ChildAnchoring(competitors_box_, competitors_box_->size(), {{competitors_, kAnchorAllEdges}});
}

void ScratchScreen::Prepare() {
  data_.ClearScreen();
}
