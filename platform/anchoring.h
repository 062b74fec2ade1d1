// Child controls that follow their parent's size: each keeps its distances
// to chosen edges of the parent, or keeps its horizontal centre at the same
// fraction of the parent's width. Rules are given as rows of a table, taken
// against the child's designed place inside the parent's designed size.
#pragma once

#include <QObject>
#include <QRect>
#include <QSize>

#include <initializer_list>
#include <vector>

class QWidget;

enum Anchor : unsigned {
  kAnchorLeft = 1,
  kAnchorTop = 2,
  kAnchorRight = 4,
  kAnchorBottom = 8,
  kAnchorCentreX = 16,  // centre at the same fraction of the width; size kept
  kAnchorAllEdges = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom,
};
using Anchors = unsigned;

// Where a child designed at `design` inside a parent of `design_parent`
// stands inside a parent of `parent`. On each axis: both edges anchored
// stretches; only the far edge keeps the far distance; otherwise the near
// distance is kept. kAnchorCentreX places the left edge at
// round(centre * width / design width) - design width / 2, halves rounded up,
// with centre = design left + design width / 2 (integer division).
QRect AnchoredGeometry(const QRect& design, const QSize& design_parent, const QSize& parent,
                       Anchors anchors);

struct AnchorRule {
  QWidget* child;
  Anchors anchors;
};

// Applies the rules whenever `parent` is resized. The children's current
// geometry and the parent's `design_size` are taken as the design.
class ChildAnchoring : public QObject {
 public:
  ChildAnchoring(QWidget* parent, QSize design_size, std::initializer_list<AnchorRule> rules);

  void Apply();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Row {
    QWidget* child;
    Anchors anchors;
    QRect design;
  };
  QWidget* parent_;
  QSize design_size_;
  std::vector<Row> rows_;
};
