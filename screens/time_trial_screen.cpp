#include "screens/time_trial_screen.h"

#include "platform/anchoring.h"
#include "platform/fonts.h"
#include "platform/grid_view.h"
#include "platform/windows.h"
#include "screens/artwork.h"
#include "screens/shown_text.h"

#include <QGroupBox>
#include <QLabel>

namespace {

const QColor kNavy(0, 0, 128);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);
constexpr int kGridRowHeight = 18;
constexpr int kSummaryRowHeight = 24;
constexpr int kReadoutStretch = 65;  // percent of the face's normal width

// Where each rider panel's parts stand: panel 0 reads toward the standings
// on its right, panel 1 toward them on its left.
struct PanelLayout {
  QColor colour;
  QRect box;
  QRect time;
  QRect difference;
  QRect summary;
  QRect laps;
  Qt::Alignment readout_alignment;
  Anchors box_anchors;
};
const PanelLayout kPanelLayouts[2] = {
    {QColor(128, 128, 128), QRect(8, 4, 441, 570), QRect(255, 16, 182, 48), QRect(255, 68, 182, 48),
     QRect(8, 12, 249, 105), QRect(8, 132, 260, 430), Qt::AlignRight,
     kAnchorLeft | kAnchorTop | kAnchorBottom},
    {QColor(0, 128, 128), QRect(452, 4, 427, 570), QRect(4, 16, 182, 48), QRect(4, 68, 182, 48),
     QRect(176, 16, 245, 105), QRect(176, 132, 246, 430), Qt::AlignLeft,
     kAnchorRight | kAnchorTop | kAnchorBottom},
};

// The large seven-segment readouts.
QLabel* MakeReadout(QWidget* parent, const QRect& place, Qt::Alignment horizontal,
                    const ScreenText& text) {
  auto* label = new QLabel(parent);
  label->setGeometry(place);
  label->setFixedSize(place.size());
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
  label->setText(ShownText(text.Text()));
  QObject::connect(&text, &ScreenText::Changed, label,
                   [label, &text] { label->setText(ShownText(text.Text())); });
  return label;
}

const QFont& GridFont() {
  static const QFont font = DesignFont(Face::kMsSansSerif, 13, true);
  return font;
}

}  // namespace

TimeTrialScreen::TimeTrialScreen(TimeTrialData& screen_data, const QWidget* main_window)
    : EventScreen({.object_name = "tt_commentator_form",
                   .caption = "TT Commentator Screen",
                   .background = kNavy,
                   .frame = Frame::kFixedDialog,
                   .placement = Placement::kCoversPrimaryScreen,
                   .design_client = kDesignClient},
                  main_window),
      data_(screen_data) {
  SetTextColour(this, Qt::black);
}

void TimeTrialScreen::Build() {
  // Bottom to top: the picture, the two rider panels, the standings.
  picture_ = MakePicture(this, QRect(399, 8, 105, 113), EventPicture());
  picture_->setObjectName(QStringLiteral("Image1"));
  panels_[0] = MakeRiderPanel(data_.panels[0], 0);
  panels_[1] = MakeRiderPanel(data_.panels[1], 1);
  standings_box_ =
      MakeGroupBox(this, QStringLiteral("Standings"), QRect(247, 136, 401, 438), kBlue);
  standings_box_->setObjectName(QStringLiteral("standings_groupbox"));
  standings_box_->setFont(DesignFont(Face::kMsSansSerif, 16));
  standings_ = MakeGrid(standings_box_, data_.standings, QRect(12, 20, 381, 414),
                        QStringLiteral("Standings"), GridFont(), kTimeTrialStandingsColumns);
  standings_->setObjectName(QStringLiteral("standings_stringgrid"));
  standings_->SetColumnDragging(true);
  standings_->SetScrollBars(Qt::ScrollBarAsNeeded, Qt::ScrollBarAsNeeded);

  new ChildAnchoring(this, kDesignClient,
                     {{picture_, kAnchorCentreX | kAnchorTop},
                      {panels_[0].box, kPanelLayouts[0].box_anchors},
                      {panels_[1].box, kPanelLayouts[1].box_anchors},
                      {standings_box_, kAnchorCentreX | kAnchorTop | kAnchorBottom}});
  for (const RiderPanel& panel : panels_) {
    new ChildAnchoring(panel.box, panel.box->size(),
                       {{panel.laps, kAnchorLeft | kAnchorTop | kAnchorBottom}});
  }
  new ChildAnchoring(standings_box_, standings_box_->size(),
                     {{standings_, kAnchorLeft | kAnchorTop | kAnchorBottom}});
}

TimeTrialScreen::RiderPanel TimeTrialScreen::MakeRiderPanel(RiderPanelData& panel_data, int index) {
  const PanelLayout& layout = kPanelLayouts[index];
  const QString rider = QStringLiteral("Rider %1 ").arg(index + 1);
  RiderPanel panel{};
  panel.box = MakeGroupBox(this, QString(), layout.box, layout.colour);
  panel.box->setObjectName(QStringLiteral("GroupBox%1").arg(index + 1));
  // Labels first, so the grids of the same panel lie above them.
  panel.time = MakeReadout(panel.box, layout.time, layout.readout_alignment, panel_data.time);
  panel.difference =
      MakeReadout(panel.box, layout.difference, layout.readout_alignment, panel_data.difference);
  panel.time->setObjectName(QStringLiteral("TLabel%1").arg(index));
  panel.difference->setObjectName(QStringLiteral("TLabeld%1").arg(index));

  // One column as wide as the grid itself.
  const Column summary_column[] = {{"", layout.summary.width()}};
  panel.summary = MakeGrid(panel.box, panel_data.summary, layout.summary, rider + "summary",
                           GridFont(), summary_column);
  panel.summary->setObjectName(QStringLiteral("StringGrid%1").arg(index * 10, 2, 10, QChar(u'0')));
  panel.summary->SetDefaultRowHeight(kSummaryRowHeight);
  panel.summary->SetScrollBars(Qt::ScrollBarAlwaysOff, Qt::ScrollBarAlwaysOff);

  panel.laps =
      MakeGrid(panel.box, panel_data.laps, layout.laps, rider + "laps", GridFont(), kLapColumns);
  panel.laps->setObjectName(QStringLiteral("StringGrid%1").arg(index * 10 + 1, 2, 10, QChar(u'0')));
  panel.laps->SetScrollBars(Qt::ScrollBarAlwaysOff, Qt::ScrollBarAsNeeded);
  panel.laps->SetColumnDragging(true);
  return panel;
}

void TimeTrialScreen::Prepare() {
  for (GridView* grid : {standings_, panels_[0].laps, panels_[1].laps}) {
    grid->SetDefaultRowHeight(kGridRowHeight);
  }
  data_.ClearAllPanels();
}
