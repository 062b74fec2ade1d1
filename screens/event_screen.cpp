#include "screens/event_screen.h"

#include "platform/fonts.h"
#include "platform/grid_view.h"
#include "platform/windows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QShowEvent>

namespace {

Qt::WindowFlags FrameFlags(EventScreen::Frame frame) {
  const Qt::WindowFlags base = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  switch (frame) {
    case EventScreen::Frame::kSizeableWithoutButtons:
      return base;
    case EventScreen::Frame::kResizable:
      return base | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
             Qt::WindowCloseButtonHint;
    case EventScreen::Frame::kFixedDialog:
    case EventScreen::Frame::kResizableCloseOnly:
      break;
  }
  return base | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
}

}  // namespace

EventScreen::EventScreen(const Design& design, const QWidget* main_window)
    : QWidget(nullptr, FrameFlags(design.frame)), design_(design), main_window_(main_window) {
  setObjectName(QString::fromLatin1(design.object_name));
  setWindowTitle(QString::fromLatin1(design.caption));
  setFont(DesignFont(Face::kMsSansSerif, 11));
  SetBackground(this, design.background);
  if (design.placement == Placement::kCoversPrimaryScreen) {
    setFixedSize(design.size);
  } else {
    SetOuterSize(this, design.size);
  }
  IgnoreActivationChanges(this);
}

void EventScreen::ShowAndRaise() {
  ::ShowAndRaise(this);
}

void EventScreen::DrawPending() {
  QCoreApplication::processEvents();
}

QGroupBox* EventScreen::MakeGroupBox(QWidget* parent, const QString& caption, const QRect& place,
                                     const QColor& colour) {
  auto* box = new QGroupBox(caption, parent);
  box->setGeometry(place);
  SetBackground(box, colour);
  return box;
}

GridView* EventScreen::MakeGrid(QWidget* parent, GridModel& model, const QRect& place,
                                const QString& accessible_name, const QFont& font,
                                std::span<const Column> columns) {
  auto* grid = new GridView(model, parent);
  grid->setGeometry(place);
  grid->setFont(font);
  grid->setAccessibleName(accessible_name);
  grid->SetColours(kDisplayColours.background, kDisplayColours.text, kDisplayColours.heading);
  for (std::size_t col = 0; col < columns.size(); ++col) {
    grid->SetColWidth(static_cast<int>(col), columns[col].width);
  }
  return grid;
}

QLabel* EventScreen::MakePicture(QWidget* parent, const QRect& place, const QPixmap& picture,
                                 bool stretched) {
  auto* label = new QLabel(parent);
  label->setGeometry(place);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setScaledContents(stretched);
  label->setPixmap(picture);
  return label;
}

void EventScreen::showEvent(QShowEvent* event) {
  // A spontaneous show is the window system restoring the window; only a
  // change from hidden to visible made by the program counts.
  if (!event->spontaneous()) {
    if (design_.placement == Placement::kCoversPrimaryScreen) {
      CoverPrimaryScreen();
    } else if (!placed_ && main_window_ != nullptr) {
      placed_ = true;
      move(CentredOver(OuterGeometry(main_window_), design_.size));
    }
    FormShow();
  }
  QWidget::showEvent(event);
}

void EventScreen::CoverPrimaryScreen() {
  // The frame the window manager actually drew, once there is one.
  const QSize frame = OuterGeometry(this).size() - size();
  setFixedSize((PrimaryScreenSize() - frame).expandedTo(QSize(0, 0)));
  move(0, 0);
}

void EventScreen::closeEvent(QCloseEvent* event) {
  if (design_.on_close == OnClose::kHides) {
    QWidget::closeEvent(event);
    return;
  }
  event->accept();
  QApplication::quit();
}
