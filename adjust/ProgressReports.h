#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "adjust/Progress.h"
#include "adjust/StepContext.h"

// Small helpers the steps report through.

// The step has begun, or counts on: count of at most limit (0: nothing to count).
inline void ReportStep(StepContext& context, ProgressStep step, std::uint32_t count = 0,
                       std::uint32_t limit = 0) {
  ProgressReport report;
  report.step = step;
  report.count = count;
  report.limit = limit;
  context.progress.Report(report);
}

// What the step measured, and whether this is its judgement; run of runNeeded where the step
// counts good readings too.
inline void ReportLevels(StepContext& context, ProgressStep step, std::uint32_t count,
                         std::uint32_t limit, std::span<const ChannelReading> channels,
                         bool verdict = false, std::uint32_t run = 0, std::uint32_t runNeeded = 0) {
  ProgressReport report;
  report.step = step;
  report.count = count;
  report.limit = limit;
  report.run = run;
  report.runNeeded = runNeeded;
  report.channels = channels;
  report.verdict = verdict;
  context.progress.Report(report);
}
