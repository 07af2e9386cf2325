#include "win32/Text.h"

#include "link/WindowsApi.h"

std::wstring LogText(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) {
    if (&line != &lines.front()) joined += "\r\n";
    for (std::size_t i = 0; i < line.size(); ++i) {
      const bool ownBreak = line[i] == '\n' && (i == 0 || line[i - 1] != '\r');
      if (ownBreak) joined += '\r';
      joined += line[i];
    }
  }
  return Wide(joined);
}

std::string WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return Utf8(text);
}
