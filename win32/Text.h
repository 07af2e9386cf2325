#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/WindowsApi.h"

// The core speaks UTF-8; the windows speak UTF-16 through the W calls. Text changes form here and
// nowhere else.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// The log's lines as a multi-line edit box shows them: lines joined by CR LF, and a line feed of
// a line's own standing for a line break too.
std::wstring LogText(const std::vector<std::string>& lines);

// The text of a window (WM_GETTEXT), as UTF-8.
std::string WindowText(HWND window);
