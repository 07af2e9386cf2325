#include "run/BoxText.h"

std::string BoxText(std::string_view text, std::string_view lineBreak) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\n' && c != '\r') {
      shown += c;
      continue;
    }
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if ((next == '\n' || next == '\r') && next != c) ++i;
    shown += lineBreak;
  }
  return shown;
}
