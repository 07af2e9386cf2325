#include "sim/PtyPair.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace sim {

std::optional<PtyPair> PtyPair::Open(std::string& error) {
  PtyPair pair;
  auto fail = [&error](const char* what) {
    error = std::string(what) + ": " + std::strerror(errno);
    return std::nullopt;
  };
  pair.master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (pair.master_ < 0) return fail("posix_openpt");
  if (::grantpt(pair.master_) != 0) return fail("grantpt");
  if (::unlockpt(pair.master_) != 0) return fail("unlockpt");
  char name[128];
  if (::ptsname_r(pair.master_, name, sizeof name) != 0) return fail("ptsname");
  pair.path_ = name;
  pair.slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (pair.slave_ < 0) return fail("open slave");
  // Raw from the start: in cooked mode the line would echo the head's own bytes back to it
  // before the tool has set the line up.
  termios settings{};
  if (::tcgetattr(pair.slave_, &settings) != 0) return fail("tcgetattr");
  ::cfmakeraw(&settings);
  if (::tcsetattr(pair.slave_, TCSANOW, &settings) != 0) return fail("tcsetattr");
  const int flags = ::fcntl(pair.master_, F_GETFL);
  if (flags < 0 || ::fcntl(pair.master_, F_SETFL, flags | O_NONBLOCK) != 0) return fail("fcntl");
  pair.watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (pair.watch_ < 0 ||
      ::inotify_add_watch(pair.watch_, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
    return fail("inotify");
  }
  return std::optional<PtyPair>(std::move(pair));
}

PtyPair::PtyPair(PtyPair&& other) noexcept
    : master_(std::exchange(other.master_, -1)),
      slave_(std::exchange(other.slave_, -1)),
      watch_(std::exchange(other.watch_, -1)),
      path_(std::move(other.path_)) {}

PtyPair& PtyPair::operator=(PtyPair&& other) noexcept {
  if (this != &other) {
    Close();
    master_ = std::exchange(other.master_, -1);
    slave_ = std::exchange(other.slave_, -1);
    watch_ = std::exchange(other.watch_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

PtyPair::~PtyPair() {
  Close();
}

void PtyPair::AcknowledgeClose() {
  char events[4096];
  while (::read(watch_, events, sizeof events) > 0) {
  }
  ::ioctl(slave_, TIOCNXCL);
}

void PtyPair::Close() {
  if (watch_ >= 0) ::close(watch_);
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  watch_ = slave_ = master_ = -1;
}

}  // namespace sim
