#pragma once

#include <functional>

#include "adjust/AdjustmentRecord.h"
#include "adjust/Clock.h"
#include "adjust/OperatorLog.h"
#include "adjust/StageTable.h"
#include "adjust/StepContext.h"
#include "link/BellOutput.h"
#include "link/IdlePump.h"
#include "link/PortLink.h"
#include "run/RunController.h"

// Everything the main window holds apart from its widgets: the log, the adjustment record and the
// run controller. Construction sets the start values and writes the start-up text.
class MainFormModel {
 public:
  using StageFactory = std::function<StageTable(StepContext&)>;

  MainFormModel(PortLink& port, BellOutput& bell, Clock& clock, IdlePump& pump);
  // With other stage operations than the adjustment steps (stand-ins in tests).
  MainFormModel(PortLink& port, BellOutput& bell, Clock& clock, IdlePump& pump,
                const StageFactory& makeStages);

  MainFormModel(const MainFormModel&) = delete;
  MainFormModel& operator=(const MainFormModel&) = delete;

  OperatorLog Log;
  AdjustmentRecord Record;
  ProgressHub Progress;  // what the steps report while they run
  StepContext Context;
  RunController Controller;
};
