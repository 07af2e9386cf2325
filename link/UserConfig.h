#pragma once

#include <filesystem>

// The folder where the tool keeps what a user chose, one per user: $XDG_CONFIG_HOME/qzr71 (with
// ~/.config in place of an unset or relative $XDG_CONFIG_HOME) on Linux, %APPDATA%\qzr71 on
// Windows. Empty when the system names no such place.
std::filesystem::path UserConfigFolder();

// Makes the folder and the folders above it where missing, so that only the user may look into
// what this makes. False when it is not there afterwards.
bool MakeUserFolder(const std::filesystem::path& folder);
