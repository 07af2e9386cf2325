// The calls of the run records that only POSIX systems have: local time, and appending a line
// under a lock. Another platform puts its own versions of these two functions beside this file.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <system_error>

#include "run/RunFiles.h"

namespace {

std::string Reason(const std::filesystem::path& file, int error) {
  return file.string() + ": " + std::generic_category().message(error);
}

}  // namespace

bool LocalCalendar(std::time_t moment, std::tm& calendar) {
  return localtime_r(&moment, &calendar) != nullptr;
}

bool AppendHistoryLine(const std::filesystem::path& file, std::string_view header,
                       std::string_view line, std::string& problem) {
  const int fd = ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    problem = Reason(file, errno);
    return false;
  }
  // Two tools ending runs at the same moment must neither both write the header nor mix lines.
  flock(fd, LOCK_EX);  // a file system without locks still gets the line
  struct stat before {};
  if (fstat(fd, &before) != 0) {
    problem = Reason(file, errno);
    ::close(fd);
    return false;
  }
  std::string bytes;
  if (before.st_size == 0) {
    bytes = header;
  } else {
    // A file saved by hand without its last line end would otherwise swallow this line.
    char last = '\n';
    if (pread(fd, &last, 1, before.st_size - 1) == 1 && last != '\n') bytes = "\r\n";
  }
  bytes += line;

  ssize_t written = -1;
  do {
    written = ::write(fd, bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  int error = 0;
  if (written != static_cast<ssize_t>(bytes.size())) {
    error = written < 0 ? errno : ENOSPC;
  } else if (fsync(fd) != 0) {
    error = errno;
  }
  // Take back whatever part of the line went in.
  const bool takenBack =
      error == 0 || !S_ISREG(before.st_mode) || ftruncate(fd, before.st_size) == 0;
  ::close(fd);
  if (error != 0) {
    problem = Reason(file, error);
    if (!takenBack) problem += " (part of a line may remain at its end)";
    return false;
  }
  if (before.st_size == 0) {
    // A new file's name must reach the disk too.
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
      fsync(dirFd);
      ::close(dirFd);
    }
  }
  return true;
}
