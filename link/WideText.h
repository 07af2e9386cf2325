#pragma once

#include <string>
#include <string_view>

// The core speaks UTF-8; Windows's W calls speak UTF-16. Text changes form here and nowhere else.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);
