#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

// A rectangle's outline as four filled strips inside it: the raster engine fills a rectangle for
// a fraction of what stroking one with a pen costs, and the Levels window draws dozens of them
// a picture.
inline void FillFrame(QPainter& painter, const QRect& box, const QColor& colour, int width = 1) {
  painter.fillRect(QRect(box.left(), box.top(), box.width(), width), colour);
  painter.fillRect(QRect(box.left(), box.bottom() + 1 - width, box.width(), width), colour);
  painter.fillRect(QRect(box.left(), box.top(), width, box.height()), colour);
  painter.fillRect(QRect(box.right() + 1 - width, box.top(), width, box.height()), colour);
}
