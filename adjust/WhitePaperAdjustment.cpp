#include "adjust/WhitePaperAdjustment.h"

#include <algorithm>

#include "adjust/DataSelectLineCheck.h"
#include "adjust/GainAndDaAdjustment.h"
#include "adjust/RegisterCheck.h"
#include "adjust/SensorTables.h"

StepResult WhitePaperAdjustment(StepContext& context) {
  AdjustmentRecord& record = context.record;
  record.ColorCode = ColorCodeTable;
  record.PaperGain.fill(0);
  record.DaValue.fill(0);
  record.BlackLevel.fill(0);

  StepResult result = RegisterCheck(context);
  if (result != kStepSucceeded) return result;
  result = GainAndDaAdjustment(context);
  if (result != kStepSucceeded) return result;
  return DataSelectLineCheck(context);
}
