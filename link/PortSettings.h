#pragma once

#include <cstdint>

// The line format the tool asks for: only the baud rate and the stop bits are ever chosen.
struct PortSettings {
  std::int32_t BaudRate = 9600;
  std::uint8_t Parity = 2;  // even
  std::uint8_t ByteSize = 8;
  std::uint8_t StopBits = 0;  // 0 one stop bit, 2 two stop bits

  friend bool operator==(const PortSettings&, const PortSettings&) = default;
};
