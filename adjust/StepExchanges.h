#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "adjust/StepContext.h"
#include "link/HeadCommands.h"

// The exchanges every step is made of, on the context's port and bell. Each returns 1 or 0 as
// the primitives do; on 0 the step logs the communication error itself.

std::uint8_t SendHeadFrame(StepContext& context, const head::Frame& frame);
std::uint8_t SendHeadCommand(StepContext& context, std::uint8_t command);
// ENQ, answered by exactly length bytes into the record's ReplyBuf.
std::uint8_t QueryHead(StepContext& context, std::uint8_t length);
// One conversion of every channel: 0xC4, the 40-byte reading into ReplyBuf (the 24-channel set,
// then the 16-channel set), then 0xA6.
std::uint8_t TakeReading(StepContext& context);

// The names of the channels of the 24-channel set marked bad, in channel order: what the error
// listing takes.
std::vector<std::string_view> BadChannelNames(std::span<const bool> bad);
