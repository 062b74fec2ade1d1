#include "platform/fonts.h"

QStringList FaceFamilies(Face face) {
  switch (face) {
    case Face::kTerminal:
      return {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")};
    case Face::kLcdD:
      return {QStringLiteral("DSEG7 Classic")};
    case Face::kMsSansSerif:
      break;
  }
  return {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
}

QString FaceFamily(Face face) {
  return FaceFamilies(face).constFirst();
}

QFont DesignFont(Face face, int pixel_height, bool bold, bool italic) {
  QFont font;
  font.setFamilies(FaceFamilies(face));
  font.setPixelSize(pixel_height);
  font.setBold(bold);
  font.setItalic(italic);
  if (face == Face::kTerminal) {
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
  }
  return font;
}
