// The calls of the run records that differ on Windows: local time, and appending to the history
// under a lock, with the platform's own file calls.

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <system_error>

#include "link/WindowsApi.h"
#include "records/RunFiles.h"

namespace {

bool SizeOf(HANDLE file, LONGLONG& size) {
  LARGE_INTEGER value{};
  if (!GetFileSizeEx(file, &value)) return false;
  size = value.QuadPart;
  return true;
}

bool MoveTo(HANDLE file, LONGLONG offset) {
  LARGE_INTEGER at{};
  at.QuadPart = offset;
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != 0;
}

std::optional<std::string> ReadAt(HANDLE file, std::uint64_t from, std::size_t count) {
  std::string bytes(count, '\0');
  std::size_t got = 0;
  if (!MoveTo(file, static_cast<LONGLONG>(from))) return std::nullopt;
  while (got < count) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(count - got, 1u << 20));
    if (!ReadFile(file, bytes.data() + got, chunk, &n, nullptr) || n == 0) return std::nullopt;
    got += n;
  }
  return bytes;
}

}  // namespace

bool LocalCalendar(std::time_t moment, std::tm& calendar) {
  return localtime_s(&calendar, &moment) == 0;
}

std::error_code AppendToHistoryFile(const std::filesystem::path& file,
                                    const HistoryComposer& compose) {
  const auto failed = [](DWORD error) {
    return std::error_code(static_cast<int>(error), std::system_category());
  };
  const HANDLE handle =
      CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return failed(GetLastError());
  OVERLAPPED whole{};
  const bool locked = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
  LONGLONG before = 0;
  if (!SizeOf(handle, before)) {
    const DWORD error = GetLastError();
    if (locked) UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(handle);
    return failed(error);
  }
  const HistoryText history{
      static_cast<std::uint64_t>(before),
      [handle](std::uint64_t from, std::size_t count) { return ReadAt(handle, from, count); }};
  const std::string bytes = compose(history);

  DWORD error = 0;
  if (!bytes.empty()) {
    DWORD written = 0;
    if (!MoveTo(handle, before) ||
        !WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
      error = GetLastError();
    } else if (written != bytes.size()) {
      error = ERROR_DISK_FULL;
    } else if (!FlushFileBuffers(handle)) {
      error = GetLastError();
    }
  }
  // Take back whatever part of the lines went in.
  const bool takenBack = error == 0 || (MoveTo(handle, before) && SetEndOfFile(handle));
  if (locked) UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
  CloseHandle(handle);
  if (error != 0) {
    return takenBack ? failed(error) : std::error_code(static_cast<int>(error), PartLeftCategory());
  }
  return {};
}
