#include "platform/display_style.h"

#include <QApplication>
#include <QPointer>
#include <QProxyStyle>

namespace {

const QColor kGridLines(0x80, 0x80, 0x80);

class Style : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* answer) const override {
    switch (hint) {
      case SH_Table_GridLineColor:
        return static_cast<int>(kGridLines.rgba());
      case SH_ComboBox_Popup:
        return 0;  // else the open list shows every entry, whatever its height
      default:
        return QProxyStyle::styleHint(hint, option, widget, answer);
    }
  }
};

}  // namespace

QStyle* DisplayStyle() {
  static QPointer<QStyle> style;
  if (style.isNull()) {
    style = new Style;
    style->setParent(qApp);
  }
  return style;
}
