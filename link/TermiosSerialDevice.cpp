#include "link/TermiosSerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "link/ComPortPath.h"
#include "link/IdlePump.h"
#include "link/LineSettings.h"

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC
using std::chrono::milliseconds;

// How often the window may repaint while a read waits, and how close to the deadline it no
// longer may (a repaint must not make the read late).
constexpr milliseconds kPumpInterval{20};
constexpr milliseconds kPumpMargin{25};
// Writes have no time-out of their own; this only keeps a wedged adapter from freezing the tool.
constexpr milliseconds kWriteStallLimit{5000};

bool IsPseudoTerminalDevice(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) return false;
  const unsigned int deviceMajor = major(status.st_rdev);
  // 136..143: Unix98 pseudo-terminal slaves; 3: the old BSD-style ones.
  return (deviceMajor >= 136 && deviceMajor <= 143) || deviceMajor == 3;
}

// A pseudo-terminal and some adapters have no modem lines; that is not a failure of the port.
bool ModemLineCallFailed(int result) {
  return result != 0 && errno != ENOTTY && errno != EINVAL;
}

bool SetModemLine(int fd, int line, bool raised) {
  return !ModemLineCallFailed(ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &line));
}

timespec ToTimespec(Clock::duration duration) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
  return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

TermiosSerialDevice::TermiosSerialDevice() : devicePaths_(DevicePathFor) {}

TermiosSerialDevice::TermiosSerialDevice(DevicePaths devicePaths)
    : devicePaths_(std::move(devicePaths)) {}

TermiosSerialDevice::~TermiosSerialDevice() {
  Close();
}

bool TermiosSerialDevice::Fail(int error) {
  lastError_ = error;
  return false;
}

bool TermiosSerialDevice::Lost(int error) {
  lineLost_ = true;
  return Fail(error);
}

bool TermiosSerialDevice::TransferFailed(int error) {
  // A removed adapter answers with these; the line will not come back on this descriptor.
  if (error == EIO || error == ENXIO || error == ENODEV) return Lost(error);
  return Fail(error);
}

bool TermiosSerialDevice::Open(const std::string& comName) {
  Close();
  const auto path = devicePaths_(comName);
  if (!path) return Fail(ENOENT);

  const int fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(errno);
  // TIOCEXCL keeps out other openers but not root; the lock keeps out every other opener that
  // asks for it, root included.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
    const int error = errno;
    ::close(fd);
    return Fail(error);
  }
  fd_ = fd;
  pseudoTerminal_ = IsPseudoTerminalDevice(fd);

  serial_icounter_struct counts{};
  countsErrors_ = ioctl(fd_, TIOCGICOUNT, &counts) == 0;
  lineErrors_.Clear(counts);

  dcb_ = Dcb{};
  termios current{};
  if (tcgetattr(fd_, &current) == 0) ReadLineSettings(current, dcb_);
  return true;
}

bool TermiosSerialDevice::GetCommState(Dcb& dcb) {
  if (fd_ < 0) return Fail(EBADF);
  termios current{};
  if (tcgetattr(fd_, &current) != 0) return Fail(errno);
  ReadLineSettings(current, dcb_);
  dcb = dcb_;
  return true;
}

bool TermiosSerialDevice::SetCommState(const Dcb& dcb) {
  if (fd_ < 0) return Fail(EBADF);
  termios settings{};
  if (tcgetattr(fd_, &settings) != 0) return Fail(errno);
  int error = 0;
  if (!BuildLineSettings(dcb, pseudoTerminal_, settings, error)) return Fail(error);
  if (tcsetattr(fd_, TCSANOW, &settings) != 0) return Fail(errno);
  if (!SetModemLine(fd_, TIOCM_DTR, dcb.fDtrControl != 0) ||
      !SetModemLine(fd_, TIOCM_RTS, dcb.fRtsControl != 0)) {
    return Fail(errno);
  }
  dcb_ = dcb;
  lineSettings_ = settings;
  return true;
}

bool TermiosSerialDevice::SetCommTimeouts(const CommTimeouts& timeouts) {
  if (fd_ < 0) return Fail(EBADF);
  timeouts_ = timeouts;
  return true;
}

