#include "screens/artwork.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// A racing wheel: rim, tyre and spokes.
void DrawWheel(QPainter& painter, QPointF centre, qreal radius) {
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(30, 30, 30), radius * 0.12));
  painter.drawEllipse(centre, radius, radius);
  painter.setPen(QPen(QColor(200, 200, 210), radius * 0.06));
  painter.drawEllipse(centre, radius * 0.86, radius * 0.86);
  painter.setPen(QPen(QColor(220, 220, 220), 1.0));
  for (int spoke = 0; spoke < 16; ++spoke) {
    const qreal angle = spoke * 3.14159265 / 8;
    painter.drawLine(centre, centre + QPointF(std::cos(angle), std::sin(angle)) * radius * 0.84);
  }
  painter.setBrush(QColor(60, 60, 60));
  painter.drawEllipse(centre, radius * 0.1, radius * 0.1);
}

// A banked velodrome track seen from above: an oval with lane lines.
void DrawTrack(QPainter& painter, const QRectF& area) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(196, 150, 98));
  painter.drawRoundedRect(area, area.height() / 2, area.height() / 2);
  painter.setBrush(QColor(40, 120, 60));
  const QRectF infield = area.adjusted(area.height() * 0.22, area.height() * 0.22,
                                       -area.height() * 0.22, -area.height() * 0.22);
  painter.drawRoundedRect(infield, infield.height() / 2, infield.height() / 2);
  const QColor lanes[] = {QColor(0, 0, 0), QColor(220, 30, 30), QColor(30, 90, 220)};
  for (int lane = 0; lane < 3; ++lane) {
    const qreal inset = area.height() * (0.05 + 0.05 * lane);
    const QRectF line = area.adjusted(inset, inset, -inset, -inset);
    painter.setPen(QPen(lanes[lane], 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(line, line.height() / 2, line.height() / 2);
  }
}

QImage Canvas(int width, int height, const QColor& top, const QColor& bottom) {
  QImage image(width, height, QImage::Format_RGB32);
  QPainter painter(&image);
  QLinearGradient sky(0, 0, 0, height);
  sky.setColorAt(0, top);
  sky.setColorAt(1, bottom);
  painter.fillRect(image.rect(), sky);
  return image;
}

}  // namespace

QPixmap LogoPicture() {
  QImage image = Canvas(200, 224, QColor(10, 20, 90), QColor(0, 0, 40));
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawTrack(painter, QRectF(14, 118, 172, 78));
  DrawWheel(painter, QPointF(100, 66), 50);
  painter.setPen(QColor(255, 255, 0));
  QFont title(QStringLiteral("DejaVu Sans"));
  title.setPixelSize(22);
  title.setBold(true);
  painter.setFont(title);
  painter.drawText(QRectF(0, 196, 200, 26), Qt::AlignCenter, QStringLiteral("ORVANE"));
  painter.setPen(QPen(QColor(255, 255, 0), 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(1, 1, 198, 222));
  return QPixmap::fromImage(image);
}

QPixmap ScratchBadgePicture() {
  QImage image = Canvas(90, 79, QColor(166, 202, 240), QColor(90, 140, 210));
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawWheel(painter, QPointF(26, 50), 20);
  DrawWheel(painter, QPointF(66, 50), 20);
  painter.setPen(QPen(QColor(200, 20, 20), 3));
  QPainterPath frame;
  frame.moveTo(26, 50);
  frame.lineTo(42, 26);
  frame.lineTo(60, 26);
  frame.lineTo(66, 50);
  frame.moveTo(42, 26);
  frame.lineTo(46, 50);
  frame.lineTo(26, 50);
  painter.drawPath(frame);
  return QPixmap::fromImage(image);
}

QPixmap ScratchBannerPicture() {
  QImage image = Canvas(220, 67, QColor(0, 0, 128), QColor(0, 0, 60));
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawTrack(painter, QRectF(6, 8, 80, 51));
  painter.setPen(QColor(255, 255, 0));
  QFont title(QStringLiteral("DejaVu Sans"));
  title.setPixelSize(17);
  title.setBold(true);
  title.setItalic(true);
  painter.setFont(title);
  painter.drawText(QRectF(90, 6, 126, 28), Qt::AlignCenter, QStringLiteral("SCRATCH"));
  painter.drawText(QRectF(90, 33, 126, 28), Qt::AlignCenter, QStringLiteral("KEIRIN"));
  return QPixmap::fromImage(image);
}

QPixmap EventPicture() {
  // Three screens show it: drawn once. Kept as an image, which may outlive
  // the application.
  static const QImage picture = [] {
    QImage image = Canvas(100, 112, QColor(20, 20, 110), QColor(0, 0, 50));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawTrack(painter, QRectF(6, 62, 88, 44));
    DrawWheel(painter, QPointF(50, 32), 27);
    painter.end();
    return image;
  }();
  return QPixmap::fromImage(picture);
}
