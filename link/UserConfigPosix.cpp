#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "link/UserConfig.h"

namespace {

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') return home;
  if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) {
    return user->pw_dir;
  }
  return {};
}

}  // namespace

std::filesystem::path UserConfigFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    return std::filesystem::path(xdg) / "qzr71";
  }
  if (const auto home = HomeFolder(); !home.empty()) return home / ".config" / "qzr71";
  return {};
}

// The XDG rules ask for folders only the user may look into.
bool MakeUserFolder(const std::filesystem::path& folder) {
  std::error_code error;
  if (std::filesystem::is_directory(folder, error)) return true;
  if (folder.has_parent_path() && folder.parent_path() != folder &&
      !MakeUserFolder(folder.parent_path())) {
    return false;
  }
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}
