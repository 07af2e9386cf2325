#pragma once

#include <cstddef>
#include <cstdint>

#include "link/PortLink.h"

// Counts the messages and bytes crossing the line in both directions.
class CountingLink final : public PortLink {
 public:
  explicit CountingLink(PortLink& inner) : inner_(inner) {}
  bool WritePort(std::uint8_t count, const std::uint8_t* bytes) override {
    sent += count;
    ++messages;
    return inner_.WritePort(count, bytes);
  }
  std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) override {
    const std::uint32_t n = inner_.ReadPort(count, buffer);
    received += n;
    return n;
  }
  std::size_t sent = 0, received = 0, messages = 0;

 private:
  PortLink& inner_;
};
