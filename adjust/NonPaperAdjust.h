#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "adjust/StepContext.h"
#include "adjust/StepResult.h"

// Adjustment item 4, with no paper in the head: the s0t_ir register check, the gains of the
// 16-channel set with s0t_ir's gain limit, the head's own s0t_ir regulation, and the front and
// exit sensors. 1 when all passed, and also when only the front and exit check failed (its lines
// stay in the log for the technician to weigh); otherwise 0, never kAdjustmentFailed.
StepResult NonPaperAdjust(StepContext& context);

// The highest s0t_ir gain the 16-channel gain adjustment may arrive at.
inline constexpr std::uint8_t kS0tGainLimit = 11;
// s0t_ir in the 16-channel set, and in the 40-byte reading (after the 24-channel set).
inline constexpr std::size_t kS0tIndex16 = 11;
inline constexpr std::size_t kS0tInReading = 24 + kS0tIndex16;
// The gains of the s0t_ir gain response check; its reading at gain i goes to GainStepLevel row i.
inline constexpr std::array<std::uint8_t, 5> kS0tResponseGains{7, 8, 9, 10, 12};

// The window of s0t_ir's level in the head's own regulation: 167.8 to 188.2 in whole readings.
inline constexpr std::uint8_t kS0tWindowLowest = 168;
inline constexpr std::uint8_t kS0tWindowHighest = 188;
// The front and exit sensors without paper read at most this; with paper more than their level
// without it plus the margin.
inline constexpr std::uint8_t kFrontExitNoPaperLimit = 101;
inline constexpr int kFrontExitLeastMargin = 84;
// The check's four levels as it reports them: each sensor without paper, then with it.
inline constexpr std::array<std::string_view, 4> kFrontExitLevelNames{
    "front, no paper", "exit, no paper", "front, in paper", "exit, in paper"};

// " ***** REGISTER check *****" after a cleared log, then the saturation check and, when it
// passed, the gain response check.
StepResult S0tRegisterCheck(StepContext& context);
// Lowers s0t_ir's D/A value from 200 until its reading at gain 12 is below 220. The value found
// is not kept.
StepResult S0tSaturationCheck(StepContext& context);
// s0t_ir's reading at gains 7, 8, 9, 10 and 12 may fall by at most 10 from one gain to the next,
// and must not end below where it began. Byte 11 of GainStepLevel rows 0..4 gets the readings.
StepResult S0tGainResponse(StepContext& context);
// The head regulates s0t_ir's D/A value; twenty readings inside 168..188 (not necessarily in a
// row) within 1000, the twentieth with a D/A value in 80..120. DaValue entry 23 follows the head.
// 1, kAdjustmentFailed (logged), or 0 on a communication failure.
StepResult S0tAutoAdjust(StepContext& context);
// The front and exit sensors without paper, on their own and against their levels with paper.
// 1, kAdjustmentFailed with the failing levels in the log, or 0 on a communication failure.
StepResult FrontExitCheck(StepContext& context);
