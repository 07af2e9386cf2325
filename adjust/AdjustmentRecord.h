#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "link/HeadCommands.h"

// The tool's copy of the adjustment data a head keeps: read from the head at the start of a run,
// rebuilt by the adjustment items, written back at the end. One record lives as long as the main
// window; every field is zero at creation.
struct AdjustmentRecord {
  // Eight characters and a terminating (or spare) zero byte.
  using Text8 = std::array<char, 9>;

  std::array<std::uint8_t, head::kChannels24> PaperGain{};
  std::array<std::uint8_t, head::kChannels16> NoPaperGain{};
  std::array<std::uint8_t, head::kChannels24> DaValue{};
  std::array<std::uint8_t, 22> ColorCode{};
  std::array<std::uint8_t, head::kChannels16> NoPaperLevel{};
  std::array<std::uint8_t, head::kChannels24> BlackLevel{};
  Text8 ModelCode{};
  Text8 AdjustDate{};
  Text8 HeadIdField{};
  Text8 ProgramVersion{};
  std::uint32_t CheckWord = 0;  // only the low 16 bits travel to and from the head
  // Row r holds the readings at gain 2^r: channels 0..9, b0t_ir, then the s0t_ir reading.
  std::array<std::array<std::uint8_t, 12>, 6> GainStepLevel{};
  std::uint8_t FrontLevelInPaper = 0;
  std::uint8_t ExitLevelInPaper = 0;
  std::uint8_t FrontLevelNoPaper = 0;
  std::uint8_t ExitLevelNoPaper = 0;
  // Every reply is read here. Room for the longest length a reply can have (255), not only the
  // longest in use (160), so no length a step passes can run past its end.
  std::array<std::uint8_t, 256> ReplyBuf{};
  std::uint32_t MotorSpeed = 0;  // last speed reading divided by 10
  // The head answered "NG" at the start of the run: the fields from its block are zeros (and
  // HeadIdField dashes), not data it held.
  bool HeadHeldNoData = false;
};
