// The calls of the run records that only POSIX systems have: local time, and appending to the
// history under a lock. Another platform puts its own versions of these two functions beside this
// file.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <system_error>

#include "records/RunFiles.h"

bool LocalCalendar(std::time_t moment, std::tm& calendar) {
  return localtime_r(&moment, &calendar) != nullptr;
}

std::error_code AppendToHistoryFile(const std::filesystem::path& file,
                                    const HistoryComposer& compose) {
  const auto failed = [](int error) { return std::error_code(error, std::generic_category()); };
  const int fd = ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return failed(errno);
  flock(fd, LOCK_EX);  // a file system without locks still gets the lines
  struct stat before {};
  if (fstat(fd, &before) != 0) {
    const int error = errno;
    ::close(fd);
    return failed(error);
  }
  const HistoryText history{
      static_cast<std::uint64_t>(before.st_size),
      [fd](std::uint64_t from, std::size_t count) -> std::optional<std::string> {
        std::string bytes(count, '\0');
        std::size_t got = 0;
        while (got < count) {
          const ssize_t n =
              pread(fd, bytes.data() + got, count - got, static_cast<off_t>(from + got));
          if (n < 0 && errno == EINTR) continue;
          if (n <= 0) return std::nullopt;
          got += static_cast<std::size_t>(n);
        }
        return bytes;
      }};
  const std::string bytes = compose(history);

  int error = 0;
  if (!bytes.empty()) {
    ssize_t written = -1;
    do {
      written = ::write(fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(bytes.size())) {
      error = written < 0 ? errno : ENOSPC;
    } else if (fsync(fd) != 0) {
      error = errno;
    }
  }
  // Take back whatever part of the lines went in.
  const bool takenBack =
      error == 0 || !S_ISREG(before.st_mode) || ftruncate(fd, before.st_size) == 0;
  ::close(fd);
  if (error != 0) return takenBack ? failed(error) : std::error_code(error, PartLeftCategory());
  if (before.st_size == 0) {
    // A new file's name must reach the disk too.
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
      fsync(dirFd);
      ::close(dirFd);
    }
  }
  return {};
}
