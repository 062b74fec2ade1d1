#include "screens/points_race_screen.h"

#include "platform/anchoring.h"
#include "platform/display_style.h"
#include "platform/fonts.h"
#include "platform/grid_view.h"
#include "platform/windows.h"
#include "screens/artwork.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

namespace {

constexpr int kRowHeight = 24;
constexpr int kNarrowScreenWidth = 800;
const QColor kNavy(0, 0, 128);
const QColor kYellow(255, 255, 0);

QGroupBox* Caption(QGroupBox* box) {
  box->setFont(DesignFont(Face::kMsSansSerif, 11));
  SetTextColour(box, kYellow);
  return box;
}

GridView* SetUpGrid(GridView* grid) {
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

}  // namespace

PointsRaceScreen::PointsRaceScreen(PointsRaceData& screen_data, const QWidget* main_window)
    : EventScreen({.object_name = "ptsrace_commentator_form",
                   .caption = "ptsrace_commentator_form",
                   .background = kNavy,
                   .frame = Frame::kFixedDialog,
                   .placement = Placement::kCoversPrimaryScreen,
                   .design_client = kDesignClient},
                  main_window),
      data_(screen_data) {
  SetTextColour(this, Qt::black);
}

void PointsRaceScreen::Build() {
  standings_box_ =
      Caption(MakeGroupBox(this, QStringLiteral("Standings"), QRect(8, 8, 445, 553), kNavy));
  standings_box_->setObjectName(QStringLiteral("GroupBox1"));
  standings_ = SetUpGrid(MakeGrid(standings_box_, data_.standings, QRect(12, 16, 421, 525),
                                  QStringLiteral("Standings"),
                                  DesignFont(Face::kMsSansSerif, 16, true), kStandingsColumns));
  standings_->setObjectName(QStringLiteral("StringGrid1"));

  sprints_box_ =
      Caption(MakeGroupBox(this, QStringLiteral("Sprints"), QRect(460, 8, 325, 265), kNavy));
  sprints_box_->setObjectName(QStringLiteral("GroupBox2"));
  sprint_chooser_ = new QComboBox(sprints_box_);
  sprint_chooser_->setObjectName(QStringLiteral("ComboBox1"));
  sprint_chooser_->setEditable(false);
  sprint_chooser_->setModel(&data_.sprint_names);
  sprint_chooser_->setCurrentIndex(data_.ChosenSprint());
  sprint_chooser_->setGeometry(16, 20, 289, 24);
  sprint_chooser_->setFont(DesignFont(Face::kMsSansSerif, 13, true));
  sprint_chooser_->setStyle(DisplayStyle());
  sprint_chooser_->setMaxVisibleItems(8);
  sprint_chooser_->setAccessibleName(QStringLiteral("Sprint"));
  SetChooserColours(sprint_chooser_, kDisplayColours.background, kDisplayColours.text);
  // Only a choice the commentator makes; a choice set from code is silent.
  connect(sprint_chooser_, &QComboBox::activated, this,
          [this](int sprint) { data_.ChooseSprint(sprint); });

  shown_sprint_ = SetUpGrid(MakeGrid(
      sprints_box_, data_.shown_sprint, QRect(8, 52, 313, 205), QStringLiteral("Sprint result"),
      DesignFont(Face::kMsSansSerif, 19, true), kSprintResultColumns));
  shown_sprint_->setObjectName(QStringLiteral("StringGrid2"));

  picture_ = MakePicture(this, QRect(562, 452, 105, 109), EventPicture());
  picture_->setObjectName(QStringLiteral("Image1"));

  new ChildAnchoring(standings_box_, standings_box_->size(), {{standings_, kAnchorAllEdges}});
  new ChildAnchoring(sprints_box_, sprints_box_->size(),
                     {{sprint_chooser_, kAnchorLeft | kAnchorTop | kAnchorRight},
                      {shown_sprint_, kAnchorTop | kAnchorRight}});
  new ChildAnchoring(this, kDesignClient,
                     {{standings_box_, kAnchorAllEdges},
                      {sprints_box_, kAnchorTop | kAnchorRight},
                      {picture_, kAnchorRight | kAnchorBottom}});

  SetFocusOrder({standings_, sprint_chooser_, shown_sprint_});
  standings_->setFocus();
}

void PointsRaceScreen::Prepare() {
  FitToScreen(PrimaryScreenGeometry().size());
}

void PointsRaceScreen::FitToScreen(QSize screen) {
  EnsureBuilt();
  if (screen.width() > kNarrowScreenWidth) {
    standings_->SetColWidth(1, kWideStandingsNameWidth);
  }
}
