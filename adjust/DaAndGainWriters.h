#pragma once

#include <cstdint>
#include <span>

#include "adjust/StepContext.h"
#include "adjust/StepResult.h"
#include "link/HeadCommands.h"

// The frames that set the head's D/A and gain registers. Each logs the communication error
// itself when the head does not take the frame, and returns 0; otherwise 1.

// 10 19 C0 and the 24 D/A values of the 24-channel set.
StepResult WriteDaFrame(StepContext& context,
                        std::span<const std::uint8_t, head::kChannels24> daValues);
// 10 19 C1 and the 24 gains of the 24-channel set.
StepResult WriteGainFrame24(StepContext& context,
                            std::span<const std::uint8_t, head::kChannels24> gains);
// 10 11 C2 and the 16 gains of the 16-channel set.
StepResult WriteGainFrame16(StepContext& context,
                            std::span<const std::uint8_t, head::kChannels16> gains);
