#pragma once

#include "adjust/AdjustmentRecord.h"
#include "adjust/Clock.h"
#include "adjust/OperatorLog.h"
#include "adjust/Progress.h"
#include "link/BellOutput.h"
#include "link/IdlePump.h"
#include "link/PortLink.h"

// What every adjustment step works with: the record and the log of the main window, the port to
// the head, and the seams for bells, time, repainting and progress.
struct StepContext {
  AdjustmentRecord& record;
  OperatorLog& log;
  PortLink& port;
  BellOutput& bell;
  Clock& clock;
  IdlePump& pump;
  ProgressSink& progress;
};
