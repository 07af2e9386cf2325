#include "adjust/StageTable.h"

#include "adjust/MotorSpeedCheck.h"
#include "adjust/ReadHeadData.h"

StageTable MakeStageTable(StepContext& context) {
  StageTable stages;
  stages[0] = {[&context] { return ReadHeadData(context); },
               [&context] { return MotorSpeedCheck(context); }};
  // Stages 1 to 4 get their steps as those are built; until then the controller reports an
  // empty stage as not available.
  return stages;
}
