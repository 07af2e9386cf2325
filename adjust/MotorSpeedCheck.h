#pragma once

#include <cstdint>

#include "adjust/StepContext.h"
#include "adjust/StepResult.h"

// Adjustment item 1: three motor speed readings judged against 270..450.
inline constexpr std::uint32_t kMotorSpeedLowest = 270;
inline constexpr std::uint32_t kMotorSpeedHighest = 450;

StepResult MotorSpeedCheck(StepContext& context);  // clears the log, heading, then the measurement
StepResult MeasureMotorSpeed(StepContext& context);
