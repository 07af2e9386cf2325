#pragma once

#include <array>

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringView>

class QPainter;

// Texts drawn over and over from few distinct pieces, in one font: each digit and each run of
// other characters is drawn once into a small picture and kept, so that drawing "143 of 600
// readings" after "142 of 600 readings" copies eight kept pictures (a number on its own is kept
// whole). Laying out text and blending
// its glyphs costs ten times as much as copying a picture of it. The pictures are kept for one
// ink on one paper each; a transparent paper leaves what lies underneath between the letters.
// Where the painter scales (a screen of another scale), the text is drawn as text instead.
class CachedText {
 public:
  explicit CachedText(const QFont& font);

  const QFont& Font() const { return font_; }
  int Height() const { return metrics_.height(); }
  int Width(QStringView text);

  void Draw(QPainter& painter, QPoint topLeft, QStringView text, QRgb ink, QRgb paper);
  void DrawRightAligned(QPainter& painter, QPoint topRight, QStringView text, QRgb ink, QRgb paper);
  // A number, right-aligned, from a picture of the whole number.
  void DrawNumber(QPainter& painter, QPoint topRight, unsigned number, QRgb ink, QRgb paper);

 private:
  struct Key {
    QString text;
    QRgb ink = 0;
    QRgb paper = 0;
    bool operator==(const Key&) const = default;
  };
  friend size_t qHash(const Key& key, size_t seed) {
    return qHashMulti(seed, key.text, key.ink, key.paper);
  }
  const QImage& PictureOf(QStringView run, QRgb ink, QRgb paper);
  template <typename Each>
  void ForEachPiece(QStringView text, Each each);

  QFont font_;
  QFontMetrics metrics_;
  std::array<int, 10> digitWidths_{};
  QHash<QString, int> widths_;  // of the runs other than digits
  QHash<Key, QImage> pictures_;
};
