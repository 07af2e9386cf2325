#pragma once

#include <QString>

#include "run/MessageBoxes.h"

class QWidget;

// Port and settings-file errors: a modal box with the exclamation icon and one OK button.
class QtMessageBoxes final : public MessageBoxes {
 public:
  void ShowExclamation(const std::string& text, const std::string& caption) override;
};

// The error box for an exception that escaped a handler: shown, and the program goes on.
void ShowErrorBox(QWidget* parent, const QString& text);

// The text as a box shows it: line breaks as the message texts write them ("\n\r", "\r\n")
// become plain line feeds, and characters no installed font can draw take their plain forms.
QString MessageBoxText(const std::string& text);
