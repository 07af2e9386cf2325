#pragma once

#include <array>
#include <cstdint>

#include "adjust/Clock.h"
#include "adjust/StepContext.h"
#include "adjust/StepResult.h"
#include "link/HeadCommands.h"

// The end of a run: the check word at the end of the non-paper item, then, once the technician
// has said yes, the identification block, the finishing frame and the completion report.

// The 16-bit check word of a motor speed (reading / 10) and the gain of channel 0: the speed is
// halved until it fits a byte c, the register starts as (~c << 8) | c, and the gain is fed 168
// times through the CRC-16/KERMIT nibble update. Never 0: a zero result retries with speed + 1.
std::uint16_t ComputeCheckWord(std::uint32_t motorSpeed, std::uint8_t firstGain);

// Sends the check word and requires the head to echo it. 1 when it does; 0 when the echo differs
// (nothing is logged) or on a communication failure.
StepResult VerifyCheckWord(StepContext& context);

// "YYMMDDHH" of the local time.
std::array<char, 8> DateStamp(const LocalTime& time);

// The 32 data bytes of the identification frame: model code, date stamp, the head's own
// identification field, and "S1 V" with the program's version number.
std::array<std::uint8_t, head::kIdentificationSize> IdentificationBlock(
    const AdjustmentRecord& record);

// Stamps the record and sends the identification block. 1 when the head answers "OK" (any letter
// case); 0 with " ** Write Fail **" when it answers anything else, and 0 on a communication
// failure.
StepResult WriteAdjustments(StepContext& context);

// The last message of a completed run. 1, or 0 on a communication failure.
StepResult SendFinishFrame(StepContext& context);

// Clears the log and reports the run complete: kRunCompleted.
StepResult ReportComplete(StepContext& context);
