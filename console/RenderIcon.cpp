// Writes the application icon as OUTDIR/<size>/qzr71adj.png for each size given; with --ico, as
// one Windows icon file holding every size (PNG images in the icon container), the Windows
// program's icon.
#include <cstdio>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QList>
#include <QString>
#include <QtEndian>

#include "console/Logo.h"

namespace {

template <typename Number>
void Append(QByteArray& bytes, Number value) {
  const Number little = qToLittleEndian(value);
  bytes.append(reinterpret_cast<const char*>(&little), sizeof little);
}

// Header, one directory entry per size, then the images.
QByteArray IconFile(const QList<int>& sizes) {
  QList<QByteArray> images;
  for (int size : sizes) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    DrawIcon(size).save(&buffer, "PNG");
    images.append(png);
  }
  QByteArray file;
  Append<quint16>(file, 0);  // reserved
  Append<quint16>(file, 1);  // an icon
  Append<quint16>(file, static_cast<quint16>(sizes.size()));
  auto offset = static_cast<quint32>(6 + 16 * sizes.size());
  for (qsizetype i = 0; i < sizes.size(); ++i) {
    const auto side = static_cast<quint8>(sizes[i] >= 256 ? 0 : sizes[i]);  // 0 stands for 256
    Append<quint8>(file, side);
    Append<quint8>(file, side);
    Append<quint8>(file, 0);    // no palette
    Append<quint8>(file, 0);    // reserved
    Append<quint16>(file, 1);   // planes
    Append<quint16>(file, 32);  // bits per pixel
    Append<quint32>(file, static_cast<quint32>(images[i].size()));
    Append<quint32>(file, offset);
    offset += static_cast<quint32>(images[i].size());
  }
  for (const QByteArray& image : images) file.append(image);
  return file;
}

bool ParseSize(const char* text, int& size) {
  bool number = false;
  size = QString::fromLocal8Bit(text).toInt(&number);
  if (number && size >= 8 && size <= 1024) return true;
  std::fprintf(stderr, "not an icon size: %s\n", text);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUTDIR SIZE...\n       %s --ico FILE SIZE...\n", argv[0],
                 argv[0]);
    return 2;
  }
  if (QString::fromLocal8Bit(argv[1]) == QStringLiteral("--ico")) {
    QList<int> sizes;
    for (int i = 3; i < argc; ++i) {
      int size = 0;
      if (!ParseSize(argv[i], size) || size > 256) return 2;
      sizes.append(size);
    }
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (sizes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(IconFile(sizes)) < 0) {
      std::fprintf(stderr, "cannot write %s\n", argv[2]);
      return 1;
    }
    return 0;
  }
  const QString outDir = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    int size = 0;
    if (!ParseSize(argv[i], size)) return 2;
    const QString dir = outDir + QLatin1Char('/') + QString::number(size);
    const QString file = dir + QStringLiteral("/qzr71adj.png");
    if (!QDir().mkpath(dir) || !DrawIcon(size).save(file, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
