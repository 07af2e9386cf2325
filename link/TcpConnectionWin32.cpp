// The lean <windows.h> leaves out the old Winsock 1 header, so that Winsock 2's can follow it.
#include "link/WindowsApi.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <string>

#include "link/TcpConnection.h"

const NetworkErrors kNetworkErrors{
    .noDevice = ERROR_FILE_NOT_FOUND,
    .badAddress = ERROR_INVALID_NAME,
    .notOpen = ERROR_INVALID_HANDLE,
    .dropped = WSAECONNRESET,
    .timedOut = WSAETIMEDOUT,
    .noRfc2217 = WSAEPROTONOSUPPORT,
    .notSupported = WSAEOPNOTSUPP,
};

namespace {

using Clock = TcpConnection::Clock;

bool WinsockStarted() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

SOCKET Native(std::intptr_t socket) {
  return static_cast<SOCKET>(socket);
}

timeval Left(Clock::time_point until) {
  const auto left = std::max(until - Clock::now(), Clock::duration::zero());
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
  return timeval{static_cast<long>(us / 1'000'000), static_cast<long>(us % 1'000'000)};
}

// Waits until the socket can be read or written, or failed, at the latest until the deadline:
// true when it can (or failed).
bool WaitFor(SOCKET socket, bool write, Clock::time_point until) {
  fd_set ready;
  fd_set failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(socket, &ready);
  FD_SET(socket, &failed);
  timeval slice = Left(until);
  const int n = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &slice);
  return n != 0;
}

// 0 once connected, else the error number. A refused connection shows in the failed set.
int ConnectWithin(SOCKET socket, const addrinfo& address, Clock::time_point until) {
  if (connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return 0;
  if (WSAGetLastError() != WSAEWOULDBLOCK) return WSAGetLastError();
  while (Clock::now() < until) {
    if (!WaitFor(socket, true, until)) continue;
    int error = 0;
    int size = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
      return WSAGetLastError();
    }
    return error;
  }
  return WSAETIMEDOUT;
}

}  // namespace

bool TcpConnection::Connect(const NetworkAddress& address, Clock::time_point until) {
  Close();
  if (!WinsockStarted()) return Fail(WSANOTINITIALISED);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const int resolved =
      getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints, &found);
  if (resolved != 0) return Fail(resolved);

  int error = WSAECONNREFUSED;
  for (const addrinfo* candidate = found; candidate != nullptr && socket_ == -1;
       candidate = candidate->ai_next) {
    const SOCKET socket =
        ::socket(candidate->ai_family, candidate->ai_socktype, candidate->ai_protocol);
    u_long nonBlocking = 1;
    if (socket == INVALID_SOCKET || ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
      error = WSAGetLastError();
      if (socket != INVALID_SOCKET) closesocket(socket);
      continue;
    }
    error = ConnectWithin(socket, *candidate, until);
    if (error == 0) {
      socket_ = static_cast<std::intptr_t>(socket);
    } else {
      closesocket(socket);
    }
  }
  freeaddrinfo(found);
  if (socket_ == -1) return Fail(error);
  // A request of one byte goes out at once, not when the server has acknowledged the last one.
  const BOOL on = TRUE;
  setsockopt(Native(socket_), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
             sizeof on);
  return true;
}

bool TcpConnection::Send(const std::uint8_t* bytes, std::size_t count, Clock::time_point until) {
  if (socket_ == -1) return Fail(WSAENOTSOCK);
  std::size_t sent = 0;
  while (sent < count) {
    const int n = send(Native(socket_), reinterpret_cast<const char*>(bytes + sent),
                       static_cast<int>(count - sent), 0);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) return Drop(WSAGetLastError());
    if (Clock::now() >= until) return Fail(WSAETIMEDOUT);
    WaitFor(Native(socket_), true, until);
  }
  return true;
}

bool TcpConnection::WaitReadable(Clock::time_point until) {
  if (socket_ == -1) return false;
  return WaitFor(Native(socket_), false, until);
}

bool TcpConnection::Receive(std::uint8_t* buffer, std::size_t capacity, std::size_t& received) {
  received = 0;
  if (socket_ == -1) return Fail(WSAENOTSOCK);
  const int n =
      recv(Native(socket_), reinterpret_cast<char*>(buffer), static_cast<int>(capacity), 0);
  if (n > 0) {
    received = static_cast<std::size_t>(n);
    return true;
  }
  // The server closed the connection: there is no error number for that, the nearest is a reset.
  if (n == 0) return Drop(WSAECONNRESET);
  if (WSAGetLastError() == WSAEWOULDBLOCK) return true;
  return Drop(WSAGetLastError());
}

void TcpConnection::Close() {
  if (socket_ != -1) closesocket(Native(socket_));
  socket_ = -1;
  dropped_ = false;
}
