#pragma once

#include <QDialog>
#include <QString>

class QLabel;

// Opiton > Version: which program this is and which version runs. Created hidden at start-up,
// shown without blocking the main window.
class TVersionForm final : public QDialog {
  Q_OBJECT

 public:
  explicit TVersionForm(QWidget* owner);

  void SetVersionText(const QString& text);

  QLabel* Image1;
  QLabel* Label2;
  QLabel* Label4;
  QLabel* Label3;
  QLabel* Label1;

 private:
  void FitToLabels();
};

// "Version " followed by the program's version number and "-01".
QString ComposeVersionText();
