#pragma once

#include <cstdint>

// The result of every adjustment step and of every stage of a run. The run controller compares
// with kStepSucceeded and kRunCompleted and treats every other value as a failure.
using StepResult = std::uint8_t;

inline constexpr StepResult kStepFailed = 0;  // after a communication or adjustment failure
inline constexpr StepResult kStepSucceeded = 1;
inline constexpr StepResult kRunCompleted = 162;      // only the completion report returns it
inline constexpr StepResult kAdjustmentFailed = 163;  // a fixed error line ended the step
