#include "platform/fonts.h"

QString FaceFamily(Face face) {
  switch (face) {
    case Face::kTerminal:
      return QStringLiteral("Terminus (TTF)");
    case Face::kLcdD:
      return QStringLiteral("DSEG7 Classic");
    case Face::kMsSansSerif:
      break;
  }
  return QStringLiteral("DejaVu Sans");
}

QFont DesignFont(Face face, int pixel_height, bool bold, bool italic) {
  QFont font(FaceFamily(face));
  font.setPixelSize(pixel_height);
  font.setBold(bold);
  font.setItalic(italic);
  if (face == Face::kTerminal) {
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
  }
  return font;
}
