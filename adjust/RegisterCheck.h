#pragma once

#include <array>
#include <cstddef>

#include "adjust/StepContext.h"
#include "adjust/StepResult.h"

// The channels the register check exercises: 0..9 of the 24-channel set and b0t_ir. Every other
// channel gets 0 in the check's frames.
inline constexpr std::array<std::size_t, 11> kRegisterCheckChannels{0, 1, 2, 3, 4, 5,
                                                                    6, 7, 8, 9, 22};
inline constexpr std::size_t kB0tChannel = 22;

// The head's D/A and gain registers before anything is adjusted: the over-voltage check, then
// the gain step check. Clears the log and writes its heading first.
StepResult RegisterCheck(StepContext& context);

// Lowers the D/A values from 200 until no tested channel reads 220 or more at gain 32. 0 when a
// channel still does at D/A value 1 (its "ERROR OVER 4.3v" line is logged) or on a
// communication failure.
StepResult OverVoltageCheck(StepContext& context);

// Steps the gain through 1, 2, 4, 8, 16 and 32; every tested channel's reading must rise at every
// step. The readings land in GainStepLevel. 0 on a gain error (listed in the log) or a
// communication failure.
StepResult GainStepCheck(StepContext& context);
