#pragma once

#include <cstdint>

#include "link/BellOutput.h"
#include "link/HeadCommands.h"
#include "link/PortLink.h"

// The three exchanges every conversation with the head is built from. Each transmits at most four
// times, rings the bell between attempts, and returns 1 on success, 0 on failure. A write that
// fails (no port) returns 0 at once, without retrying and without a bell.

// One command byte, answered by ACK.
std::uint8_t SendCommand(PortLink& port, BellOutput& bell, std::uint8_t command);

// A whole frame in one write, answered by ACK.
std::uint8_t SendFrame(PortLink& port, BellOutput& bell, std::uint8_t length,
                       const std::uint8_t* frame);
std::uint8_t SendFrame(PortLink& port, BellOutput& bell, const head::Frame& frame);

// A request (in practice ENQ), answered by exactly replyLength bytes. A short reply leaves its
// bytes in the buffer.
std::uint8_t QueryReply(PortLink& port, BellOutput& bell, std::uint8_t replyLength,
                        std::uint8_t* reply, std::uint8_t requestLength,
                        const std::uint8_t* request);
