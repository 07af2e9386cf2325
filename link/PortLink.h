#pragma once

#include <cstdint>

// The two raw transfers on which every exchange with the head is built. The port driver is the
// real one; tests may put a scripted peer behind it.
class PortLink {
 public:
  virtual ~PortLink() = default;

  // Writes count bytes (1..255), first discarding whatever was still waiting to be read. True when
  // the platform accepted the whole write.
  virtual bool WritePort(std::uint8_t count, const std::uint8_t* bytes) = 0;

  // Reads up to count bytes (1..255) within the read time-out. Returns how many arrived; 0 on a
  // failed transfer. Whatever arrives after the read is discarded.
  virtual std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) = 0;
};
