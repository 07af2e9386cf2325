#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSize>

// The tool's own mark: a note passing under a sensor bar with its green, red and infra-red
// channels. Drawn with shapes only, so it needs no font and no picture file.

// The logo of the version dialog, logicalSize in logical pixels, sharp at the given pixel ratio.
QPixmap DrawLogo(QSize logicalSize, qreal devicePixelRatio);

// The square application icon at the given size in pixels.
QImage DrawIcon(int pixels);

// The window icon, in the sizes window managers ask for.
QIcon ApplicationIcon();
