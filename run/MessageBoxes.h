#pragma once

#include <string>

// Modal message boxes with the exclamation icon and one OK button. Texts and captions are UTF-8.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void ShowExclamation(const std::string& text, const std::string& caption) = 0;
};
