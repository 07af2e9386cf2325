#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

// The platform's half of replacing a file whole (see WriteFileAtomically): a fresh file beside
// the target, written and synced, then moved over it. The target is an absolute path that is
// not a symbolic link. The system's error when the old file is still there as it was, and no
// fresh file left; none when the file was replaced.
std::error_code ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes);
