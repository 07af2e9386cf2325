// Writes the application icon as OUTDIR/<size>/qzr71adj.png for each size given.
#include <cstdio>

#include <QDir>
#include <QImage>
#include <QString>

#include "console/Logo.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUTDIR SIZE...\n", argv[0]);
    return 2;
  }
  const QString outDir = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    bool number = false;
    const int size = QString::fromLocal8Bit(argv[i]).toInt(&number);
    if (!number || size < 8 || size > 1024) {
      std::fprintf(stderr, "not an icon size: %s\n", argv[i]);
      return 2;
    }
    const QString dir = outDir + QLatin1Char('/') + QString::number(size);
    const QString file = dir + QStringLiteral("/qzr71adj.png");
    if (!QDir().mkpath(dir) || !DrawIcon(size).save(file, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
