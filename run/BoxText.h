#pragma once

#include <string>
#include <string_view>

// A message text as a box shows it: each of its line breaks ("\n\r" as the port's text has it,
// "\r\n", a lone "\n" or "\r") as the one line break the platform's boxes take.
std::string BoxText(std::string_view text, std::string_view lineBreak);
