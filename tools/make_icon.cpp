// Draws the desktop icon from the main window's logo, at build time.
// Usage: make_icon OUTPUT.png
#include "screens/artwork.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon OUTPUT.png\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  constexpr int kSize = 128;
  QImage icon(kSize, kSize, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  QPainter painter(&icon);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QImage logo =
      LogoPicture().toImage().scaled(kSize, kSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  painter.drawImage((kSize - logo.width()) / 2, (kSize - logo.height()) / 2, logo);
  painter.end();
  return icon.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
