// A list of single-byte text lines with a settable top line: the traffic log
// and the quick-text list. Lines are kept as the bytes they were given and
// shown one character per byte. The lines change at once; their repaints
// are throttled.
#pragma once

#include <QListWidget>

#include <string>
#include <string_view>

class RepaintThrottle;

class TextList : public QListWidget {
  Q_OBJECT

 public:
  explicit TextList(QWidget* parent = nullptr);

  int LineCount() const { return count(); }
  std::string Line(int index) const;
  void AddLine(std::string_view text);
  void SetLine(int index, std::string_view text);  // an index past the last line does nothing
  void RemoveFirstLine();
  void Clear() { clear(); }

  // The first visible line; setting it scrolls as far as the list allows.
  int TopLine() const;
  void SetTopLine(int index);

  void SetLineHeight(int height);
  int LineHeight() const { return line_height_; }
  // The width the lines scroll across, whatever their text.
  void SetHorizontalExtent(int width);
  void SetColours(const QColor& background, const QColor& text);

 protected:
  void updateGeometries() override;

 private:
  QSize LineSize() const { return QSize(horizontal_extent_, line_height_); }

  RepaintThrottle* repaint_throttle_;  // owned by the list
  // The top line asked for while the list's layout was still pending; the
  // scroll range is only right once the layout has run.
  int wanted_top_line_ = -1;

  int line_height_ = 13;
  int horizontal_extent_ = -1;
};
