#include "screens/qdtype_commentator.h"

#include "platform/anchoring.h"
#include "platform/text_list.h"
#include "platform/windows.h"

namespace {

const QColor kMoneyGreen(192, 220, 192);
constexpr QSize kOuterSize(966, 630);

}  // namespace

Tqdtype_commentator_form::Tqdtype_commentator_form(const QWidget* main_window)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      main_window_(main_window) {
  setObjectName(QStringLiteral("qdtype_commentator_form"));
  setWindowTitle(QStringLiteral("qdtype_commentator_form"));
  setFont(DesignFont(Face::kMsSansSerif, 11));
  SetBackground(this, kMoneyGreen);
  move(213, 107);
  SetOuterSize(this, kOuterSize);

  listbox1 = new TextList(this);
  listbox1->setGeometry(16, 12, 937, 577);
  listbox1->setFont(DesignFont(Face::kTerminal, 47, true));
  listbox1->SetLineHeight(48);
  listbox1->SetColours(kMoneyGreen, palette().color(QPalette::WindowText));
  listbox1->setAccessibleName(QStringLiteral("Quick text"));
  listbox1->setFrameShape(QFrame::NoFrame);
  // Read at a glance: no selection bar over the first line.
  listbox1->setSelectionMode(QAbstractItemView::NoSelection);
  listbox1->setFocusPolicy(Qt::NoFocus);
  new ChildAnchoring(this, kOuterSize - kDesignFrame, {{listbox1, kAnchorAllEdges}});
}

void Tqdtype_commentator_form::showEvent(QShowEvent* event) {
  if (!placed_ && main_window_ != nullptr) {
    placed_ = true;
    move(CentredOver(OuterGeometry(main_window_), kOuterSize));
  }
  QWidget::showEvent(event);
}