bool TermiosSerialDevice::Purge(unsigned flags) {
  if (fd_ < 0) return Fail(EBADF);
  const bool transmit = (flags & kPurgeTransmit) != 0;
  const bool receive = (flags & kPurgeReceive) != 0;
  if (!transmit && !receive) return true;
  const int queue = transmit && receive ? TCIOFLUSH : (transmit ? TCOFLUSH : TCIFLUSH);
  if (tcflush(fd_, queue) != 0) return Fail(errno);
  return true;
}

bool TermiosSerialDevice::ClearCommError() {
  if (fd_ < 0) return Fail(EBADF);
  if (countsErrors_) {
    serial_icounter_struct counts{};
    if (ioctl(fd_, TIOCGICOUNT, &counts) == 0) lineErrors_.Clear(counts);
  }
  return true;
}

bool TermiosSerialDevice::LineErrorPending() {
  if (!countsErrors_) return false;
  serial_icounter_struct counts{};
  // A port that cannot tell its counters any more has worse trouble, which the transfer reports.
  if (ioctl(fd_, TIOCGICOUNT, &counts) != 0) return false;
  return lineErrors_.Failed(counts);
}

bool TermiosSerialDevice::Write(const std::uint8_t* bytes, std::uint32_t count) {
  if (fd_ < 0) return Fail(EBADF);
  if (LineErrorPending()) return Fail(EIO);

  const auto giveUp = Clock::now() + kWriteStallLimit;
  std::uint32_t written = 0;
  while (written < count) {
    const ssize_t n = ::write(fd_, bytes + written, count - written);
    if (n > 0) {
      written += static_cast<std::uint32_t>(n);
      continue;
    }
    if (n == 0) return Lost(EIO);
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return TransferFailed(errno);
    const auto left = giveUp - Clock::now();
    if (left <= Clock::duration::zero()) return Fail(ETIMEDOUT);
    pollfd wait{fd_, POLLOUT, 0};
    const timespec slice = ToTimespec(left);
    if (ppoll(&wait, 1, &slice, nullptr) < 0 && errno != EINTR) return Fail(errno);
    if ((wait.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return Lost(EIO);
  }
  // Return only once the bytes have left, so that nothing later can discard them.
  while (tcdrain(fd_) != 0) {
    if (errno != EINTR) return TransferFailed(errno);
  }
  return true;
}

bool TermiosSerialDevice::Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead,
                               IdlePump* pump) {
  bytesRead = 0;
  if (fd_ < 0) return Fail(EBADF);
  if (LineErrorPending()) return Fail(EIO);

  const auto start = Clock::now();
  const auto deadline = start + milliseconds(timeouts_.ReadTotalTimeoutConstant +
                                             timeouts_.ReadTotalTimeoutMultiplier * count);
  auto lastPump = start;
  while (bytesRead < count) {
    const ssize_t n = ::read(fd_, buffer + bytesRead, count - bytesRead);
    if (n > 0) {
      bytesRead += static_cast<std::uint32_t>(n);
      if (LineErrorPending()) return Fail(EIO);
      continue;
    }
    // End of file on a terminal is a hang-up: the cable or the adapter is gone.
    if (n == 0) return Lost(EIO);
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return TransferFailed(errno);

    auto now = Clock::now();
    if (pump != nullptr && now - lastPump >= kPumpInterval && deadline - now >= kPumpMargin) {
      pump->Pump();
      lastPump = now = Clock::now();
    }
    if (now >= deadline) break;
    pollfd wait{fd_, POLLIN, 0};
    // Without a window to repaint, one wait to the deadline; with one, slices between repaints.
    const Clock::duration left = deadline - now;
    const timespec slice =
        ToTimespec(pump != nullptr ? std::min<Clock::duration>(left, kPumpInterval) : left);
    if (ppoll(&wait, 1, &slice, nullptr) < 0) {
      if (errno == EINTR) continue;
      return Fail(errno);
    }
    // With POLLIN the next read tells data from hang-up; without it nothing will ever come.
    if ((wait.revents & POLLIN) == 0 && (wait.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      return Lost(EIO);
    }
  }
  return true;
}

void TermiosSerialDevice::Close() {
  if (fd_ < 0) return;
  ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  lineLost_ = false;
  pseudoTerminal_ = false;
  countsErrors_ = false;
}
