#include "link/NetworkAddress.h"

#include <algorithm>
#include <cctype>

namespace {

bool StartsWithScheme(std::string_view device) {
  if (device.size() < kRfc2217Scheme.size()) return false;
  return std::equal(kRfc2217Scheme.begin(), kRfc2217Scheme.end(), device.begin(),
                    [](char scheme, char given) {
                      return scheme == std::tolower(static_cast<unsigned char>(given));
                    });
}

bool IsHostNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
}

bool IsIpv6Character(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

}  // namespace

bool IsNetworkDeviceName(std::string_view device) {
  return StartsWithScheme(device);
}

std::optional<NetworkAddress> ParseRfc2217Address(std::string_view device) {
  if (!StartsWithScheme(device)) return std::nullopt;
  std::string_view rest = device.substr(kRfc2217Scheme.size());
  std::string_view host;
  if (!rest.empty() && rest.front() == '[') {
    const auto close = rest.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = rest.substr(1, close - 1);
    if (host.empty() || !std::all_of(host.begin(), host.end(), IsIpv6Character)) {
      return std::nullopt;
    }
    rest = rest.substr(close + 1);
    if (rest.empty() || rest.front() != ':') return std::nullopt;
    rest.remove_prefix(1);
  } else {
    const auto colon = rest.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    host = rest.substr(0, colon);
    rest = rest.substr(colon + 1);
    if (host.empty() || host.size() > 253 ||
        !std::all_of(host.begin(), host.end(), IsHostNameCharacter)) {
      return std::nullopt;
    }
  }
  const auto port = ParsePort(rest);
  if (!port) return std::nullopt;
  return NetworkAddress{std::string(host), *port};
}
