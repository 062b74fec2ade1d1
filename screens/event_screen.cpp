#include "screens/event_screen.h"

#include "platform/fonts.h"
#include "platform/grid_view.h"
#include "platform/window_frame.h"
#include "platform/windows.h"
#include "platform/x11.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kNoticePadding = 6;

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
    : QWidget(nullptr, FrameFlags(design.frame)),
      design_(design),
      main_window_(main_window),
      frame_(new WindowFrame(this)) {
  setObjectName(QString::fromLatin1(design.object_name));
  setWindowTitle(QString::fromLatin1(design.caption));
  setFont(DesignFont(Face::kMsSansSerif, 11));
  SetBackground(this, design.background);
  // Laid out at the designed client size; anchored controls follow the
  // real one.
  resize(design.design_client);
  frame_->SetFixedSize(design.frame == Frame::kFixedDialog);
  IgnoreActivationChanges(this);
  connect(new QShortcut(QKeySequence(Qt::Key_F11), this), &QShortcut::activated, this,
          &EventScreen::ToggleFullScreen);
}

void EventScreen::ToggleFullScreen() {
  if (isFullScreen()) {
    showNormal();
    frame_->SetOuterGeometry(outer_before_full_screen_);
    return;
  }
  outer_before_full_screen_ = OuterGeometry(this);
  // A fixed frame is the program's, not a limit on full screen.
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  showFullScreen();
}

void EventScreen::EnsureBuilt() {
  if (!built_) {
    built_ = true;
    Build();
    if (!notice_text_.isEmpty()) {
      SetFeedNotice(notice_text_, notice_colour_);
    }
  }
}

void EventScreen::setVisible(bool visible) {
  // Before the showing itself, so the new controls are shown with the window.
  if (visible) {
    EnsureBuilt();
  }
  QWidget::setVisible(visible);
}

void EventScreen::ShowAndRaise() {
  brought_forward_ = ::ShowAndRaise(this) || brought_forward_;
}

void EventScreen::DrawPending() {
  if (!brought_forward_) {
    return;
  }
  brought_forward_ = false;
  // A burst of records is handled in one turn of the event loop, and the
  // window system learns the window is in front only in a later one: one
  // paint a turn is what a person can see.
  if (painted_this_turn_) {
    return;
  }
  painted_this_turn_ = true;
  QTimer::singleShot(0, this, [this] { painted_this_turn_ = false; });
  // Painted at once as it stands, without running the event loop, so
  // nothing else can happen in the middle of a record.
  repaint();
}

void EventScreen::SetFocusOrder(std::initializer_list<QWidget*> controls) {
  focus_order_.assign(controls);
}

bool EventScreen::focusNextPrevChild(bool next) {
  if (focus_order_.empty()) {
    return QWidget::focusNextPrevChild(next);
  }
  const auto count = static_cast<int>(focus_order_.size());
  int at = -1;
  for (int i = 0; i < count; ++i) {
    if (focus_order_[i] == focusWidget() || focus_order_[i]->isAncestorOf(focusWidget())) {
      at = i;
    }
  }
  // From no focus, Tab goes to the first control and Shift+Tab to the last.
  const int to = at < 0 ? (next ? 0 : count - 1) : (at + (next ? 1 : count - 1)) % count;
  focus_order_[to]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  return true;
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
  if (notice_place_ == nullptr) {
    notice_place_ = label;
    // Anchoring moves the picture when the window is sized; the notice follows.
    label->installEventFilter(this);
  }
  return label;
}

void EventScreen::SetFeedNotice(const QString& text, const QColor& colour) {
  notice_text_ = text;
  notice_colour_ = colour;
  if (!built_) {
    return;  // the notice comes with the controls
  }
  if (text.isEmpty()) {
    if (notice_ != nullptr) {
      notice_->hide();
    }
    return;
  }
  if (notice_ == nullptr) {
    notice_ = new QLabel(notice_place_ != nullptr ? notice_place_->parentWidget() : this);
    notice_->setObjectName(QStringLiteral("feed_notice"));
    notice_->setTextFormat(Qt::PlainText);
    notice_->setAlignment(Qt::AlignCenter);
    notice_->setFont(DesignFont(Face::kMsSansSerif, 20, /*bold=*/true));
    notice_->setAttribute(Qt::WA_TransparentForMouseEvents);
    notice_->setWordWrap(notice_place_ != nullptr);
    notice_->setMargin(kNoticePadding - 2);  // inside the border
  }
  const QString style =
      QStringLiteral("QLabel { background: black; color: %1; border: 2px solid %1; }")
          .arg(colour.name());
  if (notice_->text() != text || notice_->styleSheet() != style) {
    notice_->setStyleSheet(style);
    notice_->setText(text);
    notice_->setAccessibleName(QStringLiteral("Feed notice: ") + text);
    PlaceFeedNotice();
  }
  if (notice_->isHidden()) {
    notice_->show();
    notice_->raise();
  }
}

QString EventScreen::FeedNotice() const {
  return notice_ != nullptr && !notice_->isHidden() ? notice_->text() : QString();
}

void EventScreen::PlaceFeedNotice() {
  if (notice_ == nullptr) {
    return;
  }
  const QFontMetrics metrics = notice_->fontMetrics();
  QRect place;
  if (notice_place_ != nullptr) {
    // As wide as the picture, the words wrapped: a long notice grows down
    // over the picture, not sideways over the data beside it.
    int widest_word = 0;
    for (const QString& word : notice_->text().split(QLatin1Char(' '))) {
      widest_word = std::max(widest_word, metrics.horizontalAdvance(word));
    }
    const QRect picture = notice_place_->geometry();
    const int width = std::max(picture.width(), widest_word + 2 * kNoticePadding);
    place = QRect(0, 0, width, notice_->heightForWidth(width));
    place.moveCenter(picture.center());
  } else {
    // No picture: the bottom right corner, where short lines of text end.
    place = QRect(QPoint(0, 0), notice_->sizeHint());
    place.moveBottomRight(rect().bottomRight() - QPoint(8, 8));
  }
  // Kept inside the window: a picture near an edge still shows every word.
  const QRect inside = notice_->parentWidget()->rect();
  place.moveLeft(std::clamp(place.left(), 0, std::max(inside.width() - place.width(), 0)));
  place.moveTop(std::clamp(place.top(), 0, std::max(inside.height() - place.height(), 0)));
  notice_->setGeometry(place);
}

void EventScreen::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (notice_place_ == nullptr) {
    PlaceFeedNotice();
  }
}

bool EventScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == notice_place_ &&
      (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
    PlaceFeedNotice();
  }
  return QWidget::eventFilter(watched, event);
}

void EventScreen::showEvent(QShowEvent* event) {
  // A spontaneous show is the window system restoring the window; only a
  // change from hidden to visible made by the program counts.
  if (!event->spontaneous()) {
    if (design_.placement == Placement::kCoversPrimaryScreen) {
      frame_->SetOuterGeometry(PrimaryScreenGeometry());
    } else if (!placed_ && main_window_ != nullptr) {
      placed_ = true;
      frame_->SetOuterGeometry(
          QRect(CentredOver(OuterGeometry(main_window_), design_.outer_size), design_.outer_size));
    }
    if (design_.frame == Frame::kSizeableWithoutButtons) {
      AllowMaximiseWithoutButtons(this);  // before the window is mapped
    }
    Prepare();
  }
  QWidget::showEvent(event);
}

void EventScreen::closeEvent(QCloseEvent* event) {
  if (design_.on_close == OnClose::kHides) {
    QWidget::closeEvent(event);
    return;
  }
  event->accept();
  QApplication::quit();
}
