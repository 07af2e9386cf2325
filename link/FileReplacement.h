#pragma once

#include <filesystem>
#include <string_view>

// The platform's half of replacing a file whole (see WriteFileAtomically): a fresh file beside
// the target, written and synced, then moved over it. The target is an absolute path that is
// not a symbolic link. False when the old file is still there as it was, and no fresh file left.
bool ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes);
