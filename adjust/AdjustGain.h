#pragma once

#include <cstdint>
#include <span>

#include "adjust/StepContext.h"
#include "adjust/StepResult.h"

// The two channel orders in which the head reports and accepts per-sensor values.
enum class ChannelSet : std::uint8_t { k24, k16 };

// Passes of a gain adjustment; a channel that never reaches its target ends at this gain.
inline constexpr int kMostGainPasses = 64;

// One adjusted channel during a gain adjustment.
struct GainChannel {
  std::uint8_t gain = 0;
  std::uint8_t shortfall = 255;  // how far below target the level stayed when last below it
  bool done = false;
};

// Judges one pass's level of a channel that is not done. Below the target the gain rises by one
// (or, with holdGain, the channel is done with its gain unchanged); at or above it the channel is
// done, going back one gain step when the overshoot is greater than the last shortfall, so a tie
// keeps the higher gain.
void JudgeGainLevel(GainChannel& channel, std::uint8_t level, std::uint8_t target, bool holdGain);

// Sets the gains of a channel set so each adjusted channel comes as close to its target level as
// the gain steps allow, and writes them to the head. gains is PaperGain (24-channel set) or
// NoPaperGain (16-channel set). 1 when the gains are written, 0 after a communication failure;
// a channel that never reaches its target is not a failure here.
StepResult AdjustGain(StepContext& context, std::span<std::uint8_t> gains, ChannelSet set);
