// Replacing a file whole on Windows: the same steps as on POSIX, in the platform's calls. A
// plain rename does not replace an existing file there; MoveFileEx with REPLACE_EXISTING does, and
// WRITE_THROUGH returns only once the move is on the disk.

#include "link/WindowsApi.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "link/FileReplacement.h"

namespace {

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_DISK_FULL);  // nothing taken, and no reason given
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

HANDLE CreateFresh(const std::filesystem::path& directory, const std::wstring& name,
                   DWORD attributes, std::filesystem::path& created) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    created = directory / (L"." + name + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                           std::to_wstring(attempt) + L".tmp");
    const HANDLE file =
        CreateFileW(created.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

std::error_code ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes) {
  const auto failed = [] {
    return std::error_code(static_cast<int>(GetLastError()), std::system_category());
  };
  // A read-only file keeps its contents, as it would when opened for writing; a file that
  // already exists keeps its other attributes.
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  const DWORD old = GetFileAttributesW(target.c_str());
  if (old != INVALID_FILE_ATTRIBUTES) {
    if ((old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      return std::error_code(ERROR_ACCESS_DENIED, std::system_category());
    }
    attributes =
        old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  }

  const std::filesystem::path directory = target.parent_path();
  std::filesystem::path fresh;
  const HANDLE file = CreateFresh(directory, target.filename().wstring(), attributes, fresh);
  if (file == INVALID_HANDLE_VALUE) return failed();

  std::error_code error;
  if (!WriteAll(file, bytes) || !FlushFileBuffers(file)) error = failed();
  if (!CloseHandle(file) && !error) error = failed();
  if (!error && !MoveFileExW(fresh.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = failed();
  }
  if (error) {
    DeleteFileW(fresh.c_str());
    return error;
  }
  return {};
}
