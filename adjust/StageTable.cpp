#include "adjust/StageTable.h"

#include "adjust/BlackLevelCheck.h"
#include "adjust/MotorSpeedCheck.h"
#include "adjust/NonPaperAdjust.h"
#include "adjust/ReadHeadData.h"
#include "adjust/WhitePaperAdjustment.h"
#include "adjust/WriteBack.h"

StageTable MakeStageTable(StepContext& context) {
  const auto step = [&context](StepResult (*operation)(StepContext&)) -> StageOperation {
    return [&context, operation] { return operation(context); };
  };
  return StageTable{{
      {step(ReadHeadData), step(MotorSpeedCheck)},
      {step(WhitePaperAdjustment)},
      {step(BlackLevelCheck)},
      {step(NonPaperAdjust), step(VerifyCheckWord)},
      {step(WriteAdjustments), step(SendFinishFrame), step(ReportComplete)},
  }};
}
