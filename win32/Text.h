#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/WideText.h"
#include "link/WindowsApi.h"

// The log's lines as a multi-line edit box shows them: lines joined by CR LF, and a line feed of
// a line's own standing for a line break too.
std::wstring LogText(const std::vector<std::string>& lines);

// The text of a window (WM_GETTEXT), as UTF-8.
std::string WindowText(HWND window);
