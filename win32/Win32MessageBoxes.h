#pragma once

#include <string>
#include <utility>

#include "link/WindowsApi.h"
#include "run/MessageBoxes.h"
#include "run/StageHold.h"

// Port and settings-file errors: a box with the exclamation icon and one OK button, modal for
// every window of the program.
class Win32MessageBoxes final : public MessageBoxes {
 public:
  void ShowExclamation(const std::string& text, const std::string& caption) override;
};

// The error box for an exception that escaped a handler: shown, and the program goes on.
void ShowErrorBox(HWND owner, const std::string& text);

// The text as a box shows it: the message texts' line breaks ("\n\r", "\r\n", a lone "\n") as the
// platform's CR LF.
std::wstring MessageBoxText(const std::string& text);

// Runs a window's handler; an exception that leaves it is shown in the error box instead of
// unwinding through the window system's code.
template <typename Handler>
void RunGuarded(HWND owner, Handler&& handler) {
  CallGuarded(std::forward<Handler>(handler),
              [owner](const std::string& text) { ShowErrorBox(owner, text); });
}
