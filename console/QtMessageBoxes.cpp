#include "console/QtMessageBoxes.h"

#include <QApplication>
#include <QFontDatabase>
#include <QMessageBox>

#include "run/BoxText.h"

void QtMessageBoxes::ShowExclamation(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), MessageBoxText(text),
                  QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

void ShowErrorBox(QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, QStringLiteral("QZR-71 Adjustment software"), text);
}

QString MessageBoxText(const std::string& text) {
  QString shown = QString::fromStdString(BoxText(text, "\n"));
  // The port error's full-width exclamation mark is drawn by Japanese fonts only; without one
  // installed it would show as an empty box, so it falls back to its plain form.
  if (QFontDatabase::families(QFontDatabase::Japanese).isEmpty()) {
    shown = shown.normalized(QString::NormalizationForm_KC);
  }
  return shown;
}
