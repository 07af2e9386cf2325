// Replacing a file whole on a POSIX system.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#include "link/FileReplacement.h"

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;  // nothing taken, and no reason given
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

int CreateFresh(const std::filesystem::path& directory, const std::string& name,
                std::filesystem::path& created) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    created = directory / ("." + name + "." + std::to_string(getpid()) + "." +
                           std::to_string(attempt) + ".tmp");
    const int fd =
        ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

std::error_code ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes) {
  const auto failed = [] { return std::error_code(errno, std::generic_category()); };
  // A file its user may not write keeps its contents, as it would when opened for writing.
  if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
    return failed();
  }

  const std::filesystem::path directory = target.parent_path();
  std::filesystem::path fresh;
  const int fd = CreateFresh(directory, target.filename().string(), fresh);
  if (fd < 0) return failed();

  // A file that already exists keeps its permissions, as it would when truncated in place.
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd, old.st_mode & 07777);

  std::error_code error;
  if (!WriteAll(fd, bytes) || fsync(fd) != 0) error = failed();
  if (::close(fd) != 0 && !error) error = failed();
  if (!error && std::rename(fresh.c_str(), target.c_str()) != 0) error = failed();
  if (error) {
    ::unlink(fresh.c_str());
    return error;
  }
  // The rename itself must reach the disk too, or a crash could bring back the old name.
  const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    ::close(dirFd);
  }
  return {};
}
