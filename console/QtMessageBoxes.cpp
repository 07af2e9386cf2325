#include "console/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

void QtMessageBoxes::ShowExclamation(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), MessageBoxText(text),
                  QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

void ShowErrorBox(QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, QStringLiteral("QZR-71 Adjustment software"), text);
}

QString MessageBoxText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}
