#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "link/TcpConnection.h"

const NetworkErrors kNetworkErrors{
    .noDevice = ENOENT,
    .badAddress = EINVAL,
    .notOpen = EBADF,
    .dropped = ECONNRESET,
    .timedOut = ETIMEDOUT,
    .noRfc2217 = EPROTONOSUPPORT,
    .notSupported = EOPNOTSUPP,
};

namespace {

using Clock = TcpConnection::Clock;

timespec Left(Clock::time_point until) {
  const auto left = std::max(until - Clock::now(), Clock::duration::zero());
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
  return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

// Waits for the events until the deadline: true when one came (or the socket failed).
bool WaitFor(int fd, short events, Clock::time_point until) {
  for (;;) {
    pollfd wait{fd, events, 0};
    const timespec slice = Left(until);
    const int ready = ppoll(&wait, 1, &slice, nullptr);
    if (ready > 0) return true;
    if (ready < 0 && errno == EINTR) continue;
    return ready < 0;
  }
}

// 0 once connected, else the error number.
int ConnectWithin(int fd, const addrinfo& address, Clock::time_point until) {
  if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0) return 0;
  if (errno != EINPROGRESS) return errno;
  while (Clock::now() < until) {
    if (!WaitFor(fd, POLLOUT, until)) continue;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
  }
  return ETIMEDOUT;
}

}  // namespace

bool TcpConnection::Connect(const NetworkAddress& address, Clock::time_point until) {
  Close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int resolved =
      getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints, &found);
  // A name that does not resolve has no errno of its own: "no such device or address".
  if (resolved != 0) return Fail(resolved == EAI_SYSTEM ? errno : ENXIO);

  int error = ECONNREFUSED;
  for (const addrinfo* candidate = found; candidate != nullptr && socket_ == -1;
       candidate = candidate->ai_next) {
    const int fd =
        ::socket(candidate->ai_family, candidate->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                 candidate->ai_protocol);
    if (fd < 0) {
      error = errno;
      continue;
    }
    error = ConnectWithin(fd, *candidate, until);
    if (error == 0) {
      socket_ = fd;
    } else {
      ::close(fd);
    }
  }
  freeaddrinfo(found);
  if (socket_ == -1) return Fail(error);
  // A request of one byte goes out at once, not when the server has acknowledged the last one.
  const int on = 1;
  setsockopt(static_cast<int>(socket_), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return true;
}

bool TcpConnection::Send(const std::uint8_t* bytes, std::size_t count, Clock::time_point until) {
  if (socket_ == -1) return Fail(EBADF);
  const int fd = static_cast<int>(socket_);
  std::size_t sent = 0;
  while (sent < count) {
    // MSG_NOSIGNAL: a server that went away is an error number here, not SIGPIPE.
    const ssize_t n = ::send(fd, bytes + sent, count - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Drop(errno);
    if (Clock::now() >= until) return Fail(ETIMEDOUT);
    WaitFor(fd, POLLOUT, until);
  }
  return true;
}

bool TcpConnection::WaitReadable(Clock::time_point until) {
  if (socket_ == -1) return false;
  return WaitFor(static_cast<int>(socket_), POLLIN, until);
}

bool TcpConnection::Receive(std::uint8_t* buffer, std::size_t capacity, std::size_t& received) {
  received = 0;
  if (socket_ == -1) return Fail(EBADF);
  for (;;) {
    const ssize_t n = ::recv(static_cast<int>(socket_), buffer, capacity, 0);
    if (n > 0) {
      received = static_cast<std::size_t>(n);
      return true;
    }
    // The server closed the connection: there is no errno for that, the nearest is a reset.
    if (n == 0) return Drop(ECONNRESET);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
    return Drop(errno);
  }
}

void TcpConnection::Close() {
  if (socket_ != -1) ::close(static_cast<int>(socket_));
  socket_ = -1;
  dropped_ = false;
}
