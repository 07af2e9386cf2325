#include "console/CachedText.h"

#include <QPainter>

namespace {

// Far more than a stage's texts need; past it the pictures are drawn afresh.
constexpr qsizetype kMostPictures = 1024;

bool IsDigit(QChar c) {
  return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Whether pictures may be copied as they are: the painter neither scales nor turns.
bool CopiesPixels(const QPainter& painter) {
  return painter.deviceTransform().type() <= QTransform::TxTranslate;
}

}  // namespace

CachedText::CachedText(const QFont& font) : font_(font), metrics_(font) {
  for (int digit = 0; digit < 10; ++digit) {
    digitWidths_[static_cast<std::size_t>(digit)] = metrics_.horizontalAdvance(QChar(u'0' + digit));
  }
}

const QImage& CachedText::PictureOf(QStringView run, QRgb ink, QRgb paper) {
  Key key{run.toString(), ink, paper};
  const auto found = pictures_.constFind(key);
  if (found != pictures_.constEnd()) return *found;
  if (pictures_.size() >= kMostPictures) pictures_.clear();
  const bool opaque = qAlpha(paper) == 255;
  QImage picture(std::max(1, metrics_.horizontalAdvance(key.text)), metrics_.height(),
                 opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
  picture.fill(QColor::fromRgba(paper));
  {
    QPainter painter(&picture);
    painter.setFont(font_);
    painter.setPen(QColor::fromRgba(ink));
    painter.drawText(0, metrics_.ascent(), key.text);
  }
  return *pictures_.insert(std::move(key), std::move(picture));
}

// Digits one by one, and each run of other characters whole.
template <typename Each>
void CachedText::ForEachPiece(QStringView text, Each each) {
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = start + 1;
    if (!IsDigit(text[start])) {
      while (end < text.size() && !IsDigit(text[end])) ++end;
    }
    each(text.mid(start, end - start));
    start = end;
  }
}

int CachedText::Width(QStringView text) {
  int width = 0;
  ForEachPiece(text, [&](QStringView piece) {
    if (IsDigit(piece[0])) {
      width += digitWidths_[static_cast<std::size_t>(piece[0].unicode() - u'0')];
      return;
    }
    const QString run = piece.toString();
    auto found = widths_.constFind(run);
    if (found == widths_.constEnd()) {
      if (widths_.size() >= kMostPictures) widths_.clear();
      found = widths_.insert(run, metrics_.horizontalAdvance(run));
    }
    width += *found;
  });
  return width;
}

void CachedText::Draw(QPainter& painter, QPoint topLeft, QStringView text, QRgb ink, QRgb paper) {
  if (!CopiesPixels(painter)) {
    if (qAlpha(paper) != 0) {
      painter.fillRect(QRect(topLeft, QSize(Width(text), Height())), QColor::fromRgba(paper));
    }
    painter.setFont(font_);
    painter.setPen(QColor::fromRgba(ink));
    painter.drawText(topLeft + QPoint(0, metrics_.ascent()), text.toString());
    return;
  }
  ForEachPiece(text, [&](QStringView piece) {
    const QImage& picture = PictureOf(piece, ink, paper);
    painter.drawImage(topLeft, picture);
    topLeft.rx() += picture.width();
  });
}

void CachedText::DrawRightAligned(QPainter& painter, QPoint topRight, QStringView text, QRgb ink,
                                  QRgb paper) {
  Draw(painter, topRight - QPoint(Width(text), 0), text, ink, paper);
}

void CachedText::DrawNumber(QPainter& painter, QPoint topRight, unsigned number, QRgb ink,
                            QRgb paper) {
  // Whole: a row's values are at most 255, so few pictures serve every row.
  const QString text = QString::number(number);
  if (!CopiesPixels(painter)) {
    DrawRightAligned(painter, topRight, text, ink, paper);
    return;
  }
  const QImage& picture = PictureOf(text, ink, paper);
  painter.drawImage(topRight - QPoint(picture.width(), 0), picture);
}
