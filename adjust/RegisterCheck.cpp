#include "adjust/RegisterCheck.h"

StepResult RegisterCheck(StepContext& context) {
  context.log.ClearLog();
  context.log.AddLine(" ***** REGISTER check *****");
  const StepResult result = OverVoltageCheck(context);
  if (result != kStepSucceeded) return result;
  return GainStepCheck(context);
}
