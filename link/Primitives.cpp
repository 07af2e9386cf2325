#include "link/Primitives.h"

namespace {

constexpr std::uint8_t kLastAttempt = 3;

// Writes the bytes and waits for one ACK, up to four times.
std::uint8_t SendAcknowledged(PortLink& port, BellOutput& bell, std::uint8_t length,
                              const std::uint8_t* bytes) {
  std::uint8_t attempt = 0;
  for (;;) {
    if (!port.WritePort(length, bytes)) return 0;
    std::uint8_t answer = 0;
    if (port.ReadPort(1, &answer) == 1 && answer == head::kAck) return 1;
    if (++attempt > kLastAttempt) return 0;
    bell.Ring();
  }
}

}  // namespace

std::uint8_t SendCommand(PortLink& port, BellOutput& bell, std::uint8_t command) {
  return SendAcknowledged(port, bell, 1, &command);
}

std::uint8_t SendFrame(PortLink& port, BellOutput& bell, std::uint8_t length,
                       const std::uint8_t* frame) {
  return SendAcknowledged(port, bell, length, frame);
}

std::uint8_t SendFrame(PortLink& port, BellOutput& bell, const head::Frame& frame) {
  return SendAcknowledged(port, bell, frame.size(), frame.data());
}

std::uint8_t QueryReply(PortLink& port, BellOutput& bell, std::uint8_t replyLength,
                        std::uint8_t* reply, std::uint8_t requestLength,
                        const std::uint8_t* request) {
  std::uint8_t attempt = 0;
  for (;;) {
    if (!port.WritePort(requestLength, request)) return 0;
    if (port.ReadPort(replyLength, reply) == replyLength) return 1;
    if (++attempt > kLastAttempt) return 0;
    bell.Ring();
  }
}
