#pragma once

#include <QString>

#include "link/MessageBoxes.h"

class QWidget;

// Port and settings-file errors: a modal box with the exclamation icon and one OK button.
class QtMessageBoxes final : public MessageBoxes {
 public:
  void ShowExclamation(const std::string& text, const std::string& caption) override;
};

// The error box for an exception that escaped a handler: shown, and the program goes on.
void ShowErrorBox(QWidget* parent, const QString& text);

// Line breaks as the message texts write them ("\n\r", "\r\n") become plain line feeds, so that
// no carriage return reaches the label as a glyph.
QString MessageBoxText(const std::string& text);
