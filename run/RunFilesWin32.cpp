// The calls of the run records that differ on Windows: local time, and appending a line under a
// lock, with the platform's own file calls.

#include <ctime>
#include <string>

#include "link/WindowsApi.h"
#include "run/RunFiles.h"

namespace {

std::string Reason(const std::filesystem::path& file, DWORD error) {
  return file.string() + ": error " + std::to_string(error);
}

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

}  // namespace

bool LocalCalendar(std::time_t moment, std::tm& calendar) {
  return localtime_s(&calendar, &moment) == 0;
}

bool AppendHistoryLine(const std::filesystem::path& file, std::string_view header,
                       std::string_view line, std::string& problem) {
  const HANDLE handle =
      CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    problem = Reason(file, GetLastError());
    return false;
  }
  // Two tools ending runs at the same moment must neither both write the header nor mix lines.
  OVERLAPPED whole{};
  const bool locked = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
  LONGLONG before = 0;
  if (!SizeOf(handle, before)) {
    problem = Reason(file, GetLastError());
    CloseHandle(handle);
    return false;
  }
  std::string bytes;
  if (before == 0) {
    bytes = header;
  } else {
    // A file saved by hand without its last line end would otherwise swallow this line.
    char last = '\n';
    DWORD got = 0;
    if (MoveTo(handle, before - 1) && ReadFile(handle, &last, 1, &got, nullptr) && got == 1 &&
        last != '\n') {
      bytes = "\r\n";
    }
  }
  bytes += line;

  DWORD error = 0;
  DWORD written = 0;
  if (!MoveTo(handle, before) ||
      !WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    error = GetLastError();
  } else if (written != bytes.size()) {
    error = ERROR_DISK_FULL;
  } else if (!FlushFileBuffers(handle)) {
    error = GetLastError();
  }
  // Take back whatever part of the line went in.
  const bool takenBack = error == 0 || (MoveTo(handle, before) && SetEndOfFile(handle));
  if (locked) UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
  CloseHandle(handle);
  if (error != 0) {
    problem = Reason(file, error);
    if (!takenBack) problem += " (part of a line may remain at its end)";
    return false;
  }
  return true;
}
