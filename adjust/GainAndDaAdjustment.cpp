#include "adjust/GainAndDaAdjustment.h"

#include "adjust/AdjustDa.h"
#include "adjust/AdjustGain.h"

StepResult GainAndDaAdjustment(StepContext& context) {
  AdjustmentRecord& record = context.record;
  if (AdjustGain(context, record.PaperGain, ChannelSet::k24) != kStepSucceeded) return kStepFailed;
  return AdjustDa(context, record.DaValue) == kStepSucceeded ? kStepSucceeded : kStepFailed;
}
