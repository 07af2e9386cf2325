#include "console/FlatProgressBar.h"

#include <algorithm>

#include <QPainter>

#include "console/CachedText.h"
#include "console/FlatFrame.h"

FlatProgressBar::FlatProgressBar(CachedText& text, QWidget* parent)
    : QProgressBar(parent), text_(text), lineHeight_(QFontMetrics(text.Font()).height()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFixedHeight(lineHeight_ + 6);
  // The text is drawn here from the format; hidden from the base class, so that it does not
  // measure the text each time the value moves. Screen readers read the value and the
  // description, as before.
  setTextVisible(false);
}

void FlatProgressBar::Step() {
  ++phase_;
  update();
}

void FlatProgressBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect box = rect();
  const QColor base = palette().color(QPalette::Base);
  painter.fillRect(box, base);
  QColor fill = palette().color(QPalette::Highlight);
  const int width = box.width();
  if (maximum() == minimum()) {
    const int block = width / 5;
    const int at = static_cast<int>(phase_ * 7u % static_cast<unsigned>(width + block)) - block;
    painter.fillRect(
        QRect(std::max(0, at), 0, std::min(width, at + block) - std::max(0, at), box.height()),
        fill);
  } else {
    fill.setAlpha(110);
    const qint64 done = std::clamp(value(), minimum(), maximum()) - minimum();
    painter.fillRect(
        QRect(0, 0, static_cast<int>(width * done / (qint64{maximum()} - minimum())), box.height()),
        fill);
  }
  FillFrame(painter, box, palette().color(QPalette::Mid));
  const QString text = format();
  text_.Draw(painter, QPoint((width - text_.Width(text)) / 2, (box.height() - lineHeight_) / 2),
             text, palette().color(QPalette::WindowText).rgb(), 0);
}
