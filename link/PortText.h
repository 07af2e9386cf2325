#pragma once

#include <string>

// Texts of the port's message boxes. The "！" is the full-width exclamation mark (U+FF01).
inline constexpr const char* kPortFailureText = "CAN NOT COM PORT\xEF\xBC\x81\n\r Error Code:";
inline constexpr const char* kPortCaption = "RS232C PORT";
inline constexpr const char* kCannotOpenFileText = "Can not open file";
inline constexpr const char* kReadFileCaption = "READ FILE";
inline constexpr const char* kWriteFileCaption = "WRITE FILE";

// The failure text with the error number in lowercase hexadecimal, no prefix, no leading zeros.
std::string PortFailureText(int error);
