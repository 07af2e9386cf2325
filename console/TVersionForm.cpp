#include "console/TVersionForm.h"

#include <QLabel>

#include "console/DesignScale.h"
#include "console/Logo.h"
#include "run/VersionText.h"

namespace {

QLabel* MakeLabel(QWidget* owner, const QString& text, int left, int top) {
  auto* label = new QLabel(text, owner);
  label->move(design::ToLogical(QPoint(left, top)));
  label->adjustSize();
  return label;
}

}  // namespace

TVersionForm::TVersionForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Version"));
  setFont(design::CenturyFont(16));
  move(design::ToLogical(QPoint(223, 256)));

  Image1 = new QLabel(this);
  Image1->setGeometry(design::ToLogical(18, 24, 95, 57));
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1->setPixmap(DrawLogo(design::ToLogical(QSize(90, 45)), devicePixelRatioF()));
  Image1->setAccessibleName(QStringLiteral("QZR-71 logo"));

  Label2 = MakeLabel(this, QStringLiteral("QZR-71 ADJUSTMENT"), 132, 20);
  Label4 = MakeLabel(this, QStringLiteral("Service"), 132, 40);
  Label3 = MakeLabel(this, QString(), 132, 60);
  Label1 = MakeLabel(this, QStringLiteral("Field Service Engineering"), 32, 90);
  FitToLabels();
}

void TVersionForm::SetVersionText(const QString& text) {
  Label3->setText(text);
  Label3->adjustSize();
  FitToLabels();
}

void TVersionForm::FitToLabels() {
  // The designed size, or wider when a serif face other than Century needs more room.
  QSize size = design::ToLogical(QSize(334, 113));
  const int margin = design::ToLogical(12);
  for (const QLabel* label : {Label1, Label2, Label3, Label4}) {
    size = size.expandedTo(
        QSize(label->geometry().right() + margin, label->geometry().bottom() + margin / 2));
  }
  setFixedSize(size);
}

QString ComposeVersionText() {
  return QString::fromStdString(VersionText());
}
