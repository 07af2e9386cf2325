#pragma once

// Cuts the byte stream from the tool into messages: a frame (0x10, its length byte, then that
// many bytes), an ENQ, or a bare command byte.

#include <cstdint>
#include <span>
#include <vector>

#include "sim/Scenario.h"

namespace sim {

struct Message {
  MessageKind kind = MessageKind::kCommand;
  std::uint8_t code = 0;            // the command byte; 0x05 for ENQ
  std::vector<std::uint8_t> bytes;  // as received
  std::span<const std::uint8_t> Data() const {
    if (kind != MessageKind::kFrame || bytes.size() < 3) return {};
    return std::span(bytes).subspan(3);
  }
};

class MessageReader {
 public:
  std::vector<Message> Feed(std::span<const std::uint8_t> bytes);
  bool HasPartial() const { return !partial_.empty(); }
  // A frame the tool never finished: the head gives up on it.
  std::vector<std::uint8_t> DropPartial();

 private:
  std::vector<std::uint8_t> partial_;
};

}  // namespace sim
