#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

// The windows were laid out on a screen of 120 pixels per inch. Qt measures in logical pixels of
// 1/96 inch, so every designed length is scaled by 96/120; the windows then keep their designed
// physical size at any scale factor.
namespace design {

inline constexpr int kDesignDpi = 120;
inline constexpr int kLogicalDpi = 96;

// Rounded to the nearest logical pixel.
constexpr int ToLogical(int designPixels) {
  const int scaled = designPixels * kLogicalDpi;
  return (scaled + (scaled >= 0 ? kDesignDpi / 2 : -kDesignDpi / 2)) / kDesignDpi;
}

inline QPoint ToLogical(QPoint p) {
  return {ToLogical(p.x()), ToLogical(p.y())};
}
inline QSize ToLogical(QSize s) {
  return {ToLogical(s.width()), ToLogical(s.height())};
}
inline QRect ToLogical(int left, int top, int width, int height) {
  return {ToLogical(QPoint(left, top)), ToLogical(QSize(width, height))};
}

// Century when it is installed, else the nearest serif face, at a designed pixel height.
QFont CenturyFont(int designPixelHeight);

}  // namespace design
