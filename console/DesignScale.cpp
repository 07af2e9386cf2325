#include "console/DesignScale.h"

#include <QStringList>

namespace design {

QFont CenturyFont(int designPixelHeight) {
  QFont font;
  // Faces with Century's proportions first; DejaVu Serif is in every Debian base install.
  font.setFamilies({QStringLiteral("Century"), QStringLiteral("Century Schoolbook"),
                    QStringLiteral("C059"), QStringLiteral("TeX Gyre Schola"),
                    QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
  font.setStyleHint(QFont::Serif);
  font.setPixelSize(ToLogical(designPixelHeight));
  // Set, not left to inherit: a control inside the underlined "Adjustment Item" box stays plain.
  font.setBold(false);
  font.setItalic(false);
  font.setUnderline(false);
  return font;
}

}  // namespace design
