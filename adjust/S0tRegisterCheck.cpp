#include "adjust/NonPaperAdjust.h"

StepResult S0tRegisterCheck(StepContext& context) {
  context.log.ClearLog();
  context.log.AddLine(" ***** REGISTER check *****");
  const StepResult result = S0tSaturationCheck(context);
  if (result != kStepSucceeded) return result;
  return S0tGainResponse(context);
}
