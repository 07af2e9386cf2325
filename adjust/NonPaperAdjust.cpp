#include "adjust/NonPaperAdjust.h"

#include <cstdio>

#include "adjust/AdjustGain.h"

StepResult NonPaperAdjust(StepContext& context) {
  AdjustmentRecord& record = context.record;
  record.NoPaperGain.fill(0);
  record.NoPaperLevel.fill(0);

  if (S0tRegisterCheck(context) != kStepSucceeded) return kStepFailed;
  if (AdjustGain(context, record.NoPaperGain, ChannelSet::k16) != kStepSucceeded) {
    return kStepFailed;
  }
  const std::uint8_t gain = record.NoPaperGain[kS0tIndex16];
  if (gain > kS0tGainLimit) {
    char line[40];
    std::snprintf(line, sizeof line, "s0t_ir %03d GAIN OVER(limit 11)", gain);
    context.log.AddLine(line);
    return kStepFailed;
  }
  if (S0tAutoAdjust(context) != kStepSucceeded) return kStepFailed;
  // A front or exit failure is already in the log; the technician decides whether to write.
  if (FrontExitCheck(context) == kStepFailed) return kStepFailed;
  return kStepSucceeded;
}
