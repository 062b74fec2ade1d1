#include "platform/anchoring.h"

#include <QEvent>
#include <QWidget>

namespace {

// Position and extent along one axis.
struct Span {
  int start;
  int length;
};

Span FollowAxis(int start, int length, int design_parent, int parent, bool near, bool far) {
  const int far_distance = design_parent - (start + length);
  if (near && far) {
    return {start, parent - far_distance - start};
  }
  if (far) {
    return {parent - far_distance - length, length};
  }
  return {start, length};
}

int RoundHalfUp(long long numerator, long long denominator) {
  // Both positive in practice; floor((2n + d) / 2d) rounds halves upward.
  return static_cast<int>((2 * numerator + denominator) / (2 * denominator));
}

}  // namespace

QRect AnchoredGeometry(const QRect& design, const QSize& design_parent, const QSize& parent,
                       Anchors anchors) {
  Span x = FollowAxis(design.x(), design.width(), design_parent.width(), parent.width(),
                      anchors & kAnchorLeft, anchors & kAnchorRight);
  if ((anchors & kAnchorCentreX) && design_parent.width() > 0) {
    const int half = design.width() / 2;
    const long long centre = design.x() + half;
    x = {RoundHalfUp(centre * parent.width(), design_parent.width()) - half, design.width()};
  }
  const Span y = FollowAxis(design.y(), design.height(), design_parent.height(), parent.height(),
                            anchors & kAnchorTop, anchors & kAnchorBottom);
  return QRect(x.start, y.start, x.length, y.length);
}

ChildAnchoring::ChildAnchoring(QWidget* parent, QSize design_size,
                               std::initializer_list<AnchorRule> rules)
    : QObject(parent), parent_(parent), design_size_(design_size) {
  for (const AnchorRule& rule : rules) {
    rows_.push_back({rule.child, rule.anchors, rule.child->geometry()});
  }
  parent_->installEventFilter(this);
  Apply();
}

void ChildAnchoring::Apply() {
  for (const Row& row : rows_) {
    row.child->setGeometry(
        AnchoredGeometry(row.design, design_size_, parent_->size(), row.anchors));
  }
}

bool ChildAnchoring::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent_ && event->type() == QEvent::Resize) {
    Apply();
  }
  return QObject::eventFilter(watched, event);
}
