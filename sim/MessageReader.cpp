#include "sim/MessageReader.h"

#include "link/HeadCommands.h"

namespace sim {

std::vector<Message> MessageReader::Feed(std::span<const std::uint8_t> bytes) {
  std::vector<Message> messages;
  for (const std::uint8_t byte : bytes) {
    if (partial_.empty()) {
      if (byte == head::kFrameLead) {
        partial_.push_back(byte);
      } else if (byte == head::kEnq) {
        messages.push_back({MessageKind::kEnq, byte, {byte}});
      } else {
        messages.push_back({MessageKind::kCommand, byte, {byte}});
      }
      continue;
    }
    partial_.push_back(byte);
    // A length byte of 0 announces no command: the frame is void at once.
    if (partial_.size() == 2 && byte == 0) {
      messages.push_back({MessageKind::kFrame, 0, std::move(partial_)});
      partial_.clear();
    } else if (partial_.size() >= 2 &&
               partial_.size() == static_cast<std::size_t>(partial_[1]) + 2) {
      const std::uint8_t code = partial_[2];
      messages.push_back({MessageKind::kFrame, code, std::move(partial_)});
      partial_.clear();
    }
  }
  return messages;
}

std::vector<std::uint8_t> MessageReader::DropPartial() {
  std::vector<std::uint8_t> dropped = std::move(partial_);
  partial_.clear();
  return dropped;
}

}  // namespace sim
