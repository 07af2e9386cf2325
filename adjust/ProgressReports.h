#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "adjust/Progress.h"
#include "adjust/StepContext.h"

// What a step reports as it begins or counts on; what it measured it reports as a whole
// ProgressReport with the fields it has, named.

// The step has begun, or counts on: count of at most limit (0: nothing to count).
inline void ReportStep(StepContext& context, ProgressStep step, std::uint32_t count = 0,
                       std::uint32_t limit = 0) {
  context.progress.Report({.step = step, .count = count, .limit = limit});
}
