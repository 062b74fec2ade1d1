#include "screens/sprint_screen.h"

#include "platform/fonts.h"
#include "platform/grid_view.h"
#include "platform/windows.h"
#include "screens/artwork.h"
#include "screens/shown_text.h"

#include <QGroupBox>
#include <QLabel>

namespace {

const QColor kBlue(0, 0, 255);
const QColor kGrey(128, 128, 128);
const QColor kYellow(255, 255, 0);

constexpr int kGridTop = 56;
constexpr int kRowHeight = 30;
constexpr int kGridMargin = 10;
constexpr int kGridFontPixels = 24;  // 18 points at 96 dpi

}  // namespace

SprintScreen::SprintScreen(SprintData& screen_data, const QWidget* main_window)
    : EventScreen({.object_name = "sprintr_commentator_form",
                   .caption = "Sprint Race Commentator",
                   .background = kBlue,
                   .frame = Frame::kResizable,
                   .placement = Placement::kCentredOverMainWindow,
                   .outer_size = kOuterSize,
                   .design_client = kDesignClient},
                  main_window),
      data_(screen_data) {}

void SprintScreen::Build() {
  heat_box_ = MakeGroupBox(this, QString(), QRect(36, 8, 697, 325), kGrey);
  heat_box_->setObjectName(QStringLiteral("GroupBox1"));

  heat_grid_ =
      MakeGrid(heat_box_, data_.heat, QRect(0, kGridTop, 0, 0), QStringLiteral("Sprint heat"),
               DesignFont(Face::kMsSansSerif, kGridFontPixels, true), kSprintHeatColumns);
  heat_grid_->setObjectName(QStringLiteral("StringGrid1"));
  heat_grid_->SetScrollBars(Qt::ScrollBarAlwaysOff, Qt::ScrollBarAlwaysOff);
  heat_grid_->setSelectionMode(QAbstractItemView::NoSelection);
  heat_grid_->setFocusPolicy(Qt::NoFocus);
  heat_grid_->SetDefaultRowHeight(kRowHeight);
  heat_grid_->resize(heat_grid_->CellsWidth() + kGridMargin,
                     heat_grid_->CellsHeight() + kGridMargin);
  // Centred in the group box, the half truncated toward zero.
  heat_grid_->move(static_cast<int>((heat_box_->width() - heat_grid_->width()) / 2.0), kGridTop);

  picture_ = MakePicture(this, QRect(318, 414, 105, 109), EventPicture());
  picture_->setObjectName(QStringLiteral("Image1"));

  title_ = new QLabel(heat_box_);
  title_->setObjectName(QStringLiteral("Label1"));
  title_->setGeometry(8, 12, 681, 37);
  title_->setTextFormat(Qt::PlainText);  // titles are shown as sent, never as markup
  title_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  title_->setFont(DesignFont(Face::kMsSansSerif, 24, true));
  SetBackground(title_, Qt::black);
  SetTextColour(title_, kYellow);
  title_->setText(ShownText(data_.title.Text()));
  connect(&data_.title, &ScreenText::Changed, title_,
          [this] { title_->setText(ShownText(data_.title.Text())); });
}
