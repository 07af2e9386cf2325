#include "link/WindowsApi.h"

#include <string>

#include "link/UserConfig.h"

std::filesystem::path UserConfigFolder() {
  // Where Windows programs keep a user's settings; the variable is set for every user's process.
  const DWORD length = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
  if (length <= 1) return {};
  std::wstring folder(length, L'\0');
  folder.resize(GetEnvironmentVariableW(L"APPDATA", folder.data(), length));
  const std::filesystem::path path(folder);
  if (!path.is_absolute()) return {};
  return path / "qzr71";
}

// The user's application data is the user's own already; the folder takes its permissions.
bool MakeUserFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return std::filesystem::is_directory(folder, error);
}
