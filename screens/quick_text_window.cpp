#include "screens/quick_text_window.h"

#include "platform/anchoring.h"
#include "platform/fonts.h"
#include "platform/text_list.h"
#include "platform/windows.h"

namespace {

const QColor kMoneyGreen(192, 220, 192);

}  // namespace

QuickTextWindow::QuickTextWindow(QuickTextData& screen_data, const QWidget* main_window)
    : EventScreen({.object_name = "qdtype_commentator_form",
                   .caption = "qdtype_commentator_form",
                   .background = kMoneyGreen,
                   .frame = Frame::kResizableCloseOnly,
                   .placement = Placement::kCentredOverMainWindow,
                   .outer_size = kOuterSize,
                   .design_client = kDesignClient,
                   .on_close = OnClose::kHides},
                  main_window),
      data_(screen_data) {
  lines_ = new TextList(this);
  lines_->setObjectName(QStringLiteral("listbox1"));
  lines_->setGeometry(16, 12, 937, 577);
  lines_->setFont(DesignFont(Face::kTerminal, 47, true));
  lines_->SetLineHeight(48);
  lines_->SetColours(kMoneyGreen, palette().color(QPalette::WindowText));
  lines_->setAccessibleName(QStringLiteral("Quick text"));
  lines_->setFrameShape(QFrame::NoFrame);
  // Read at a glance: no selection bar over the first line.
  lines_->setSelectionMode(QAbstractItemView::NoSelection);
  lines_->setFocusPolicy(Qt::NoFocus);
  new ChildAnchoring(this, kDesignClient, {{lines_, kAnchorAllEdges}});

  for (int row = 0; row < data_.lines.RowCount(); ++row) {
    lines_->AddLine(data_.lines.Cell(0, row));
  }
  connect(&data_.lines, &GridModel::dataChanged, this,
          [this](const QModelIndex& first, const QModelIndex& last) {
            ShowLines(first.row(), last.row());
          });
}

void QuickTextWindow::ShowLines(int first, int last) {
  for (int row = first; row <= last; ++row) {
    lines_->SetLine(row, data_.lines.Cell(0, row));
  }
}
