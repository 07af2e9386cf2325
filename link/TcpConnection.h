#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "link/NetworkAddress.h"

// One TCP connection to a serial device server, over the platform's own sockets (POSIX or
// Winsock). The socket never blocks: every wait has a deadline the caller gives, so that neither
// a dead host nor a wedged server can freeze the tool. A failure leaves the platform's error number
// (errno, or Winsock's) in Error().
class TcpConnection {
 public:
  using Clock = std::chrono::steady_clock;

  TcpConnection() = default;
  ~TcpConnection();
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  // Resolves the host and connects to the first of its addresses that answers before `until`. A
  // name that does not resolve fails without any attempt to connect.
  bool Connect(const NetworkAddress& address, Clock::time_point until);
  // All the bytes, waiting while the connection cannot take more, at the latest until `until`.
  bool Send(const std::uint8_t* bytes, std::size_t count, Clock::time_point until);
  // Waits until bytes have arrived or the connection has ended, at the latest until `until`.
  bool WaitReadable(Clock::time_point until);
  // What has arrived, up to capacity, without waiting: received is 0 when nothing has. False once
  // the connection has ended or failed.
  bool Receive(std::uint8_t* buffer, std::size_t capacity, std::size_t& received);
  void Close();

  bool IsOpen() const;
  int Error() const { return error_; }
  // True once a transfer found the connection ended or failed: the server or the network went away.
  bool Dropped() const { return dropped_; }

 private:
  bool Fail(int error);
  bool Drop(int error);

  std::intptr_t socket_ = -1;  // a descriptor, or Winsock's SOCKET; -1 while closed
  int error_ = 0;
  bool dropped_ = false;
};

// The platform's numbers for the failures the network device finds itself, so that the port's
// message box shows them as it shows the system's own.
struct NetworkErrors {
  int noDevice;      // the COM name reaches no device
  int badAddress;    // not a well-formed "rfc2217://HOST:PORT"
  int notOpen;       // no connection is open
  int dropped;       // the server closed the connection
  int timedOut;      // no connection, or no answer to a line setting, in time
  int noRfc2217;     // the server does not speak the COM port option: no answer, or a refusal
  int notSupported;  // the server set a line setting other than the one asked for
};
extern const NetworkErrors kNetworkErrors;
