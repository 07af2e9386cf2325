#include "console/Logo.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

namespace {

const QColor kNavy(22, 52, 96);
const QColor kNote(236, 228, 196);
const QColor kNoteEdge(150, 138, 96);
const QColor kGreen(46, 160, 67);
const QColor kRed(214, 48, 49);
const QColor kInfraRed(128, 24, 64);
const QColor kBeam(255, 214, 64);

// Everything in a box of 2 by 1 units so that logo and icon share the proportions of the mark.
void PaintMark(QPainter& painter, const QRectF& box) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.translate(box.topLeft());
  painter.scale(box.width() / 2.0, box.height());

  QPainterPath plate;
  plate.addRoundedRect(QRectF(0.0, 0.0, 2.0, 1.0), 0.16, 0.16);
  painter.fillPath(plate, kNavy);

  // The note, tilted a little as it enters the transport.
  painter.save();
  painter.translate(1.0, 0.58);
  painter.rotate(-8.0);
  const QRectF note(-0.78, -0.26, 1.56, 0.52);
  painter.setPen(QPen(kNoteEdge, 0.03));
  painter.setBrush(kNote);
  painter.drawRect(note);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kNoteEdge);
  painter.drawEllipse(QPointF(0.0, 0.0), 0.13, 0.13);
  painter.restore();

  // The sensor bar across the top and its beam down onto the note.
  painter.setPen(Qt::NoPen);
  painter.setBrush(kBeam);
  QPolygonF beam;
  beam << QPointF(0.86, 0.24) << QPointF(1.14, 0.24) << QPointF(1.24, 0.9) << QPointF(0.76, 0.9);
  painter.setOpacity(0.55);
  painter.drawPolygon(beam);
  painter.setOpacity(1.0);
  const QColor channels[] = {kGreen, kRed, kInfraRed};
  for (int i = 0; i < 3; ++i) {
    painter.setBrush(channels[i]);
    painter.drawRoundedRect(QRectF(0.28 + 0.5 * i, 0.1, 0.44, 0.14), 0.04, 0.04);
  }
  painter.restore();
}

}  // namespace

QPixmap DrawLogo(QSize logicalSize, qreal devicePixelRatio) {
  QPixmap pixmap(logicalSize * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  PaintMark(painter, QRectF(QPointF(0, 0), QSizeF(logicalSize)));
  return pixmap;
}

QImage DrawIcon(int pixels) {
  QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  // Taller than the logo's plate, so that the small icon is not mostly empty.
  const double margin = pixels / 16.0;
  const double width = pixels - 2 * margin;
  const double height = width * 0.7;
  PaintMark(painter, QRectF(margin, (pixels - height) / 2.0, width, height));
  return image;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(QPixmap::fromImage(DrawIcon(size)));
  return icon;
}
