#pragma once

#include <string>
#include <utility>

#include <QString>

#include "console/QtMessageBoxes.h"
#include "run/StageHold.h"

class QWidget;

// Runs a window's handler. Qt ends the program when an exception leaves a slot; here it is shown
// in the standard error box instead, and the program goes on.
template <typename Handler>
void RunGuarded(QWidget* window, Handler&& handler) {
  CallGuarded(std::forward<Handler>(handler), [window](const std::string& text) {
    ShowErrorBox(window, QString::fromStdString(text));
  });
}
