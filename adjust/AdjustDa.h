#pragma once

#include <cstdint>
#include <span>

#include "adjust/StepContext.h"
#include "adjust/StepResult.h"
#include "link/HeadCommands.h"

// The levels a channel with the given target may read while its D/A value is judged settled:
// target - 5.1 to target + 5.1, each truncated (96..107 for 102, 147..158 for 153).
struct LevelWindow {
  std::uint8_t lower;
  std::uint8_t upper;
  bool Contains(std::uint8_t level) const { return level >= lower && level <= upper; }
};
LevelWindow DaWindow(std::uint8_t target);

// The D/A values a settled channel may have.
inline constexpr std::uint8_t kDaLowest = 80;
inline constexpr std::uint8_t kDaHighest = 120;

// The head regulates the D/A values of channels 0..22 on its own; this watches the levels until
// ten readings in a row have every channel in its window, checks the D/A values the head settled
// on, and ends the regulation. The head's D/A values of every reading land in daValues.
// 1 settled in range, 0 communication failure, kAdjustmentFailed (listed in the log) otherwise.
StepResult AdjustDa(StepContext& context, std::span<std::uint8_t, head::kChannels24> daValues);
