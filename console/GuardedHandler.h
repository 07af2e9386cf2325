#pragma once

#include <exception>

#include <QString>

#include "console/QtMessageBoxes.h"

class QWidget;

// Runs a window's handler. Qt ends the program when an exception leaves a slot; here it is shown
// in the standard error box instead, and the program goes on.
template <typename Handler>
void RunGuarded(QWidget* window, Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowErrorBox(window, QString::fromUtf8(error.what()));
  } catch (...) {
    ShowErrorBox(window, QStringLiteral("Unknown error"));
  }
}
