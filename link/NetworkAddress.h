#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A head behind a serial device server is named by "rfc2217://HOST:PORT": a host name, an IPv4
// address or an IPv6 address in brackets ("rfc2217://[::1]:3001"), and a TCP port 1..65535.
struct NetworkAddress {
  std::string host;  // without the brackets of an IPv6 address
  std::uint16_t port = 0;
  friend bool operator==(const NetworkAddress&, const NetworkAddress&) = default;
};

inline constexpr std::string_view kRfc2217Scheme = "rfc2217://";

// True for any device name that asks for a serial device server, well-formed or not, so that
// such a name is never taken for a local device.
bool IsNetworkDeviceName(std::string_view device);

// The address in a well-formed "rfc2217://HOST:PORT" (the scheme in any case); nothing else.
std::optional<NetworkAddress> ParseRfc2217Address(std::string_view device);
